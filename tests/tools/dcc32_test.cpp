#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "common/PEWriter.h"
#include "common/ResReader.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/SystemResources.h"
#include "support/TestDir.h"
#include "version/uVersionInformation.h"

using namespace tesmar_tools;

namespace {

using TRunResult = TCommandRun;

TRunResult Dcc(const std::string& args) {
  return RunCommandLine(platform::QuoteProgramName(BinDir() + platform::PathDelim + "DCC32.exe") + " " + args);
}

// .RES bytes as a resource compiler writes them.
std::string ResId(const std::string& id) {
  std::string out;
  if (!id.empty() && id[0] == '#') {
    int ordinal = std::stoi(id.substr(1));
    out = {'\xFF', '\xFF', static_cast<char>(ordinal & 0xFF), static_cast<char>(ordinal >> 8)};
  } else {
    for (char ch : id) out += {ch, '\0'};
    out += {'\0', '\0'};
  }
  return out;
}

std::string Le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

std::string ResEntryBytes(const std::string& type, const std::string& name, uint16_t language,
                          const std::string& data) {
  std::string header = ResId(type) + ResId(name);
  while ((8 + header.size()) % 4) header += '\0';
  header += Le32(0) + std::string("\x30\x10", 2) +
            std::string{static_cast<char>(language), static_cast<char>(language >> 8)} + Le32(0) + Le32(0);
  std::string entry =
      Le32(static_cast<uint32_t>(data.size())) + Le32(static_cast<uint32_t>(8 + header.size())) + header + data;
  while (entry.size() % 4) entry += '\0';
  return entry;
}

const std::string ResMarker = ResEntryBytes("#0", "#0", 0, "");

// The resources of a PE image, read back: "type/name/language" -> data.
struct TImage {
  uint16_t Characteristics = 0;
  uint16_t Subsystem = 0;
  uint32_t SizeOfImage = 0;
  std::map<std::string, std::string> Resources;
};

uint32_t Get(const std::string& b, size_t at, int size) {
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
  return v;
}

TImage ReadImage(const std::string& b) {
  TImage image;
  size_t pe = Get(b, 0x3C, 4);
  EXPECT_EQ(b.substr(pe, 4), std::string("PE\0\0", 4));
  EXPECT_EQ(Get(b, pe + 4, 2), 0x14Cu);
  size_t sections = Get(b, pe + 6, 2), opt = pe + 24;
  image.Characteristics = static_cast<uint16_t>(Get(b, pe + 22, 2));
  EXPECT_EQ(Get(b, opt, 2), 0x10Bu);
  EXPECT_EQ(Get(b, opt + 92, 4), 16u);
  image.SizeOfImage = Get(b, opt + 56, 4);
  image.Subsystem = static_cast<uint16_t>(Get(b, opt + 68, 2));
  uint32_t rsrc = Get(b, opt + 96 + 16, 4);
  size_t table = opt + Get(b, pe + 20, 2);
  auto fileOffset = [&](uint32_t rva) -> size_t {
    for (size_t s = 0; s < sections; ++s) {
      size_t h = table + 40 * s;
      uint32_t va = Get(b, h + 12, 4), size = Get(b, h + 8, 4);
      if (rva >= va && rva < va + size) return Get(b, h + 20, 4) + (rva - va);
    }
    ADD_FAILURE() << "RVA outside every section: " << rva;
    return b.size();
  };
  if (rsrc == 0) return image;
  size_t base = fileOffset(rsrc);
  auto idText = [&](uint32_t field) {
    if (!(field & 0x80000000u)) return "#" + std::to_string(field);
    size_t at = base + (field & 0x7FFFFFFF);
    std::string text;
    for (uint32_t i = 0, n = Get(b, at, 2); i < n; ++i) text += static_cast<char>(Get(b, at + 2 + 2 * i, 2));
    return text;
  };
  auto entries = [&](uint32_t dir) {
    size_t at = base + dir;
    return std::make_pair(at + 16, Get(b, at + 12, 2) + Get(b, at + 14, 2));
  };
  auto [types, typeCount] = entries(0);
  for (uint32_t t = 0; t < typeCount; ++t) {
    auto [names, nameCount] = entries(Get(b, types + 8 * t + 4, 4) & 0x7FFFFFFF);
    for (uint32_t n = 0; n < nameCount; ++n) {
      auto [langs, langCount] = entries(Get(b, names + 8 * n + 4, 4) & 0x7FFFFFFF);
      for (uint32_t l = 0; l < langCount; ++l) {
        size_t leaf = base + Get(b, langs + 8 * l + 4, 4);
        std::string key = idText(Get(b, types + 8 * t, 4)) + "/" + idText(Get(b, names + 8 * n, 4)) + "/" +
                          std::to_string(Get(b, langs + 8 * l, 4));
        image.Resources[key] = b.substr(fileOffset(Get(b, leaf, 4)), Get(b, leaf + 4, 4));
      }
    }
  }
  return image;
}

// What the build judges from the last line: the number before " lines, ".
long SuccessLines(const std::string& last) {
  std::smatch m;
  if (!std::regex_match(last, m, std::regex(R"((\d+) lines, \d+\.\d seconds, (\d+) bytes code, (\d+) bytes data\.)")))
    return -1;
  return std::stol(m[1]);
}

class Dcc32Test : public TTestDir {};

}  // namespace

