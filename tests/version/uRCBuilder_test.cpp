#include "version/uRCBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/ProfileCache.h"
#include "platform/TextFile.h"
#include "project/uPersistence.h"
#include "support/SystemResources.h"
#include "support/TestDir.h"

namespace {

using TEvents = std::vector<std::pair<std::string, std::string>>;

const char* const FullCompany =
    "M\xC3\xBC"
    "ller & S\xC3\xB6hne";

std::string VersionFixture(const std::string& name) {
  return TestDataDir() + "/version/" + name;
}

// A one-image 16x16 two-colour icon file with a recognisable pixel pattern.
std::string SmallIcon() {
  auto u16 = [](std::string& s, unsigned v) { s += static_cast<char>(v & 0xFF), s += static_cast<char>(v >> 8); };
  auto u32 = [&](std::string& s, unsigned v) { u16(s, v & 0xFFFF), u16(s, v >> 16); };
  std::string image;
  u32(image, 40), u32(image, 16), u32(image, 32), u16(image, 1), u16(image, 1);
  for (int i = 0; i < 6; ++i) u32(image, i == 4 ? 2 : 0);
  u32(image, 0), u32(image, 0x00FFFFFF);  // palette
  for (int i = 0; i < 64; ++i) image += static_cast<char>(i * 7 + 3);
  image += std::string(64, '\0');  // AND mask
  std::string file;
  u16(file, 0), u16(file, 1), u16(file, 1);
  file += std::string("\x10\x10\x02\x00", 4);
  u16(file, 1), u16(file, 1), u32(file, static_cast<unsigned>(image.size())), u32(file, 22);
  return file + image;
}

#ifndef _WIN32
// The bytes of the RT_ICON resource in a decompiled listing, when it lists
// them as little-endian 32-bit words ("0x18110a03L").
std::string IconImageFromListing(const std::string& rc) {
  const std::size_t start = rc.find("BEGIN", rc.find("/* RT_ICON */"));
  const std::size_t end = rc.find("END", start);
  if (start == std::string::npos || end == std::string::npos) return "";
  std::string bytes;
  for (std::size_t at = rc.find("0x", start); at < end; at = rc.find("0x", at + 2)) {
    unsigned long word = std::stoul(rc.substr(at + 2, 8), nullptr, 16);
    for (int i = 0; i < 4; ++i, word >>= 8) bytes += static_cast<char>(word & 0xFF);
  }
  return bytes;
}

#endif

}  // namespace

class ResourceHandlerTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
    platform::ForgetSharedProfiles();
    Persistence().OnError = nullptr;
    Persistence().LastError.clear();
    Handler.OnResourceError = [this](const std::string& file, const std::string& info) {
      Events.emplace_back(file, info);
    };
  }

  void WriteVersionFile(const std::string& name, const std::vector<std::string>& lines) const {
    WriteBytes(name, CrLf(lines));
  }
  std::vector<std::string> ScriptLines(const std::string& name) const { return platform::SplitLines(ReadBytes(name)); }
  void SetSampleValues() {
    const char* values[] = {"1",    "2",        "0",     "7",   "5",        "6",  "7",         "8",       "42",
                            "Tool", "Acme Ltd", "Notes", "app", "(c) Acme", "TM", "App Suite", "app.exe", ""};
    for (auto field : AllResourceTypes()) Handler.SetValueAndSource(field, values[field], vsLocalFile);
  }

  TResourceHandler Handler;
  TEvents Events;
};

TEST_F(ResourceHandlerTest, ValueTableClearingAndMarks) {
  for (auto field : AllResourceTypes()) {
    EXPECT_EQ(Handler.Values[field].Value, "");
    EXPECT_EQ(Handler.GetSource(field), vsNone);
  }
  // Only the two build numbers read an empty value as 0.
  EXPECT_EQ(Handler.GetValue(reBuild), "0");
  EXPECT_EQ(Handler.GetValue(reProductBuild), "0");
  EXPECT_EQ(Handler.GetValue(reMajor), "");
  EXPECT_EQ(Handler.GetValue(reProductRelease), "");

  Handler.SetValueAndSource(reCompany, "Acme", vsGroupFile);
  Handler.SetValue(reCompany, "Other");
  EXPECT_EQ(Handler.GetValue(reCompany), "Other");
  EXPECT_EQ(Handler.GetSource(reCompany), vsGroupFile);

  Handler.ClearValues();
  for (auto field : AllResourceTypes()) {
    EXPECT_EQ(Handler.Values[field].Value, field <= reAppid ? "0" : "") << field;
    EXPECT_EQ(Handler.GetSource(field), vsNone);
  }
  EXPECT_EQ(Handler.VersionShortText(), "VerInfo: 0.0.0.0; 0.0.0.0; 0; ; ; ; ; ; ; ; ; ");
  EXPECT_EQ(Handler.VersionSummaryText("Cleared"),
            CrLf({"Cleared", "FileVersion = 0.0.0.0", "ProductVersion = 0.0.0.0", "Appid = 0",
                  "Description = ", "Company = ", "Comments = ", "InternalName = ", "LegalCopyright = ",
                  "LegalTrademarks = ", "ProductName = ", "OriginalFilename = ", "IconFileName = "}));
}

