#include "version/uRCBuilder.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/ProfileCache.h"
#include "platform/TextFile.h"
#include "project/uPersistence.h"
#include "support/SystemResources.h"
#include "support/ToolsTest.h"
#include "version/uVersionInformation.h"

namespace {

using TEvents = std::vector<std::pair<std::string, std::string>>;
using TLines = std::vector<std::string>;

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
  void SetSampleValues() {
    const char* values[] = {"1",    "2",        "0",     "7",   "5",        "6",  "7",         "8",       "42",
                            "Tool", "Acme Ltd", "Notes", "app", "(c) Acme", "TM", "App Suite", "app.exe", ""};
    for (auto field : AllResourceTypes()) Handler.SetValueAndSource(field, values[field], vsLocalFile);
  }
  // The values and the marks of the given fields.
  void ExpectValues(const std::vector<std::pair<TResourceTypeEnum, std::string>>& values, TVersionSource source) {
    for (const auto& [field, value] : values) {
      EXPECT_EQ(Handler.GetValue(field), value) << field;
      EXPECT_EQ(Handler.GetSource(field), source) << field;
    }
  }

  TResourceHandler Handler;
  TEvents Events;
};

}  // namespace

// Fresh values are empty and unmarked, cleared ones "0" for the numbers; only
// the two build numbers read an empty value as 0; a new value keeps its mark.
// The short text and the summary are what the build's results show.
TEST_F(ResourceHandlerTest, ValuesMarksAndTheirTexts) {
  for (auto field : AllResourceTypes()) EXPECT_EQ(Handler.Values[field].Value, "");
  ExpectValues({{reBuild, "0"}, {reProductBuild, "0"}, {reMajor, ""}, {reProductRelease, ""}}, vsNone);
  Handler.SetValueAndSource(reCompany, "Acme", vsGroupFile);
  Handler.SetValue(reCompany, "Other");
  ExpectValues({{reCompany, "Other"}}, vsGroupFile);
  Handler.ClearValues();
  for (auto field : AllResourceTypes()) {
    EXPECT_EQ(Handler.Values[field].Value, field <= reAppid ? "0" : "") << field;
    EXPECT_EQ(Handler.GetSource(field), vsNone);
  }
  EXPECT_EQ(Handler.VersionShortText(), "VerInfo: 0.0.0.0; 0.0.0.0; 0; ; ; ; ; ; ; ; ; ");

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
  WriteBytes("group.ver",
             CrLf({"[Version]", "Major=2", "Minor=0", "Description=0", "Company=Group Co", "IconFileName=group.ico"}));
  // Keys in another order and case, other keys and sections, a lower-case section name.
  WriteBytes("local.ver", CrLf({"[Other]", "Release=99", "[version]", "description=Local text", "Unknown=x", "MINOR=3",
                                "Major=3", "Release=4", "Company=Local Co", "ProductName=Prod"}));
  Handler.LoadMergedVersion(Path("local.ver"), Path("group.ver"));
  EXPECT_TRUE(Events.empty());
  ExpectValues({{reMajor, "2"}, {reCompany, "Group Co"}, {reIconFileName, "group.ico"}}, vsGroupFile);
  // The group's 0 counts as unset, in a text field too; fields neither file
  // sets take the local mark and stay unset.
  const std::vector<std::pair<TResourceTypeEnum, std::string>> local = {{reMinor, "3"},   {reDescription, "Local text"},
                                                                        {reRelease, "4"}, {reProductName, "Prod"},
                                                                        {reBuild, "0"},   {reComments, ""}};
  ExpectValues(local, vsLocalFile);
  // A missing group file is silent.
  Handler.LoadMergedVersion(Path("local.ver"), Path("nothere.ver"));
  EXPECT_TRUE(Events.empty());
  ExpectValues({{reMajor, "3"}}, vsLocalFile);
}

