#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// How long each entry of a project took when it was last built, kept beside
// the logs so that the next build can tell how long it has still to go. Each
// line of the file is the milliseconds, a tab and the entry's file list line
// (target=source). It is only a help: a file that is missing, cannot be read
// or holds lines of another shape gives what it can, never a failure.
class TBuildTimes {
 public:
  // The times kept in a project directory; none when there is no such file.
  static TBuildTimes Load(const std::string& projectDir);
  // Writes them (throws TOSError when the file cannot be written).
  void Save(const std::string& projectDir) const;

  std::optional<double> SecondsOf(const std::string& entryLine) const;
  void Set(const std::string& entryLine, double seconds);
  // Drops the entries no longer among these lines.
  void KeepOnly(const std::vector<std::string>& entryLines);
  bool Empty() const { return Times.empty(); }
  // The mean of the kept times; 0 when none is kept.
  double MeanSeconds() const;

 private:
  // In the order of the file, and by entry (asked for each entry still to
  // come, each time a run's progress is shown).
  std::vector<std::pair<std::string, double>> Times;
  std::unordered_map<std::string, std::size_t> Index;
  double Sum = 0;
};

// Seconds a run has still to go: what the entries still to come took last
// time (one never timed counts as the mean of the kept times), and what is
// left of the running one's last time after the seconds it has run (none
// running: ""). Nothing when no entry of these was ever timed.
std::optional<double> EstimateSecondsLeft(const TBuildTimes& last, const std::vector<std::string>& toCome,
                                          const std::string& running, double runningSeconds);

// The file in the project directory.
inline constexpr const char* BuildTimesName = "BuildTimes.dat";
