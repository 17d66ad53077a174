#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "brcc32/RcError.h"
#include "brcc32/RcParser.h"
#include "common/ResFormat.h"
#include "common/ResReader.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/SystemResources.h"
#include "support/TestDir.h"

using namespace tesmar_brcc;
using namespace tesmar_res;

namespace {

// ---- helpers --------------------------------------------------------------

uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b.at(at)) | (static_cast<unsigned char>(b.at(at + 1)) << 8));
}
uint32_t U32(const std::string& b, std::size_t at) {
  return U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

std::string Utf16(const std::u16string& s) {
  std::string out;
  AppendUtf16(out, s, true);
  return out;
}

// A real 16x16 32-bit icon file with one image; extra bytes after the image
// let a test choose the file's length.
std::string MakeIcon(std::size_t trailing = 0) {
  std::string image;
  for (uint32_t v : {40u, 16u, 32u}) AppendU32(image, v);
  AppendU16(image, 1);
  AppendU16(image, 32);
  for (int i = 0; i < 6; ++i) AppendU32(image, 0);
  for (int i = 0; i < 16 * 16; ++i) AppendU32(image, 0xFF0080C0u + static_cast<uint32_t>(i));
  image += std::string(16 * 4, '\0');
  std::string ico;
  AppendU16(ico, 0);
  AppendU16(ico, 1);
  AppendU16(ico, 1);
  AppendU8(ico, 16);
  AppendU8(ico, 16);
  AppendU8(ico, 0);
  AppendU8(ico, 0);
  AppendU16(ico, 1);
  AppendU16(ico, 32);
  AppendU32(ico, static_cast<uint32_t>(image.size()));
  AppendU32(ico, 22);
  return ico + image + std::string(trailing, '\0');
}

// The icon as the system writes it into a script: rows of sixteen bytes in
// upper-case hex, each row in single quotes, CR LF between rows.
std::string IconRows(const std::string& bytes) {
  static const char* hex = "0123456789ABCDEF";
  std::string text, line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    line += hex[b >> 4];
    line += hex[b & 15];
    line += ' ';
    if ((i + 1) % 16 == 0) {
      line.pop_back();
      text += "'" + line + "'\r\n";
      line.clear();
    }
  }
  if (!line.empty()) line.pop_back();
  return text + "'" + line + "'";
}

// The system's default mask with its placeholders filled in.
std::string DefaultScript(const std::string& iconRows, const std::string& company = "Acme") {
  std::vector<std::string> lines = {"/" + std::string(76, '*'),
                                    "Resourcemask.rc",
                                    "",
                                    std::string(77, '*') + "/",
                                    "",
                                    "LANGUAGE LANG_ENGLISH,SUBLANG_ENGLISH_US",
                                    "",
                                    "MAINICON ICON LOADONCALL MOVEABLE DISCARDABLE IMPURE",
                                    "{",
                                    " " + iconRows,
                                    "}",
                                    "",
                                    "1 VERSIONINFO LOADONCALL MOVEABLE DISCARDABLE IMPURE",
                                    "FILEVERSION 1, 2, 0, 7",
                                    "PRODUCTVERSION 3, 4, 5, 6",
                                    "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK",
                                    "FILEOS VOS__WINDOWS32",
                                    "FILETYPE VFT_APP",
                                    "{",
                                    " BLOCK \"StringFileInfo\"",
                                    " {",
                                    "  BLOCK \"040904E4\"",
                                    "  {",
                                    "   VALUE \"CompanyName\", \"" + company + "\\000\"",
                                    "   VALUE \"FileDescription\", \"Demo program\\000\"",
                                    "   VALUE \"FileVersion\", \"1.2.0.7\\000\"",
                                    "   VALUE \"InternalName\", \"\\000\"",
                                    "   VALUE \"LegalCopyright\", \"\\000\"",
                                    "   VALUE \"LegalTrademarks\", \"\\000\"",
                                    "   VALUE \"OriginalFilename\", \"App.exe\\000\"",
                                    "   VALUE \"ProductName\", \"\\000\"",
                                    "   VALUE \"ProductVersion\", \"3.4.5.6\\000\"",
                                    "   VALUE \"Comments\", \"\\000\"",
                                    "   VALUE \"Appid\", \"0\\000\"",
                                    "  }",
                                    "",
                                    " }",
                                    "",
                                    " BLOCK \"VarFileInfo\"",
                                    " {",
                                    "  VALUE \"Translation\", 1033, 1252",
                                    " }",
                                    "}"};
  return CrLf(lines);
}

