#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "brcc32/RcError.h"
#include "brcc32/RcParser.h"
#include "common/ResFormat.h"
#include "common/ResReader.h"
#include "support/SystemResources.h"
#include "support/ToolsTest.h"

using namespace tesmar_brcc;
using namespace tesmar_res;

namespace {

// Compiles a script whose files are the given ones.
TRcScript Compile(const std::string& text, const std::map<std::string, std::string>& files = {},
                  TRcOptions options = {}) {
  return CompileScript(text, "t.rc", options, [&](const std::string& name) {
    if (!files.count(name)) throw std::runtime_error("file not found: " + name);
    return files.at(name);
  });
}

std::string CompileError(const std::string& text) {
  return ErrorText<TRcError>([&] { Compile(text); });
}

// Each entry's type, name and language, an ordinal as "#10": "#10/DATA/1033".
std::vector<std::string> Keys(const TRcScript& script) {
  auto id = [](const TResId& i) {
    return i.IsOrdinal ? "#" + std::to_string(i.Ordinal) : std::string(i.Name.begin(), i.Name.end());
  };
  std::vector<std::string> keys;
  for (const TResEntry& e : script.Entries)
    keys.push_back(id(e.Type) + "/" + id(e.Name) + "/" + std::to_string(e.LanguageId));
  return keys;
}

class Brcc32Test : public TTestDir {};

}  // namespace

// The icon (its image and the group that names it) and the version resource:
// the fixed information, a string's lengths (the "\000" ends the text, so
// "Acme" counts five WORDs with its one terminator) and the translation.
TEST(Brcc32ScriptTest, IconAndVersionLayout) {
  const std::string icon = IconFile();
  const TRcScript s = Compile(
      "LANGUAGE LANG_ENGLISH,SUBLANG_ENGLISH_US\r\nMAINICON ICON LOADONCALL MOVEABLE DISCARDABLE IMPURE app.ico\r\n"
      "1 VERSIONINFO LOADONCALL MOVEABLE DISCARDABLE IMPURE\r\nFILEVERSION 1, 2, 0, 7\r\nPRODUCTVERSION 3, 4, 5, 6\r\n"
      "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK\r\nFILEOS VOS__WINDOWS32\r\nFILETYPE VFT_APP\r\n"
      "{\r\n BLOCK \"StringFileInfo\"\r\n {\r\n  BLOCK \"040904E4\"\r\n  {\r\n"
      "   VALUE \"CompanyName\", \"Acme\\000\"\r\n  }\r\n }\r\n"
      " BLOCK \"VarFileInfo\"\r\n {\r\n  VALUE \"Translation\", 1033, 1252\r\n }\r\n}\r\n",
      {{"app.ico", icon}});
  ASSERT_EQ(Keys(s), (std::vector<std::string>{"#3/#1/1033", "#14/MAINICON/1033", "#16/#1/1033"}));
  const TResEntry &image = s.Entries[0], &group = s.Entries[1], &ver = s.Entries[2];
  EXPECT_EQ(image.Data, icon.substr(22));
  // IMPURE takes PURE from the group's default; LOADONCALL leaves PRELOAD off.
  EXPECT_EQ(group.MemoryFlags, MEMFLAG_MOVEABLE | MEMFLAG_DISCARDABLE);
  // The file's header and directory entry, with the image's nID for its offset.
  EXPECT_EQ(group.Data, icon.substr(0, 6 + 12) + Le16(1));

  EXPECT_EQ(ver.MemoryFlags, MEMFLAG_MOVEABLE | MEMFLAG_DISCARDABLE);
  const std::string& d = ver.Data;
  EXPECT_EQ(d.substr(0, 38), Le16(d.size()) + Le16(52) + Le16(0) + Utf16("VS_VERSION_INFO") + Le16(0));
  // Signature, structure version, file and product versions, flag mask, flags, OS, type.
  const std::uint32_t fixed[] = {0xFEEF04BD, 0x10000, 0x00010002, 0x00000007, 0x00030004, 0x00050006, 0x3F, 0, 4, 1};
  for (std::size_t i = 0; i < std::size(fixed); ++i) EXPECT_EQ(U32(d, 40 + 4 * i), fixed[i]) << i;
  // Each block's 6-byte header starts on a DWORD: a string counts its
  // characters with the terminator, a binary value its bytes.
  const std::size_t key = d.find(Utf16("CompanyName")), tr = d.find(Utf16("Translation"));
  ASSERT_EQ(key % 4, 2u);
  EXPECT_EQ(d.substr(key - 6, 42),
            Le16(42) + Le16(5) + Le16(1) + Utf16("CompanyName") + Le32(0) + Utf16("Acme") + Le16(0));
  ASSERT_EQ(tr % 4, 2u);
  EXPECT_EQ(d.substr(tr - 6, 36),
            Le16(36) + Le16(4) + Le16(0) + Utf16("Translation") + Le32(0) + Le32(1033 | 1252 << 16));
}

