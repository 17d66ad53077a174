#pragma once

#include <iosfwd>

// The command-line build, tesmar-build: builds a project without a window, or
// lists the version strings of an executable. Returns the exit status; writes
// progress and results to out, errors and halt reports to err. The current
// directory is the same again when it returns. When out is a terminal, the
// entry being built and its time so far are shown on a line written over.
int RunTesmarBuild(int argc, char** argv, std::ostream& out, std::ostream& err, bool terminal = false);