TRcScript Compile(const std::string& text, const TFileLoader& loader = nullptr, TRcOptions options = {}) {
  const TFileLoader none = [](const std::string& name) -> std::string {
    throw std::runtime_error("file not found: " + name);
  };
  return CompileScript(text, "t.rc", options, loader ? loader : none);
}

std::string CompileError(const std::string& text) {
  try {
    Compile(text);
  } catch (const TRcError& e) {
    return e.what();
  }
  return "(no error)";
}

using TRun = TCommandRun;

TRun Brcc(const std::string& args) {
  return RunCommandLine(platform::QuoteProgramName(BinDir() + platform::PathDelim + "BRCC32.exe") + " " + args);
}

// Why the .RES files cannot be read back here; "" when they can (on
// Windows, linked into a program, by the system itself).
std::string NoWindres() {
#ifdef _WIN32
  return "";
#else
  return platform::SearchPathFor("i686-w64-mingw32-windres").empty() ? "i686-w64-mingw32-windres is not installed" : "";
#endif
}

#ifndef _WIN32
std::string Windres(const std::string& resFile) {
  std::string text;
  for (const auto& l : RunCommandLine("i686-w64-mingw32-windres -J res -O rc \"" + resFile + "\"").Lines)
    text += l + "\n";
  return text;
}
#endif

class Brcc32Test : public TTestDir {};

}  // namespace

// ---- the system's default mask ---------------------------------------------

TEST_F(Brcc32Test, DefaultMaskWithIconIsReadBackByWindres) {
  if (const std::string why = NoWindres(); !why.empty()) GTEST_SKIP() << why;
  // 1152 bytes: a multiple of 16, so the last icon row is just a pair of quotes.
  const std::string icon = MakeIcon(2);
  ASSERT_EQ(icon.size() % 16, 0u);
  const std::string script = DefaultScript(IconRows(icon), "Acme \xE9 Ltd");
  WriteBytes("App.RC", script);

  const TRun run = Brcc("-v -foApp.RES App.RC");
  ASSERT_EQ(run.ExitCode, 0) << run.Last();
  EXPECT_EQ(run.Last(), "New File: App.RES");
  EXPECT_TRUE(run.Has("Lines: " + std::to_string(42 + icon.size() / 16 + 1)));
  EXPECT_EQ(ReadBytes("App.RC"), script);

#ifdef _WIN32
  // Linked into a program, read back by the system's own functions.
  const TSystemResources system(LinkResourcesForTheSystem(Path("App.RES")));
  EXPECT_EQ(system.FileVersion, "1.2.0.7");
  EXPECT_EQ(system.ProductVersion, "3.4.5.6");
  EXPECT_EQ(system.FileFlagsMask, 0x3fu);
  EXPECT_EQ(system.FileOS, 0x4u);
  EXPECT_EQ(system.FileType, 0x1u);
  EXPECT_EQ(system.Translation, "040904E4");
  EXPECT_EQ(system.String("FileVersion"), "1.2.0.7");
  EXPECT_EQ(system.String("OriginalFilename"), "App.exe");
  EXPECT_EQ(system.String("InternalName"), "");
  // Windows-1252 text arrives as UTF-16: the e acute.
  EXPECT_EQ(system.String("CompanyName"), "Acme \xC3\xA9 Ltd");
  EXPECT_EQ(system.Icon("MAINICON"), MakeIcon().substr(22));   // the image, without the bytes after it
  EXPECT_NE(system.Resource("#3", "#1", 0x409), "<missing>");  // LANGUAGE 9, 1
#else
  const std::string rc = Windres(Path("App.RES"));
  for (const char* expected :
       {"FILEVERSION 1, 2, 0, 7", "PRODUCTVERSION 3, 4, 5, 6", "FILEFLAGSMASK 0x3f", "FILEOS 0x4", "FILETYPE 0x1",
        "VALUE \"FileVersion\", \"1.2.0.7\"", "VALUE \"OriginalFilename\", \"App.exe\"", "VALUE \"InternalName\", \"\"",
        "VALUE \"Translation\", 0x409, 1252", "\"MAINICON\" 14 /* RT_GROUP_ICON */", "1 3 /* RT_ICON */",
        "LANGUAGE 9, 1"})
    EXPECT_NE(rc.find(expected), std::string::npos) << expected << "\n" << rc;
  // Windows-1252 text arrives as UTF-16 (windres shows the e acute in octal).
  EXPECT_NE(rc.find("VALUE \"CompanyName\", L\"Acme \\351 Ltd\""), std::string::npos) << rc;
#endif
}