// The option list the compiler options viewer shows: the banner, the syntax
// line, then "switch = meaning" entries in two aligned columns.
TEST_F(Dcc32Test, NoSourceOrAHelpSwitchPrintsTheOptionListInColumns) {
  const TRunResult none = Dcc("");
  EXPECT_EQ(none.ExitCode, 0);
  ASSERT_GE(none.Lines.size(), 30u);
  EXPECT_EQ(none.Lines[0], "Tesmar Pascal Compiler stand-in  Version 1.0");
  EXPECT_EQ(none.Lines[3], "Syntax: dcc32 [options] filename [options]");
  EXPECT_EQ(none.Lines[5], "  -A<unit>=<alias> = Set unit alias  -$<dir> = Compiler directive");

  // Every entry of the switch block starts at column 2 or 37, so the columns
  // line up; the switches the stand-in honours are all listed.
  std::string switches;
  const std::regex entry(R"(-\S+ = \S.*?)");
  for (std::size_t i = 5; i < none.Lines.size() && none.Lines[i].rfind("  -", 0) == 0; ++i) {
    const std::string& line = none.Lines[i];
    SCOPED_TRACE(line);
    const std::string left = line.substr(2, std::min<std::size_t>(line.size(), 37) - 2);
    EXPECT_TRUE(std::regex_match(left.substr(0, left.find_last_not_of(' ') + 1), entry));
    if (line.size() > 37) {
      EXPECT_EQ(line.substr(35, 2), "  ");
      EXPECT_TRUE(std::regex_match(line.substr(37), entry));
    }
    switches += " " + line;
  }
  for (const char* honoured : {"-E<path> = ", "-U<paths> = ", "-I<paths> = ", "-R<paths> = ", "-O<paths> = ",
                               "-D<syms> = ", "-K<addr> = ", "-CC = ", "-CG = ", "-Q = ", "-$<dir> = "})
    EXPECT_NE(switches.find(honoured), std::string::npos) << honoured;
  EXPECT_TRUE(none.Has("  A+  Aligned record fields          P+  Open string parameters"));

  for (const char* ask : {"/?", "-h", "--help", "-B"}) {
    const TRunResult help = Dcc(ask);
    EXPECT_EQ(help.ExitCode, 0) << ask;
    EXPECT_EQ(help.Lines, none.Lines) << ask;
  }
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

  TRunResult run = Dcc("app.dpr -Eout/");
  ASSERT_EQ(run.ExitCode, 0) << testing::PrintToString(run.Lines);
  std::vector<std::string> progress(run.Lines.begin() + 2, run.Lines.end() - 1);
  // Each name as it is stored, in the system's separators.
  std::vector<std::string> expected = {"App.dpr(9)",
                                       "UNIT1.PAS(6)",
                                       "beside.pas(4)",
                                       NativePath("sub/deep.pas(5)"),
                                       NativePath("libs/one/Lib.pas(4)"),
                                       NativePath("libs/one/app2.pas(4)")};
  EXPECT_EQ(progress, expected);
  EXPECT_EQ(SuccessLines(run.Last()), 9 + 6 + 4 + 5 + 4 + 4) << run.Last();
  EXPECT_TRUE(Exists("out/app.exe"));
}

