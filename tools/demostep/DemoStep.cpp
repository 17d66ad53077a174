// DemoStep: the pre- and post-processing step of the demo project, a program
// rather than a shell script so that the same line runs on every system.
//
//   DemoStep before FILE   says what is about to be compiled, and where
//   DemoStep after FILE    says how large the built file is
//
// It prints one line; the build shows it in its event log.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::string step = argc == 3 ? argv[1] : "";
  if (step != "before" && step != "after") {
    std::fprintf(stderr, "Usage: DemoStep before|after FILE\n");
    return 2;
  }
  const fs::path file = argv[2];
  const std::string name = file.filename().string();
  std::error_code error;
  if (step == "before") {
    const std::string dir = fs::current_path(error).string();
    std::printf("Pre-processing: about to compile %s in %s\n", name.c_str(), dir.c_str());
    return 0;
  }
  const auto size = fs::file_size(file, error);
  if (error)
    std::printf("Post-processing: %s was not built\n", file.string().c_str());
  else
    std::printf("Post-processing: %s is %llu bytes\n", name.c_str(), static_cast<unsigned long long>(size));
  return 0;
}