TEST_F(Brcc32Test, DefaultMaskLayout) {
  const std::string icon = MakeIcon();
  ASSERT_NE(icon.size() % 16, 0u);
  const TRcScript s = Compile(DefaultScript(IconRows(icon)));
  ASSERT_EQ(s.Entries.size(), 3u);

  const TResEntry& image = s.Entries[0];
  EXPECT_EQ(image.Type, TResId::FromOrdinal(RT_ICON));
  EXPECT_EQ(image.Name, TResId::FromOrdinal(1));
  EXPECT_EQ(image.LanguageId, 0x0409);
  EXPECT_EQ(image.Data, icon.substr(22));

  const TResEntry& group = s.Entries[1];
  EXPECT_EQ(group.Type, TResId::FromOrdinal(RT_GROUP_ICON));
  EXPECT_EQ(group.Name, TResId::FromName(u"MAINICON"));
  // IMPURE takes PURE from the group's default; LOADONCALL leaves PRELOAD off.
  EXPECT_EQ(group.MemoryFlags, MEMFLAG_MOVEABLE | MEMFLAG_DISCARDABLE);
  ASSERT_EQ(group.Data.size(), 6u + 14u);
  EXPECT_EQ(U16(group.Data, 4), 1);                     // one image
  EXPECT_EQ(U32(group.Data, 6 + 8), icon.size() - 22);  // its size
  EXPECT_EQ(U16(group.Data, 6 + 12), 1);                // nID

  const TResEntry& ver = s.Entries[2];
  EXPECT_EQ(ver.Type, TResId::FromOrdinal(RT_VERSION));
  EXPECT_EQ(ver.MemoryFlags, MEMFLAG_MOVEABLE | MEMFLAG_DISCARDABLE);
  const std::string& d = ver.Data;
  EXPECT_EQ(U16(d, 0), d.size());
  EXPECT_EQ(U16(d, 2), 52);
  EXPECT_EQ(d.substr(6, 32), Utf16(u"VS_VERSION_INFO"));
  EXPECT_EQ(U32(d, 40), 0xFEEF04BDu);
  EXPECT_EQ(U32(d, 44), 0x10000u);
  EXPECT_EQ(U32(d, 48), 0x00010002u);
  EXPECT_EQ(U32(d, 52), 0x00000007u);
  EXPECT_EQ(U32(d, 56), 0x00030004u);
  EXPECT_EQ(U32(d, 60), 0x00050006u);
  EXPECT_EQ(U32(d, 64), 0x3Fu);
  EXPECT_EQ(U32(d, 72), 4u);
  EXPECT_EQ(U32(d, 76), 1u);

  // "\000" ends the text: "Acme" counts five WORDs with its one terminator.
  const std::size_t key = d.find(Utf16(u"CompanyName"));
  ASSERT_NE(key, std::string::npos);
  ASSERT_EQ(key % 4, 2u);  // the 6-byte header before it starts on a DWORD
  EXPECT_EQ(U16(d, key - 4), 5);
  EXPECT_EQ(U16(d, key - 2), 1);
  EXPECT_EQ(U16(d, key - 6), 6 + 24 + 2 + 10);
  EXPECT_EQ(d.substr(key + 24 + 2, 10), Utf16(u"Acme"));

  const std::size_t tr = d.find(Utf16(u"Translation"));
  ASSERT_NE(tr, std::string::npos);
  EXPECT_EQ(U16(d, tr - 4), 4);  // bytes of a binary value
  EXPECT_EQ(U16(d, tr - 2), 0);
  EXPECT_EQ(U16(d, tr + 26), 1033);
  EXPECT_EQ(U16(d, tr + 28), 1252);
}

// ---- the .RES format ---------------------------------------------------------

