#include "platform/ProfileFile.h"

#include <cerrno>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "support/ToolsTest.h"

using namespace platform;
using TPairs = std::vector<std::pair<std::string, std::string>>;
using TNames = std::vector<std::string>;

TEST(ProfileRead, NamesIgnoreCaseAndFirstKeyWins) {
  auto p = TProfileFile::FromText("p", "[Options]\r\nHaltOnError=1\r\nhaltonerror=0\r\n[other]\r\nHaltOnError=7\r\n");
  EXPECT_EQ(p->ReadString("OPTIONS", "haltONerror", "d"), "1");
  EXPECT_EQ(p->ReadInteger("other", "HALTONERROR", 0), 7);
  EXPECT_EQ(p->ReadString("options", "missing", "d"), "d");
  EXPECT_EQ(p->ReadString("nosection", "HaltOnError", "d"), "d");
  EXPECT_TRUE(p->SectionExists("OTHER"));
  EXPECT_FALSE(p->SectionExists("oth"));
  EXPECT_TRUE(p->ValueExists("options", "HALTONERROR"));
  EXPECT_EQ(p->ReadSection("options"), TNames{"HaltOnError"});
  EXPECT_EQ(p->ReadSectionValues("Options"), (TPairs{{"HaltOnError", "1"}}));
  EXPECT_EQ(p->ReadSections(), (TNames{"Options", "other"}));
  // The same in a section long enough to have its keys looked up by a map.
  std::string longSection = "[Long]\r\n";
  for (int i = 0; i < 40; ++i) longSection += "Key" + std::to_string(i % 30) + "=" + std::to_string(i) + "\r\n";
  p = TProfileFile::FromText("p", longSection);
  EXPECT_EQ(p->ReadString("long", "KEY5", "d"), "5");
  EXPECT_EQ(p->ReadString("long", "key29", "d"), "29");
  EXPECT_EQ(p->ReadString("long", "key30", "d"), "d");
}

TEST(ProfileRead, TrimmingQuotesAndOddLines) {
  auto p = TProfileFile::FromText(
      "p",
      "orphan=1\n[ S ] trailing text\r  Key  =  some value  \nq1=\"quoted  \"\nq2='single'\nq3=\"mixed'\nq4=\"\n"
      "; c=1\n  ;d=1\nno equals sign\n=empty name\n[broken\ne=a=b\n");
  for (const auto& [key, value] : TPairs{{"key", "some value"},
                                         {" key ", "some value"},
                                         {"q1", "quoted  "},
                                         {"q2", "single"},
                                         {"q3", "\"mixed'"},
                                         {"q4", "\""},
                                         {"e", "a=b"}})
    EXPECT_EQ(p->ReadString("s", key, ""), value) << key;
  for (const char* key : {"c", ";d", "no equals sign"}) EXPECT_FALSE(p->ValueExists("s", key)) << key;
  EXPECT_FALSE(p->ValueExists("", "orphan"));
  EXPECT_EQ(p->ReadSection("S"), (TNames{"Key", "q1", "q2", "q3", "q4", "e"}));
  EXPECT_EQ(p->ReadSections(), TNames{"S"});
}

TEST(ProfileRead, IntegersAndBooleans) {
  auto p = TProfileFile::FromText(
      "p", "[n]\na=42\nb=-7\nc= 12 \nd=1x\ne=$1F\nf=0x10\ng=99999999999\nh=\ni=\"3\"\nj=-2147483648\n");
  const std::pair<const char*, int> cases[] = {{"a", 42},  {"b", -7}, {"c", 12}, {"d", 5}, {"e", 31},
                                               {"f", 16},  {"g", 5},  {"h", 5},  {"i", 3}, {"j", -2147483647 - 1},
                                               {"none", 5}};
  for (const auto& [key, value] : cases) EXPECT_EQ(p->ReadInteger("n", key, 5), value) << key;
  EXPECT_TRUE(p->ReadBool("n", "a", false));
  EXPECT_FALSE(p->ReadBool("n", "h", false));
  EXPECT_TRUE(p->ReadBool("n", "missing", true));
}

