#include "project/uGlobalConstants.h"

#include <set>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "support/TestDir.h"

class GlobalConstantsTest : public TTestDir {};

TEST(PathJoin, JoinsWithOneSeparatorAndTreatsBlankDirAsNone) {
#ifdef _WIN32
  EXPECT_EQ(PathJoin("C:\\proj", "Files.ini"), "C:\\proj\\Files.ini");
  EXPECT_EQ(PathJoin("C:\\proj\\", "Files.ini"), "C:\\proj\\Files.ini");
#endif
  EXPECT_EQ(PathJoin("/proj", "Files.ini"), std::string("/proj") + platform::PathDelim + "Files.ini");
  const std::string withDelim = std::string("/proj") + platform::PathDelim;
  EXPECT_EQ(PathJoin(withDelim, "Files.ini"), withDelim + "Files.ini");
  EXPECT_EQ(PathJoin("   ", "Files.ini"), "Files.ini");
  EXPECT_EQ(PathJoin("", "Files.ini"), "Files.ini");
  EXPECT_EQ(PathJoin(" \t\r\n\x01 ", "Files.ini"), "Files.ini");
  // Only a blank directory is trimmed; anything else is used as written.
  EXPECT_EQ(PathJoin(" d ", "n"), std::string(" d ") + platform::PathDelim + "n");
  EXPECT_EQ(PathJoin("d", std::string(1, platform::PathDelim) + "n"),
            std::string("d") + platform::PathDelim + platform::PathDelim + "n");
  EXPECT_EQ(PathJoin("d", ""), std::string("d") + platform::PathDelim);
}

TEST(SettingKinds, NamesDropTheirPrefix) {
  const TGlobalStuff& g = GlobalStuff();
  EXPECT_EQ(&g, &GlobalStuff());
  const char* names[] = {"SourceFile",   "DestFile",     "LibraryPath", "ConfigFile",    "ConfigWithPath", "DPKConfig",
                         "LocalVerInfo", "GroupVerInfo", "RCMask",      "PreProcessing", "PostProcessing"};
  ASSERT_EQ(AllSettingKinds().size(), 11u);
  for (std::size_t i = 0; i < AllSettingKinds().size(); ++i) {
    EXPECT_EQ(static_cast<std::size_t>(AllSettingKinds()[i]), i);
    EXPECT_EQ(g.SettingName(AllSettingKinds()[i]), names[i]);
  }
  ASSERT_EQ(AllResourceTypes().size(), 18u);
  EXPECT_EQ(g.ResourceTypeName(reMajor), "Major");
  EXPECT_EQ(g.ResourceTypeName(reAppid), "Appid");
  EXPECT_EQ(g.ResourceTypeName(reLegalTrademarks), "LegalTrademarks");
  EXPECT_EQ(g.ResourceTypeName(reOriginalFilename), "OriginalFilename");
  EXPECT_EQ(g.ResourceTypeName(reIconFileName), "IconFileName");
  EXPECT_EQ(g.ResourceTypeName(AllResourceTypes().back()), "IconFileName");

  EXPECT_EQ(g.TargetExtension(ttUnknown), ".unk");
  EXPECT_EQ(g.TargetExtension(ttRC), ".RC");
  EXPECT_EQ(g.TargetExtension(ttEXE), ".EXE");
  EXPECT_EQ(g.TargetExtension(ttDLL), ".DLL");
  EXPECT_EQ(g.TargetExtension(ttBPL), ".BPL");
}

TEST(SettingKinds, InMemoryTextsHaveOneSlotPerFileKind) {
  ASSERT_EQ(InMemorySettingKinds().size(), 9u);
  EXPECT_EQ(InMemorySettingKinds().front(), stLibraryPath);
  EXPECT_EQ(InMemorySettingKinds().back(), stPostProcessing);
  TSettingsInMemory memory;
  for (auto kind : InMemorySettingKinds()) memory[kind] = GlobalStuff().SettingName(kind);
  std::set<std::string> seen;
  for (auto kind : InMemorySettingKinds()) {
    EXPECT_EQ(memory[kind], GlobalStuff().SettingName(kind));
    seen.insert(memory[kind]);
  }
  EXPECT_EQ(seen.size(), 9u);
  EXPECT_THROW(memory[stSourceFile], TError);
  EXPECT_THROW(memory[stDestFile], TError);

  TSettingsPathNameArray names{};
  names[stRCMask] = "App.rc.mask";
  EXPECT_EQ(names[8], "App.rc.mask");
}

