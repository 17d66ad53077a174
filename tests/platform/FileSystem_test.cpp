#include "platform/FileSystem.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/Error.h"
#include "platform/TextFile.h"
#include "support/ToolsTest.h"

using namespace platform;

class FileSystemTest : public TTestDir {};

// Each component resolves without regard to case; the found prefix keeps its
// real case and what does not exist stays as given; a final dot is dropped.
TEST_F(FileSystemTest, NamesResolveAsWindowsFindsThem) {
  WriteBytes("Dir/Sub/App.RES", "x");
  WriteBytes("Summary.log", "s");
  EXPECT_EQ(ResolvePath(Path("DIR/SUB/APP.res")), Path("Dir/Sub/App.RES"));
  EXPECT_TRUE(FileExists("dir/SUB/app.res"));
  EXPECT_TRUE(DirectoryExists("DIR/sub"));
  EXPECT_FALSE(FileExists("dir/sub"));
  EXPECT_FALSE(DirectoryExists("dir/sub/app.res"));
  EXPECT_EQ(ResolvePath("dir/NEW/File.txt"), "Dir/NEW/File.txt");
  EXPECT_EQ(ResolvePath("dir//sub/"), "Dir//Sub/");
  EXPECT_EQ(ResolvePath("dir/../dir/sub"), "Dir/../Dir/Sub");
  EXPECT_TRUE(FileExists("summary.LOG."));
  EXPECT_EQ(ResolvePath("Summary.log."), "Summary.log");
  EXPECT_EQ(ResolvePath("Missing."), "Missing");
#ifndef _WIN32
  WriteBytes("Summary.log.", "beside");  // here such a name can stand beside the other
  EXPECT_EQ(FileSize("Summary.log."), 1u);
#endif
  EXPECT_EQ(ApplyTrailingDotRule("dir.x/name.."), "dir.x/name");
  EXPECT_EQ(ApplyTrailingDotRule("dir/.."), "dir/..");
  EXPECT_EQ(ApplyTrailingDotRule("."), ".");
}

// Only a case-sensitive file system can hold several spellings of one name:
// the exact one wins, then the usual Windows variants (extension, then the
// whole name, in the other case), then the first in byte order. Windows holds
// one entry whatever the case, with the name it was made with.
TEST_F(FileSystemTest, ExactNameWinsThenTheUsualSpellingsThenByteOrder) {
  WriteBytes("a.txt", "lower");
  WriteBytes("A.txt", "upper");
  WriteBytes("Mixed.Txt", "m");
  WriteBytes("mIXED.txt", "n");
  EXPECT_EQ(ResolvePath("MIXED.TXT"), "Mixed.Txt");
#ifdef _WIN32
  EXPECT_EQ(Listing(), (std::vector<std::string>{"Mixed.Txt", "a.txt"}));
  for (const char* name : {"a.txt", "A.txt", "a.TXT", "A.TXT"}) EXPECT_EQ(ResolvePath(name), "a.txt") << name;
  EXPECT_EQ(ReadBytes("a.txt"), "upper");
#else
  for (const auto& [name, found] : std::vector<std::pair<const char*, const char*> >{
           {"a.txt", "a.txt"}, {"A.txt", "A.txt"}, {"a.TXT", "a.txt"}, {"A.TXT", "A.txt"}})
    EXPECT_EQ(ResolvePath(name), found) << name;
#endif
}

