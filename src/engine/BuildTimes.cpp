#include "engine/BuildTimes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <unordered_set>

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
  const auto found = Index.find(entryLine);
  if (found == Index.end()) return std::nullopt;
  return Times[found->second].second;
}

void TBuildTimes::Set(const std::string& entryLine, double seconds) {
  seconds = std::clamp(seconds, 0.0, static_cast<double>(MaxMilliseconds) / 1000.0);
  const auto [found, added] = Index.try_emplace(entryLine, Times.size());
  if (added) {
    Times.emplace_back(entryLine, seconds);
  } else {
    Sum -= Times[found->second].second;
    Times[found->second].second = seconds;
  }
  Sum += seconds;
}

void TBuildTimes::KeepOnly(const std::vector<std::string>& entryLines) {
  const std::unordered_set<std::string> kept(entryLines.begin(), entryLines.end());
  std::erase_if(Times, [&](const auto& time) { return !kept.contains(time.first); });
  Index.clear();
  Sum = 0;
  for (std::size_t i = 0; i < Times.size(); ++i) {
    Index.emplace(Times[i].first, i);
    Sum += Times[i].second;
  }
}

double TBuildTimes::MeanSeconds() const {
  return Times.empty() ? 0 : Sum / static_cast<double>(Times.size());
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
