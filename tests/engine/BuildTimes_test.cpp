#include "engine/BuildTimes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/TestDir.h"

namespace {

class BuildTimesTest : public TTestDir {};

// What a kept file gives: lines of another shape, numbers that are no times
// and a file that is no file give nothing, never a failure.
TEST_F(BuildTimesTest, KeptTimesReadBackAndOddLinesAreSkipped) {
  EXPECT_TRUE(TBuildTimes::Load(Root).Empty());
  WriteBytes(BuildTimesName, CrLf({"1500\tout\\A.EXE=src\\A.dpr", "250\tB.EXE=B.dpr", "x\tC.EXE=C.dpr", "-5\tD=D",
                                   "\tE=E", "12", "99999999999999999999\tF=F", "7 \tG=G", "3000\tB.EXE=B.dpr"}));
  const TBuildTimes times = TBuildTimes::Load(Root);
  EXPECT_EQ(times.SecondsOf("out\\A.EXE=src\\A.dpr"), 1.5);
  EXPECT_EQ(times.SecondsOf("B.EXE=B.dpr"), 3.0);  // the later line of two
  for (const char* entry : {"C.EXE=C.dpr", "D=D", "E=E", "F=F", "G=G", "12"})
    EXPECT_EQ(times.SecondsOf(entry), std::nullopt) << entry;

  TBuildTimes kept = times;
  kept.Set("new=new.dpr", 0.0004);
  kept.KeepOnly({"B.EXE=B.dpr", "new=new.dpr"});
  kept.Save(Root);
  EXPECT_EQ(ReadBytes(BuildTimesName), "3000\tB.EXE=B.dpr\r\n0\tnew=new.dpr\r\n");

  std::filesystem::remove(Path(BuildTimesName));
  std::filesystem::create_directory(Path(BuildTimesName));
  EXPECT_TRUE(TBuildTimes::Load(Root).Empty());
}

TEST_F(BuildTimesTest, TheEstimateAddsWhatIsLeftOfEachEntrysLastTime) {
  TBuildTimes last;
  last.Set("A", 10);
  last.Set("B", 4);
  last.Set("C", 1);  // not in the run: only in the mean
  struct TCase {
    std::vector<std::string> ToCome;
    std::string Running;
    double RunningSeconds;
    std::optional<double> Left;
  };
  const TCase cases[] = {
      {{"B"}, "A", 3, 7 + 4},
      {{"B"}, "A", 12, 0 + 4},  // the running one takes longer than last time
      {{"New", "B"}, "A", 0, 10 + 5 + 4},
      {{}, "B", 1, 3},
      {{"A", "B"}, "", 0, 14},
      {{"New"}, "Newer", 1, std::nullopt},
      {{}, "", 0, std::nullopt},
  };
  for (const TCase& c : cases) EXPECT_EQ(EstimateSecondsLeft(last, c.ToCome, c.Running, c.RunningSeconds), c.Left);
  EXPECT_EQ(EstimateSecondsLeft(TBuildTimes(), {"A"}, "B", 0), std::nullopt);
}

}  // namespace