TEST_F(ResourceHandlerTest, BareDefaultVerIsInSettingsDir) {
  WriteBytes("proj/Default.ver", CrLf({"[version]", "Major=5"}));
  WriteBytes("Default.ver", CrLf({"[version]", "Major=6"}));
  Handler.SettingsDir = Path("proj");
  for (const auto& [name, major] : std::vector<std::pair<std::string, std::string>>{
           {"Default.ver", "5"}, {"default.ver", "6"}}) {  // another spelling is a plain relative name
    Handler.ClearValues();
    Handler.LoadVersionFile(name, vsGroupFile);
    EXPECT_EQ(Handler.GetValue(reMajor), major) << name;
  }
}

// Without a local file (here a bare Default.ver, missing from the settings
// directory) every field but the icon comes from the executable; one without
// a version resource keeps the group's values.
TEST_F(ResourceHandlerTest, MissingLocalFileFallsBackToTheExecutable) {
  WriteBytes("group.ver", CrLf({"[Version]", "Major=2", "Build=9", "Company=Group Co", "IconFileName=group.ico"}));
  Handler.SettingsDir = Path("empty");
  Handler.ExeFileName = VersionFixture("full.exe");
  Handler.LoadMergedVersion("Default.ver", Path("group.ver"));
  EXPECT_EQ(Events, (TEvents{{Path("empty/Default.ver"), "Did not exist, trying to read version info from .exe"}}));
  // The eight numbers of 1.2.3.4 and 5.6.7.8; the strings in the reader's order.
  for (int i = 0; i < 8; ++i) {
    ExpectValues({{TResourceTypeEnum(reMajor + i), std::to_string(i + 1)}}, vsExecutable);
    ExpectValues({{TResourceTypeEnum(reDescription + i), FullFixtureStrings[msFileDescription + i]}}, vsExecutable);
  }
  ExpectValues({{reAppid, "AppID"}}, vsExecutable);
  ExpectValues({{reIconFileName, "group.ico"}}, vsGroupFile);

  Events.clear();
  WriteBytes("App.dpr", "program App;\r\nbegin\r\nend.\r\n");
  Handler.ExeFileName = Path("App.dpr");
  Handler.LoadMergedVersion(Path("App.ver"), Path("group.ver"));
  EXPECT_EQ(Events, (TEvents{{Path("App.ver"), "Did not exist, trying to read version info from .exe"},
                             {Path("App.dpr"), "Ver Info size call failed for " + Path("App.dpr")}}));
  ExpectValues({{reMajor, "2"}, {reCompany, "Group Co"}, {reAppid, "0"}}, vsGroupFile);
}