class ProfileFileTest : public TTestDir {};

TEST_F(ProfileFileTest, WriteInPlaceKeepsEveryOtherLine) {
  WriteBytes("Files.ini",
             "; head\r\n[options]\r\n  HaltOnError = 0 \r\n\r\n; note\r\nDCCPath=x\r\nhaltonerror=5\r\n\r\n"
             "[FileList]\n/out/App.EXE=/src/App.dpr\r\n");
  TProfileFile p("files.INI");
  EXPECT_FALSE(p.Modified());
  p.WriteBool("OPTIONS", "haltonerror", true);
  p.WriteString("options", "DCCPath", "x");  // unchanged value
  EXPECT_TRUE(p.Modified());
  p.UpdateFile();
  EXPECT_FALSE(p.Modified());
  EXPECT_EQ(ReadBytes("Files.ini"), CrLf({"; head", "[options]", "HaltOnError=1", "", "; note", "DCCPath=x",
                                          "haltonerror=5", "", "[FileList]", "/out/App.EXE=/src/App.dpr"}));
  EXPECT_EQ(TProfileFile("Files.ini").ReadInteger("options", "HaltOnError", 0), 1);
}

// A new key goes to the end of the last occurrence of its section, a new
// section to the end of the file; names no line could hold are not written,
// and a value only up to its line break.
TEST_F(ProfileFileTest, NewKeysAndSectionsGoToTheEnd) {
  WriteBytes("p.ini", "[a]\nx=1\n; end of a\n\n; heads b\n[b]\ny=2\n[A]\nz=3\n\n");
  TProfileFile f("p.ini");
  EXPECT_EQ(f.ReadString("A", "z", ""), "3");  // looked up before and after lines move
  f.WriteString("b", "new", "v");
  f.WriteString("a", "w", "0");
  f.WriteString("a", "W", "4");
  EXPECT_EQ(f.ReadString("a", "z", ""), "3");
  f.WriteString("c", "k", "line\r\nbreak");
  for (const auto& [section, key] : TPairs{{"a", ""}, {"a", "k=x"}, {"a]", "k"}, {"a", ";k"}})
    f.WriteString(section, key, "ignored");
  EXPECT_EQ(f.ReadSection("a"), (TNames{"x", "z", "w"}));
  f.UpdateFile();
  EXPECT_EQ(ReadBytes("p.ini"), CrLf({"[a]", "x=1", "; end of a", "", "; heads b", "[b]", "y=2", "new=v", "[A]", "z=3",
                                      "w=4", "", "[c]", "k=line"}));
  auto t = TProfileFile::FromText("t", "");
  t->WriteInteger("s", "k", -3);
  t->WriteString("s", "k2", "");
  EXPECT_EQ(t->ReadSectionValues("S"), (TPairs{{"k", "-3"}, {"k2", ""}}));
}

TEST_F(ProfileFileTest, DeleteKeyAndEraseSection) {
  WriteBytes("e.ini", "top\n[a]\nk=1\nK=2\nj=3\n[b]\nk=4\n[A]\n;c\nm=5\n");
  TProfileFile p("e.ini");
  EXPECT_EQ(p.ReadString("a", "j", ""), "3");
  p.DeleteKey("A", "k");
  EXPECT_FALSE(p.ValueExists("a", "k"));
  EXPECT_EQ(p.ReadString("a", "j", ""), "3");
  EXPECT_EQ(p.ReadString("b", "k", ""), "4");
  p.EraseSection("a");
  EXPECT_FALSE(p.SectionExists("a"));
  p.EraseSection("missing");
  p.UpdateFile();
  EXPECT_EQ(ReadBytes("e.ini"), CrLf({"top", "[b]", "k=4"}));
}