TEST(ResFormatTest, EmptyEntryAndAlignedNamedHeaders) {
  TResEntry e;
  e.Type = TResId::FromName(u"AB");
  e.Name = TResId::FromOrdinal(7);
  e.MemoryFlags = 0x1030;
  e.LanguageId = 0x0407;
  e.Data = "xyz";
  const std::string file = WriteResFile({e, e});
  std::string empty(32, '\0');
  empty[4] = 32;
  empty[8] = empty[9] = empty[12] = empty[13] = static_cast<char>(0xFF);
  EXPECT_EQ(file.substr(0, 32), empty);
  // 8 + "AB\0" (6) + ordinal (4) = 18, padded to 20, + 16.
  EXPECT_EQ(U32(file, 32), 3u);
  EXPECT_EQ(U32(file, 36), 36u);
  EXPECT_EQ(U16(file, 32 + 20 + 4), 0x1030);
  EXPECT_EQ(U16(file, 32 + 20 + 6), 0x0407);
  EXPECT_EQ(file.substr(32 + 36, 3), "xyz");
  // The data is padded to a DWORD; the second entry follows.
  EXPECT_EQ(U32(file, 32 + 36 + 4 + 4), 36u);
  EXPECT_EQ(file.size(), 32u + 2 * (36 + 4));
}

TEST(ResFormatTest, TheToolsResReaderReadsWhatIsWritten) {
  const TRcScript s = Compile(DefaultScript(IconRows(MakeIcon())) + "STRINGTABLE { 3, \"x\" }\r\nn RCDATA { 1 }\r\n");
  const auto back = tesmar_tools::ParseResFile(WriteResFile(s.Entries));
  ASSERT_EQ(back.size(), s.Entries.size());
  for (std::size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back[i].Type.IsOrdinal, s.Entries[i].Type.IsOrdinal);
    EXPECT_EQ(back[i].Type.Ordinal, s.Entries[i].Type.Ordinal);
    EXPECT_EQ(back[i].Name.Name, s.Entries[i].Name.Name);
    EXPECT_EQ(back[i].MemoryFlags, s.Entries[i].MemoryFlags);
    EXPECT_EQ(back[i].LanguageId, s.Entries[i].LanguageId);
    EXPECT_EQ(back[i].Data, s.Entries[i].Data);
  }
}

// ---- script language ---------------------------------------------------------

TEST(Brcc32ScriptTest, RcDataItemsAndEscapes) {
  const TRcScript s = Compile(
      "#define BASE 0x10\r\n"
      "data RCDATA PRELOAD FIXED { 1, 2L, \"ab\", L\"c\", 'ff 00', BASE | 1, -1,\r\n"
      "  \"\\t\\x41\\101\\000\"\"q\"\"\\\\\\n\" }\r\n");
  ASSERT_EQ(s.Entries.size(), 1u);
  const TResEntry& e = s.Entries[0];
  EXPECT_EQ(e.Name, TResId::FromName(u"DATA"));
  EXPECT_EQ(e.Type, TResId::FromOrdinal(RT_RCDATA));
  EXPECT_EQ(e.MemoryFlags, MEMFLAG_PURE | MEMFLAG_PRELOAD);
  EXPECT_EQ(e.Data, std::string("\x01\x00\x02\x00\x00\x00"
                                "ab"
                                "c\x00"
                                "\xFF\x00"
                                "\x11\x00"
                                "\xFF\xFF"
                                "\tAA\x00\"q\"\\\n",
                                6 + 2 + 2 + 2 + 2 + 2 + 9));
}

TEST(Brcc32ScriptTest, StringTableBlocksOfSixteen) {
  const TRcScript s =
      Compile("STRINGTABLE\r\nBEGIN\r\n  1, \"One\"\r\n  17 \"Seven\" \"teen\"\r\n  18, \"\\x80\"\r\nEND\r\n");
  ASSERT_EQ(s.Entries.size(), 2u);
  EXPECT_EQ(s.Entries[0].Name, TResId::FromOrdinal(1));
  EXPECT_EQ(s.Entries[1].Name, TResId::FromOrdinal(2));
  const std::string& first = s.Entries[0].Data;
  std::string expected;
  AppendU16(expected, 0);
  AppendU16(expected, 3);
  AppendUtf16(expected, u"One", false);
  for (int i = 0; i < 14; ++i) AppendU16(expected, 0);
  EXPECT_EQ(first, expected);
  const std::string& second = s.Entries[1].Data;
  EXPECT_EQ(U16(second, 2), 9);
  EXPECT_EQ(second.substr(4, 18), std::string(Utf16(u"Seventeen"), 0, 18));
  EXPECT_EQ(U16(second, 22), 1);
  EXPECT_EQ(U16(second, 24), 0x20AC);  // Windows-1252 0x80 is the euro sign
  EXPECT_EQ(s.Entries[0].MemoryFlags, MEMFLAG_MOVEABLE | MEMFLAG_PURE | MEMFLAG_DISCARDABLE);
}

