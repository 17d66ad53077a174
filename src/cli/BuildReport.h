#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/Diagnostics.h"

// What the command-line build learns of a run through the build events, and
// how it shows it: one progress line per entry and a machine-readable report.

struct TEntryReport {
  std::string Source;  // full paths, as the file list holds them
  std::string Target;
  bool OK = false;
  int Lines = 0, Hints = 0, Warnings = 0, Errors = 0, Fatal = 0;
  double Seconds = 0;
  std::string LastLine;
  std::vector<TDiagnostic> Diagnostics;  // the compiler's messages, in order
  // Whether the entry's version resource was made afresh; none for an entry
  // that makes no version resource.
  std::optional<bool> VersionStamped;
  std::vector<std::string> Notes;  // summary notes, resource and store reports
  // Pre- and post-processing lines that could not start or ended with an
  // exit code other than 0.
  int FailedProcessingLines = 0;
};

struct TPlannedEntry {
  std::string Source;
  std::string Target;
};

struct TRunReport {
  std::string ProjectDir;
  std::string ProjectName;
  bool Loaded = false;
  bool Completed = false;   // the run reached its end without a failure
  bool Stopped = false;     // a halt request ended it before its last entry
  std::string Interrupted;  // the signal that stopped the run ("SIGTERM"), if one did
  int Planned = 0;          // entries the run was to build
  std::vector<TEntryReport> Entries;
  std::vector<TPlannedEntry> NotReached;  // entries a stopped run did not build
  std::vector<std::string> Halts;         // every halt report, in order
  int OK = 0, Err = 0, Lines = 0, Hints = 0, Warnings = 0, Errors = 0, Fatal = 0;
  std::vector<std::pair<std::string, std::string>> Logs;  // kind, full path
  std::string FinalLine;
  int ExitStatus = 0;
};

// "[2/5] App.dpr -> App.EXE: OK, 1234 lines, 0 hints, 2 warnings, 0 errors",
// with ERR for a failed entry, "OK, version not stamped" for one whose version
// resource could not be made, and ", <n> fatal" and ", <n> processing lines
// failed" added when there are any.
std::string ProgressLine(int number, int count, const TEntryReport& entry);

// The report as JSON text (ends with a line break). Bytes that are not UTF-8
// (tool output in a Windows code page) are replaced, never refused.
std::string ReportJson(const TRunReport& report);
