#include "platform/Error.h"

#include <system_error>

std::string SystemErrorText(int code) {
  return std::system_category().message(code);
}