// One file by any of its names: links of both kinds and other spellings;
// names of files yet to be made by their full paths, letter case aside.
TEST_F(FileSystemTest, SameFileByIdentityNotByName) {
  WriteBytes("dir/a.txt", "a");
  WriteBytes("dir/b.txt", "a");
  std::error_code ec;
  std::filesystem::create_hard_link(Path("dir/a.txt"), Path("hard.txt"), ec);
  const bool hard = !ec;
  std::filesystem::create_symlink(Path("dir/a.txt"), Path("soft.txt"), ec);
  const bool soft = !ec;
  EXPECT_TRUE(SameFile(Path("dir/a.txt"), Path("dir/../dir/./a.txt")));
  EXPECT_TRUE(SameFile(Path("dir/a.txt"), Path("DIR/A.TXT")));
  EXPECT_TRUE(!hard || SameFile(Path("dir/a.txt"), Path("hard.txt")));
  EXPECT_TRUE(!soft || SameFile(Path("soft.txt"), Path("dir/a.txt")));
  EXPECT_FALSE(SameFile(Path("dir/a.txt"), Path("dir/b.txt")));  // equal bytes, two files
  EXPECT_FALSE(SameFile(Path("dir/a.txt"), Path("dir/new.txt")));
  EXPECT_TRUE(SameFile(Path("dir/new.txt"), Path("dir/sub/../NEW.txt")));
  EXPECT_FALSE(SameFile(Path("dir/new.txt"), Path("dir/other.txt")));
  EXPECT_FALSE(IsSpecialFile(Path("dir/a.txt")));
  EXPECT_FALSE(IsSpecialFile(Path("dir")));
  EXPECT_FALSE(IsSpecialFile(Path("none")));
}