TEST_F(ProfileFileTest, MissingFileIsEmptyAndCreatedOnUpdate) {
  TProfileFile p("Dir.ini");
  EXPECT_TRUE(p.ReadSections().empty());
  p.UpdateFile();  // nothing changed, nothing written
  EXPECT_FALSE(Exists("Dir.ini"));
  p.WriteString("s", "k", "v");
  p.UpdateFile();
  EXPECT_EQ(ReadBytes("Dir.ini"), CrLf({"[s]", "k=v"}));
}

TEST_F(ProfileFileTest, ReadOnlyFileIsNotWritten) {
  WriteBytes("ro.ini", "[s]\nk=1\n");
  SetReadOnly("ro.ini", true);
  TProfileFile p("ro.ini");
  p.WriteString("s", "k", "2");
  // The system's own reason: EACCES, or ERROR_ACCESS_DENIED on Windows.
#ifdef _WIN32
  const int denied = 5;
#else
  const int denied = EACCES;
#endif
  EXPECT_EQ(ErrorText<TError>([&] { p.UpdateFile(); }), "Unable to write to ro.ini: " + SystemErrorText(denied));
  EXPECT_EQ(ReadBytes("ro.ini"), "[s]\nk=1\n");
  EXPECT_TRUE(p.Modified());
}

TEST_F(ProfileFileTest, BinaryOrHugeFilesAreRefused) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
  WriteBytes("bin.ini", garbage);
  WriteBytes("wide.ini", std::string("\xFF\xFE[\0s\0]\0", 8));
  for (const auto& [file, message] :
       TPairs{{"bin.ini", "The file \"bin.ini\" is not a text file: it holds binary data."},
              {"wide.ini", "The file \"wide.ini\" is UTF-16 text, which is not read: save it as ANSI or UTF-8 text."}})
    EXPECT_EQ(ErrorText<TError>([&] { TProfileFile p(file); }), message);
  WriteBytes("big.ini", "[s]\nk=" + std::string(5000, 'v') + "\n");
  EXPECT_THROW(TProfileFile("big.ini", 4096), TError);
  EXPECT_EQ(TProfileFile("big.ini", 8192).ReadString("s", "k", "").size(), 5000u);
  // Garbage given as text parses to whatever lines it holds, without failing.
  auto p = TProfileFile::FromText("g", garbage);
  for (const auto& s : p->ReadSections()) p->ReadSectionValues(s);
}

// New sections are added to the end of a file written with CR LF; any other
// change, or a file with other line ends, writes the whole file with CR LF. A
// byte-order mark is no part of the first line and stays in front.
TEST_F(ProfileFileTest, NewSectionsAreAddedToTheEndAndOtherChangesRewriteTheFile) {
  WriteBytes("a.ini", "\xEF\xBB\xBF; head\r\n[one]\r\nk=1\r\n");
  TProfileFile ini(Path("a.ini"));
  EXPECT_EQ(ini.ReadSections(), TNames{"one"});
  ini.WriteString("two", "x", "2");
  ini.UpdateFile();
  ini.WriteString("three", "y", "3");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes("a.ini"), "\xEF\xBB\xBF; head\r\n[one]\r\nk=1\r\n[two]\r\nx=2\r\n[three]\r\ny=3\r\n");
  ini.WriteString("ONE", "k", "9");
  ini.WriteString("three", "z", "4");
  ini.EraseSection("two");
  ini.UpdateFile();
  EXPECT_EQ(ReadBytes("a.ini"), "\xEF\xBB\xBF; head\r\n[one]\r\nk=9\r\n[three]\r\ny=3\r\nz=4\r\n");
  WriteBytes("b.ini", "\xEF\xBB\xBF[one]\nk=1");
  TProfileFile other(Path("b.ini"));
  EXPECT_EQ(other.ReadString("one", "k", ""), "1");
  other.WriteString("two", "x", "2");
  other.UpdateFile();
  EXPECT_EQ(ReadBytes("b.ini"), "\xEF\xBB\xBF[one]\r\nk=1\r\n[two]\r\nx=2\r\n");
}