TEST(Brcc32ScriptTest, RcDataItemsAndEscapes) {
  const TRcScript s = Compile(
      "#define BASE 0x10\r\n"
      "data RCDATA PRELOAD FIXED { 1, 2L, \"ab\", L\"c\", 'ff 00', BASE | 1, -1,\r\n"
      "  \"\\t\\x41\\101\\000\"\"q\"\"\\\\\\n\" }\r\n");
  ASSERT_EQ(Keys(s), std::vector<std::string>{"#10/DATA/1033"});  // 1033 without a LANGUAGE statement
  EXPECT_EQ(s.Entries[0].MemoryFlags, MEMFLAG_PURE | MEMFLAG_PRELOAD);
  // A number is a WORD, with L a DWORD; 'ff 00' gives its bytes as they stand.
  EXPECT_EQ(s.Entries[0].Data, Le16(1) + Le32(2) + "ab" + Utf16("c") + Le16(0xFF) + Le16(0x11) + Le16(0xFFFF) +
                                   std::string("\tAA\0\"q\"\\\n", 9));
}

TEST(Brcc32ScriptTest, StringTableBlocksOfSixteen) {
  const TRcScript s =
      Compile("STRINGTABLE\r\nBEGIN\r\n  1, \"One\"\r\n  17 \"Seven\" \"teen\"\r\n  18, \"\\x80\"\r\nEND\r\n");
  ASSERT_EQ(Keys(s), (std::vector<std::string>{"#6/#1/1033", "#6/#2/1033"}));
  EXPECT_EQ(s.Entries[0].MemoryFlags, MEMFLAG_MOVEABLE | MEMFLAG_PURE | MEMFLAG_DISCARDABLE);
  EXPECT_EQ(s.Entries[0].Data, Le16(0) + Le16(3) + Utf16("One") + std::string(28, '\0'));
  EXPECT_EQ(s.Entries[1].Data.substr(0, 26),
            Le16(0) + Le16(9) + Utf16("Seventeen") + Le16(1) + Le16(0x20AC));  // 1252's 0x80 is the euro sign
}

TEST(Brcc32ScriptTest, LanguagesConditionsAndNames) {
  const TRcScript s = Compile(
      "// comment\r\n#include <windows.h>\r\n#define IDI_APP 100\r\n"
      "#ifdef IDI_APP\r\nLANGUAGE LANG_GERMAN, SUBLANG_GERMAN\r\n#else\r\n#error not taken\r\n#endif\r\n"
      "/* a\r\n   block */ IDI_APP RCDATA { 1 }\r\n"
      "#if defined(NOTHING) || IDI_APP < 50\r\nx RCDATA { 2 }\r\n#elif IDI_APP == 100\r\n"
      "\"quoted\" MYTYPE LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL { 3 }\r\n#endif\r\n"
      "5 300 CHARACTERISTICS 9 VERSION 2 { 4 }\r\n");
  ASSERT_EQ(Keys(s), (std::vector<std::string>{"#10/#100/1031", "MYTYPE/QUOTED/0", "#300/#5/1031"}));
  EXPECT_EQ(s.Entries[2].Characteristics, 9u);
  EXPECT_EQ(s.Entries[2].Version, 2u);
}