TEST(Brcc32ScriptTest, LanguagesConditionsAndNames) {
  const TRcScript s = Compile(
      "// comment\r\n#include <windows.h>\r\n#define IDI_APP 100\r\n"
      "#ifdef IDI_APP\r\nLANGUAGE LANG_GERMAN, SUBLANG_GERMAN\r\n#else\r\n#error not taken\r\n#endif\r\n"
      "/* a\r\n   block */ IDI_APP RCDATA { 1 }\r\n"
      "#if defined(NOTHING) || IDI_APP < 50\r\nx RCDATA { 2 }\r\n#elif IDI_APP == 100\r\n"
      "\"quoted\" MYTYPE LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL { 3 }\r\n#endif\r\n"
      "5 300 CHARACTERISTICS 9 VERSION 2 { 4 }\r\n");
  ASSERT_EQ(s.Entries.size(), 3u);
  EXPECT_EQ(s.Entries[0].Name, TResId::FromOrdinal(100));
  EXPECT_EQ(s.Entries[0].LanguageId, 0x0407);
  EXPECT_EQ(s.Entries[1].Type, TResId::FromName(u"MYTYPE"));
  EXPECT_EQ(s.Entries[1].Name, TResId::FromName(u"QUOTED"));
  EXPECT_EQ(s.Entries[1].LanguageId, 0);
  EXPECT_EQ(s.Entries[2].Type, TResId::FromOrdinal(300));
  EXPECT_EQ(s.Entries[2].LanguageId, 0x0407);
  EXPECT_EQ(s.Entries[2].Characteristics, 9u);
  EXPECT_EQ(s.Entries[2].Version, 2u);
}

TEST(Brcc32ScriptTest, VersionValuesTextAndCodePages) {
  const std::string script =
      "VS_VERSION_INFO VERSIONINFO\r\nFILEVERSION 1,2\r\nFILEFLAGS VS_FF_DEBUG | VS_FF_PATCHED + 0\r\n"
      "BEGIN\r\n BLOCK \"S\" BEGIN VALUE \"K\", \"\xC3\xA9\" \"\\x80\" END\r\n"
      " VALUE \"W\", 1L, 0x2\r\nEND\r\n";
  const TRcScript w = Compile(script);
  const std::string& d = w.Entries.at(0).Data;
  EXPECT_EQ(w.Entries[0].Name, TResId::FromOrdinal(1));
  EXPECT_EQ(U32(d, 48), 0x00010002u);
  EXPECT_EQ(U32(d, 52), 0u);
  EXPECT_EQ(U32(d, 68), 5u);
  const std::size_t k = d.find(Utf16(u"K"));
  ASSERT_NE(k, std::string::npos);
  EXPECT_EQ(U16(d, k - 4), 4);  // two 1252 characters, the euro sign, the zero
  EXPECT_EQ(d.substr(k + 6, 8), Utf16(u"\u00C3\u00A9\u20AC"));
  const std::size_t v = d.find(Utf16(u"W"));
  EXPECT_EQ(U16(d, v - 4), 6);  // a DWORD and a WORD
  EXPECT_EQ(U32(d, v + 6), 1u);
  EXPECT_EQ(U16(d, v + 10), 2);

  TRcOptions utf8;
  utf8.CodePage = kCodePageUtf8;
  const std::string u = Compile(script, nullptr, utf8).Entries.at(0).Data;
  const std::size_t k8 = u.find(Utf16(u"K"));
  EXPECT_EQ(U16(u, k8 - 4), 3);
  EXPECT_EQ(u.substr(k8 + 6, 6), Utf16(u"\u00E9\uFFFD"));
}

