#pragma once

#include <stdexcept>
#include <string>

namespace tesmar_brcc {

// A failure of the resource compiler. what() is the exact line it prints:
// "Error <file> <line> <column>: <what was expected>". Line and column count
// from 1; 0 0 stands for a problem of the file as a whole (it cannot be read).
class TRcError : public std::runtime_error {
 public:
  TRcError(const std::string& file, int line, int column, const std::string& message)
      : std::runtime_error("Error " + file + " " + std::to_string(line) + " " + std::to_string(column) + ": " +
                           message),
        File(file),
        Line(line),
        Column(column),
        Message(message) {}

  std::string File;
  int Line;
  int Column;
  std::string Message;
};

}  // namespace tesmar_brcc