// Numbers and flags of the fixed information; text in Windows-1252 (the
// default) or UTF-8; binary values of DWORDs and WORDs.
TEST(Brcc32ScriptTest, VersionValuesTextAndCodePages) {
  const std::string script =
      "VS_VERSION_INFO VERSIONINFO\r\nFILEVERSION 1,2\r\nFILEFLAGS VS_FF_DEBUG | VS_FF_PATCHED + 0\r\n"
      "BEGIN\r\n BLOCK \"S\" BEGIN VALUE \"K\", \"\xC3\xA9\" \"\\x80\" END\r\n"
      " VALUE \"W\", 1L, 0x2\r\nEND\r\n";
  const TRcScript w = Compile(script);
  ASSERT_EQ(Keys(w), std::vector<std::string>{"#16/#1/1033"});
  const std::string& d = w.Entries[0].Data;
  EXPECT_EQ(U32(d, 48), 0x00010002u);
  EXPECT_EQ(U32(d, 52), 0u);
  EXPECT_EQ(U32(d, 68), 5u);
  // Two 1252 characters, the euro sign and the zero; a DWORD and a WORD.
  const std::size_t k = d.find(Utf16("K")), v = d.find(Utf16("W"));
  ASSERT_TRUE(k % 4 == 2 && v % 4 == 2) << k << " " << v;
  EXPECT_EQ(d.substr(k - 6, 20),
            Le16(20) + Le16(4) + Le16(1) + Utf16("K") + Le32(0) + Le16(0xC3) + Le16(0xA9) + Le16(0x20AC) + Le16(0));
  EXPECT_EQ(d.substr(v - 6, 18), Le16(18) + Le16(6) + Le16(0) + Utf16("W") + Le32(0) + Le32(1) + Le16(2));

  TRcOptions utf8;
  utf8.CodePage = kCodePageUtf8;
  const std::string u = Compile(script, {}, utf8).Entries.at(0).Data;
  const std::size_t k8 = u.find(Utf16("K"));
  ASSERT_EQ(k8 % 4, 2u);
  EXPECT_EQ(u.substr(k8 - 6, 18),
            Le16(18) + Le16(3) + Le16(1) + Utf16("K") + Le32(0) + Le16(0xE9) + Le16(0xFFFD) + Le16(0));
}

TEST(Brcc32ScriptTest, ErrorsNameTheirLineAndColumn) {
  const std::pair<std::string, std::string> cases[] = {
      {"1 RCDATA\r\n{\r\n  1, 2\r\n", "Error t.rc 3 7: '}' or END expected"},
      {"1 VERSIONINFO\r\n{\r\n BLOCK \"StringFileInfo\"\r\n BLOCK \"040904E4\"\r\n",
       "Error t.rc 4 2: '{' or BEGIN expected"},
      {"1 VERSIONINFO\r\nFILEVERSION 1, 2x, 0, 7\r\n{ }\r\n", "Error t.rc 2 16: invalid number '2x'"},
      {"1 VERSIONINFO\r\nFILEVERSION 1, 99999999999, 0, 7\r\n{ }\r\n",
       "Error t.rc 2 16: number 99999999999 is too large"},
      {"1 VERSIONINFO\r\n{\r\n VALUE \"CompanyName\", \"Acme\r\n}\r\n",
       "Error t.rc 3 23: closing '\"' expected for this string"},
      {"\r\nFOO\r\n", "Error t.rc 2 1: unknown statement 'FOO'"},
      {"1 VERSIONINFO\r\nFILEVERSON 1\r\n{ }\r\n", "Error t.rc 2 1: unknown VERSIONINFO statement 'FILEVERSON'"},
      {"1 VERSIONINFO\r\nFILEVERSION #Major#, 0\r\n", "Error t.rc 2 13: unexpected character '#'"},
      {"1 VERSIONINFO\r\n{\r\n  VALUE \"Translation\", 1033, BOGUS\r\n}\r\n",
       "Error t.rc 3 30: string or number expected instead of unknown name 'BOGUS'"},
      {"1 RCDATA { 'AB C' }", "Error t.rc 1 17: second hexadecimal digit expected"},
      {"1 RCDATA { 'AG' }", "Error t.rc 1 14: hexadecimal digit expected instead of 'G'"},
      {"/* open\r\n\r\n", "Error t.rc 1 1: end of comment expected for this /*"},
      {"#ifdef X\r\n1 RCDATA { 1 }\r\n", "Error t.rc 1 1: #endif expected for this #if"},
      {"1 ICON { '00 00 02 00 01 00' }", "Error t.rc 1 8: not a valid icon file: wrong header"},
      {"1 ICON { '00 00 01 00 01 00' }",
       "Error t.rc 1 8: not a valid icon file: directory runs past the end of the file"},
      {"1 ICON nothere.ico\r\n", "Error t.rc 1 8: file not found: nothere.ico"},
      {"1 RCDATA { 1 }\r\n1 RCDATA { 2 }\r\n",
       "Error t.rc 2 1: a resource of this type, name and language is already defined"},
      {"1 DIALOG 0, 0, 10, 10\r\n", "Error t.rc 1 3: DIALOG resources are not supported by this resource compiler"},
      {"1 RCDATA { 1 / 0 }", "Error t.rc 1 14: division by zero"},
      {std::string("1 RCDATA { \0 }", 14), "Error t.rc 1 12: unexpected character 0x00"},
  };
  for (const auto& [script, error] : cases) EXPECT_EQ(CompileError(script), error) << script;
  // Deep nesting is an error, not a crash.
  EXPECT_NE(CompileError("1 RCDATA { " + std::string(5000, '(') + "1" + std::string(5000, ')') + " }")
                .find("nested too deeply"),
            std::string::npos);
  std::string blocks = "1 VERSIONINFO {";
  for (int i = 0; i < 100; ++i) blocks += " BLOCK \"x\" {";
  EXPECT_NE(CompileError(blocks).find("blocks nested too deeply"), std::string::npos);
}

