#include "version/uVersionInformation.h"

#include <filesystem>
#include <string>

#include "platform/PEResources.h"
#include "platform/TextFile.h"
#include "support/ToolsTest.h"

namespace {

std::string Get(TVersionInformation& info, tMSResourceNameEnum name) {
  return info.GetVersionString(TVersionInformation::ResourceName(name));
}

class VersionInformationTest : public TTestDir {
 protected:
  TVersionInformation Info;
};

}  // namespace

// Every string through the names the reader gives them, in PE32 and PE32+,
// also where the file's name differs in letter case.
TEST_F(VersionInformationTest, AllTenStringsOfPE32AndPE32Plus) {
  const char* const strings[MSResourceNameCount] = {"1.2.3.4",
                                                    "5.6.7.8",
                                                    "Full fixture",
                                                    "M\xC3\xBCller & S\xC3\xB6hne",
                                                    "All ten strings",
                                                    "full",
                                                    "Copyright 2024 Fixture Makers",
                                                    "Fixture(TM)",
                                                    "Fixture Suite",
                                                    "full.exe"};
  std::filesystem::copy_file(VersionFixture("full64.exe"), Path("Tool.EXE"));
  for (const std::string& file : {VersionFixture("full.exe"), Path("tool.exe")}) {
    SCOPED_TRACE(file);
    Info.LoadVersionInfo(file);
    ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
    EXPECT_EQ(Info.FileName, file);
    ASSERT_NE(Info.Translation, nullptr);
    EXPECT_EQ(std::string(Info.Translation, Info.Translation + 4), std::string("\x09\x04\xE4\x04"));
    for (std::size_t i = 0; i < MSResourceNameCount; ++i)
      EXPECT_EQ(Get(Info, static_cast<tMSResourceNameEnum>(i)), strings[i]);
  }
}

// A string the resource lacks is empty and leaves Loaded alone; lookups use
// the first translation (and find lower-case block names); a second load
// answers for the second file only.
TEST_F(VersionInformationTest, MissingStringsFirstTranslationAndTheLastLoad) {
  Info.LoadVersionInfo(VersionFixture("full.exe"));
  Info.LoadVersionInfo(VersionFixture("partial.exe"));
  ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
  EXPECT_EQ(Get(Info, msComments), "");
  EXPECT_EQ(Get(Info, msInternalName), "");
  EXPECT_EQ(Get(Info, msLegalCopyright), "");  // present, but empty
  EXPECT_TRUE(Info.Loaded);
  EXPECT_EQ(Get(Info, msFileVersion), "2.0.0.17");
  EXPECT_EQ(Get(Info, msOriginalFilename), "partial.exe");
  EXPECT_EQ(Info.BufferSize, Info.Buffer.size());

  Info.LoadVersionInfo(VersionFixture("twolang.exe"));
  ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
  EXPECT_EQ(Get(Info, msFileDescription), "Deutsche Beschreibung");
  EXPECT_EQ(Get(Info, msFileVersion), "3.1 de");
  EXPECT_EQ(Get(Info, msComments), "");  // only the second language has it
  Info.LoadVersionInfo(VersionFixture("lowercase.exe"));
  ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
  EXPECT_EQ(Get(Info, msProductName), "Lower Case Block");

  Info.LoadVersionInfo(Path("gone.exe"));
  EXPECT_EQ(Get(Info, msFileVersion), "");
  EXPECT_EQ(Info.BufferSize, 0u);
}

TEST_F(VersionInformationTest, FailureTexts) {
  EXPECT_EQ(Info.GetVersionString("FileVersion"), "");
  EXPECT_EQ(Info.ErrorText, "VerInfo object not initialized for ");
  const std::string missing = Path("missing.exe");
  Info.LoadVersionInfo(missing);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "File " + missing + " not found by version information object.");
  EXPECT_EQ(Get(Info, msFileVersion), "");
  EXPECT_EQ(Info.ErrorText, "VerInfo object not initialized for " + missing);

  WriteBytes("readme.txt", "This is a text file.\r\n");
  for (const std::string& name : {Path("readme.txt"), VersionFixture("norsrc.exe"), VersionFixture("otherres.exe")}) {
    Info.Loaded = true;
    Info.LoadVersionInfo(name);
    EXPECT_FALSE(Info.Loaded);
    EXPECT_EQ(Info.ErrorText, "Ver Info size call failed for " + name);
    EXPECT_EQ(Info.BufferSize, 0u);
  }

  const std::string notrans = VersionFixture("notrans.exe");
  Info.LoadVersionInfo(notrans);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "No language pointer in version information for " + notrans);
  EXPECT_EQ(Get(Info, msFileVersion), "");  // a resource but no language: nothing to look up
  EXPECT_EQ(Info.ErrorText, "No language pointer in version information for " + notrans);

  // A resource whose root has the wrong name; one with no tree at all, where
  // the missing table has the last word.
  const std::string image = platform::ReadFileBytes(VersionFixture("full.exe"));
  const std::size_t root = image.find(Utf16("VS_VER")) - 6;
  ASSERT_LT(root, image.size());
  std::string badKey = image, badLength = image;
  badKey[root + 6 + 2 * 14] = 'X';
  badLength.replace(root, 2, Le16(2));
  Info.LoadVersionInfoFromImage("badkey.exe", badKey);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "Cannot retrieve Version Information for badkey.exe");
  Info.LoadVersionInfoFromImage("badlength.exe", badLength);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "No language pointer in version information for badlength.exe");
}

// Every truncation of a good file: whole resource present means loaded, any
// cut into it means the size call failed.
TEST(VersionInformation, EveryTruncation) {
  const std::string image = platform::ReadFileBytes(VersionFixture("full.exe"));
  const auto resource = platform::FindVersionResource(image);
  ASSERT_TRUE(resource);
  const std::size_t resourceEnd = static_cast<std::size_t>(resource->data() - image.data()) + resource->size();
  TVersionInformation info;
  for (std::size_t length = 0; length < image.size(); ++length) {
    info.LoadVersionInfoFromImage("cut.exe", std::string_view(image).substr(0, length));
    if (length >= resourceEnd) {
      ASSERT_TRUE(info.Loaded) << length;
      ASSERT_EQ(info.GetVersionString("FileVersion"), "1.2.3.4") << length;
    } else {
      ASSERT_FALSE(info.Loaded) << length;
      ASSERT_EQ(info.ErrorText, "Ver Info size call failed for cut.exe") << length;
    }
  }
}