TEST_F(ResourceHandlerTest, TextsOfAValueSet) {
  SetSampleValues();
  Handler.SetValue(reIconFileName, "app.ico");
  EXPECT_EQ(Handler.VersionShortText(),
            "VerInfo: 1.2.0.7; 5.6.7.8; 42; Tool; Acme Ltd; Notes; app; (c) Acme; TM; App Suite; app.exe; ");
  EXPECT_EQ(Handler.VersionSummaryText("Version of app"),
            CrLf({"Version of app", "FileVersion = 1.2.0.7", "ProductVersion = 5.6.7.8", "Appid = 42",
                  "Description = Tool", "Company = Acme Ltd", "Comments = Notes", "InternalName = app",
                  "LegalCopyright = (c) Acme", "LegalTrademarks = TM", "ProductName = App Suite",
                  "OriginalFilename = app.exe", "IconFileName = app.ico"}));
}

TEST_F(ResourceHandlerTest, GroupValuesWinAndLocalFillsTheRest) {
  WriteVersionFile("group.ver",
                   {"[Version]", "Major=2", "Minor=0", "Description=0", "Company=Group Co", "IconFileName=group.ico"});
  // Keys in another order and case, other keys and sections, a lower-case section name.
  WriteVersionFile("local.ver", {"[Other]", "Release=99", "[version]", "description=Local text", "Unknown=x", "MINOR=3",
                                 "Major=3", "Release=4", "Company=Local Co", "ProductName=Prod"});
  Handler.LoadMergedVersion(Path("local.ver"), Path("group.ver"));
  EXPECT_TRUE(Events.empty());

  EXPECT_EQ(Handler.GetValue(reMajor), "2");
  EXPECT_EQ(Handler.GetSource(reMajor), vsGroupFile);
  EXPECT_EQ(Handler.GetValue(reMinor), "3");  // the group's 0 counts as unset
  EXPECT_EQ(Handler.GetSource(reMinor), vsLocalFile);
  EXPECT_EQ(Handler.GetValue(reDescription), "Local text");  // so does a text field holding 0
  EXPECT_EQ(Handler.GetSource(reDescription), vsLocalFile);
  EXPECT_EQ(Handler.GetValue(reRelease), "4");
  EXPECT_EQ(Handler.GetValue(reCompany), "Group Co");
  EXPECT_EQ(Handler.GetSource(reCompany), vsGroupFile);
  EXPECT_EQ(Handler.GetValue(reIconFileName), "group.ico");
  EXPECT_EQ(Handler.GetValue(reProductName), "Prod");
  // Fields neither file sets take the local mark and stay unset.
  EXPECT_EQ(Handler.GetValue(reBuild), "0");
  EXPECT_EQ(Handler.GetSource(reBuild), vsLocalFile);
  EXPECT_EQ(Handler.GetValue(reComments), "");
  EXPECT_EQ(Handler.GetSource(reComments), vsLocalFile);
}

TEST_F(ResourceHandlerTest, MissingGroupFileIsSilentAndBareDefaultVerIsInSettingsDir) {
  WriteVersionFile("local.ver", {"[Version]", "Major=3"});
  Handler.LoadMergedVersion(Path("local.ver"), Path("nothere.ver"));
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Handler.GetValue(reMajor), "3");
  EXPECT_EQ(Handler.GetSource(reMajor), vsLocalFile);

  WriteVersionFile("proj/Default.ver", {"[version]", "Major=5"});
  WriteVersionFile("Default.ver", {"[version]", "Major=6"});
  Handler.SettingsDir = Path("proj");
  Handler.ClearValues();
  Handler.LoadVersionFile("Default.ver", vsGroupFile);
  EXPECT_EQ(Handler.GetValue(reMajor), "5");
  Handler.ClearValues();
  Handler.LoadVersionFile("default.ver", vsGroupFile);  // another spelling is a plain relative name
  EXPECT_EQ(Handler.GetValue(reMajor), "6");

  Handler.SettingsDir = Path("empty");
  Handler.ExeFileName = VersionFixture("full.exe");
  Handler.LoadVersionFile("Default.ver", vsLocalFile);
  ASSERT_FALSE(Events.empty());
  EXPECT_EQ(Events[0].first, PathJoin(Path("empty"), "Default.ver"));
}

