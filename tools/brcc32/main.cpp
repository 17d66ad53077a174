#include <iostream>
#include <string>
#include <vector>

#include "brcc32/Brcc.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return tesmar_brcc::RunBrcc(args, std::cout);
  } catch (const std::exception& e) {
    std::cout << "Error: " << e.what() << std::endl;
    return 1;
  }
}
