#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "common/PEWriter.h"
#include "common/ResReader.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/TextFile.h"
#include "support/SystemResources.h"
#include "support/ToolsTest.h"
#include "version/uVersionInformation.h"

using namespace tesmar_tools;
using tesmar_res::WriteResFile;

namespace {

TCommandRun Dcc(const std::string& args) {
  return RunTool("DCC32", args);
}

// A resource of a .RES file: type and name "#7" (an ordinal) or a name.
TResEntry Resource(const std::string& type, const std::string& name, uint16_t language, const std::string& data) {
  auto id = [](const std::string& text) {
    return text[0] == '#' ? TResId::FromOrdinal(static_cast<uint16_t>(std::stoi(text.substr(1))))
                          : TResId::FromName(std::u16string(text.begin(), text.end()));
  };
  return {.Type = id(type), .Name = id(name), .MemoryFlags = 0x1030, .LanguageId = language, .Data = data};
}

// Resources read back by the test itself, "type/name/language" and the data in
// the directories' order, from the section at 'base' in b ('at' gives the
// place in b of an address). The loader needs each directory to list as many
// named entries first as it says, and each data entry on an 8-byte boundary.
using TResources = std::vector<std::pair<std::string, std::string>>;
TResources ResourceTree(const std::string& b, std::size_t base, const std::function<std::size_t(uint32_t)>& at) {
  auto idText = [&](uint32_t field) {
    if (!(field & 0x80000000u)) return "#" + std::to_string(field);
    std::string text;
    for (uint32_t name = base + (field & 0x7FFFFFFF), i = 0; i < U16(b, name); ++i) text += b[name + 2 + 2 * i];
    return text;
  };
  auto entries = [&](uint32_t dir) {  // each one's id and where it leads
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (uint32_t i = 0, d = base + (dir & 0x7FFFFFFF); i < U16(b, d + 12) + U16(b, d + 14); ++i) {
      out.emplace_back(U32(b, d + 16 + 8 * i), U32(b, d + 20 + 8 * i));
      EXPECT_EQ((out.back().first & 0x80000000u) != 0, i < U16(b, d + 12)) << "directory at " << d;
    }
    return out;
  };
  TResources tree;
  for (const auto& [type, names] : entries(0))
    for (const auto& [name, languages] : entries(names))
      for (const auto& [language, leaf] : entries(languages)) {
        EXPECT_EQ(U32(b, base + leaf) % 8, 0u);
        tree.emplace_back(idText(type) + "/" + idText(name) + "/" + std::to_string(language),
                          b.substr(at(U32(b, base + leaf)), U32(b, base + leaf + 4)));
      }
  return tree;
}

// A PE image read back by the test itself: its flags and resources.
struct TImage {
  uint32_t Characteristics = 0, Subsystem = 0, SizeOfImage = 0;
  TResources Resources;
};

TImage ReadImage(const std::string& b) {
  TImage image;
  const std::size_t pe = U32(b, 0x3C), opt = pe + 24, table = opt + U16(b, pe + 20), sections = U16(b, pe + 6);
  EXPECT_EQ(b.substr(pe, 6), std::string("PE\0\0\x4C\x01", 6));  // i386
  EXPECT_EQ(U16(b, opt), 0x10Bu);                                // PE32
  EXPECT_EQ(U32(b, opt + 92), 16u);
  image.Characteristics = U16(b, pe + 22);
  image.SizeOfImage = U32(b, opt + 56);
  image.Subsystem = U16(b, opt + 68);
  auto fileOffset = [&](uint32_t rva) -> std::size_t {
    for (std::size_t h = table; h < table + 40 * sections; h += 40)
      if (rva >= U32(b, h + 12) && rva < U32(b, h + 12) + U32(b, h + 8)) return U32(b, h + 20) + rva - U32(b, h + 12);
    ADD_FAILURE() << "RVA outside every section: " << rva;
    return b.size();
  };
  if (const uint32_t rsrc = U32(b, opt + 96 + 16)) image.Resources = ResourceTree(b, fileOffset(rsrc), fileOffset);
  return image;
}

class Dcc32Test : public TTestDir {};

}  // namespace

