#include "version/uVersionInformation.h"

#include <filesystem>
#include <random>
#include <string>

#include "platform/PEResources.h"
#include "platform/TextFile.h"
#include "support/TestDir.h"

namespace {

std::string FixturePath(const std::string& name) {
  return TestDataDir() + "/version/" + name;
}

const char* const FullStrings[MSResourceNameCount] = {"1.2.3.4",
                                                      "5.6.7.8",
                                                      "Full fixture",
                                                      "M\xC3\xBC"
                                                      "ller & S\xC3\xB6hne",
                                                      "All ten strings",
                                                      "full",
                                                      "Copyright 2024 Fixture Makers",
                                                      "Fixture(TM)",
                                                      "Fixture Suite",
                                                      "full.exe"};

std::string Get(TVersionInformation& info, tMSResourceNameEnum name) {
  return info.GetVersionString(TVersionInformation::ResourceName(name));
}

bool IsLoadFailureText(const std::string& text, const std::string& name) {
  return text == "Ver Info size call failed for " + name || text == "Cannot retrieve Version Information for " + name ||
         text == "No language pointer in version information for " + name;
}

}  // namespace

class VersionInformationTest : public TTestDir {
 protected:
  TVersionInformation Info;
};

TEST(VersionInformation, ResourceNamesAndTheSharedReader) {
  const char* expected[] = {"FileVersion",  "ProductVersion", "FileDescription", "CompanyName", "Comments",
                            "InternalName", "LegalCopyright", "LegalTrademarks", "ProductName", "OriginalFilename"};
  for (std::size_t i = 0; i < MSResourceNameCount; ++i)
    EXPECT_EQ(TVersionInformation::ResourceName(static_cast<tMSResourceNameEnum>(i)), expected[i]);
  EXPECT_EQ(&VersionInformation(), &VersionInformation());
}

TEST_F(VersionInformationTest, AllTenStringsOfPE32AndPE32Plus) {
  for (const char* file : {"full.exe", "full64.exe"}) {
    SCOPED_TRACE(file);
    Info.LoadVersionInfo(FixturePath(file));
    ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
    EXPECT_EQ(Info.FileName, FixturePath(file));
    ASSERT_NE(Info.Translation, nullptr);
    EXPECT_EQ(std::string(Info.Translation, Info.Translation + 4), std::string("\x09\x04\xE4\x04"));
    for (std::size_t i = 0; i < MSResourceNameCount; ++i)
      EXPECT_EQ(Get(Info, static_cast<tMSResourceNameEnum>(i)), FullStrings[i]);
  }
}

TEST_F(VersionInformationTest, MissingStringsAreEmptyAndLeaveLoadedAlone) {
  Info.LoadVersionInfo(FixturePath("partial.exe"));
  ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
  EXPECT_EQ(Get(Info, msComments), "");
  EXPECT_EQ(Get(Info, msInternalName), "");
  EXPECT_EQ(Get(Info, msLegalCopyright), "");  // present, but empty
  EXPECT_TRUE(Info.Loaded);
  EXPECT_EQ(Get(Info, msFileVersion), "2.0.0.17");
  EXPECT_EQ(Get(Info, msOriginalFilename), "partial.exe");
}

TEST_F(VersionInformationTest, FirstTranslationAndLowerCaseBlockNames) {
  Info.LoadVersionInfo(FixturePath("twolang.exe"));
  ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
  EXPECT_EQ(Get(Info, msFileDescription), "Deutsche Beschreibung");
  EXPECT_EQ(Get(Info, msFileVersion), "3.1 de");
  EXPECT_EQ(Get(Info, msComments), "");  // only the second language has it

  Info.LoadVersionInfo(FixturePath("lowercase.exe"));
  ASSERT_TRUE(Info.Loaded) << Info.ErrorText;
  EXPECT_EQ(Get(Info, msProductName), "Lower Case Block");
}

TEST_F(VersionInformationTest, TheSecondOfTwoLoadsAnswers) {
  Info.LoadVersionInfo(FixturePath("full.exe"));
  Info.LoadVersionInfo(FixturePath("partial.exe"));
  EXPECT_EQ(Get(Info, msFileVersion), "2.0.0.17");
  EXPECT_EQ(Get(Info, msComments), "");
  EXPECT_EQ(Info.BufferSize, Info.Buffer.size());

  Info.LoadVersionInfo(Path("gone.exe"));
  EXPECT_EQ(Get(Info, msFileVersion), "");
  EXPECT_EQ(Info.BufferSize, 0u);
}