TEST(Brcc32ScriptTest, ErrorsNameTheirLineAndColumn) {
  struct TCase {
    std::string Script;
    std::string Error;
  } cases[] = {
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
  for (const auto& c : cases) EXPECT_EQ(CompileError(c.Script), c.Error) << c.Script;
}

TEST(Brcc32ScriptTest, CursorsAndBitmaps) {
  // A cursor file is an icon file of type 2 whose planes and bit count hold the hot spot.
  std::string cur = MakeIcon();
  cur[2] = 2;
  cur[10] = 5;  // hot spot x
  cur[12] = 7;  // hot spot y
  const std::string bmp = "BM" + std::string(12, '\0') + "DIB";
  const TFileLoader files = [&](const std::string& name) { return name == "a.cur" ? cur : bmp; };
  const TRcScript s = Compile("c CURSOR a.cur\r\nb BITMAP \"a.bmp\"\r\n", files);
  ASSERT_EQ(s.Entries.size(), 3u);  // image, group, bitmap
  const std::string& image = s.Entries[0].Data;
  EXPECT_EQ(s.Entries[0].Type, TResId::FromOrdinal(RT_CURSOR));
  EXPECT_EQ(U16(image, 0), 5);
  EXPECT_EQ(U16(image, 2), 7);
  EXPECT_EQ(image.substr(4), cur.substr(22));
  const std::string& group = s.Entries[1].Data;
  EXPECT_EQ(s.Entries[1].Type, TResId::FromOrdinal(RT_GROUP_CURSOR));
  EXPECT_EQ(U16(group, 6), 16);
  EXPECT_EQ(U16(group, 8), 32);  // the height counts the mask too
  EXPECT_EQ(U16(group, 12), 32);
  EXPECT_EQ(U32(group, 14), image.size());
  EXPECT_EQ(s.Entries[2].Type, TResId::FromOrdinal(RT_BITMAP));
  EXPECT_EQ(s.Entries[2].Data, "DIB");
}

TEST(Brcc32ScriptTest, DeepNestingIsAnErrorNotACrash) {
  std::string script = "1 RCDATA { " + std::string(5000, '(') + "1" + std::string(5000, ')') + " }";
  EXPECT_NE(CompileError(script).find("nested too deeply"), std::string::npos);
  script = "1 VERSIONINFO {";
  for (int i = 0; i < 100; ++i) script += " BLOCK \"x\" {";
  EXPECT_NE(CompileError(script).find("blocks nested too deeply"), std::string::npos);
}

// ---- the program -------------------------------------------------------------

TEST_F(Brcc32Test, OutputNameAttachedOrSeparateAndVerboseLines) {
  WriteBytes("a.rc", "1 RCDATA { 1 }\r\n2 RCDATA\r\n{ 2 }");
  TRun run = Brcc("-fo out1.res a.rc");
  ASSERT_EQ(run.ExitCode, 0) << run.Last();
  ASSERT_EQ(run.Lines.size(), 2u);  // the banner only
  EXPECT_TRUE(Exists("out1.res"));
  run = Brcc("-v -foout2.res a.rc");
  ASSERT_EQ(run.ExitCode, 0);
  ASSERT_EQ(run.Lines.size(), 4u);
  EXPECT_EQ(run.Lines[2], "Lines: 3");
  EXPECT_EQ(run.Lines[3], "New File: out2.res");
  EXPECT_EQ(ReadBytes("out1.res"), ReadBytes("out2.res"));
  EXPECT_EQ(ReadBytes("a.rc"), "1 RCDATA { 1 }\r\n2 RCDATA\r\n{ 2 }");
}

TEST_F(Brcc32Test, WrongUsageAndMissingInput) {
  TRun run = Brcc("-v");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_TRUE(run.Has("Syntax: BRCC32 [options] <script>"));
  run = Brcc("-zz a.rc");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_TRUE(run.Has("unknown option -zz"));
  run = Brcc("-v -fomissing.RES missing.rc");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "Error missing.rc 0 0: file not found: missing.rc");
  EXPECT_FALSE(Exists("missing.RES"));
}

