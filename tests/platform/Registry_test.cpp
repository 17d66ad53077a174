#include "platform/Registry.h"

#include <filesystem>
#include <random>  // a key name of the test's own on Windows

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "support/RegistryTest.h"

using namespace platform;

namespace {

const TRegValue& Value(const TWineRegistry& reg, const std::string& key, const std::string& lowerName) {
  static const TRegValue missing{TRegValueType::Other, "<missing>", 0, {}};
  const auto* values = reg.FindKey(key);
  if (!values) return missing;
  auto it = values->find(lowerName);
  return it == values->end() ? missing : it->second;
}

const std::string Sample = CrLf({"WINE REGISTRY Version 2",
                                 ";; All keys relative to \\\\Machine",
                                 "",
                                 "#arch=win32",
                                 "",
                                 "[Software\\\\Borland\\\\Delphi\\\\5.0] 1700000000",
                                 "#time=1d9c0a2b3c4d5e6",
                                 "\"RootDir\"=\"C:\\\\Program Files\\\\Borland\\\\Delphi5\"",
                                 "@=\"the default\"",
                                 "\"Flags\"=dword:0000001f",
                                 "\"Data\"=hex:01,02,0a,\\",
                                 "  ff,00",
                                 "\"Expand\"=str(2):\"%SystemRoot%\\\\x\"",
                                 "\"Multi\"=str(7):\"one\\0two\\0\"",
                                 "\"HexExpand\"=hex(2):25,00,41,00,25,00,00,00",
                                 "\"HexDword\"=hex(4):1f,00,00,80",
                                 "\"HexNone\"=hex(0):",
                                 "",
                                 "[Software\\\\Borland\\\\Delphi\\\\5.0\\\\Library] 1700000001",
                                 "\"Search Path\"=\"$(DELPHI)\\\\Lib;$(DELPHI)\\\\Bin\""});

}  // namespace

TEST(WineRegistry, ReadsKeysAndTypedValues) {
  TWineRegistry reg = TWineRegistry::Parse(Sample);
  EXPECT_TRUE(reg.HeaderOK());
  EXPECT_EQ(reg.Arch(), "win32");
  EXPECT_EQ(reg.KeyCount(), 2u);
  const std::string key = "Software\\Borland\\Delphi\\5.0";
  ASSERT_NE(reg.FindKey(key), nullptr);
  EXPECT_EQ(reg.FindKey("\\SOFTWARE\\borland\\DELPHI\\5.0"), reg.FindKey(key));
  EXPECT_EQ(reg.FindKey("Software\\Borland\\Delphi"), nullptr);
  const struct {
    const char* Name;
    TRegValueType Type;
    std::string Text;
  } texts[] = {{"rootdir", TRegValueType::String, "C:\\Program Files\\Borland\\Delphi5"},
               {"", TRegValueType::String, "the default"},
               {"expand", TRegValueType::ExpandString, "%SystemRoot%\\x"},
               {"multi", TRegValueType::MultiString, std::string("one\0two\0", 8)},
               {"hexexpand", TRegValueType::ExpandString, std::string("%A%\0", 4)}};
  for (const auto& t : texts) {
    EXPECT_EQ(Value(reg, key, t.Name).Type, t.Type) << t.Name;
    EXPECT_EQ(Value(reg, key, t.Name).Text, t.Text) << t.Name;
  }
  EXPECT_EQ(Value(reg, key, "flags").Type, TRegValueType::DWord);
  EXPECT_EQ(Value(reg, key, "flags").Number, 31u);
  EXPECT_EQ(Value(reg, key, "data").Type, TRegValueType::Binary);
  EXPECT_EQ(Value(reg, key, "data").Bytes, (std::vector<std::uint8_t>{1, 2, 10, 255, 0}));
  EXPECT_EQ(Value(reg, key, "hexdword").Type, TRegValueType::DWord);
  EXPECT_EQ(Value(reg, key, "hexdword").Number, 0x8000001Fu);
  EXPECT_EQ(Value(reg, key, "hexnone").Type, TRegValueType::Other);
  EXPECT_TRUE(Value(reg, key, "hexnone").Bytes.empty());
  EXPECT_EQ(Value(reg, key + "\\Library", "search path").Text, "$(DELPHI)\\Lib;$(DELPHI)\\Bin");
}

