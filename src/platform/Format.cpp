#include "platform/Format.h"

#include <charconv>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>

namespace platform {

namespace {

std::tm LocalTime(std::time_t when) {
  std::tm tm{};
#ifdef _WIN32
  if (localtime_s(&tm, &when) != 0) tm = std::tm{};
#else
  if (!localtime_r(&when, &tm)) tm = std::tm{};
#endif
  return tm;
}

// A name from the C library's locale ("%a", "%b", ...).
std::string LocaleName(const char* conversion, const std::tm& tm) {
  char buffer[128];
  std::size_t n = std::strftime(buffer, sizeof buffer, conversion, &tm);
  return std::string(buffer, n);
}

std::string TwoDigits(int v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", v);
  return buffer;
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

TDateTime Now() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  TDateTime t;
  t.Seconds = static_cast<std::time_t>(ms / 1000);
  t.Milliseconds = static_cast<int>(ms % 1000);
  return t;
}

std::int64_t MillisecondsBetween(const TDateTime& a, const TDateTime& b) {
  return (static_cast<std::int64_t>(b.Seconds) - static_cast<std::int64_t>(a.Seconds)) * 1000 +
         (b.Milliseconds - a.Milliseconds);
}

std::string FormatDateTime(const std::string& pattern, std::time_t when) {
  const std::tm tm = LocalTime(when);
  std::string out;
  bool afterHour = false;  // an "m" now stands for minutes
  std::size_t i = 0;
  while (i < pattern.size()) {
    char c = Upper(pattern[i]);
    if (c == '"' || c == '\'') {
      // Quoted text is copied as it stands.
      std::size_t close = pattern.find(pattern[i], i + 1);
      if (close == std::string::npos) close = pattern.size();
      out.append(pattern, i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    std::size_t run = 1;
    if (c == 'D' || c == 'M' || c == 'Y' || c == 'H' || c == 'N' || c == 'S')
      while (i + run < pattern.size() && Upper(pattern[i + run]) == c) ++run;
    switch (c) {
      case 'D':
        if (run == 1)
          out += std::to_string(tm.tm_mday);
        else if (run == 2)
          out += TwoDigits(tm.tm_mday);
        else
          out += LocaleName(run == 3 ? "%a" : "%A", tm);
        afterHour = false;
        break;
      case 'M':
        if (afterHour && run <= 2)
          out += run == 1 ? std::to_string(tm.tm_min) : TwoDigits(tm.tm_min);
        else if (run == 1)
          out += std::to_string(tm.tm_mon + 1);
        else if (run == 2)
          out += TwoDigits(tm.tm_mon + 1);
        else
          out += LocaleName(run == 3 ? "%b" : "%B", tm);
        afterHour = false;
        break;
      case 'Y':
        out += run <= 2 ? TwoDigits((tm.tm_year + 1900) % 100) : std::to_string(tm.tm_year + 1900);
        afterHour = false;
        break;
      case 'H':
        out += run == 1 ? std::to_string(tm.tm_hour) : TwoDigits(tm.tm_hour);
        afterHour = true;
        break;
      case 'N':
        out += run == 1 ? std::to_string(tm.tm_min) : TwoDigits(tm.tm_min);
        afterHour = false;
        break;
      case 'S':
        out += run == 1 ? std::to_string(tm.tm_sec) : TwoDigits(tm.tm_sec);
        afterHour = false;
        break;
      default:
        // Blanks, commas, colons and any other character stand for themselves
        // and do not end the hour's claim on a following "mm".
        out += pattern[i];
        break;
    }
    i += run;
  }
  return out;
}

std::string FormatThousands(std::int64_t value, int width) {
  const std::lconv* lc = std::localeconv();
  std::string separator = lc && lc->thousands_sep && *lc->thousands_sep ? lc->thousands_sep : ",";
  // Digits of the magnitude, computed unsigned so that INT64_MIN works too.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
    grouped += digits[i];
  }
  if (value < 0) grouped.insert(0, 1, '-');
  if (width > 0 && grouped.size() < static_cast<std::size_t>(width))
    grouped.insert(0, static_cast<std::size_t>(width) - grouped.size(), ' ');
  return grouped;
}

std::string FormatFixed2(double value) {
  char buffer[400];  // the largest double has 309 digits before the point
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  if (ec != std::errc()) return std::string();
  return std::string(buffer, end);
}

std::optional<double> ParseSeconds(const std::string& text) {
  const std::size_t point = text.find('.');
  if (text.empty() || text == "." || text.find_first_not_of("0123456789.") != std::string::npos ||
      (point != std::string::npos && text.find('.', point + 1) != std::string::npos))
    return std::nullopt;
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.size() > 10) return std::nullopt;
  double value = whole.empty() ? 0 : static_cast<double>(std::stoll(whole));
  // The first digits of the fraction, as a whole number over a power of ten.
  const std::string digits = fraction.substr(0, 9);
  if (!digits.empty()) value += static_cast<double>(std::stoll(digits)) / std::pow(10.0, digits.size());
  if (!(value > 0) || value > 1e9) return std::nullopt;
  return value;
}

std::string FormatDuration(double seconds) {
  const long long whole = seconds > 0 ? static_cast<long long>(seconds) : 0;
  const long long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
  auto twoDigits = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(rest);
  return std::to_string(minutes) + ":" + twoDigits(rest);
}

}  // namespace platform