// No source, or a help switch, prints the option list that the compiler
// options viewer shows, the switches the stand-in honours among them.
TEST_F(Dcc32Test, NoSourceOrAHelpSwitchPrintsTheOptionList) {
  const TCommandRun none = Dcc("");
  EXPECT_EQ(none.ExitCode, 0);
  EXPECT_TRUE(none.Has("Syntax: dcc32 [options] filename [options]"));
  std::string text;
  for (const std::string& line : none.Lines) text += line + "\n";
  for (const char* honoured : {"-E<path> = ", "-U<paths> = ", "-I<paths> = ", "-R<paths> = ", "-O<paths> = ",
                               "-D<syms> = ", "-K<addr> = ", "-CC = ", "-CG = ", "-Q = ", "-$<dir> = "})
    EXPECT_NE(text.find(honoured), std::string::npos) << honoured;
  for (const char* ask : {"/?", "-h", "--help", "-B"}) EXPECT_EQ(Dcc(ask).Lines, none.Lines) << ask;
}

TEST_F(Dcc32Test, FollowsUsesClausesOnceEachAndCountsTheirLines) {
  WriteBytes("App.dpr", CrLf({"program App;", "uses", "  SysUtils, unit1 in 'Unit1.pas',",
                              "  Deep in 'sub\\DEEP.pas' {Form},", "  Beside, // Fake1,", "  Lib; { Fake2, }",
                              "(* Fake3, *) const S = 'uses Fake4;';", "begin", "end."}));
  WriteBytes("UNIT1.PAS", "unit Unit1;\ninterface\nuses Beside;\nimplementation\nuses App2;\nend.\n");  // 6
  WriteBytes("sub/deep.pas", "unit Deep;\r\ninterface\r\nimplementation\r\nuses Unit1, Lib;\r\nend.");  // 5
  WriteBytes("beside.pas", "unit Beside;\ninterface\nuses Unit1, Deep;\nend.\n");                       // 4
  WriteBytes("libs/two/LIB.pas", "unit Lib;\nend.\n");                                                  // 2
  WriteBytes("libs/one/app2.pas", "unit App2;\ninterface\nuses Lib, Done;\nend.\n");                    // 4
  WriteBytes("libs/one/Done.dcu", "compiled already");      // found, but not compiled
  WriteBytes("libs/one/Lib.pas", "unit Lib;\n\n\nend.\n");  // 4: the first -U directory wins
  WriteBytes("App.cfg", CrLf({"-W+", "-B", "-$M16384,1048576", "-K$00400000", "-U\"libs/nothere;libs/one;\"",
                              "-U\"" + Path("libs/two") + "\"", "-I\"libs;\"", "-R\"\"", "-O\"\"", ""}));
  WriteBytes("out/.keep", "");

  TCommandRun run = Dcc("app.dpr -E" + Path("out") + "/");
  ASSERT_EQ(run.ExitCode, 0) << testing::PrintToString(run.Lines);
  // Each name as it is stored, in the system's separators.
  EXPECT_EQ(std::vector<std::string>(run.Lines.begin() + 2, run.Lines.end() - 1),
            (std::vector<std::string>{"App.dpr(9)", "UNIT1.PAS(6)", "beside.pas(4)", NativePath("sub/deep.pas(5)"),
                                      NativePath("libs/one/Lib.pas(4)"), NativePath("libs/one/app2.pas(4)")}));
  // The last line, which the build judges: the lines of the six files, the
  // bytes of code and of data.
  EXPECT_TRUE(std::regex_match(run.Last(), std::regex(R"(32 lines, \d+\.\d seconds, 3 bytes code, 0 bytes data\.)")))
      << run.Last();
  EXPECT_TRUE(ReadImage(ReadBytes("out/app.exe")).Resources.empty());
}

TEST_F(Dcc32Test, MessagesAndTheirEffectOnTheRun) {
  WriteBytes("P.dpr", "program P;\nuses A, B;\n{$MESSAGE 'plain'}\n{$message Hint 'it''s a hint'}\nbegin end.\n");
  WriteBytes("A.pas", "unit A;\n{$MESSAGE WARN 'careful'}\n{$MESSAGE ERROR 'broken'}\nend.\n");
  WriteBytes("B.pas",
             "unit B;\n{$IFDEF NEVER}{$MESSAGE FATAL 'skipped'}{$ELSE}\n{$MESSAGE HINT 'after error'}{$ENDIF}\nend.\n");
  TCommandRun run = Dcc("P.dpr -E.");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_TRUE(run.Has("A.pas(2) Warning: careful"));
  EXPECT_TRUE(run.Has("B.pas(3) Hint: after error"));  // an error does not stop the scan
  EXPECT_TRUE(run.Has("P.dpr(3) Hint: plain"));
  EXPECT_TRUE(run.Has("P.dpr(4) Hint: it's a hint"));
  EXPECT_EQ(run.Last(), "A.pas(3) Error: broken");
  EXPECT_FALSE(Exists("P.exe"));

  WriteBytes("B.pas", "unit B;\n{$MESSAGE FATAL 'stop here'}\n{$MESSAGE HINT 'never'}\nend.\n");
  WriteBytes("A.pas", "unit A;\nend.\n");
  run = Dcc("P.dpr -E.");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "B.pas(2) Fatal: stop here");
  EXPECT_FALSE(run.Has("P.dpr(3) Hint: plain"));
  EXPECT_FALSE(Exists("P.exe"));

  // Warnings and hints alone leave the run a success.
  WriteBytes("B.pas", "unit B;\n{$MESSAGE WARN 'careful'}\nend.\n");
  run = Dcc("P.dpr -E.");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_TRUE(run.Has("B.pas(2) Warning: careful"));
  EXPECT_TRUE(Exists("P.exe"));
}

