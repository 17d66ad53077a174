// A program source given to the compiler stand-in, run in a directory of its
// own with one unit and one resource file beside it. Give the corpus as an
// absolute path: the target changes the current directory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dcc32/DccCompiler.h"

namespace {

void Write(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

void EnterScratchDir() {
  static bool done = false;
  if (done) return;
  done = true;
  auto dir = std::filesystem::temp_directory_path() / ("tesmar_fuzz_dcc_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  Write("Unit1.pas", "unit Unit1;\ninterface\nuses Unit2;\nimplementation\n{$MESSAGE HINT 'h'}\nend.\n");
  Write("Unit2.pas", "unit Unit2;\ninterface\nuses Unit1;\nend.\n");
  Write("Fuzz.res", std::string("\0\0\0\0\x20\0\0\0\xFF\xFF\0\0\xFF\xFF\0\0", 16) + std::string(16, '\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterScratchDir();
  Write("Fuzz.dpr", std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out;
  int code = tesmar_tools::RunDcc({"Fuzz.dpr", "-E."}, out);
  if (code != 0 && code != 1) __builtin_trap();
  return 0;
}