TEST(Brcc32ScriptTest, CursorsAndBitmaps) {
  // A cursor file is an icon file of type 2 whose planes and bit count hold the hot spot.
  std::string cur = IconFile();
  cur[2] = 2;
  cur[10] = 5;  // hot spot x
  cur[12] = 7;  // hot spot y
  const TRcScript s = Compile("c CURSOR a.cur\r\nb BITMAP \"a.bmp\"\r\n",
                              {{"a.cur", cur}, {"a.bmp", "BM" + std::string(12, '\0') + "DIB"}});
  ASSERT_EQ(Keys(s), (std::vector<std::string>{"#1/#1/1033", "#12/C/1033", "#2/B/1033"}));  // image, group, bitmap
  const std::string &image = s.Entries[0].Data, &group = s.Entries[1].Data;
  EXPECT_EQ(image, Le16(5) + Le16(7) + cur.substr(22));
  // One cursor of 16 by 32 (the height counts the mask too), 1 plane, 32 bits, nID 1.
  EXPECT_EQ(group,
            Le16(0) + Le16(2) + Le16(1) + Le16(16) + Le16(32) + Le16(1) + Le16(32) + Le32(image.size()) + Le16(1));
  EXPECT_EQ(s.Entries[2].Data, "DIB");
}

// The output named attached or apart; the verbose lines; mistakes of the
// command line, a missing or broken script, and an output that is the script
// itself fail with their line and leave every file as it was.
TEST_F(Brcc32Test, CommandLinesAndWhatFailsThem) {
  WriteBytes("a.rc", "1 RCDATA { 1 }\r\n2 RCDATA\r\n{ 2 }");
  TCommandRun run = RunTool("BRCC32", "-fo out1.res a.rc");
  ASSERT_EQ(run.ExitCode, 0) << run.Last();
  EXPECT_EQ(run.Lines.size(), 2u);  // the banner only
  run = RunTool("BRCC32", "-v -foout2.res a.rc");
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Lines, (std::vector<std::string>{run.Lines[0], run.Lines[1], "Lines: 3", "New File: out2.res"}));
  EXPECT_EQ(ReadBytes("out1.res"), ReadBytes("out2.res"));

  const std::string broken = "1 RCDATA\r\n{\r\n  1,\r\n";
  WriteBytes("App.RC", broken);
  WriteBytes("App.RES", "old");
  WriteBytes("s.rc", "1 RCDATA { 1 }\r\n");
  const std::pair<std::string, std::string> failures[] = {
      {"-v", "Syntax: BRCC32 [options] <script>"},
      {"-zz a.rc", "unknown option -zz"},
      {"-v -fomissing.RES missing.rc", "Error missing.rc 0 0: file not found: missing.rc"},
      {"-v -foApp.RES App.RC", "Error App.RC 3 5: '}' or END expected"},
      {"-v -foNew.RES App.RC", "Error App.RC 3 5: '}' or END expected"},
      {"-v -fo S.RC s.rc", "Error S.RC 0 0: the output file must not be the script itself"},
  };
  for (const auto& [arguments, line] : failures) {
    run = RunTool("BRCC32", arguments);
    EXPECT_EQ(run.ExitCode, 1) << arguments;
    EXPECT_TRUE(run.Has(line)) << arguments << ": " << run.Last();
  }
  EXPECT_EQ(ReadBytes("App.RES"), "old");
  EXPECT_EQ(ReadBytes("App.RC"), broken);
  EXPECT_EQ(ReadBytes("a.rc"), "1 RCDATA { 1 }\r\n2 RCDATA\r\n{ 2 }");
  EXPECT_EQ(ReadBytes("s.rc"), "1 RCDATA { 1 }\r\n");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"App.RC", "App.RES", "a.rc", "out1.res", "out2.res", "s.rc"}));
}