TEST_F(Dcc32Test, MessagesAndTheirEffectOnTheRun) {
  WriteBytes("P.dpr", "program P;\nuses A, B;\n{$MESSAGE 'plain'}\n{$message Hint 'it''s a hint'}\nbegin end.\n");
  WriteBytes("A.pas", "unit A;\n{$MESSAGE WARN 'careful'}\n{$MESSAGE ERROR 'broken'}\nend.\n");
  WriteBytes("B.pas",
             "unit B;\n{$IFDEF NEVER}{$MESSAGE FATAL 'skipped'}{$ELSE}\n{$MESSAGE HINT 'after error'}{$ENDIF}\nend.\n");
  TRunResult run = Dcc("P.dpr -E.");
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
}

TEST_F(Dcc32Test, MalformedSourcesGiveErrorsAtTheirPlace) {
  const std::pair<std::string, std::string> cases[] = {
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
  };
  WriteBytes("A.pas", "unit A;\nend.\n");
  WriteBytes("NotAUnit.pas", "program X;\n");
  for (const auto& [source, last] : cases) {
    WriteBytes("P.dpr", source);
    TRunResult run = Dcc("P.dpr -E.");
    EXPECT_EQ(run.ExitCode, 1) << source;
    EXPECT_EQ(run.Last(), last) << source;
    EXPECT_FALSE(Exists("P.exe")) << source;
  }
}

TEST_F(Dcc32Test, OutputKeepsTheShapesTheBuildJudges) {
  WriteBytes("P.dpr", "program P;\n{$MESSAGE WARN 'w'}\nbegin end.\n");
  TRunResult run = Dcc("P.dpr -E" + Root + "/");
  ASSERT_EQ(run.ExitCode, 0);
  // Progress lines end in a digit and ')' so the build filters them; messages do not.
  std::regex progress(R"(.*\d\)$)");
  EXPECT_TRUE(std::regex_match(run.Lines[2], progress));
  EXPECT_FALSE(std::regex_match(run.Lines[3], progress));
  EXPECT_NE(run.Lines[3].find("Warning:"), std::string::npos);
  EXPECT_EQ(SuccessLines(run.Last()), 3);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.Last(), m, std::regex(R"((\d+) bytes code, (\d+) bytes data)")));
  TImage image = ReadImage(ReadBytes("P.exe"));
  EXPECT_EQ(std::stoul(m[1]), 3u);  // the image's entry code
  EXPECT_EQ(std::stoul(m[2]), 0u);  // no resources linked
  EXPECT_TRUE(image.Resources.empty());
}

TEST_F(Dcc32Test, MissingFilesFailWithTheirPlace) {
  WriteBytes("P.dpr", "program P;\n\nuses\n  Here,\n  Gone;\nbegin end.\n");
  WriteBytes("Here.pas", "unit Here;\nend.\n");
  TRunResult run = Dcc("P.dpr -E.");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "P.dpr(5) Fatal: File not found: 'Gone.dcu'");

  WriteBytes("P.dpr", "program P;\n{$R *.RES}\nbegin end.\n");
  run = Dcc("P.dpr -E.");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "P.dpr(2) Error: File not found: 'P.RES'");

  run = Dcc("Q.dpr -E.");
  EXPECT_EQ(run.Last(), "Fatal: File not found: 'Q.dpr'");

  WriteBytes("P.dpr", "program P;\nbegin end.\n");
  run = Dcc("P.dpr -E" + Path("no/such/dir") + "/");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "Fatal: Could not create output file " + Path("no/such/dir/P.exe"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Root), {}), 2);  // nothing written anywhere
}