namespace {

std::string P(const std::string& slashPath) {
  std::string s = slashPath;
  for (char& c : s)
    if (c == '/') c = platform::PathDelim;
  return s;
}

int FixedWidth(const std::string& s) {
  return static_cast<int>(s.size()) * 7;
}

// 'W' is four times as wide as anything else.
int ProportionalWidth(const std::string& s) {
  int w = 0;
  for (char c : s) w += c == 'W' ? 20 : 5;
  return w;
}

}  // namespace

TEST(ShortenPath, DropsOneDirectoryAtATimeUntilItFits) {
  const TGlobalStuff& g = GlobalStuff();
  const std::string path = P("c/dir1/dir2/dir3/file.dpr");
  EXPECT_EQ(g.ShortenPath(path, 1000, FixedWidth), path);
  EXPECT_EQ(g.ShortenPath(path, FixedWidth(path), FixedWidth), path);
  const std::string step1 = P("c/.../dir2/dir3/file.dpr");
  const std::string step2 = P("c/.../dir3/file.dpr");
  const std::string step3 = P("c/.../file.dpr");
  EXPECT_EQ(g.ShortenPath(path, FixedWidth(path) - 1, FixedWidth), step1);
  EXPECT_EQ(g.ShortenPath(path, FixedWidth(step1), FixedWidth), step1);
  EXPECT_EQ(g.ShortenPath(path, FixedWidth(step1) - 1, FixedWidth), step2);
  EXPECT_EQ(g.ShortenPath(path, FixedWidth(step2) - 1, FixedWidth), step3);
  // Still too wide with every directory gone: the file name is never cut.
  EXPECT_EQ(g.ShortenPath(path, 1, FixedWidth), step3);
  EXPECT_EQ(g.ShortenPath(P("/home/user/file.dpr"), 1, FixedWidth), P("/.../file.dpr"));
}

TEST(ShortenPath, MeasuresWithTheGivenFunction) {
  const TGlobalStuff& g = GlobalStuff();
  const std::string path = P("/aaaa/WWWW/bbbb/f.dpr");
  // By character count "/.../WWWW/bbbb/f.dpr" would fit 100 pixels; drawn it
  // is 160 wide, so the wide directory has to go as well.
  EXPECT_EQ(ProportionalWidth(P("/.../WWWW/bbbb/f.dpr")), 160);
  EXPECT_EQ(g.ShortenPath(path, 100, ProportionalWidth), P("/.../bbbb/f.dpr"));
  EXPECT_EQ(g.ShortenPath(path, 160, ProportionalWidth), P("/.../WWWW/bbbb/f.dpr"));
}

TEST(ShortenPath, KeepsPathsWithoutSeparatorAndLongFileNames) {
  const TGlobalStuff& g = GlobalStuff();
  EXPECT_EQ(g.ShortenPath("file.dpr", 1, FixedWidth), "file.dpr");
  EXPECT_EQ(g.ShortenPath("", 0, FixedWidth), "");
  const std::string longDir(300, 'd');
  const std::string longName = std::string(280, 'n') + ".dpr";
  EXPECT_EQ(g.ShortenPath(P("/" + longDir + "/file.dpr"), 100, FixedWidth), P("/.../file.dpr"));
  EXPECT_EQ(g.ShortenPath(P("/x/" + longDir + "/" + longName), 100, FixedWidth), P("/.../") + longName);
}