TEST_F(ResourceHandlerTest, MissingLocalFileFallsBackToTheExecutable) {
  WriteVersionFile("group.ver", {"[Version]", "Major=2", "Build=9", "Company=Group Co", "IconFileName=group.ico"});
  Handler.ExeFileName = VersionFixture("full.exe");
  Handler.LoadMergedVersion(Path("app.ver"), Path("group.ver"));

  EXPECT_EQ(Events, (TEvents{{Path("app.ver"), "Did not exist, trying to read version info from .exe"}}));
  const std::pair<TResourceTypeEnum, std::string> expected[] = {
      {reMajor, "1"},
      {reMinor, "2"},
      {reRelease, "3"},
      {reBuild, "4"},
      {reProductMajor, "5"},
      {reProductMinor, "6"},
      {reProductRelease, "7"},
      {reProductBuild, "8"},
      {reAppid, "AppID"},
      {reDescription, "Full fixture"},
      {reCompany, FullCompany},
      {reComments, "All ten strings"},
      {reInternalName, "full"},
      {reLegalCopyright, "Copyright 2024 Fixture Makers"},
      {reLegalTrademarks, "Fixture(TM)"},
      {reProductName, "Fixture Suite"},
      {reOriginalFilename, "full.exe"},
  };
  for (const auto& [field, value] : expected) {
    EXPECT_EQ(Handler.GetValue(field), value) << field;
    EXPECT_EQ(Handler.GetSource(field), vsExecutable) << field;
  }
  EXPECT_EQ(Handler.GetValue(reIconFileName), "group.ico");
  EXPECT_EQ(Handler.GetSource(reIconFileName), vsGroupFile);
}

TEST_F(ResourceHandlerTest, FallbackToAFileWithoutVersionResourceKeepsTheGroupValues) {
  WriteVersionFile("group.ver", {"[Version]", "Major=2", "Company=Group Co"});
  WriteBytes("App.dpr", "program App;\r\nbegin\r\nend.\r\n");
  Handler.ExeFileName = Path("App.dpr");
  Handler.LoadMergedVersion(Path("App.ver"), Path("group.ver"));

  EXPECT_EQ(Events, (TEvents{{Path("App.ver"), "Did not exist, trying to read version info from .exe"},
                             {Path("App.dpr"), "Ver Info size call failed for " + Path("App.dpr")}}));
  EXPECT_EQ(Handler.GetValue(reMajor), "2");
  EXPECT_EQ(Handler.GetSource(reMajor), vsGroupFile);
  EXPECT_EQ(Handler.GetValue(reCompany), "Group Co");
  EXPECT_EQ(Handler.GetValue(reAppid), "0");
  EXPECT_EQ(Handler.GetSource(reAppid), vsGroupFile);
}

