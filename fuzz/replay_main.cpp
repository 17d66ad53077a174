// Replays corpus files through a fuzz target without libFuzzer, once each, so
// that the test suite keeps every input that ever found a fault working. Runs
// in a scratch directory of its own (the targets write files), which it
// removes again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path given = fs::absolute(argv[i]);
    if (fs::is_directory(given)) {
      for (const auto& entry : fs::directory_iterator(given))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
      inputs.push_back(given);
    }
  }
  std::sort(inputs.begin(), inputs.end());

  const fs::path scratch = fs::temp_directory_path() / ("tesmar_replay_" + std::to_string(std::random_device{}()));
  fs::create_directories(scratch);
  const fs::path start = fs::current_path();
  fs::current_path(scratch);
  setenv("TMPDIR", scratch.c_str(), 1);
  for (const fs::path& input : inputs) {
    std::ifstream in(input, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  fs::current_path(start);
  std::error_code ec;
  fs::remove_all(scratch, ec);
  std::cout << "replayed " << inputs.size() << " inputs\n";
  return inputs.empty() ? 1 : 0;
}
