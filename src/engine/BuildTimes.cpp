#include "engine/BuildTimes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>

#include "platform/TextFile.h"
#include "project/uGlobalConstants.h"

namespace {

// The longest a kept time may be: anything larger is no time of ours.
constexpr long long MaxMilliseconds = 1000LL * 60 * 60 * 24 * 365;

}  // namespace

TBuildTimes TBuildTimes::Load(const std::string& projectDir) {
  TBuildTimes times;
  platform::TStringList lines;
  try {
    lines = platform::ReadTextLines(PathJoin(projectDir, BuildTimesName));
  } catch (const std::exception&) {
    return times;  // none kept, or not readable: no estimate
  }
  for (const std::string& line : lines) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 == line.size()) continue;
    long long milliseconds = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + tab, milliseconds);
    if (error != std::errc() || end != line.data() + tab || milliseconds < 0 || milliseconds > MaxMilliseconds)
      continue;
    times.Set(line.substr(tab + 1), static_cast<double>(milliseconds) / 1000.0);
  }
  return times;
}

void TBuildTimes::Save(const std::string& projectDir) const {
  platform::TStringList lines;
  lines.reserve(Times.size());
  for (const auto& [entry, seconds] : Times)
    lines.push_back(std::to_string(std::llround(seconds * 1000.0)) + "\t" + entry);
  platform::WriteTextLines(PathJoin(projectDir, BuildTimesName), lines);
}

std::optional<double> TBuildTimes::SecondsOf(const std::string& entryLine) const {
  for (const auto& [entry, seconds] : Times)
    if (entry == entryLine) return seconds;
  return std::nullopt;
}

void TBuildTimes::Set(const std::string& entryLine, double seconds) {
  seconds = std::clamp(seconds, 0.0, static_cast<double>(MaxMilliseconds) / 1000.0);
  for (auto& [entry, kept] : Times)
    if (entry == entryLine) {
      kept = seconds;
      return;
    }
  Times.emplace_back(entryLine, seconds);
}

void TBuildTimes::KeepOnly(const std::vector<std::string>& entryLines) {
  std::erase_if(Times, [&](const auto& time) {
    return std::find(entryLines.begin(), entryLines.end(), time.first) == entryLines.end();
  });
}

double TBuildTimes::MeanSeconds() const {
  double sum = 0;
  for (const auto& time : Times) sum += time.second;
  return Times.empty() ? 0 : sum / static_cast<double>(Times.size());
}

std::optional<double> EstimateSecondsLeft(const TBuildTimes& last, const std::vector<std::string>& toCome,
                                          const std::string& running, double runningSeconds) {
  double left = 0;
  bool timed = false;
  auto add = [&](const std::string& entry, double already) {
    const auto seconds = last.SecondsOf(entry);
    timed = timed || seconds.has_value();
    left += std::max(0.0, seconds.value_or(last.MeanSeconds()) - already);
  };
  if (!running.empty()) add(running, runningSeconds);
  for (const std::string& entry : toCome) add(entry, 0);
  if (!timed) return std::nullopt;
  return left;
}