TEST_F(ResourceHandlerTest, SaveWritesAllEighteenKeysAndReportsFailure) {
  WriteVersionFile("app.ver", {"; kept", "[version]", "Major=9", "[Other]", "Key=1"});
  // A copy of the file is held by the shared profiles before the save.
  Handler.ClearValues();
  Handler.LoadVersionFile(Path("app.ver"), vsGroupFile);
  ASSERT_EQ(Handler.GetValue(reMajor), "9");
  SetSampleValues();
  Handler.SetValue(reBuild, "");  // written as it reads: 0
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.SaveVersionFile(Path("app.ver"), "Version");
  EXPECT_TRUE(Events.empty());

  EXPECT_EQ(ScriptLines("app.ver"), (std::vector<std::string>{"; kept",
                                                              "[version]",
                                                              "Major=1",
                                                              "Minor=2",
                                                              "Release=0",
                                                              "Build=0",
                                                              "ProductMajor=5",
                                                              "ProductMinor=6",
                                                              "ProductRelease=7",
                                                              "ProductBuild=8",
                                                              "Appid=42",
                                                              "Description=Tool",
                                                              "Company=Acme Ltd",
                                                              "Comments=Notes",
                                                              "InternalName=app",
                                                              "LegalCopyright=(c) Acme",
                                                              "LegalTrademarks=TM",
                                                              "ProductName=App Suite",
                                                              "OriginalFilename=app.exe",
                                                              "IconFileName=app.ico",
                                                              "[Other]",
                                                              "Key=1"}));
  TResourceHandler reread;
  reread.ClearValues();
  reread.LoadVersionFile(Path("app.ver"), vsLocalFile);
  for (auto field : AllResourceTypes()) EXPECT_EQ(reread.GetValue(field), Handler.GetValue(field)) << field;

  // A version file that is no text file is refused with the profile reader's error.
  WriteBytes("binary.ver", std::string("MZ\0\0\x90\0\x03\0", 8) + std::string(600, '\0'));
  EXPECT_THROW(reread.LoadVersionFile(Path("binary.ver"), vsGroupFile), TError);

  Handler.SaveVersionFile(Path("no/such/dir/app.ver"), "Version");
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].first, "Problem saving " + Path("no/such/dir/app.ver"));
  EXPECT_NE(Events[0].second, "");
  Events.clear();
  platform::SetReadOnly(Path("app.ver"), true);
  Handler.SetValue(reMajor, "77");
  Handler.SaveVersionFile(Path("app.ver"), "Version");
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].first, "Problem saving " + Path("app.ver"));
  EXPECT_EQ(ScriptLines("app.ver")[2], "Major=1");
}

TEST(ResourceHandler, ExtractVersionPart) {
  const struct {
    const char* Text;
    const char* Parts[4];
  } cases[] = {
      {"1.2.3.4", {"1", "2", "3", "4"}},
      {"10.0", {"10", "0", "0", "0"}},
      {"7", {"7", "", "", ""}},
      {"1.2", {"1", "2", "", "2"}},
      {"", {"", "", "", ""}},
      {"12.5", {"12", "5", "2", "5"}},  // too few dots: only the first character goes
  };
  for (const auto& c : cases)
    for (int part = 1; part <= 4; ++part)
      EXPECT_EQ(TResourceHandler::ExtractVersionPart(part, c.Text), c.Parts[part - 1]) << c.Text << " part " << part;
  // Cutting at a dot stops after 100 characters.
  EXPECT_EQ(TResourceHandler::ExtractVersionPart(1, "1." + std::string(120, 'x')), "1" + std::string(21, 'x'));
  EXPECT_EQ(TResourceHandler::ExtractVersionPart(0, "1.2"), "");
}

class ResourceScriptTest : public ResourceHandlerTest {
 protected:
  void SetUp() override {
    ResourceHandlerTest::SetUp();
    Handler.Mask = BuiltInDefaultContent("Default.mask");
    Handler.RCFileName = "App.RC";
    SetSampleValues();
  }
};

TEST_F(ResourceScriptTest, DefaultMaskWithoutIconDropsTheIconSection) {
  Handler.SetValue(reBuild, "");
  Handler.SetValue(reMajor, "  ");
  Handler.SetValue(reMinor, " 2 ");
  Handler.SetValue(reRelease, "\x7F ");
  Handler.SetValue(reAppid, "\t");
  Handler.GenerateResourceScript();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Persistence().LastError, " Icon File for App.RC not found. Will compile without icon.");

  const std::string bytes = ReadBytes("App.RC");
  const auto lines = platform::SplitLines(bytes);
  ASSERT_EQ(lines.size(), 39u);
  EXPECT_EQ(bytes.substr(bytes.size() - 3), "}\r\n");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], "1 VERSIONINFO LOADONCALL MOVEABLE DISCARDABLE IMPURE");
  EXPECT_EQ(lines[9], "FILEVERSION 0,  2 , 0, 0");
  EXPECT_EQ(lines[10], "PRODUCTVERSION 5, 6, 7, 8");
  EXPECT_EQ(lines[19], "   VALUE \"CompanyName\", \"Acme Ltd\\000\"");
  EXPECT_EQ(lines[21], "   VALUE \"FileVersion\", \"0. 2 .0.0\\000\"");
  EXPECT_EQ(lines[29], "   VALUE \"Appid\", \"0\\000\"");
  EXPECT_EQ(bytes.find('#'), std::string::npos);
  EXPECT_EQ(bytes.find("MAINICON"), std::string::npos);
  EXPECT_EQ(Handler.Mask.size(), 43u);
}

