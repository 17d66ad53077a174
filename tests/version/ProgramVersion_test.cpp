#include "version/ProgramVersion.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/TestDir.h"
#include "version/uVersionInformation.h"

namespace {

TEST(ProgramVersion, TenStringsInTheReadersOrderForEachProgram) {
  for (const TTesmarProgram program : {tpWindow, tpCommandLine}) {
    const auto strings = ProgramVersionStrings(program, ".exe");
    ASSERT_EQ(strings.size(), MSResourceNameCount);
    for (std::size_t i = 0; i < MSResourceNameCount; ++i)
      EXPECT_EQ(strings[i].Name, TVersionInformation::ResourceName(static_cast<tMSResourceNameEnum>(i)));
    EXPECT_EQ(strings[msFileVersion].Value, ProgramVersion() + ".0");
    EXPECT_EQ(strings[msProductVersion].Value, ProgramVersion());
    EXPECT_EQ(strings[msOriginalFilename].Value, strings[msInternalName].Value + ".exe");
    EXPECT_EQ(strings[msProductName].Value, "Delphi Tesmar Tool");
    for (const TVersionString& s : strings) EXPECT_TRUE(s.Name == "LegalTrademarks" || !s.Value.empty()) << s.Name;
  }
  EXPECT_EQ(ProgramVersionStrings(tpWindow)[msInternalName].Value, "tesmar");
  EXPECT_EQ(ProgramVersionStrings(tpCommandLine)[msInternalName].Value, "tesmar-build");
  EXPECT_NE(ProgramVersionStrings(tpWindow)[msFileDescription].Value,
            ProgramVersionStrings(tpCommandLine)[msFileDescription].Value);
}

// The version resource of a Windows build's executables holds exactly the
// strings of the core. That build's bin directory is given at configure time
// (TESMAR_WINDOWS_BIN_DIR, as test.sh does); on Windows it is the test's own.
TEST(ProgramVersion, WindowsExecutablesCarryTheSameStrings) {
#if defined(_WIN32)
  const std::string bin = BinDir();
#elif defined(TESMAR_WINDOWS_BIN_DIR)
  const std::string bin = TESMAR_WINDOWS_BIN_DIR;
#else
  GTEST_SKIP() << "no Windows build named (TESMAR_WINDOWS_BIN_DIR)";
#endif
#if defined(_WIN32) || defined(TESMAR_WINDOWS_BIN_DIR)
  for (const TTesmarProgram program : {tpWindow, tpCommandLine}) {
    const auto strings = ProgramVersionStrings(program, ".exe");
    const std::string exe = bin + platform::PathDelim + strings[msOriginalFilename].Value;
    if (program == tpWindow && !platform::FileExists(exe)) continue;  // the window is not cross-built
    TVersionInformation info;
    info.LoadVersionInfo(exe);
    ASSERT_TRUE(info.Loaded) << info.ErrorText;
    for (const TVersionString& s : strings) EXPECT_EQ(info.GetVersionString(s.Name), s.Value) << exe << ": " << s.Name;
  }
#endif
}

}  // namespace
