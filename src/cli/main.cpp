#include <cstdio>
#include <iostream>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/TesmarBuildMain.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  const bool terminal = _isatty(_fileno(stdout)) != 0;
#else
  const bool terminal = isatty(fileno(stdout)) != 0;
#endif
  return RunTesmarBuild(argc, argv, std::cout, std::cerr, terminal);
}
