#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QAction>
#include <QPlainTextEdit>
#include <cstdlib>
#include <filesystem>

#include "support/GuiTest.h"

namespace {

// Two projects in the catalogue, Alpha (one program) and Beta (a broken
// program before a good one); both halt on errors.
class UnattendedTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    WriteProgram("Good");
    WriteBrokenProgram("Bad");
    WriteBytes("P/Alpha/Files.ini", CrLf({"[options]", "HaltOnError=1", "[FileList]", Entry("Good.EXE", "Good.dpr")}));
    WriteBytes("P/Beta/Files.ini", CrLf({"[options]", "HaltOnError=1", "DisplayMsgOnDone=1", "[FileList]",
                                         Entry("Bad.EXE", "Bad.dpr"), Entry("Good.EXE", "Good.dpr")}));
    WriteCatalogue({"Alpha=" + Path("P/Alpha"), "Beta=" + Path("P/Beta")});
  }
};

}  // namespace

// "Beta" names the second project; a failing file asks nothing and the run
// goes on; one box shows the results memo.
TEST_F(UnattendedTest, ANamedProjectIsBuiltWithoutQuestionsAndTheProgramEnds) {
  TF_MainForm& form = OpenWindow("Beta");
  EXPECT_TRUE(form.Terminated());
  EXPECT_EQ(form.ExitStatus(), 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.CurrentProjectDir, Path("P/Beta"));
  EXPECT_TRUE(Exists("out/Good.exe"));
  EXPECT_TRUE(Dialogs.Texts("confirm").isEmpty());
  ASSERT_EQ(Dialogs.Texts("message").size(), 1);
  EXPECT_TRUE(
      Dialogs.Texts("message")[0].endsWith("\nFinal result is 1 OK, 1 ERR.   Lines: 13,  Hints: 1,  Warnings: 1, "
                                           " Errors: 2,   Fatal: 0"))
      << Dialogs.Texts("message")[0].toStdString();
  // The halting flag was switched off in memory only.
  EXPECT_NE(ReadBytes("P/Beta/Files.ini").find("HaltOnError=1"), std::string::npos);
}

// The real program, started offscreen with an argument, against a catalogue
// beside it.
TEST_F(UnattendedTest, TheProgramBuildsTheProjectNamedOnItsCommandLineAndEndsWithItsStatus) {
  std::filesystem::create_directories(Path("app"));
  std::filesystem::copy_file(BinDir() + "/tesmar", Path("app/tesmar"));
  std::filesystem::copy_file(IniFile, Path("app/tesmar.ini"));
  // A program that does not end (its window open) is ended after a minute: 124.
  auto run = [&](const std::string& argument) {
    const std::string command = "cd " + Path("") + " && timeout 60 env -u TESMAR_INI QT_QPA_PLATFORM=offscreen " +
                                Path("app/tesmar") + " " + argument + " > program.out 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  // "P/" is part of both lines: the first in catalogue order is built, and
  // its summary is shown only when the project asks for it.
  EXPECT_EQ(run("P/"), 0) << ReadBytes("program.out");
  EXPECT_TRUE(Exists("out/Good.exe"));
  EXPECT_TRUE(Exists("P/Alpha/Summary.log"));
  EXPECT_EQ(ReadBytes("program.out").find("Final result"), std::string::npos) << ReadBytes("program.out");

  // Beta fails its first file, builds the second, prints its summary (no
  // display to show a box on) and ends with 1.
  std::filesystem::remove(Path("out/Good.exe"));
  EXPECT_EQ(run("Beta"), 1);
  EXPECT_TRUE(Exists("out/Good.exe"));
  EXPECT_NE(ReadBytes("program.out").find("Final result is 1 OK, 1 ERR."), std::string::npos)
      << ReadBytes("program.out");
}
