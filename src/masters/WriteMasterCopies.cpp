// Writes the master copies of the default setting files into a directory, from
// the store's built-in contents, so that an installation carries them as files
// that an administrator may edit. Run at build time:
//   tesmar-masters DIR
// Default.path has no built-in content (it is the installed Delphi's library
// path) and gets no master copy.
#include <exception>
#include <iostream>
#include <string>

#include "platform/FileSystem.h"
#include "platform/TextFile.h"
#include "project/uGlobalConstants.h"
#include "project/uPersistence.h"

int main(int argc, char** argv) {
  if (argc != 2 || !argv[1] || !*argv[1]) {
    std::cerr << "usage: tesmar-masters DIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  try {
    platform::ForceDirectories(dir);
    for (const TDefaultFile& file : DefaultFiles()) {
      const auto lines = BuiltInDefaultContent(file.ProjectFile);
      if (lines.empty()) continue;
      platform::WriteTextLines(PathJoin(dir, file.MasterFile), lines);
    }
  } catch (const std::exception& e) {
    std::cerr << "tesmar-masters: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