TEST_F(Dcc32Test, TargetKindFollowsTheHeading) {
  WriteBytes("Lib.dpr", "library Lib;\nuses Shared;\nbegin end.\n");
  WriteBytes("Shared.pas", "unit Shared;\nend.\n");
  WriteBytes("Pack.dpk", CrLf({"package Pack;", "{$R *.res}", "$ALIGN ON", "requires", "  rtl, vcl;", "contains",
                               "  Shared in 'Shared.pas', Other;", "end."}));
  WriteBytes("pack.RES", ResMarker);
  WriteBytes("Other.pas", "unit Other;\nend.\n");
  // (Not "Con": Windows keeps that name for the console device.)
  WriteBytes("Cons.dpr", "program Cons;\n{$APPTYPE CONSOLE}\nbegin end.\n");

  ASSERT_EQ(Dcc("Lib.dpr -E .").ExitCode, 0);
  TImage lib = ReadImage(ReadBytes("Lib.dll"));
  EXPECT_TRUE(lib.Characteristics & 0x2000);
  EXPECT_EQ(lib.Subsystem, 2);

  TRunResult pack = Dcc("Pack.dpk -E.");
  ASSERT_EQ(pack.ExitCode, 0) << testing::PrintToString(pack.Lines);
  EXPECT_TRUE(pack.Has("Other.pas(2)"));
  EXPECT_TRUE(ReadImage(ReadBytes("Pack.bpl")).Characteristics & 0x2000);

  ASSERT_EQ(Dcc("Cons.dpr -E.").ExitCode, 0);
  TImage con = ReadImage(ReadBytes("Cons.exe"));
  EXPECT_FALSE(con.Characteristics & 0x2000);
  EXPECT_EQ(con.Subsystem, 3);
}