// Each value's line of the file, its name and the text it decodes to.
TEST(WineRegistry, DecodesEscapes) {
  const struct {
    std::string Line, Name, Text;
  } cases[] = {
      {R"("quote"="x\\y\"z")", "quote", "x\\y\"z"},
      {R"("accent"="caf\x00e9")", "accent", "caf\xc3\xa9"},
      {R"("short hex"="\x41-\x7e")", "short hex", "A-~"},
      {R"("four digits only"="\x0041BC")", "four digits only", "ABC"},
      {R"("pair"="\xd83d\xde00")", "pair", "\xf0\x9f\x98\x80"},
      {R"("lone"="a\xd800b")", "lone",
       "a\xef\xbf\xbd"
       "b"},
      {R"("c"="\a\b\e\f\n\r\t\v")", "c", "\a\b\x1b\f\n\r\t\v"},
      {R"("octal"="\101\0x\1012")", "octal", std::string("A\0xA2", 5)},
      {"\"utf8 as is\"=\"\xc3\xa9\"", "utf8 as is", "\xc3\xa9"},
      {R"("na\x00efve \"name\""="1")", "na\xc3\xafve \"name\"", "1"},
      {R"("unterminated"="abc)", "unterminated", "<missing>"},
      {R"("dangling"="abc\)", "dangling", "<missing>"},
  };
  std::string text = "WINE REGISTRY Version 2\n[A\\\\B\\]C]\n";
  for (const auto& c : cases) text += c.Line + "\n";
  const TWineRegistry reg = TWineRegistry::Parse(text);
  ASSERT_NE(reg.FindKey("a\\b]c"), nullptr);
  for (const auto& c : cases) EXPECT_EQ(Value(reg, "a\\b]c", c.Name).Text, c.Text) << c.Line;
}

TEST(WineRegistry, SkipsMalformedLinesAndNotesAMissingHeader) {
  TWineRegistry reg = TWineRegistry::Parse(
      "WINE REGISTRY Version 2\n\"orphan\"=hex:01,\\\n  02\n[Good]\n\"bad dword\"=dword:xyz\n"
      "\"long dword\"=dword:123456789\n\"bad hex\"=hex:01,zz\n\"bad type\"=hex(q):01\n\"no equals\" \"x\"\n"
      "\"unknown\"=sz:\"x\"\ngarbage line\n\"after\"=hex:0a,\\\n\n\"ok\" = \"yes\"\n[Broken\n\"lost\"=\"no key\"\n"
      "[good]\n\"more\"=\"merged\"\n\"ok\"=\"replaced\"\n");
  const auto* values = reg.FindKey("GOOD");
  ASSERT_NE(values, nullptr);
  EXPECT_EQ(reg.KeyCount(), 1u);
  EXPECT_EQ(values->size(), 3u);
  EXPECT_EQ(Value(reg, "good", "after").Bytes, std::vector<std::uint8_t>{10});
  EXPECT_EQ(Value(reg, "good", "ok").Text, "replaced");
  EXPECT_EQ(Value(reg, "good", "more").Text, "merged");

  EXPECT_FALSE(TWineRegistry::Parse("").HeaderOK());
  EXPECT_FALSE(TWineRegistry::Parse("REGEDIT4\n[x]\n").HeaderOK());
  EXPECT_EQ(TWineRegistry::Parse("WINE REGISTRY Version 2\n[k]\n\"v\"=hex:01,\\").FindKey("k")->size(), 1u);
}

namespace {

// The sample as the machine's keys and a user key; on Windows through the API.
class RegistryTest : public TRegistryTest {
 protected:
  void SetUp() override {
    TRegistryTest::SetUp();
    WriteRegistry(TRegistryRoot::LocalMachine, Sample,
                  {"Software\\Borland\\Delphi\\5.0", "Software\\Borland\\Delphi\\5.0\\Library"});
    WriteRegistry(TRegistryRoot::CurrentUser,
                  "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
                  "[Software\\\\Wine]\n\"Version\"=\"win10\"\n",
                  {"Software\\Wine"});
  }
};

}  // namespace

// Keys open from their own root only; string values read, others are refused.
TEST_F(RegistryTest, OpensKeysOfEachRootAndReadsStrings) {
  TRegistryKey key;
  EXPECT_FALSE(key.Open(TRegistryRoot::CurrentUser, "\\Software\\Borland\\Delphi\\5.0"));
  EXPECT_FALSE(key.IsOpen());
  ASSERT_TRUE(key.Open(TRegistryRoot::LocalMachine, "\\Software\\Borland\\Delphi\\5.0"));
  EXPECT_TRUE(key.IsOpen());
  EXPECT_EQ(key.ReadString("ROOTDIR"), "C:\\Program Files\\Borland\\Delphi5");
  EXPECT_EQ(key.ReadString(""), "the default");
  EXPECT_EQ(key.ReadString("Expand"), "%SystemRoot%\\x");
  EXPECT_EQ(key.ReadString("HexExpand"), "%A%");
  EXPECT_EQ(key.ReadString("No such value"), "");
  for (std::string name : {"Flags", "Data", "Multi", "HexDword", "HexNone"}) {
    EXPECT_EQ(ErrorText<TError>([&] { key.ReadString(name); }), "Invalid data type for '" + name + "'");
  }
  key.Close();
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(key.ReadString("RootDir"), "");

  ASSERT_TRUE(key.Open(TRegistryRoot::CurrentUser, "software\\wine"));
  EXPECT_EQ(key.ReadString("version"), "win10");
  EXPECT_FALSE(key.Open(TRegistryRoot::LocalMachine, "Software\\Wine"));
#ifndef _WIN32
  // A file of another format, or no prefix, holds no keys.
  WriteBytes("prefix/user.reg", "REGEDIT4\n[Software\\Wine]\n\"Version\"=\"win10\"\n");
  EXPECT_FALSE(key.Open(TRegistryRoot::CurrentUser, "Software\\Wine"));
  SetEnv("WINEPREFIX", Path("nowhere"));
  EXPECT_FALSE(key.Open(TRegistryRoot::LocalMachine, "Software\\Borland\\Delphi\\5.0"));
#endif
}

