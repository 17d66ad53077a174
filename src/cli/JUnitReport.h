#pragma once

#include <string>

#include "cli/BuildReport.h"

// The run as a JUnit XML report, the format that build servers display: one
// test suite for the project, one test case per entry (named by its source,
// relative to the project directory where it lies inside it). A failed entry
// has a failure whose message is its last line and whose text holds its error
// and fatal lines; its hint and warning lines are its standard output.
// Entries that a stopped run did not reach are skipped. A project that could
// not be loaded, or a run that ended by a failure, adds a test case with an
// error, so that the report never looks green when nothing was built.
// Text that is not UTF-8 (tool output in a Windows code page) and characters
// that XML cannot carry are replaced by U+FFFD.
std::string ReportJUnit(const TRunReport& report);