// Files named by a script are found beside it whatever their case; defines,
// the default language, include directories and the code page come from the
// command line. Read back by another program.
TEST_F(Brcc32Test, FilesBesideTheScriptAndOptionsReadBack) {
  if (const std::string why = WindresMissing(); !why.empty()) GTEST_SKIP() << why;
  WriteBytes("src/art/app.ico", IconFile());
  WriteBytes("src/App.rc",
             "A ICON art\\APP.ICO\r\nB ICON \"art/app.ico\"\r\n"
             "STRINGTABLE { 5, \"five\" }\r\n7 RCDATA { 1, \"x\" }\r\n");
  TCommandRun run = RunTool("BRCC32", "-v -fosrc/App.res src/App.rc");
  ASSERT_EQ(run.ExitCode, 0) << run.Last();
  EXPECT_EQ(run.Last(), "New File: src/App.res");
  WriteBytes("src/Bad.rc", "A ICON \"gone.ico\"\r\n");
  run = RunTool("BRCC32", "-v -fosrc/Bad.res src/Bad.rc");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "Error src/Bad.rc 1 8: file not found: gone.ico");
  EXPECT_FALSE(Exists("src/Bad.res"));

  WriteBytes("icons/x.ico", IconFile());
  WriteBytes("s.rc",
             "#ifdef FLAG\r\nID ICON x.ico\r\n#endif\r\n"
             "1 VERSIONINFO { BLOCK \"StringFileInfo\" { BLOCK \"040704E4\" { VALUE \"K\", \"\xC3\xA9\" } } }\r\n");
  run = RunTool("BRCC32", "-v -r -31 -w32 -dFLAG -dID=42 -l0x407 -c65001 -i icons -fo s.res s.rc");
  ASSERT_EQ(run.ExitCode, 0) << run.Last();
#ifdef _WIN32
  const TSystemResources app(LinkResourcesForTheSystem(Path("src/App.res")));
  EXPECT_EQ(app.Icon("A"), IconFile().substr(22));
  EXPECT_EQ(app.Icon("B"), IconFile().substr(22));
  EXPECT_EQ(app.TableString(5), "five");
  EXPECT_NE(app.Resource("#10", "#7"), "<missing>");
  const TSystemResources s(LinkResourcesForTheSystem(Path("s.res")));
  EXPECT_NE(s.Resource("#14", "#42", 0x407), "<missing>");  // LANGUAGE 7, 1
  EXPECT_EQ(s.String("K", "040704E4"), "\xC3\xA9");
#else
  const std::string app = WindresListing(Path("src/App.res")), s = WindresListing(Path("s.res"));
  for (const char* expected :
       {"\"A\" 14 /* RT_GROUP_ICON */", "\"B\" 14 /* RT_GROUP_ICON */", "2 3 /* RT_ICON */", "5, \"five\"", "7 RCDATA"})
    EXPECT_NE(app.find(expected), std::string::npos) << expected << "\n" << app;
  for (const char* expected : {"42 14 /* RT_GROUP_ICON */", "LANGUAGE 7, 1", "VALUE \"K\", L\"\\351\""})
    EXPECT_NE(s.find(expected), std::string::npos) << expected << "\n" << s;
#endif
}
