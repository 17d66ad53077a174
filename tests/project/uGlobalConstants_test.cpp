#include "project/uGlobalConstants.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"
#include "support/ToolsTest.h"

class GlobalConstantsTest : public TTestDir {};

TEST(PathJoin, JoinsWithOneSeparatorAndTreatsBlankDirAsNone) {
  const std::string d(1, platform::PathDelim);
#ifdef _WIN32
  EXPECT_EQ(PathJoin("C:\\proj", "Files.ini"), "C:\\proj\\Files.ini");
#endif
  EXPECT_EQ(PathJoin("/proj", "Files.ini"), "/proj" + d + "Files.ini");
  EXPECT_EQ(PathJoin("/proj" + d, "Files.ini"), "/proj" + d + "Files.ini");
  for (const char* blank : {"", "   ", " \t\r\n\x01 "}) EXPECT_EQ(PathJoin(blank, "Files.ini"), "Files.ini");
  // Only a blank directory is trimmed; anything else is used as written.
  EXPECT_EQ(PathJoin(" d ", "n"), " d " + d + "n");
  EXPECT_EQ(PathJoin("d", d + "n"), "d" + d + d + "n");
  EXPECT_EQ(PathJoin("d", ""), "d" + d);
}

// The extensions name targets. (The names, the keys of the project files, are
// seen in the files the persistence tests save.)
TEST(SettingKinds, ExtensionsAndTextsInMemory) {
  const TGlobalStuff& g = GlobalStuff();
  const std::pair<TTargetTypeEnum, const char*> extensions[] = {
      {ttUnknown, ".unk"}, {ttRC, ".RC"}, {ttEXE, ".EXE"}, {ttDLL, ".DLL"}, {ttBPL, ".BPL"}};
  for (const auto& [kind, extension] : extensions) EXPECT_EQ(g.TargetExtension(kind), extension);

  // Each kind with a file has a text of its own; the two without have none.
  TSettingsInMemory memory;
  for (auto kind : InMemorySettingKinds()) memory.Set(kind, g.SettingName(kind));
  for (auto kind : InMemorySettingKinds()) EXPECT_EQ(memory[kind], g.SettingName(kind));
  EXPECT_THROW(memory[stSourceFile], TError);
  EXPECT_THROW(memory[stDestFile], TError);
}

namespace {

// 'W' is four times as wide as anything else.
int Width(const std::string& s) {
  int w = 0;
  for (char c : s) w += c == 'W' ? 20 : 5;
  return w;
}

}  // namespace

// Directories go one at a time from the left until the path fits; the file
// name is never cut, and a path without a separator is never shortened.
TEST(ShortenPath, DropsOneDirectoryAtATimeUntilItFits) {
  const TGlobalStuff& g = GlobalStuff();
  const auto N = NativePath;
  const std::string path = N("c/dir1/dir2/dir3/file.dpr");
  const std::string steps[] = {path, N("c/.../dir2/dir3/file.dpr"), N("c/.../dir3/file.dpr"), N("c/.../file.dpr")};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(g.ShortenPath(path, Width(steps[i]), Width), steps[i]);
    EXPECT_EQ(g.ShortenPath(path, Width(steps[i]) - 1, Width), steps[i + 1]);
  }
  EXPECT_EQ(g.ShortenPath(path, 1, Width), steps[3]);
  EXPECT_EQ(g.ShortenPath(N("/home/user/file.dpr"), 1, Width), N("/.../file.dpr"));
  // Measured as drawn: by character count "/.../WWWW/bbbb/f.dpr" would fit 100.
  EXPECT_EQ(g.ShortenPath(N("/aaaa/WWWW/bbbb/f.dpr"), 100, Width), N("/.../bbbb/f.dpr"));
  EXPECT_EQ(g.ShortenPath(N("/aaaa/WWWW/bbbb/f.dpr"), 160, Width), N("/.../WWWW/bbbb/f.dpr"));
  EXPECT_EQ(g.ShortenPath("file.dpr", 1, Width), "file.dpr");
  EXPECT_EQ(g.ShortenPath("", 0, Width), "");
  const std::string longName = std::string(280, 'n') + ".dpr";
  EXPECT_EQ(g.ShortenPath(N("/x/" + std::string(300, 'd') + "/" + longName), 100, Width), N("/.../") + longName);
}

TEST_F(GlobalConstantsTest, TargetKindFromExtensionAndFirstLine) {
  WriteBytes("Lib.dpr", "library Lib;\r\n\r\nuses SysUtils;\r\n");
  WriteBytes("Commented.dpr", "{ Commented: shared code }\r\nlibrary Commented;\r\n");
  WriteBytes("Tool.dpr", "program LibraryTool;\nuses Forms;\n");
  WriteBytes("Plain.dpr", "program Plain;\r\n\r\nlibrary");
  WriteBytes("sub/Deep.DPR", "LIBRARY Deep;");
  const std::pair<std::string, TTargetTypeEnum> cases[] = {
      {"", ttUnknown},          {"   ", ttUnknown},
      {"App.rc", ttRC},         {"App.RC", ttRC},
      {"Pack.DpK", ttBPL},      {"Lib.dpr", ttDLL},
      {"Commented.dpr", ttEXE}, {"Tool.dpr", ttDLL},
      {"Plain.dpr", ttEXE},     {NativePath("sub/Deep.DPR"), ttDLL},
      {Path("Lib.dpr"), ttDLL}, {"LIB.DPR", ttDLL},  // found the way Windows finds it
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(GlobalStuff().TargetKind(name), kind) << name;
  // Other names are refused.
  for (std::string name : {"App.res", "App", "App.", "my.rc.bak", "App.rcx", " App.dpr "}) {
    EXPECT_EQ(ErrorText<TError>([&] { GlobalStuff().TargetKind(name); }), name + " is not rc, dpr or dpk.");
  }
  // A .dpr that cannot be read, or has no first line, fails with its reading error.
  EXPECT_EQ(ErrorText<TError>([] { GlobalStuff().TargetKind("Missing.dpr"); }),
            ErrorText<TError>([] { platform::ReadTextLines("Missing.dpr"); }));
  WriteBytes("Empty.dpr", "");
  EXPECT_THROW(GlobalStuff().TargetKind("Empty.dpr"), TError);
}

TEST_F(GlobalConstantsTest, FileSizeInWholeRecords) {
  for (const auto& [size, records] : std::vector<std::pair<std::size_t, int>>{{0, 0}, {127, 0}, {128, 1}, {300, 2}}) {
    WriteBytes("f", std::string(size, 'x'));
    EXPECT_EQ(FileSizeInRecords("f"), records) << size;
  }
  EXPECT_THROW(FileSizeInRecords("none"), TOSError);
}

TEST_F(GlobalConstantsTest, ChangeDirCreatesParentsAndEntersOrNamesTheReason) {
  GlobalStuff().ChangeDir(NativePath("a/b/c"));
  EXPECT_EQ(platform::GetCurrentDir(), Path("a/b/c"));
  GlobalStuff().ChangeDir(Root);
  EXPECT_EQ(platform::GetCurrentDir(), Root);
  WriteBytes("blocker", "a file, not a directory");
  for (std::string dir : {NativePath("blocker/sub"), std::string()}) {
    const std::string reason = ErrorText<TError>([&] { platform::ForceDirectories(dir); });
    EXPECT_EQ(ErrorText<TError>([&] { GlobalStuff().ChangeDir(dir); }), "chdir to " + dir + " failed: \r\n" + reason);
    EXPECT_EQ(platform::GetCurrentDir(), Root);
  }
}