TEST_F(Dcc32Test, LinkedResourcesAreInTheImageAndObjdumpAcceptsIt) {
  WriteBytes("App.dpr", "program App;\n{$R *.RES}\n{$R 'extra.res'}\nuses U;\nbegin end.\n");
  WriteBytes("U.pas", "unit U;\n{$R u.res}\n{$R *.RES}\nend.\n");  // the same file twice is linked once
  WriteBytes("app.res", ResMarker + ResEntryBytes("#16", "#1", 0x409, "old version") +
                            ResEntryBytes("#10", "MainData", 0x409, "abc") +
                            ResEntryBytes("#14", "MAINICON", 0, "icon"));
  WriteBytes("EXTRA.RES", ResMarker + ResEntryBytes("#16", "#1", 0x409, "new version") +
                              ResEntryBytes("MYTYPE", "#7", 0x407, std::string("\0\1\2", 3)));
  WriteBytes("U.res", ResMarker + ResEntryBytes("#10", "MAINDATA", 0x409, "replaced"));

  TRunResult run = Dcc("App.dpr -E.");
  ASSERT_EQ(run.ExitCode, 0) << testing::PrintToString(run.Lines);
  TImage image = ReadImage(ReadBytes("App.exe"));
  std::map<std::string, std::string> expected = {{"#16/#1/1033", "new version"},
                                                 {"#10/MAINDATA/1033", "replaced"},
                                                 {"#14/MAINICON/0", "icon"},
                                                 {"MYTYPE/#7/1031", std::string("\0\1\2", 3)}};
  EXPECT_EQ(image.Resources, expected);
  EXPECT_EQ(image.SizeOfImage % PESectionAlignment, 0u);

#ifdef _WIN32
  // The system's loader finds every resource in its language.
  const TSystemResources system(Path("App.exe"));
  for (const auto& [key, bytes] : expected) {
    const auto type = key.substr(0, key.find('/'));
    const auto name = key.substr(type.size() + 1, key.rfind('/') - type.size() - 1);
    EXPECT_EQ(system.Resource(type, name, std::stoi(key.substr(key.rfind('/') + 1))), bytes) << key;
  }
#else
  if (platform::SearchPathFor("i686-w64-mingw32-objdump").empty()) GTEST_SKIP() << "objdump for PE is not installed";
  TRunResult dump = RunCommandLine("i686-w64-mingw32-objdump -p App.exe");
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
  WriteBytes("App.res", [] {
    std::ifstream in(TestDataDir() + "/dcc32/version.res", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }());
  WriteBytes("App.dpr", "program App;\n{$R *.RES}\nbegin end.\n");
  TRunResult run = Dcc("App.dpr -E.");
  ASSERT_EQ(run.ExitCode, 0) << testing::PrintToString(run.Lines);

  TVersionInformation info;
  info.LoadVersionInfo(Path("App.exe"));
  ASSERT_TRUE(info.Loaded) << info.ErrorText;
  EXPECT_EQ(info.GetVersionString("FileVersion"), "3.1.4.15");
  EXPECT_EQ(info.GetVersionString("ProductVersion"), "2.7.1.8");
  EXPECT_EQ(info.GetVersionString("CompanyName"), "Stand-in Works");
  EXPECT_EQ(ReadImage(ReadBytes("App.exe")).Resources.at("#10/NOTES/1033"), "forty-two");
}

TEST_F(Dcc32Test, ResourceCompilerOutputLinksAsABuildDoesIt) {
  WriteBytes("App.RC", CrLf({"LANGUAGE LANG_ENGLISH,SUBLANG_ENGLISH_US",
                             "1 VERSIONINFO LOADONCALL MOVEABLE DISCARDABLE IMPURE",
                             "FILEVERSION 1, 2, 0, 7",
                             "PRODUCTVERSION 1, 0, 0, 0",
                             "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK",
                             "FILEOS VOS__WINDOWS32",
                             "FILETYPE VFT_APP",
                             "{",
                             " BLOCK \"StringFileInfo\"",
                             " {",
                             "  BLOCK \"040904E4\"",
                             "  {",
                             "   VALUE \"FileVersion\", \"1.2.0.7\\000\"",
                             "  }",
                             " }",
                             " BLOCK \"VarFileInfo\"",
                             " {",
                             "  VALUE \"Translation\", 1033, 1252",
                             " }",
                             "}"}));
  WriteBytes("App.dpr", "program App;\n{$R *.res}\nbegin end.\n");
  ASSERT_EQ(RunCommandLine(platform::QuoteProgramName(BinDir() + platform::PathDelim + "BRCC32.exe") +
                           " -v -foApp.RES App.RC")
                .ExitCode,
            0);
  ASSERT_EQ(Dcc("App.dpr -E" + Root + "/").ExitCode, 0);
  TVersionInformation info;
  info.LoadVersionInfo(Path("App.exe"));
  ASSERT_TRUE(info.Loaded) << info.ErrorText;
  EXPECT_EQ(info.GetVersionString("FileVersion"), "1.2.0.7");
}

TEST_F(Dcc32Test, CorruptResourceFileGivesAClearFatal) {
  WriteBytes("App.dpr", "program App;\n\n{$R App.res}\nbegin end.\n");
  std::string good = ResMarker + ResEntryBytes("#10", "DATA", 0x409, "payload");
  const std::pair<std::string, std::string> cases[] = {
      {"garbage", "not a 32-bit resource file"},
      {good.substr(0, good.size() - 6), "data size 7 beyond end of file in the entry at offset 32"},
      {ResMarker + Le32(0) + Le32(0xFFFFFFF0), "header size 4294967280 beyond end of file in the entry at offset 32"},
  };
  for (const auto& [bytes, reason] : cases) {
    WriteBytes("App.res", bytes);
    TRunResult run = Dcc("App.dpr -E.");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Last(), "App.dpr(3) Fatal: Invalid resource file 'App.res': " + reason);
    EXPECT_FALSE(Exists("App.exe"));
  }
}

