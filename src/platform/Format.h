#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// Formatting of dates and numbers the way the system prints them.
namespace platform {

// Local time now, with milliseconds.
struct TDateTime {
  std::time_t Seconds = 0;  // since the epoch
  int Milliseconds = 0;
};
TDateTime Now();
// Milliseconds between two moments (b - a).
std::int64_t MillisecondsBetween(const TDateTime& a, const TDateTime& b);

// Formats with Delphi's FormatDateTime patterns, for the patterns the system
// uses: d dd ddd mmm m mm yyyy yy h hh n nn s ss and literal text (blanks,
// commas, colons). Day and month names are the locale's abbreviations (English
// in the C locale). "mm" right after "h"/"hh" means minutes.
std::string FormatDateTime(const std::string& pattern, std::time_t when);

// A number with thousands separators, right-aligned in width characters, no
// decimals: Delphi's "%12.0n". The separator is the locale's, "," where the
// locale has none.
std::string FormatThousands(std::int64_t value, int width);

// "%.2f" with a '.' decimal point whatever the locale.
std::string FormatFixed2(double value);

}  // namespace platform