TEST_F(GlobalConstantsTest, TargetKindFromExtensionAndFirstLine) {
  const TGlobalStuff& g = GlobalStuff();
  EXPECT_EQ(g.TargetKind(""), ttUnknown);
  EXPECT_EQ(g.TargetKind("   "), ttUnknown);
  EXPECT_EQ(g.TargetKind("App.rc"), ttRC);
  EXPECT_EQ(g.TargetKind("App.RC"), ttRC);
  EXPECT_EQ(g.TargetKind("Pack.dpk"), ttBPL);
  EXPECT_EQ(g.TargetKind("Pack.DpK"), ttBPL);

  WriteBytes("Lib.dpr", "library Lib;\r\n\r\nuses SysUtils;\r\n");
  WriteBytes("Commented.dpr", "{ Commented: shared code }\r\nlibrary Commented;\r\n");
  WriteBytes("Tool.dpr", "program LibraryTool;\nuses Forms;\n");
  WriteBytes("Plain.dpr", "program Plain;\r\n\r\nlibrary");
  WriteBytes("sub/Deep.DPR", "LIBRARY Deep;");
  EXPECT_EQ(g.TargetKind("Lib.dpr"), ttDLL);
  EXPECT_EQ(g.TargetKind("Commented.dpr"), ttEXE);
  EXPECT_EQ(g.TargetKind("Tool.dpr"), ttDLL);
  EXPECT_EQ(g.TargetKind("Plain.dpr"), ttEXE);
  EXPECT_EQ(g.TargetKind(P("sub/Deep.DPR")), ttDLL);
  EXPECT_EQ(g.TargetKind(Path("Lib.dpr")), ttDLL);
  // The name is found the way Windows finds it.
  EXPECT_EQ(g.TargetKind("LIB.DPR"), ttDLL);
}

TEST_F(GlobalConstantsTest, TargetKindRefusesOtherNames) {
  const TGlobalStuff& g = GlobalStuff();
  for (std::string name : {"App.res", "App", "App.", "my.rc.bak", "App.rcx", " App.dpr "}) {
    try {
      g.TargetKind(name);
      ADD_FAILURE() << name << " was accepted";
    } catch (const TError& e) {
      EXPECT_EQ(std::string(e.what()), name + " is not rc, dpr or dpk.");
    }
  }
  // A .dpr that cannot be read, or has no first line, fails with its reading error.
  try {
    g.TargetKind("Missing.dpr");
    ADD_FAILURE() << "a missing .dpr was accepted";
  } catch (const TError& e) {
    EXPECT_EQ(std::string(e.what()).find("is not rc"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Missing.dpr"), std::string::npos) << e.what();
  }
  WriteBytes("Empty.dpr", "");
  EXPECT_THROW(g.TargetKind("Empty.dpr"), TError);
}

TEST_F(GlobalConstantsTest, FileSizeInWholeRecords) {
  WriteBytes("a", std::string(127, 'x'));
  WriteBytes("b", std::string(128, 'x'));
  WriteBytes("c", std::string(300, 'x'));
  WriteBytes("d", "");
  EXPECT_EQ(FileSizeInRecords("a"), 0);
  EXPECT_EQ(FileSizeInRecords("b"), 1);
  EXPECT_EQ(FileSizeInRecords("c"), 2);
  EXPECT_EQ(FileSizeInRecords("d"), 0);
  EXPECT_THROW(FileSizeInRecords("none"), TOSError);
}

TEST_F(GlobalConstantsTest, ChangeDirCreatesParentsAndEntersTheDirectory) {
  GlobalStuff().ChangeDir(P("a/b/c"));
  EXPECT_EQ(platform::GetCurrentDir(), Path(P("a/b/c")));
  GlobalStuff().ChangeDir(Root);
  EXPECT_EQ(platform::GetCurrentDir(), Root);
  GlobalStuff().ChangeDir(P("a/b"));
  EXPECT_EQ(platform::GetCurrentDir(), Path(P("a/b")));
}

TEST_F(GlobalConstantsTest, ChangeDirFailureNamesTheDirectoryAndTheReason) {
  WriteBytes("blocker", "a file, not a directory");
  for (std::string dir : {P("blocker/sub"), std::string()}) {
    try {
      GlobalStuff().ChangeDir(dir);
      ADD_FAILURE() << "entered " << dir;
    } catch (const TError& e) {
      const std::string prefix = "chdir to " + dir + " failed: \r\n";
      const std::string text = e.what();
      EXPECT_EQ(text.substr(0, prefix.size()), prefix);
      EXPECT_GT(text.size(), prefix.size()) << "no reason given";
    }
    EXPECT_EQ(platform::GetCurrentDir(), Root);
  }
}
