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
  std::filesystem::copy_file(VersionFixture("full64.exe"), Path("Tool.EXE"));
  for (const std::string& file : {VersionFixture("full.exe"), Path("tool.exe")}) {
    SCOPED_TRACE(file);
    Info.LoadVersionInfo(file);
    ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
    EXPECT_EQ(Info.FileName, file);
    ASSERT_NE(Info.Translation, nullptr);
    EXPECT_EQ(std::string(Info.Translation, Info.Translation + 4), std::string("\x09\x04\xE4\x04"));
    for (std::size_t i = 0; i < MSResourceNameCount; ++i)
      EXPECT_EQ(Get(Info, static_cast<tMSResourceNameEnum>(i)), FullFixtureStrings[i]);
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

// Each failing load: its text, and whether a lookup then finds nothing read
// at all or keeps the load's text. A resource whose root has the wrong name;
// one with no tree at all, where the missing table has the last word.
TEST_F(VersionInformationTest, FailureTexts) {
  EXPECT_EQ(Info.GetVersionString("FileVersion"), "");
  EXPECT_EQ(Info.ErrorText, "VerInfo object not initialized for ");

  const std::string image = platform::ReadFileBytes(VersionFixture("full.exe"));
  const std::size_t root = image.find(Utf16("VS_VER")) - 6;
  ASSERT_LT(root, image.size());
  std::string badKey = image, badLength = image;
  badKey[root + 6 + 2 * 14] = 'X';
  badLength.replace(root, 2, Le16(2));
  WriteBytes("badkey.exe", badKey);
  WriteBytes("badlength.exe", badLength);
  WriteBytes("readme.txt", "This is a text file.\r\n");
  const std::string size = "Ver Info size call failed for ",
                    noLanguage = "No language pointer in version information for ";
  const struct {
    std::string File, Before, After;
    bool Read;
  } cases[] = {
      {Path("missing.exe"), "File ", " not found by version information object.", false},
      {Path("readme.txt"), size, "", false},
      {VersionFixture("norsrc.exe"), size, "", false},
      {VersionFixture("otherres.exe"), size, "", false},
      {Path("badkey.exe"), "Cannot retrieve Version Information for ", "", true},
      {Path("badlength.exe"), noLanguage, "", true},
      {VersionFixture("notrans.exe"), noLanguage, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    Info.Loaded = true;
    Info.LoadVersionInfo(c.File);
    EXPECT_FALSE(Info.Loaded);
    const std::string error = c.Before + c.File + c.After;
    EXPECT_EQ(Info.ErrorText, error);
    EXPECT_EQ(Info.BufferSize != 0, c.Read);
    Info.GetVersionString("FileVersion");
    EXPECT_EQ(Info.ErrorText, c.Read ? error : "VerInfo object not initialized for " + c.File);
  }
  EXPECT_EQ(Get(Info, msFileVersion), "");  // notrans.exe: a resource but no language to look up
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