TEST_F(ResourceHandlerTest, SaveWritesAllEighteenKeysAndReportsFailure) {
  WriteBytes("app.ver", CrLf({"; kept", "[version]", "Major=9", "[Other]", "Key=1"}));
  // A copy of the file is held by the shared profiles before the save.
  Handler.ClearValues();
  Handler.LoadVersionFile(Path("app.ver"), vsGroupFile);
  ASSERT_EQ(Handler.GetValue(reMajor), "9");
  SetSampleValues();
  Handler.SetValue(reBuild, "");  // written as it reads: 0
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.SaveVersionFile(Path("app.ver"), "Version");
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(
      ReadBytes("app.ver"),
      "; kept\r\n[version]\r\nMajor=1\r\nMinor=2\r\nRelease=0\r\nBuild=0\r\nProductMajor=5\r\nProductMinor=6\r\n"
      "ProductRelease=7\r\nProductBuild=8\r\nAppid=42\r\nDescription=Tool\r\nCompany=Acme Ltd\r\nComments=Notes\r\n"
      "InternalName=app\r\nLegalCopyright=(c) Acme\r\nLegalTrademarks=TM\r\nProductName=App Suite\r\n"
      "OriginalFilename=app.exe\r\nIconFileName=app.ico\r\n[Other]\r\nKey=1\r\n");

  // A version file that is no text file is refused with the profile reader's error.
  WriteBytes("binary.ver", std::string("MZ\0\0\x90\0\x03\0", 8) + std::string(600, '\0'));
  EXPECT_THROW(Handler.LoadVersionFile(Path("binary.ver"), vsGroupFile), TError);

  platform::SetReadOnly(Path("app.ver"), true);
  Handler.SetValue(reMajor, "77");
  for (const std::string& file : {Path("no/such/dir/app.ver"), Path("app.ver")}) {
    Events.clear();
    Handler.SaveVersionFile(file, "Version");
    ASSERT_EQ(Events.size(), 1u);
    EXPECT_EQ(Events[0].first, "Problem saving " + file);
    EXPECT_NE(Events[0].second, "");
  }
  EXPECT_EQ(platform::SplitLines(ReadBytes("app.ver"))[2], "Major=1");
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

namespace {

class ResourceScriptTest : public ResourceHandlerTest {
 protected:
  void SetUp() override {
    ResourceHandlerTest::SetUp();
    Handler.Mask = BuiltInDefaultContent("Default.mask");
    Handler.RCFileName = "App.RC";
    SetSampleValues();
  }
  bool Holds(const std::string& file, const TLines& lines) const {
    return ReadBytes(file).find(CrLf(lines)) != std::string::npos;
  }
};

}  // namespace

// Blank numbers are 0, numbers with blanks keep them; without an icon the
// MAINICON section goes, with the store's report.
TEST_F(ResourceScriptTest, DefaultMaskWithoutIconDropsTheIconSection) {
  Handler.SetValue(reBuild, "");
  Handler.SetValue(reMajor, "  ");
  Handler.SetValue(reMinor, " 2 ");
  Handler.SetValue(reRelease, "\x7F ");
  Handler.SetValue(reAppid, "\t");
  EXPECT_TRUE(Handler.GenerateResourceScript());
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Persistence().LastError, " Icon File for App.RC not found. Will compile without icon.");
  EXPECT_TRUE(Holds("App.RC", {"1 VERSIONINFO LOADONCALL MOVEABLE DISCARDABLE IMPURE", "FILEVERSION 0,  2 , 0, 0",
                               "PRODUCTVERSION 5, 6, 7, 8"}));
  EXPECT_TRUE(Holds("App.RC", {"   VALUE \"CompanyName\", \"Acme Ltd\\000\""}));
  EXPECT_TRUE(Holds("App.RC", {"   VALUE \"FileVersion\", \"0. 2 .0.0\\000\""}));
  EXPECT_TRUE(Holds("App.RC", {"   VALUE \"Appid\", \"0\\000\""}));
  EXPECT_EQ(ReadBytes("App.RC").find('#'), std::string::npos);
  EXPECT_EQ(ReadBytes("App.RC").find("MAINICON"), std::string::npos);
  EXPECT_EQ(Handler.Mask, BuiltInDefaultContent("Default.mask"));
}

// An icon found beside the script fills the first #ICONDATA# only.
TEST_F(ResourceScriptTest, IconBesideTheScriptFillsTheFirstIconData) {
  WriteBytes("src/app.ico", "ICONBYTES-0123456789");  // 20 bytes: a full line and one of 4
  Handler.RCFileName = Path("src/App.RC");
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.Mask.insert(Handler.Mask.begin() + 11, "#ICONDATA#");
  Handler.GenerateResourceScript();
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Persistence().LastError, "");
  EXPECT_TRUE(
      Holds("src/App.RC", {"MAINICON ICON LOADONCALL MOVEABLE DISCARDABLE IMPURE", "{",
                           " '49 43 4F 4E 42 59 54 45 53 2D 30 31 32 33 34 35'", "'36 37 38 39'", "}", "#ICONDATA#"}));
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