TEST_F(VersionInformationTest, FailureTexts) {
  const std::string missing = Path("missing.exe");
  Info.LoadVersionInfo(missing);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "File " + missing + " not found by version information object.");
  EXPECT_EQ(Get(Info, msFileVersion), "");
  EXPECT_EQ(Info.ErrorText, "VerInfo object not initialized for " + missing);

  WriteBytes("readme.txt", "This is a text file.\r\n");
  for (const std::string& name : {Path("readme.txt"), FixturePath("norsrc.exe"), FixturePath("otherres.exe")}) {
    Info.Loaded = true;
    Info.LoadVersionInfo(name);
    EXPECT_FALSE(Info.Loaded);
    EXPECT_EQ(Info.ErrorText, "Ver Info size call failed for " + name);
    EXPECT_EQ(Info.BufferSize, 0u);
  }

  const std::string notrans = FixturePath("notrans.exe");
  Info.LoadVersionInfo(notrans);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "No language pointer in version information for " + notrans);
  EXPECT_EQ(Get(Info, msFileVersion), "");  // a resource but no language: nothing to look up
  EXPECT_EQ(Info.ErrorText, "No language pointer in version information for " + notrans);
}

TEST_F(VersionInformationTest, ResourceThatIsNoVersionBlock) {
  const std::string image = platform::ReadFileBytes(FixturePath("full.exe"));
  const std::size_t root = image.find(std::string("V\0S\0_\0V\0E\0R", 12)) - 6;
  ASSERT_LT(root, image.size());

  std::string badKey = image;  // the tree is intact, its root has the wrong name
  badKey[root + 6 + 2 * 14] = 'X';
  Info.LoadVersionInfoFromImage("badkey.exe", badKey);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "Cannot retrieve Version Information for badkey.exe");

  std::string badLength = image;  // no tree at all: the missing table has the last word
  badLength[root] = 2;
  badLength[root + 1] = 0;
  Info.LoadVersionInfoFromImage("badlength.exe", badLength);
  EXPECT_FALSE(Info.Loaded);
  EXPECT_EQ(Info.ErrorText, "No language pointer in version information for badlength.exe");
}

TEST_F(VersionInformationTest, FileNamesResolveWithoutRegardToCase) {
  std::filesystem::copy_file(FixturePath("full.exe"), Path("Tool.EXE"));
  Info.LoadVersionInfo(Path("tool.exe"));
  EXPECT_TRUE(Info.Loaded) << Info.ErrorText;
  EXPECT_EQ(Get(Info, msProductName), "Fixture Suite");
}

TEST(VersionInformation, NothingLoadedYet) {
  TVersionInformation info;
  EXPECT_EQ(info.GetVersionString("FileVersion"), "");
  EXPECT_FALSE(info.Loaded);
  EXPECT_EQ(info.ErrorText, "VerInfo object not initialized for ");
}

// Every truncation of a good file: whole resource present means loaded, any
// cut into it means the size call failed.
TEST(VersionInformation, EveryTruncation) {
  const std::string image = platform::ReadFileBytes(FixturePath("full.exe"));
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

TEST(VersionInformation, RandomCorruptions) {
  for (const char* file : {"full.exe", "full64.exe"}) {
    const std::string image = platform::ReadFileBytes(FixturePath(file));
    std::mt19937 random(20240601);
    std::uniform_int_distribution<std::size_t> position(0, image.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255), count(1, 8);
    TVersionInformation info;
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
      std::string bad = image;
      for (int n = count(random); n > 0; --n) bad[position(random)] = static_cast<char>(byte(random));
      info.LoadVersionInfoFromImage("bad.exe", bad);
      if (info.Loaded) {
        ++loaded;
        ASSERT_NE(info.Translation, nullptr);
        ASSERT_LE(info.Translation + 4, info.Buffer.data() + info.BufferSize);
      } else {
        ASSERT_TRUE(IsLoadFailureText(info.ErrorText, "bad.exe")) << info.ErrorText << " in round " << round;
      }
      for (std::size_t i = 0; i < MSResourceNameCount; ++i)
        info.GetVersionString(TVersionInformation::ResourceName(static_cast<tMSResourceNameEnum>(i)));
    }
    // Most corruptions miss the headers and the resource: the reader still reads.
    EXPECT_GT(loaded, 0) << file;
  }
}