TEST_F(ResourceScriptTest, IconBesideTheScriptFillsTheFirstIconData) {
  const std::string icon = "ICONBYTES-0123456789";  // 20 bytes: a full line and one of 4
  WriteBytes("src/app.ico", icon);
  Handler.RCFileName = Path("src/App.RC");
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.Mask.insert(Handler.Mask.begin() + 11, "#ICONDATA#");
  Handler.GenerateResourceScript();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Persistence().LastError, "");

  const auto lines = ScriptLines("src/App.RC");
  ASSERT_EQ(lines.size(), 45u);
  EXPECT_EQ(lines[7], "MAINICON ICON LOADONCALL MOVEABLE DISCARDABLE IMPURE");
  EXPECT_EQ(lines[8], "{");
  EXPECT_EQ(lines[9], " '49 43 4F 4E 42 59 54 45 53 2D 30 31 32 33 34 35'");
  EXPECT_EQ(lines[10], "'36 37 38 39'");
  EXPECT_EQ(lines[11], "}");
  EXPECT_EQ(lines[12], "#ICONDATA#");
  EXPECT_EQ(lines[15], "FILEVERSION 1, 2, 0, 7");
}

TEST_F(ResourceScriptTest, PlaceholdersAreCaseSensitiveAndLaterOnesFilledInValues) {
  Handler.Mask = {"MAINICON", "", "", "", "#major# #Major##Major#", "#Company#|#Comments#|#Description#", "#Build#"};
  Handler.SetValue(reCompany, "#ProductName# #Company# #Major#");
  Handler.SetValue(reComments, "#Company#");
  Handler.SetValue(reDescription, "two\nlines\r\nand \"quoted\"");
  Handler.GenerateResourceScript();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(ReadBytes("App.RC"),
            CrLf({"#major# 11", "App Suite #Company# #Major#|#Company#|two", "lines", "and \"quoted\"", "7"}));
}

// A version resource holds each of the eight parts in 16 bits: a part out of
// 0..65535, or no whole number, gives no script (a resource compiler would
// cut it), and the script of before stays.
TEST_F(ResourceScriptTest, VersionPartsOutOfRangeGiveNoScript) {
  for (const auto& [field, value] :
       std::vector<std::pair<TResourceTypeEnum, std::string>>{{reMajor, "65536"},
                                                              {reBuild, "-1"},
                                                              {reProductBuild, "4294967297"},
                                                              {reRelease, "1.5"},
                                                              {reMinor, "#Major#"}}) {
    SetSampleValues();
    Events.clear();
    WriteBytes("App.RC", "old");
    Handler.SetValue(field, value);
    EXPECT_FALSE(Handler.GenerateResourceScript());
    EXPECT_EQ(Events, (TEvents{{"App.RC", GlobalStuff().ResourceTypeName(field) + " is " + value +
                                              ": a version part is a whole number from 0 to 65535."}}));
    EXPECT_EQ(ReadBytes("App.RC"), "old");
  }
  Handler.SetValue(reMinor, "65535");
  EXPECT_TRUE(Handler.GenerateResourceScript());
  EXPECT_NE(ReadBytes("App.RC").find("FILEVERSION 1, 65535, 0, 7"), std::string::npos);
}

TEST_F(ResourceScriptTest, MasksThatGiveNoScript) {
  WriteBytes("App.RC", "old");
  Handler.Mask.clear();
  Handler.GenerateResourceScript();
  EXPECT_EQ(Events, (TEvents{{"App.RC", "Resource Mask empty."}}));

  Events.clear();
  Handler.Mask = {"1 VERSIONINFO", "FILEVERSION #Major#, #Minor#, #Release#, #Build#", "{", "}"};
  Handler.GenerateResourceScript();
  EXPECT_EQ(Events, (TEvents{{"App.RC", "RC Mask file doesn't contain MAINICON section."}}));
  EXPECT_EQ(ReadBytes("App.RC"), "old");

  // With an icon the same mask is fine.
  Events.clear();
  WriteBytes("app.ico", "ico");
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.GenerateResourceScript();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(ReadBytes("App.RC"), CrLf({"1 VERSIONINFO", "FILEVERSION 1, 2, 0, 7", "{", "}"}));
}

TEST_F(ResourceScriptTest, ShortIconSectionAtTheEndLosesWhatItHas) {
  Handler.Mask = {"#Major#", "MAINICON ICON", "{"};
  Handler.GenerateResourceScript();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(ReadBytes("App.RC"), CrLf({"1"}));

  Handler.Mask = {"x MAINICON"};
  Handler.GenerateResourceScript();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(ReadBytes("App.RC"), "");
}

