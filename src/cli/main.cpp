#include <iostream>

#include "cli/TesmarBuildMain.h"

int main(int argc, char** argv) {
  return RunTesmarBuild(argc, argv, std::cout, std::cerr);
}
