#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
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

// A time in seconds as a user writes it: digits with at most one '.', greater
// than 0 and at most 1e9 ("30", "2.5"); nothing for any other text.
std::optional<double> ParseSeconds(const std::string& text);

// A span of whole seconds as a clock shows it: "0:07", "12:30", "1:02:03"
// (a part of a second is dropped; below 0 is 0).
std::string FormatDuration(double seconds);

}  // namespace platform