TEST_F(ResourceScriptTest, UnwritableScriptIsReported) {
  Handler.RCFileName = "nodir/App.RC";
  Handler.GenerateResourceScript();
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].first, "nodir/App.RC");
  EXPECT_EQ(Events[0].second.rfind("Could not save nodir/App.RC: ", 0), 0u) << Events[0].second;
  EXPECT_GT(Events[0].second.size(), std::string("Could not save nodir/App.RC: ").size());

  Events.clear();
  Handler.RCFileName = "App.RC";
  WriteBytes("App.RC", "old");
  platform::SetReadOnly(Path("App.RC"), true);
  Handler.GenerateResourceScript();
  ASSERT_EQ(Events.size(), 1u);
  EXPECT_EQ(Events[0].second.rfind("Could not save App.RC: ", 0), 0u) << Events[0].second;
  EXPECT_EQ(ReadBytes("App.RC"), "old");
}

// The script of the default mask, compiled by the resource compiler stand-in
// and read back by an independent resource decompiler (on Windows, by the
// system itself from the program it is linked into).
TEST_F(ResourceScriptTest, CompiledScriptCarriesTheValuesAndTheIcon) {
  const std::string brcc = BinDir() + platform::PathDelim + "BRCC32.exe";
  ASSERT_TRUE(platform::FileExists(brcc)) << brcc << " has not been built";
  const std::string icon = SmallIcon();
  WriteBytes("app.ico", icon);
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.SetValue(reCompany, "Acme & Sons");
  Handler.GenerateResourceScript();
  ASSERT_TRUE(Events.empty());

  const TCommandRun compile = RunCommandLine(platform::QuoteProgramName(brcc) + " -v -foApp.RES App.RC");
  ASSERT_EQ(compile.ExitCode, 0) << compile.Last();
  ASSERT_TRUE(Exists("App.RES")) << compile.Last();
#ifdef _WIN32
  // Linked into a program by the compiler stand-in, the resources are read
  // back by the system's own version and resource functions.
  const TSystemResources system(LinkResourcesForTheSystem(Path("App.RES")));
  EXPECT_EQ(system.FileVersion, "1.2.0.7");
  EXPECT_EQ(system.ProductVersion, "5.6.7.8");
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{{"CompanyName", "Acme & Sons"},
                                                                                    {"FileDescription", "Tool"},
                                                                                    {"FileVersion", "1.2.0.7"},
                                                                                    {"InternalName", "app"},
                                                                                    {"LegalCopyright", "(c) Acme"},
                                                                                    {"LegalTrademarks", "TM"},
                                                                                    {"OriginalFilename", "app.exe"},
                                                                                    {"ProductName", "App Suite"},
                                                                                    {"ProductVersion", "5.6.7.8"},
                                                                                    {"Comments", "Notes"},
                                                                                    {"Appid", "42"}})
    EXPECT_EQ(system.String(name), value) << name;
  EXPECT_EQ(system.Icon("MAINICON"), icon.substr(22));
#else
  const TCommandRun decompile = RunCommandLine("i686-w64-mingw32-windres -J res -O rc App.RES");
  ASSERT_EQ(decompile.ExitCode, 0) << decompile.Last();
  std::string rc;
  for (const std::string& line : decompile.Lines) rc += line + "\n";

  for (const char* text :
       {"FILEVERSION 1, 2, 0, 7", "PRODUCTVERSION 5, 6, 7, 8", "VALUE \"CompanyName\", \"Acme & Sons\"",
        "VALUE \"FileDescription\", \"Tool\"", "VALUE \"FileVersion\", \"1.2.0.7\"", "VALUE \"InternalName\", \"app\"",
        "VALUE \"LegalCopyright\", \"(c) Acme\"", "VALUE \"LegalTrademarks\", \"TM\"",
        "VALUE \"OriginalFilename\", \"app.exe\"", "VALUE \"ProductName\", \"App Suite\"",
        "VALUE \"ProductVersion\", \"5.6.7.8\"", "VALUE \"Comments\", \"Notes\"", "VALUE \"Appid\", \"42\"",
        "\"MAINICON\" 14 /* RT_GROUP_ICON */"})
    EXPECT_NE(rc.find(text), std::string::npos) << text << " missing from:\n" << rc;
  // The icon image (after the 22-byte file header) is a whole number of
  // 32-bit words, which the decompiler lists as such.
  EXPECT_EQ(IconImageFromListing(rc), icon.substr(22)) << rc;
#endif
}