TEST_F(Brcc32Test, SyntaxErrorLeavesOldOutputAndScriptAlone) {
  const std::string broken = "1 RCDATA\r\n{\r\n  1,\r\n";
  WriteBytes("App.RC", broken);
  WriteBytes("App.RES", "old");
  const TRun run = Brcc("-v -foApp.RES App.RC");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "Error App.RC 3 5: '}' or END expected");
  EXPECT_TRUE(run.Has("Lines: 3"));
  EXPECT_EQ(ReadBytes("App.RES"), "old");
  EXPECT_EQ(ReadBytes("App.RC"), broken);
  WriteBytes("New.RC", broken);
  EXPECT_EQ(Brcc("-v -foNew.RES New.RC").ExitCode, 1);
  EXPECT_FALSE(Exists("New.RES"));
}

TEST_F(Brcc32Test, IconFilesBesideTheScriptWhateverTheirCase) {
  if (const std::string why = NoWindres(); !why.empty()) GTEST_SKIP() << why;
  WriteBytes("src/art/app.ico", MakeIcon());
  WriteBytes("src/App.rc",
             "A ICON art\\APP.ICO\r\nB ICON \"art/app.ico\"\r\n"
             "STRINGTABLE { 5, \"five\" }\r\n7 RCDATA { 1, \"x\" }\r\n");
  const TRun run = Brcc("-v -fosrc/App.res src/App.rc");
  ASSERT_EQ(run.ExitCode, 0) << run.Last();
  EXPECT_EQ(run.Last(), "New File: src/App.res");
#ifdef _WIN32
  const TSystemResources system(LinkResourcesForTheSystem(Path("src/App.res")));
  EXPECT_EQ(system.Icon("A"), MakeIcon().substr(22));
  EXPECT_EQ(system.Icon("B"), MakeIcon().substr(22));
  EXPECT_NE(system.Resource("#3", "#2"), "<missing>");
  EXPECT_EQ(system.TableString(5), "five");
  EXPECT_NE(system.Resource("#10", "#7"), "<missing>");
#else
  const std::string rc = Windres(Path("src/App.res"));
  for (const char* expected :
       {"\"A\" 14 /* RT_GROUP_ICON */", "\"B\" 14 /* RT_GROUP_ICON */", "2 3 /* RT_ICON */", "5, \"five\"", "7 RCDATA"})
    EXPECT_NE(rc.find(expected), std::string::npos) << expected << "\n" << rc;
#endif

  WriteBytes("src/Bad.rc", "A ICON \"gone.ico\"\r\n");
  const TRun bad = Brcc("-v -fosrc/Bad.res src/Bad.rc");
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_EQ(bad.Last(), "Error src/Bad.rc 1 8: file not found: gone.ico");
  EXPECT_FALSE(Exists("src/Bad.res"));
}

TEST_F(Brcc32Test, DefinesLanguageIncludeDirectoriesAndCodePage) {
  if (const std::string why = NoWindres(); !why.empty()) GTEST_SKIP() << why;
  WriteBytes("icons/x.ico", MakeIcon());
  WriteBytes("s.rc",
             "#ifdef FLAG\r\nID ICON x.ico\r\n#endif\r\n"
             "1 VERSIONINFO { BLOCK \"StringFileInfo\" { BLOCK \"040704E4\" { VALUE \"K\", \"\xC3\xA9\" } } }\r\n");
  const TRun run = Brcc("-v -r -31 -w32 -dFLAG -dID=42 -l0x407 -c65001 -i icons -fo s.res s.rc");
  ASSERT_EQ(run.ExitCode, 0) << run.Last();
#ifdef _WIN32
  const TSystemResources system(LinkResourcesForTheSystem(Path("s.res")));
  EXPECT_NE(system.Resource("#14", "#42", 0x407), "<missing>");  // LANGUAGE 7, 1
  EXPECT_EQ(system.String("K", "040704E4"), "\xC3\xA9");
#else
  const std::string rc = Windres(Path("s.res"));
  for (const char* expected : {"42 14 /* RT_GROUP_ICON */", "LANGUAGE 7, 1", "VALUE \"K\", L\"\\351\""})
    EXPECT_NE(rc.find(expected), std::string::npos) << expected << "\n" << rc;
#endif
}

TEST_F(Brcc32Test, OutputMayNotOverwriteTheScript) {
  WriteBytes("s.rc", "1 RCDATA { 1 }\r\n");
  const TRun run = Brcc("-v -fo S.RC s.rc");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Last(), "Error S.RC 0 0: the output file must not be the script itself");
  EXPECT_EQ(ReadBytes("s.rc"), "1 RCDATA { 1 }\r\n");
}