TEST_F(FileSystemTest, AttributesSizeAndTime) {
  WriteBytes("f.ini", std::string(300, 'x'));
  EXPECT_EQ(FileSize("F.INI"), 300u);
  EXPECT_NEAR(static_cast<double>(LastWriteTime("F.ini")), static_cast<double>(std::time(nullptr)), 60);
  EXPECT_FALSE(IsReadOnly("F.INI"));
  SetReadOnly("F.ini", true);
  EXPECT_TRUE(IsReadOnly("f.ini"));
  // What the system itself shows: no write permission, or the read-only attribute.
  const auto perms = std::filesystem::status(Path("f.ini")).permissions();
  EXPECT_EQ(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
  EXPECT_FALSE(DeleteFile("f.ini"));  // Windows does not delete a read-only file
  EXPECT_TRUE(Exists("f.ini"));
  ClearAttributes("f.INI");
  EXPECT_FALSE(IsReadOnly("f.ini"));
  EXPECT_FALSE(IsReadOnly("missing"));
  EXPECT_THROW(SetReadOnly("missing", true), TOSError);
  EXPECT_THROW(FileSize("nothing"), TOSError);
  EXPECT_THROW(LastWriteTime("nothing"), TOSError);
}

TEST_F(FileSystemTest, RenameAndDeleteResolveNames) {
  WriteBytes("Dir/Files.ini", "content");
  RenameFile("dir/files.INI", "DIR/Files.~ni");
  EXPECT_FALSE(Exists("Dir/Files.ini"));
  EXPECT_EQ(ReadBytes("Dir/Files.~ni"), "content");
  // The target must not exist, whatever its case; a change of case alone is allowed.
  WriteBytes("Dir/other", "o");
  EXPECT_THROW(RenameFile("dir/files.~ni", "dir/OTHER"), TOSError);
  EXPECT_EQ(ReadBytes("Dir/other"), "o");
  EXPECT_THROW(RenameFile("dir/none", "dir/x"), TOSError);
  RenameFile("dir/other", "Dir/OTHER");
  EXPECT_EQ(ReadBytes("Dir/OTHER"), "o");
  EXPECT_TRUE(DeleteFile("dir/files.~NI"));
  EXPECT_FALSE(Exists("Dir/Files.~ni"));
  EXPECT_FALSE(DeleteFile("dir/files.~ni"));
  EXPECT_FALSE(DeleteFile("Dir"));
}

TEST_F(FileSystemTest, DirectoriesAreMadeAndEntered) {
  WriteBytes("Proj/x", "");
  ForceDirectories("proj/a/b/");
  EXPECT_TRUE(Exists("Proj/a/b"));
  EXPECT_EQ(Listing(), std::vector<std::string>{"Proj"});
  ForceDirectories("proj/a/b");  // already there
  EXPECT_EQ(ErrorText<TOSError>([] { ForceDirectories(""); }), "Unable to create directory");
  EXPECT_THROW(ForceDirectories("Proj/x/y"), TOSError);  // a file in the way
  SetCurrentDir("PROJ");
  EXPECT_EQ(GetCurrentDir(), Path("Proj"));
  EXPECT_THROW(SetCurrentDir("nowhere"), TOSError);
  EXPECT_THROW(SetCurrentDir(""), TOSError);
  EXPECT_EQ(GetCurrentDir(), Path("Proj"));
  EXPECT_TRUE(IsDirectoryWritable("."));
  EXPECT_FALSE(IsDirectoryWritable("missing"));
}

TEST_F(FileSystemTest, ProgramAndPathForms) {
  EXPECT_EQ(ExtractFileName(ProgramFile()), ProgramName("tests_platform"));
  EXPECT_EQ(ProgramDir(), ExtractFileDir(ProgramFile()));
  EXPECT_EQ(ExpandFileName("a/../b.txt"), Path("b.txt"));
#ifdef _WIN32
  // A long name has a short twin where the file system keeps one; a missing
  // file keeps its name.
  WriteBytes("Long Name Here/Some File.text", "");
  const std::string shortName = ShortPathName(Path("Long Name Here/Some File.text"));
  EXPECT_EQ(shortName.find(' '), std::string::npos) << shortName;
  EXPECT_TRUE(FileExists(shortName)) << shortName;
  EXPECT_EQ(ShortPathName("C:\\no such dir\\c.txt"), "C:\\no such dir\\c.txt");
#else
  EXPECT_EQ(ShortPathName("/a b/c.txt"), "/a b/c.txt");
  const std::pair<const char*, const char*> fullNames[] = {
      {"/", "/"},         {"/a/b.txt", "/a/b.txt"}, {"/a/", "/a/"},  {"/a//b", "/a/b"},           {"//a", "/a"},
      {"/a/./b", "/a/b"}, {"/a/b/..", "/a/"},       {"/a/.", "/a/"}, {"/.a/..b/c.", "/.a/..b/c."}};
  for (const auto& [name, full] : fullNames) EXPECT_EQ(ExpandFileName(name), full) << name;
#endif
}

TEST(FileNames, DelphiStyleParts) {
  const auto N = NativePath;
  EXPECT_EQ(ExtractFileExt(N("/src.d/App")), "");
  EXPECT_EQ(ExtractFileExt(N("/src/App.")), ".");
  EXPECT_EQ(ExtractFileExt("a.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt(N("/src/App.dpr"), ".cfg"), N("/src/App.cfg"));
  EXPECT_EQ(ChangeFileExt(N("/src.d/App"), ".RES"), N("/src.d/App.RES"));
  EXPECT_EQ(ExtractFilePath(N("/src/App.dpr")), N("/src/"));
  EXPECT_EQ(ExtractFilePath("App.dpr"), "");
  EXPECT_EQ(ExtractFileName(N("/src/App.dpr")), "App.dpr");
  EXPECT_EQ(ExtractFileDir(N("/src/App.dpr")), N("/src"));
  EXPECT_EQ(ExtractFileDir(N("/App.dpr")), N("/"));
  EXPECT_EQ(IncludeTrailingPathDelimiter(N("/src")), N("/src/"));
  EXPECT_EQ(IncludeTrailingPathDelimiter(N("/src/")), N("/src/"));
#ifdef _WIN32
  // Drive letters end a directory part, and either separator is one.
  EXPECT_EQ(ExtractFileDir("C:\\App.dpr"), "C:\\");
  EXPECT_EQ(ExtractFilePath("C:App.dpr"), "C:");
  EXPECT_EQ(ExtractFileName("C:\\proj/src\\App.dpr"), "App.dpr");
  EXPECT_EQ(ExtractFileDir("C:/proj/App.dpr"), "C:/proj");
  EXPECT_EQ(ExtractFileExt("C:\\src.d\\App"), "");
  EXPECT_EQ(ChangeFileExt("D:App", ".RES"), "D:App.RES");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:/proj/"), "C:/proj/");
  EXPECT_EQ(ApplyTrailingDotRule("C:\\proj\\Summary.log."), "C:\\proj\\Summary.log");
  EXPECT_EQ(ExtractFileDir("\\\\server\\share\\App.dpr"), "\\\\server\\share");
#endif
}

// Within a scope the program reads each directory and file once and still
// sees every change it makes itself, one listing whether a directory is named
// relatively or absolutely; a change from outside is seen once the scope is
// over, and a file another program adds is found by its listing.
TEST_F(FileSystemTest, KeptFactsFollowTheProgramAndLastOnlyAsLongAsTheScope) {
  WriteBytes("dir/Old.txt", "x");
  WriteBytes("dir/Shared.config", "one\r\n");
  SetCurrentDir(Path("dir"));
  {
    TDirectoryListingScope scope;
    EXPECT_TRUE(FileExists(Path("dir/OLD.TXT")));
    EXPECT_FALSE(FileExists("new.TXT"));  // "." read into the listing
    EXPECT_FALSE(FileExists(Path("dir/New.txt")));
    WriteFileBytes(Path("dir/New.txt"), "y");
    EXPECT_TRUE(FileExists("NEW.TXT"));
    EXPECT_TRUE(FileExists(Path("dir/New.txt")));
    EXPECT_EQ(ResolvePath("new.txt"), "New.txt");
    RenameFile(Path("dir/old.txt"), Path("dir/Renamed.txt"));
    EXPECT_FALSE(FileExists(Path("dir/OLD.txt")));
    EXPECT_TRUE(FileExists("renamed.TXT"));
    EXPECT_TRUE(DeleteFile(Path("dir/RENAMED.txt")));
    EXPECT_FALSE(FileExists(Path("dir/renamed.txt")));
    AppendFileBytes(Path("dir/Appended.txt"), "z");
    EXPECT_EQ(ResolvePath(Path("dir/appended.TXT")), Path("dir/Appended.txt"));

    EXPECT_EQ(ReadFileBytes(Path("dir/shared.CONFIG")), "one\r\n");
    SetReadOnly(Path("dir/Shared.config"), true);
    EXPECT_TRUE(IsReadOnly(Path("dir/Shared.config")));
    SetReadOnly(Path("dir/Shared.config"), false);
    WriteFileBytes(Path("dir/Shared.config"), "two\r\n");
    EXPECT_EQ(ReadFileBytes(Path("dir/Shared.config")), "two\r\n");
    EXPECT_FALSE(FileExists(Path("dir/added.txt")));
    EXPECT_FALSE(FileExists(Path("dir/Added.txt")));
    // Another program adds a file, once the directory's time has settled;
    // the process runner tells when one ran.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    WriteBytes("dir/Added.txt", "x");
    ForgetKeptFileFacts();
    EXPECT_EQ(ResolvePath(Path("dir/ADDED.txt")), Path("dir/Added.txt"));
    EXPECT_TRUE(FileExists(Path("dir/Added.txt")));
#ifndef _WIN32
    EXPECT_EQ(ReadFileBytes(Path("dir/Shared.config")), "two\r\n");
    WriteBytes("dir/Shared.config", "three\r\n");  // behind the program's back
    EXPECT_EQ(ReadFileBytes(Path("dir/Shared.config")), "two\r\n");
#endif
  }
  EXPECT_EQ(ReadFileBytes(Path("dir/Shared.config")), ReadBytes("dir/Shared.config"));
}

#ifndef _WIN32
// One look at a path is kept for both questions, unless it is a link: then
// its target answers for the file and the link itself for the name. (On
// Windows nothing is kept, and links need rights a user seldom has.)
TEST_F(FileSystemTest, KeptFactsTellALinkFromItsTarget) {
  WriteBytes("dir/Target.txt", "twelve bytes");
  std::filesystem::create_symlink(Path("dir/Target.txt"), Path("dir/Link.txt"));
  std::filesystem::create_symlink(Path("dir/Gone.txt"), Path("dir/Dangling.txt"));
  TDirectoryListingScope scope;
  for (int look = 0; look < 2; ++look) {  // the first look and the kept one
    EXPECT_EQ(FileSize(Path("dir/link.TXT")), 12u);
    EXPECT_EQ(ResolvePath(Path("dir/dangling.txt")), Path("dir/Dangling.txt"));
    EXPECT_FALSE(FileExists(Path("dir/Dangling.txt")));
    EXPECT_TRUE(FileExists(Path("dir/Link.txt")));
  }
}
#endif