// An empty mask, one without its MAINICON section while there is no icon, or
// a version part out of 0..65535 or no whole number (a version resource holds
// each in 16 bits) gives no script, and the script of before stays.
TEST_F(ResourceScriptTest, MasksAndVersionPartsThatGiveNoScript) {
  const TLines mask = Handler.Mask,
               noIcon = {"1 VERSIONINFO", "FILEVERSION #Major#, #Minor#, #Release#, #Build#", "{", "}"};
  const std::string range = ": a version part is a whole number from 0 to 65535.";
  const struct {
    TLines Mask;
    TResourceTypeEnum Field;
    std::string Value, Error;
  } cases[] = {
      {{}, reMajor, "1", "Resource Mask empty."},
      {noIcon, reMajor, "1", "RC Mask file doesn't contain MAINICON section."},
      {mask, reMajor, "65536", "Major is 65536" + range},
      {mask, reBuild, "-1", "Build is -1" + range},
      {mask, reProductBuild, "4294967297", "ProductBuild is 4294967297" + range},
      {mask, reRelease, "1.5", "Release is 1.5" + range},
      {mask, reMinor, "#Major#", "Minor is #Major#" + range},
  };
  WriteBytes("App.RC", "old");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Error);
    SetSampleValues();
    Events.clear();
    Handler.Mask = c.Mask;
    Handler.SetValue(c.Field, c.Value);
    EXPECT_FALSE(Handler.GenerateResourceScript());
    EXPECT_EQ(Events, (TEvents{{"App.RC", c.Error}}));
    EXPECT_EQ(ReadBytes("App.RC"), "old");
  }

  // The highest part is taken; with an icon a mask needs no MAINICON section,
  // and one cut short at the end loses what it has.
  Events.clear();
  WriteBytes("app.ico", "ico");
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.SetValue(reMinor, "65535");
  Handler.Mask = noIcon;
  EXPECT_TRUE(Handler.GenerateResourceScript());
  EXPECT_EQ(ReadBytes("App.RC"), CrLf({"1 VERSIONINFO", "FILEVERSION 1, 65535, 0, 7", "{", "}"}));
  Handler.SetValue(reIconFileName, "");
  Handler.Mask = {"#Major#", "MAINICON ICON", "{"};
  Handler.GenerateResourceScript();
  EXPECT_EQ(ReadBytes("App.RC"), CrLf({"1"}));
  Handler.Mask = {"x MAINICON"};
  Handler.GenerateResourceScript();
  EXPECT_EQ(ReadBytes("App.RC"), "");
  EXPECT_TRUE(Events.empty());
}

TEST_F(ResourceScriptTest, UnwritableScriptIsReported) {
  WriteBytes("App.RC", "old");
  platform::SetReadOnly(Path("App.RC"), true);
  for (const std::string& script : {std::string("nodir/App.RC"), std::string("App.RC")}) {
    Events.clear();
    Handler.RCFileName = script;
    EXPECT_FALSE(Handler.GenerateResourceScript());
    ASSERT_EQ(Events.size(), 1u);
    EXPECT_EQ(Events[0].first, script);
    const std::string prefix = "Could not save " + script + ": ";
    EXPECT_EQ(Events[0].second.rfind(prefix, 0), 0u) << Events[0].second;
    EXPECT_GT(Events[0].second.size(), prefix.size());
  }
  EXPECT_EQ(ReadBytes("App.RC"), "old");
}

#ifndef _WIN32
namespace {

// The bytes of the RT_ICON resource in a decompiled listing, which lists them
// as little-endian 32-bit words ("0x18110a03L").
std::string IconImageFromListing(const std::string& rc) {
  const std::size_t start = rc.find("BEGIN", rc.find("/* RT_ICON */"));
  const std::size_t end = rc.find("END", start);
  if (start == std::string::npos || end == std::string::npos) return "";
  std::string bytes;
  for (std::size_t at = rc.find("0x", start); at < end; at = rc.find("0x", at + 2))
    bytes += Le32(static_cast<std::uint32_t>(std::stoul(rc.substr(at + 2, 8), nullptr, 16)));
  return bytes;
}

}  // namespace
#endif

