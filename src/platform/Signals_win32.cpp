#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>

#include "platform/Signals.h"

namespace platform {

namespace {

// The handler runs on a thread of its own.
std::atomic<DWORD> First{~DWORD(0)};

BOOL WINAPI KeepFirst(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: {
      DWORD none = ~DWORD(0);
      First.compare_exchange_strong(none, event);
      return TRUE;  // handled: the program stops in its own time
    }
    default:
      return FALSE;
  }
}

}  // namespace

TStopSignals::TStopSignals() {
  First = ~DWORD(0);
  SetConsoleCtrlHandler(KeepFirst, TRUE);
}

TStopSignals::~TStopSignals() {
  SetConsoleCtrlHandler(KeepFirst, FALSE);
}

std::string TStopSignals::Received() const {
  switch (First.load()) {
    case CTRL_C_EVENT:
      return "Ctrl-C";
    case CTRL_BREAK_EVENT:
      return "Ctrl-Break";
    case CTRL_CLOSE_EVENT:
      return "console closed";
    default:
      return "";
  }
}

}  // namespace platform
