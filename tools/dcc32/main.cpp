#include <iostream>
#include <string>
#include <vector>

#include "dcc32/DccCompiler.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return tesmar_tools::RunDcc(args, std::cout);
}
