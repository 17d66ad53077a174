#pragma once

#include <stdexcept>
#include <string>

// Every failure of the system is one of these; what() is the exact text that
// the user sees.
class TError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failure of an operating-system call, carrying the system's error code
// (errno on POSIX, GetLastError on Windows).
class TOSError : public TError {
 public:
  TOSError(const std::string& message, int code) : TError(message), Code(code) {}
  int Code;
};

// The system's text for an error code ("No such file or directory").
std::string SystemErrorText(int code);
