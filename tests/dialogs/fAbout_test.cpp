#include "dialogs/fAbout.h"

#include "support/GuiTest.h"
#include "support/ToolsTest.h"

// The about box reads the version resource of the executable it is given (a
// Windows build its own), in the order of the resource names, decoded as the
// window shows names; a program of the build without one is the main
// window's test.
TEST(AboutTest, ShowsTheTenStringsOfTheExecutablesVersionResource) {
  TestApplication();
  const Tf_about box(nullptr, VersionFixture("full.exe"));
  const char* const names[] = {"FileVersion",  "ProductVersion", "FileDescription", "CompanyName", "Comments",
                               "InternalName", "LegalCopyright", "LegalTrademarks", "ProductName", "OriginalFilename"};
  QStringList expected;
  for (std::size_t i = 0; i < std::size(names); ++i)
    expected << QString(names[i]) + " = " + QString::fromUtf8(FullFixtureStrings[i]);
  EXPECT_EQ(box.Memo1->toPlainText().split('\n'), expected);
}
