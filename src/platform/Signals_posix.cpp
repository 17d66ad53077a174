#include <signal.h>

#include <csignal>
#include <iterator>

#include "platform/Signals.h"

namespace platform {

namespace {

constexpr int Watched[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t First = 0;
struct sigaction Previous[sizeof Watched / sizeof Watched[0]];

extern "C" void KeepFirst(int signal) {
  if (First == 0) First = signal;
}

}  // namespace

TStopSignals::TStopSignals() {
  First = 0;
  struct sigaction action {};
  action.sa_handler = KeepFirst;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the program goes on with what it was doing
  for (std::size_t i = 0; i < std::size(Watched); ++i) sigaction(Watched[i], &action, &Previous[i]);
}

TStopSignals::~TStopSignals() {
  for (std::size_t i = 0; i < std::size(Watched); ++i) sigaction(Watched[i], &Previous[i], nullptr);
}

std::string TStopSignals::Received() const {
  switch (First) {
    case 0:
      return "";
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(First);
  }
}

}  // namespace platform