// A source the compiler cannot read, a file it cannot find and a resource file
// it cannot link each fail the run at their place, and nothing is written.
TEST_F(Dcc32Test, FailuresNameTheirPlaceAndWriteNothing) {
  WriteBytes("A.pas", "unit A;\nend.\n");
  WriteBytes("NotAUnit.pas", "program X;\n");
  const std::string plain = "program P;\nbegin end.\n", linked = "program P;\n\n{$R Bad.res}\nbegin end.\n",
                    invalid = "P.dpr(3) Fatal: Invalid resource file 'Bad.res': ",
                    good = WriteResFile({Resource("#10", "DATA", 0x409, "payload")});
  const struct {
    std::string Source, Last, Res = "", Arguments = "P.dpr -E.", File = "P.dpr";
  } cases[] = {
      {"program P;\nuses A,\n  ;\nbegin end.\n", "P.dpr(3) Error: Identifier expected but ';' found"},
      {"program P;\nuses A in ;\n", "P.dpr(2) Error: String constant expected but ';' found"},
      {"program P;\nuses A B;\n", "P.dpr(2) Error: ';' expected but identifier 'B' found"},
      {"program P;\n{$ENDIF}\nbegin end.\n", "P.dpr(2) Error: Misplaced conditional directive: '$ENDIF'"},
      {"program P;\n\n{$IFDEF X}\nbegin end.\n", "P.dpr(3) Error: Unterminated conditional directive"},
      {"program P;\n{ never closed\nbegin end.\n",
       "P.dpr(2) Error: Unexpected end of file in comment started on line 2"},
      {"program P;\nconst S = 'open\n;", "P.dpr(2) Error: Unterminated string"},
      {"program P;\n{$MESSAGE LOUD 'x'}\n", "P.dpr(2) Error: Invalid compiler directive: '$MESSAGE LOUD 'x''"},
      {"\n  begin end.", "P.dpr(2) Error: 'PROGRAM' expected but identifier 'begin' found"},
      {"program P;\nuses NotAUnit;\n", "NotAUnit.pas(1) Error: 'UNIT' expected but identifier 'program' found"},
      {"program P;\n\nuses\n  A,\n  Gone;\nbegin end.\n", "P.dpr(5) Fatal: File not found: 'Gone.dcu'"},
      {"program P;\n{$R *.RES}\nbegin end.\n", "P.dpr(2) Error: File not found: 'P.RES'"},
      {plain, "Fatal: File not found: 'Q.dpr'", "", "Q.dpr -E."},
      {plain, "Fatal: Could not create output file " + Path("no/such/dir/P.exe"), "",
       "P.dpr -E" + Path("no/such/dir") + "/"},
      // A directive without its braces is no Pascal, in a package as anywhere.
      {"package P;\n$IMPLICITBUILD OFF\nrequires rtl;\nend.\n", "P.dpk(2) Error: 'REQUIRES' expected but '$' found", "",
       "P.dpk -E.", "P.dpk"},
      {"package P\n\nrequires rtl;\nend.\n", "P.dpk(3) Error: ';' expected but identifier 'requires' found", "",
       "P.dpk -E.", "P.dpk"},
      {linked, invalid + "not a 32-bit resource file", "garbage"},
      {linked, invalid + "data size 7 beyond end of file in the entry at offset 32", good.substr(0, good.size() - 6)},
      {linked, invalid + "header size 4294967280 beyond end of file in the entry at offset 32",
       WriteResFile({}) + Le32(0) + Le32(0xFFFFFFF0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    WriteBytes(c.File, c.Source);
    if (!c.Res.empty()) WriteBytes("Bad.res", c.Res);
    const TCommandRun run = Dcc(c.Arguments);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Last(), c.Last);
  }
  EXPECT_EQ(Listing(), (std::vector<std::string>{"A.pas", "Bad.res", "NotAUnit.pas", "P.dpk", "P.dpr"}));
}

// A library or a package is a DLL; {$APPTYPE CONSOLE} makes a console program.
TEST_F(Dcc32Test, TargetKindFollowsTheHeading) {
  WriteBytes("Shared.pas", "unit Shared;\nend.\n");
  WriteBytes("pack.RES", WriteResFile({}));
  WriteBytes("Other.pas", "unit Other;\nend.\n");
  const struct {
    std::string Arguments, Source, Progress, Target;
    bool Dll;
    uint32_t Subsystem;
  } cases[] = {
      {"Lib.dpr -E .", "library Lib;\nuses Shared;\nbegin end.\n", "Shared.pas(2)", "Lib.dll", true, 2},
      {"Pack.dpk -E.",
       CrLf({"package Pack;", "{$R *.res}", "{$ALIGN ON}", "requires", "  rtl, vcl;", "contains",
             "  Shared in 'Shared.pas', Other;", "end."}),
       "Other.pas(2)", "Pack.bpl", true, 2},
      // (Not "Con": Windows keeps that name for the console device.)
      {"Cons.dpr -E.", "program Cons;\n{$APPTYPE CONSOLE}\nbegin end.\n", "Cons.dpr(3)", "Cons.exe", false, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Arguments);
    WriteBytes(c.Arguments.substr(0, c.Arguments.find(' ')), c.Source);
    const TCommandRun run = Dcc(c.Arguments);
    ASSERT_EQ(run.ExitCode, 0) << testing::PrintToString(run.Lines);
    EXPECT_TRUE(run.Has(c.Progress));
    const TImage image = ReadImage(ReadBytes(c.Target));
    EXPECT_EQ((image.Characteristics & 0x2000) != 0, c.Dll);
    EXPECT_EQ(image.Subsystem, c.Subsystem);
  }
}

TEST_F(Dcc32Test, LinkedResourcesAreInTheImageAndObjdumpAcceptsIt) {
  WriteBytes("App.dpr", "program App;\n{$R *.RES}\n{$R 'extra.res'}\nuses U;\nbegin end.\n");
  WriteBytes("U.pas", "unit U;\n{$R u.res}\n{$R *.RES}\nend.\n");  // the same file twice is linked once
  WriteBytes("app.res",
             WriteResFile({Resource("#16", "#1", 0x409, "old version"), Resource("#10", "MainData", 0x409, "abc"),
                           Resource("#14", "MAINICON", 0, "icon")}));
  WriteBytes("EXTRA.RES",
             WriteResFile({Resource("#16", "#1", 0x409, "new version"), Resource("#10", "Zeta", 0x409, "z"),
                           Resource("MYTYPE", "#7", 0x407, std::string("\0\1\2", 3)), Resource("#10", "#2", 0x409, "2"),
                           Resource("#10", "alpha", 0x409, "a")}));
  // A name that differs only in case replaces the resource; another language does not.
  WriteBytes("U.res", WriteResFile({Resource("#10", "MAINDATA", 0x409, "replaced"),
                                    Resource("#10", "MAINDATA", 0x407, "German")}));

  TCommandRun run = Dcc("App.dpr -E.");
  ASSERT_EQ(run.ExitCode, 0) << testing::PrintToString(run.Lines);
  TImage image = ReadImage(ReadBytes("App.exe"));
  // The loader's order: named types first, then ordinals ascending; names
  // ascending without regard to case, then ordinals; languages ascending.
  const TResources expected = {{"MYTYPE/#7/1031", std::string("\0\1\2", 3)},
                               {"#10/alpha/1033", "a"},
                               {"#10/MAINDATA/1031", "German"},
                               {"#10/MAINDATA/1033", "replaced"},
                               {"#10/Zeta/1033", "z"},
                               {"#10/#2/1033", "2"},
                               {"#14/MAINICON/0", "icon"},
                               {"#16/#1/1033", "new version"}};
  EXPECT_EQ(image.Resources, expected);
  EXPECT_EQ(image.SizeOfImage % PESectionAlignment, 0u);

#ifdef _WIN32
  // The system's loader finds every resource in its language. It looks a
  // name up upper-cased, as resource compilers write names: "alpha" and
  // "Zeta", written so by hand, are in the image but not found by name.
  const TSystemResources system(Path("App.exe"));
  for (const auto& [key, bytes] : expected) {
    const auto type = key.substr(0, key.find('/'));
    const auto name = key.substr(type.size() + 1, key.rfind('/') - type.size() - 1);
    if (name != platform::UpperAscii(name)) continue;
    EXPECT_EQ(system.Resource(type, name, std::stoi(key.substr(key.rfind('/') + 1))), bytes) << key;
  }
#else
  if (platform::SearchPathFor("i686-w64-mingw32-objdump").empty()) GTEST_SKIP() << "objdump for PE is not installed";
  TCommandRun dump = RunCommandLine("i686-w64-mingw32-objdump -p App.exe");
  EXPECT_EQ(dump.ExitCode, 0);
  EXPECT_TRUE(dump.Has("The .rsrc Resource Directory section:"));
  EXPECT_TRUE(std::any_of(dump.Lines.begin(), dump.Lines.end(), [](const std::string& l) {
    return l.find("name: ") != std::string::npos && l.find("MYTYPE") != std::string::npos;
  }));
  for (const std::string& line : dump.Lines) EXPECT_EQ(line.find("corrupt"), std::string::npos) << line;
#endif
}

TEST_F(Dcc32Test, VersionResourceOfALinkedResFileReadsBack) {
  // version.res was made by windres from version.rc beside it.
  WriteBytes("App.res", platform::ReadFileBytes(TestDataDir() + "/dcc32/version.res"));
  WriteBytes("App.dpr", "program App;\n{$R *.RES}\nbegin end.\n");
  TCommandRun run = Dcc("App.dpr -E.");
  ASSERT_EQ(run.ExitCode, 0) << testing::PrintToString(run.Lines);

  TVersionInformation info;
  info.LoadVersionInfo(Path("App.exe"));
  ASSERT_TRUE(info.Loaded) << info.ErrorText;
  EXPECT_EQ(info.GetVersionString("FileVersion"), "3.1.4.15");
  EXPECT_EQ(info.GetVersionString("ProductVersion"), "2.7.1.8");
  EXPECT_EQ(info.GetVersionString("CompanyName"), "Stand-in Works");
  const TResources linked = ReadImage(ReadBytes("App.exe")).Resources;
  const std::map<std::string, std::string> byKey(linked.begin(), linked.end());
  EXPECT_EQ(byKey.at("#10/NOTES/1033"), "forty-two");
}

// The writer's layout: the empty entry, then each header and its data padded
// to a DWORD. The reader gives every field back, and reads a truncated file
// short or refuses it.
TEST(ResFile, LayoutReadBackAndTruncations) {
  const TResEntry e = Resource("AB", "#7", 0x407, "xyz");
  TResEntry f = Resource("#10", "N", 0x407, "wxyz");
  f.Characteristics = 9;
  f.Version = 2;
  const std::string file = WriteResFile({e, f});
  EXPECT_EQ(file.substr(0, 32), Le32(0) + Le32(32) + Le32(0xFFFF) + Le32(0xFFFF) + std::string(16, '\0'));
  // 8 + "AB\0" (6) + ordinal (4) = 18, padded to 20, + 16.
  EXPECT_EQ(U32(file, 32), 3u);
  EXPECT_EQ(U32(file, 36), 36u);
  EXPECT_EQ(U16(file, 32 + 20 + 4), 0x1030u);
  EXPECT_EQ(U16(file, 32 + 20 + 6), 0x0407u);
  EXPECT_EQ(file.substr(32 + 36, 4), std::string("xyz\0", 4));
  EXPECT_EQ(U32(file, 32 + 40 + 4), 8u + 4 + 4 + 16);  // the second entry
  EXPECT_EQ(file.size(), 32u + 40 + 32 + 4);

  const std::vector<TResEntry> back = ParseResFile(file);
  ASSERT_EQ(back.size(), 2u);
  auto fields = [](const TResEntry& r) {
    return std::tie(r.Type, r.Name, r.MemoryFlags, r.LanguageId, r.Version, r.Characteristics, r.Data);
  };
  EXPECT_EQ(fields(back[0]), fields(e));
  EXPECT_EQ(fields(back[1]), fields(f));
  EXPECT_EQ(ResIdText(back[0].Type), "AB");
  for (size_t length = 0; length < file.size(); ++length) {
    try {
      EXPECT_LT(ParseResFile(file.substr(0, length)).size(), 2u) << length;
    } catch (const TResFileError& error) {
      EXPECT_NE(std::string(error.what()), "") << length;
    }
  }
}