TEST_F(RegistryTest, A64BitPrefixShowsTheThirtyTwoBitView) {
#ifdef _WIN32
  // The two views are those of the machine's own HKEY_LOCAL_MACHINE\Software:
  // the keys are written there, under a name of the test's own.
  Scratch.reset();
  const std::string name = "Tesmar Tests " + std::to_string(std::random_device{}());
  const std::string delphi = "Software\\" + name + "\\Delphi", only64 = "Software\\" + name + "\\Only64";
  struct TRemove {
    std::string Key;
    ~TRemove() { DeleteRegistryTree(TRegistryRoot::LocalMachine, Key); }
  } remove{"Software\\" + name};
  const std::string head = "WINE REGISTRY Version 2\n[Software\\\\" + name + "\\\\";
  WriteRegistryKeys(TRegistryRoot::LocalMachine,
                    head + "Delphi]\n\"RootDir\"=\"C:\\\\64\"\n" + head + "Only64]\n\"X\"=\"y\"\n", {delphi, only64},
                    true);
  WriteRegistryKeys(TRegistryRoot::LocalMachine, head + "Delphi]\n\"RootDir\"=\"C:\\\\32\"\n", {delphi});
#else
  WriteBytes("prefix/system.reg",
             "WINE REGISTRY Version 2\n#arch=win64\n"
             "[Software\\\\Borland\\\\Delphi\\\\5.0]\n\"RootDir\"=\"C:\\\\64\"\n"
             "[Software\\\\Wow6432Node\\\\Borland\\\\Delphi\\\\5.0]\n\"RootDir\"=\"C:\\\\32\"\n"
             "[Software\\\\Only64]\n\"X\"=\"y\"\n");
  const std::string delphi = "Software\\Borland\\Delphi\\5.0", only64 = "Software\\Only64";
#endif
  TRegistryKey key;
  ASSERT_TRUE(key.Open(TRegistryRoot::LocalMachine, "\\" + delphi));
  EXPECT_EQ(key.ReadString("RootDir"), "C:\\32");
  ASSERT_TRUE(key.Open(TRegistryRoot::LocalMachine, only64));
  EXPECT_EQ(key.ReadString("X"), "y");
}

TEST_F(RegistryTest, WindowsPathsMapIntoThePrefix) {
  const std::string prefix = Prefix.empty() ? "" : Prefix + "/dosdevices/";
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Program Files\\Borland",
       prefix.empty() ? "C:\\Program Files\\Borland" : prefix + "c:/Program Files/Borland"},
      {"d:", prefix.empty() ? "d:" : prefix + "d:"},
      {"relative\\dir", "relative\\dir"},
      {"\\\\server\\share", "\\\\server\\share"},
      {"C:relative", "C:relative"}};
  for (const auto& [windows, mapped] : cases) EXPECT_EQ(MapWindowsPath(windows), mapped) << windows;
  // Windows paths are the system's own there: nothing to map, and no prefix.
  EXPECT_EQ(WinePrefix(), Prefix);
#ifndef _WIN32
  // The mapped name is found the way Windows finds it.
  ASSERT_TRUE(std::filesystem::create_directories(Prefix + "/dosdevices/c:/Program Files/Borland/Delphi5/Lib"));
  EXPECT_EQ(MapWindowsPath("C:\\PROGRAM FILES\\BORLAND\\DELPHI5\\LIB"),
            Prefix + "/dosdevices/c:/Program Files/Borland/Delphi5/Lib");
  UnsetEnv("WINEPREFIX");
  const TEnvScope savedHome("HOME");
  SetEnv("HOME", Path("home"));
  EXPECT_EQ(WinePrefix(), Path("home") + "/.wine");
#endif
}
