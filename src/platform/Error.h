#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

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

// The system's code for a failure that the C library reports in errno: the
// value itself on POSIX; on Windows the Win32 code it stands for (EACCES is
// ERROR_ACCESS_DENIED), so that its text is the system's own.
int SystemCodeOfErrno(int errnoValue);
// The same for the last failed C library call: errno (or the fallback when
// errno is 0) on POSIX; on Windows the Win32 code the library kept for it
// (_doserrno), else the one its errno stands for.
int LastLibraryErrorCode(int fallbackErrno);
// The system's code for an error of the standard library.
int SystemCodeOf(const std::error_code& error);
// Clears what LastLibraryErrorCode reads, before a library call.
void ClearLibraryError();