TEST(ResReader, EveryTruncationIsReadOrRefusedAndEqualNamesMerge) {
  std::string file = ResMarker + ResEntryBytes("#10", "Name", 0x409, "12345") + ResEntryBytes("T", "#3", 7, "wxyz");
  std::vector<TResEntry> entries = ParseResFile(file);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(ResIdText(entries[0].Name), "Name");
  EXPECT_EQ(entries[1].LanguageId, 7);
  EXPECT_EQ(entries[1].Data, "wxyz");
  for (size_t length = 0; length < file.size(); ++length) {
    try {
      size_t read = ParseResFile(file.substr(0, length)).size();
      EXPECT_LT(read, 2u) << length;
    } catch (const TResFileError& error) {
      EXPECT_NE(std::string(error.what()), "") << length;
    }
  }

  std::vector<TResEntry> merged = entries;
  MergeResources(merged, ParseResFile(ResMarker + ResEntryBytes("#10", "NAME", 0x409, "new") +
                                      ResEntryBytes("#10", "NAME", 0x407, "other language")));
  ASSERT_EQ(merged.size(), 3u);
  EXPECT_EQ(merged[0].Data, "new");
}

TEST(PEWriter, ResourceDirectoryIsSortedForTheLoader) {
  std::vector<TResEntry> resources;
  for (const auto& [type, name] :
       std::vector<std::pair<TResId, TResId>>{{TResId::FromOrdinal(16), TResId::FromOrdinal(2)},
                                              {TResId::FromOrdinal(16), TResId::FromName(u"zeta")},
                                              {TResId::FromOrdinal(3), TResId::FromOrdinal(9)},
                                              {TResId::FromOrdinal(16), TResId::FromName(u"Alpha")},
                                              {TResId::FromName(u"B"), TResId::FromOrdinal(1)}}) {
    TResEntry entry;
    entry.Type = type;
    entry.Name = name;
    entry.Data = "x";
    resources.push_back(entry);
  }
  std::string section = BuildResourceSection(resources, 0x3000);
  auto word = [&](size_t at) { return Get(section, at, 2); };
  auto dword = [&](size_t at) { return Get(section, at, 4); };
  EXPECT_EQ(word(12), 1u);  // one named type, then two ordinal ones
  EXPECT_EQ(word(14), 2u);
  EXPECT_TRUE(dword(16) & 0x80000000u);
  EXPECT_EQ(dword(24), 3u);
  EXPECT_EQ(dword(32), 16u);
  size_t versions = dword(32 + 4) & 0x7FFFFFFF;
  EXPECT_EQ(word(versions + 12), 2u);
  auto nameAt = [&](size_t entry) {
    size_t at = dword(entry) & 0x7FFFFFFF;
    std::string text;
    for (uint32_t i = 0; i < word(at); ++i) text += static_cast<char>(word(at + 2 + 2 * i));
    return text;
  };
  EXPECT_EQ(nameAt(versions + 16), "Alpha");  // ascending without regard to case
  EXPECT_EQ(nameAt(versions + 24), "zeta");
  EXPECT_EQ(dword(versions + 32), 2u);
  size_t leaf = dword((dword(versions + 32 + 4) & 0x7FFFFFFF) + 20);
  EXPECT_EQ(dword(leaf) % 8, 0u);
  EXPECT_GE(dword(leaf), 0x3000u);
  EXPECT_EQ(section.substr(dword(leaf) - 0x3000, 1), "x");
}
