#pragma once

#include <string>

// Requests from outside to stop: an interrupt (Ctrl-C), a request to
// terminate, a hang-up of the terminal (SIGINT, SIGTERM, SIGHUP on POSIX;
// the console's control events on Windows). While a TStopSignals lives they
// no longer end the program at once: the first one is kept, so that the
// program can end what it started and stop in good order. One at a time.
namespace platform {

class TStopSignals {
 public:
  TStopSignals();
  // Puts back what the program did on these signals before.
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // The name of the first request received ("SIGTERM", "Ctrl-C"), "" while
  // none has come. Cheap: it may be asked at every turn.
  std::string Received() const;
};

}  // namespace platform
