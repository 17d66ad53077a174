#include "platform/Error.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

std::string SystemErrorText(int code) {
  return std::system_category().message(code);
}

int SystemCodeOfErrno(int errnoValue) {
#ifdef _WIN32
  switch (errnoValue) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:  // Windows opens no directory as a file
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOTDIR:
      return ERROR_DIRECTORY;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EMFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    default:
      return ERROR_GEN_FAILURE;
  }
#else
  return errnoValue;
#endif
}

int LastLibraryErrorCode(int fallbackErrno) {
#ifdef _WIN32
  if (_doserrno != 0) return static_cast<int>(_doserrno);
#endif
  return SystemCodeOfErrno(errno != 0 ? errno : fallbackErrno);
}

int SystemCodeOf(const std::error_code& error) {
  return error.category() == std::generic_category() ? SystemCodeOfErrno(error.value()) : error.value();
}

void ClearLibraryError() {
  errno = 0;
#ifdef _WIN32
  _doserrno = 0;
#endif
}