// The script of the default mask, compiled by the resource compiler stand-in
// and read back by an independent resource decompiler (on Windows, by the
// system itself from the program it is linked into): every value, the fixed
// information, the language, Windows-1252 text as UTF-16 and the icon.
TEST_F(ResourceScriptTest, CompiledScriptCarriesTheValuesAndTheIcon) {
  if (const std::string why = WindresMissing(); !why.empty()) GTEST_SKIP() << why;
  const std::string icon = IconFile(2);  // 1152 bytes: the last icon row is just a pair of quotes
  WriteBytes("app.ico", icon);
  Handler.SetValue(reIconFileName, "app.ico");
  Handler.SetValue(reCompany, "Acme \xE9 & Sons");
  ASSERT_TRUE(Handler.GenerateResourceScript());
  const std::string script = ReadBytes("App.RC");
  const TCommandRun compile = RunTool("BRCC32", "-v -foApp.RES App.RC");
  ASSERT_EQ(compile.ExitCode, 0) << compile.Last();
  EXPECT_TRUE(compile.Has("Lines: " + std::to_string(platform::SplitLines(script).size())));
  const std::vector<std::pair<std::string, std::string>> strings = {{"CompanyName", "Acme \xC3\xA9 & Sons"},
                                                                    {"FileDescription", "Tool"},
                                                                    {"FileVersion", "1.2.0.7"},
                                                                    {"InternalName", "app"},
                                                                    {"LegalCopyright", "(c) Acme"},
                                                                    {"LegalTrademarks", "TM"},
                                                                    {"OriginalFilename", "app.exe"},
                                                                    {"ProductName", "App Suite"},
                                                                    {"ProductVersion", "5.6.7.8"},
                                                                    {"Comments", "Notes"},
                                                                    {"Appid", "42"}};
#ifdef _WIN32
  const TSystemResources system(LinkResourcesForTheSystem(Path("App.RES")));
  EXPECT_EQ(system.FileVersion, "1.2.0.7");
  EXPECT_EQ(system.ProductVersion, "5.6.7.8");
  EXPECT_EQ(system.FileFlagsMask, 0x3fu);
  EXPECT_EQ(system.FileOS, 0x4u);
  EXPECT_EQ(system.FileType, 0x1u);
  EXPECT_EQ(system.Translation, "040904E4");
  for (const auto& [name, value] : strings) EXPECT_EQ(system.String(name), value) << name;
  EXPECT_EQ(system.Icon("MAINICON"), icon.substr(22, icon.size() - 24));  // without the bytes after the image
  EXPECT_NE(system.Resource("#3", "#1", 0x409), "<missing>");             // LANGUAGE 9, 1
#else
  const std::string rc = WindresListing(Path("App.RES"));
  for (const char* expected : {"FILEVERSION 1, 2, 0, 7", "PRODUCTVERSION 5, 6, 7, 8", "FILEFLAGSMASK 0x3f",
                               "FILEOS 0x4", "FILETYPE 0x1", "VALUE \"Translation\", 0x409, 1252",
                               "\"MAINICON\" 14 /* RT_GROUP_ICON */", "1 3 /* RT_ICON */", "LANGUAGE 9, 1"})
    EXPECT_NE(rc.find(expected), std::string::npos) << expected << "\n" << rc;
  for (const auto& [name, value] : strings) {
    const std::string line =
        "VALUE \"" + name + "\", " + (name == "CompanyName" ? "L\"Acme \\351 & Sons\"" : "\"" + value + "\"");
    EXPECT_NE(rc.find(line), std::string::npos) << line << "\n" << rc;
  }
  EXPECT_EQ(IconImageFromListing(rc), icon.substr(22, icon.size() - 24)) << rc;
#endif
}
