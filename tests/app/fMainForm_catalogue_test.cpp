#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "platform/ProfileCache.h"
#include "project/uCatalogue.h"
#include "support/GuiTest.h"

namespace {

class CatalogueTest : public TGuiTest {
 protected:
  QStringList Names() { return Items(*Find<QComboBox>("cb_ProjectList")); }
  // Chooses the project of a line of the name box as the user does.
  void Choose(int index) {
    auto* box = Find<QComboBox>("cb_ProjectList");
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  // A project directory with one program in its file list.
  std::string ProjectWithProgram(const std::string& dir) {
    WriteProgram();
    WriteBytes(dir + "/Files.ini", CrLf({"[options]", "[FileList]", Entry("App.EXE", "App.dpr")}));
    return Path(dir);
  }
};

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

TEST_F(CatalogueTest, NoCatalogueGivesAnEmptyWindowAnUnmatchedArgumentOpensItAndEachViewModeSetsItsControls) {
  TF_MainForm& form = OpenWindow("NoSuchProject");
  EXPECT_FALSE(form.Terminated());
  EXPECT_TRUE(Names().isEmpty());
  EXPECT_EQ(form.ViewMode, vmFilesAvailable);
  EXPECT_FALSE(Find<QAction>("A_saveProjectSettings")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("b_buildOne")->isEnabled());

  // What each mode shows, hides and enables in the results area.
  form.show();
  struct TCase {
    TViewMode Mode;
    bool SaveShown, CancelShown, MemoEditable, SelectEnabled;
    QString Heading;
  };
  form.StatusText = "ConfigFile saved.";
  const TCase cases[] = {
      {vmEmpty, false, false, false, true, "..."},     {vmFilesAvailable, false, false, false, true, "..."},
      {vmEditing, true, true, true, true, "..."},      {vmViewing, false, false, false, true, "ConfigFile saved."},
      {vmBuilding, false, false, false, false, "..."}, {vmFilesAvailable, false, false, false, true, "..."}};
  for (const TCase& c : cases) {
    Find<QPlainTextEdit>("Memo1")->setPlainText("left over");
    form.SetViewMode(c.Mode);
    SCOPED_TRACE(c.Mode);
    EXPECT_EQ(Find<QPushButton>("b_save")->isVisible(), c.SaveShown);
    EXPECT_EQ(Find<QAction>("A_cancelEditWindow")->isVisible(), c.CancelShown);
    EXPECT_EQ(Find<TActionButton>("b_cancelEditwindow")->isVisible(), c.CancelShown);
    EXPECT_EQ(!Find<QPlainTextEdit>("Memo1")->isReadOnly(), c.MemoEditable);
    EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
    EXPECT_EQ(Find<QAction>("A_SelectFile")->isEnabled(), c.SelectEnabled);
    EXPECT_EQ(Find<QAction>("A_getConfig")->isEnabled(), c.SelectEnabled);
    EXPECT_EQ(Find<QLabel>("L_Results")->text(), c.Heading);
    EXPECT_EQ(form.ResultsButtonsPanelHeight(), 40);
    EXPECT_FALSE(Find<QPushButton>("b_errors")->isVisible());
    for (const char* hidden : {"A_GrabIDEPath", "A_compileResultsDisplay", "A_DisplayDCCOptions", "A_editVersion"})
      EXPECT_FALSE(Find<QAction>(hidden)->isVisible()) << hidden;
  }
}

// Save is enabled only while the project is modified, and a failed save
// keeps it so; Exit then asks once, and No closes without saving.
TEST_F(CatalogueTest, SaveIsEnabledWhileModifiedAndExitAsksOnce) {
  TF_MainForm& form = OpenProgram();
  form.show();
  auto* save = Find<QAction>("A_saveProjectSettings");
  EXPECT_FALSE(save->isEnabled());
  form.SetModified(true);
  EXPECT_TRUE(save->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("bb_save")->isEnabled());
  save->trigger();
  EXPECT_FALSE(save->isEnabled());
  EXPECT_FALSE(form.Modified);
  EXPECT_NE(ReadBytes("proj/Files.ini").find("[FileList]\r\n" + Entry("App.EXE", "App.dpr")), std::string::npos);

  // Files.ini read-only: the store reports its reason through the halt
  // channel (outside a build its report is shown, no question asked), and
  // the window says the save failed once.
  chmod(Path("proj/Files.ini").c_str(), 0444);
  const std::string before = ReadBytes("proj/Files.ini");
  form.SetModified(true);
  save->trigger();
  EXPECT_TRUE(form.Modified);
  EXPECT_TRUE(save->isEnabled());
  EXPECT_EQ(Dialogs.Texts("message"),
            (QStringList{"Error: Files.ini is read only, cannot save file list.", "Failed to save project settings"}));

  Dialogs.Confirms = {false};
  Find<QAction>("A_exit")->trigger();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Dialogs.Texts("confirm"),
            QStringList{ToQ("Project " + Project + " has changed.  Do you wish to save the changes?")});
  EXPECT_EQ(ReadBytes("proj/Files.ini"), before);

  // Unmodified: no question at all.
  TF_MainForm& again = OpenWindow();
  again.show();
  Find<TActionButton>("b_exit")->click();
  EXPECT_FALSE(again.isVisible());
  EXPECT_EQ(Dialogs.Texts("confirm").size(), 1);
}

TEST_F(CatalogueTest, NewProjectAsksTheSaveQuestionOnlyAfterADirectoryIsChosen) {
  TF_MainForm& form = OpenProgram();
  form.SetModified(true);

  Dialogs.Directories = {std::nullopt};
  Find<QAction>("A_NewProject")->trigger();
  EXPECT_TRUE(Dialogs.Texts("confirm").isEmpty());
  EXPECT_EQ(form.CurrentProjectDir, Project);
  EXPECT_TRUE(form.Modified);

  Dialogs.Directories = {ToQ(Path("work/Suite"))};
  Dialogs.Confirms = {false};
  Find<QAction>("A_NewProject")->trigger();
  EXPECT_EQ(Dialogs.Texts("directory"),
            (QStringList{"Select Project specs directory", "Select Project specs directory"}));
  EXPECT_EQ(Dialogs.DirectoryOptions.back(), 7);
  EXPECT_EQ(Dialogs.Texts("confirm").size(), 1);
  EXPECT_EQ(Names(), (QStringList{"proj", "Suite"}));
  EXPECT_EQ(Find<QComboBox>("cb_ProjectList")->currentText(), "Suite");
  EXPECT_EQ(form.CurrentProjectName, "Suite");
  EXPECT_EQ(form.ProjectCatalogue.back(), "Suite=" + Path("work/Suite"));
  EXPECT_FALSE(form.Modified);
  EXPECT_EQ(form.ViewMode, vmEmpty);
  EXPECT_EQ(Find<QListWidget>("LB_Files")->count(), 0);
  EXPECT_FALSE(Find<QPushButton>("b_buildOne")->isEnabled());
  // The new directory is set up as a project and written to the catalogue.
  EXPECT_TRUE(Exists("work/Suite/Files.ini"));
  EXPECT_TRUE(Exists("work/Suite/Default.config"));
  platform::ForgetSharedProfiles();
  EXPECT_EQ(ReadCatalogue(IniFile).back().Line(), "Suite=" + Path("work/Suite"));
}

// The name box holds the catalogue's names in file order, the first of a
// name counted once and those of empty values dropped; the first is loaded.
// A name opened again is added twice in the run and once after a restart.
TEST_F(CatalogueTest, TheNameBoxListsTheCatalogueAndAnOpenedNameThatExistsIsAddedTwiceAndOnceAfterARestart) {
  const std::string first = ProjectWithProgram("one/proj");
  WriteBytes("two/proj/Files.ini", CrLf({"[options]", "[FileList]", Entry("App.EXE", "App.dpr"),
                                         Path("out/Lib.DLL") + "=" + Path("src/App.dpr")}));
  WriteCatalogue({"proj=" + first, "Gone=", "Beta=" + Path("P/Beta"), "proj=" + Path("elsewhere")});
  TF_MainForm& form = OpenWindow();
  EXPECT_EQ(Names(), (QStringList{"proj", "Beta"}));
  EXPECT_EQ(form.ProjectCatalogue, (std::vector<std::string>{"proj=" + first, "Beta=" + Path("P/Beta")}));
  EXPECT_EQ(form.CurrentProjectName, "proj");
  EXPECT_EQ(form.CurrentProjectDir, first);
  EXPECT_EQ(Items(*Find<QListWidget>("LB_Files")), QStringList{ToQ(Entry("App.EXE", "App.dpr"))});
  EXPECT_EQ(form.windowTitle().toStdString(), "Tesmar working in " + first + ", 1 files");
  EXPECT_EQ(form.ViewMode, vmFilesAvailable);
  EXPECT_FALSE(form.Modified);
  EXPECT_FALSE(form.Terminated());

  // Choosing another project loads it; unsaved changes of the one left are
  // dropped without a question.
  form.SetModified(true);
  Choose(1);
  EXPECT_EQ(form.CurrentProjectDir, Path("P/Beta"));
  EXPECT_FALSE(form.Modified);
  EXPECT_EQ(form.BuildRun->ProjectDir, Path("P/Beta"));
  EXPECT_TRUE(Dialogs.Asked.empty());

  Dialogs.Directories = {ToQ(Path("two/proj"))};
  Find<QAction>("A_OpenProject")->trigger();
  EXPECT_EQ(Names(), (QStringList{"proj", "Beta", "proj"}));
  EXPECT_EQ(form.CurrentProjectDir, Path("two/proj"));
  // The files of the opened project are shown at once.
  EXPECT_EQ(Find<QListWidget>("LB_Files")->count(), 2);
  EXPECT_EQ(Find<QListWidget>("LB_Files")->currentRow(), 0);
  EXPECT_EQ(form.BuildRun->FileList().Count(), 2);

  // Each entry of the name box loads its own directory.
  Choose(0);
  EXPECT_EQ(form.CurrentProjectDir, first);
  Choose(2);
  EXPECT_EQ(form.CurrentProjectDir, Path("two/proj"));

  platform::ForgetSharedProfiles();
  OpenWindow();
  EXPECT_EQ(Names(), (QStringList{"proj", "Beta"}));
  EXPECT_EQ(Form->CurrentProjectDir, Path("two/proj"));

  Dialogs.Directories = {ToQ(Path("root") + "/")};
  Find<QAction>("A_OpenProject")->trigger();
  EXPECT_EQ(Form->CurrentProjectName, "");  // a root: nothing follows the last separator
  EXPECT_EQ(Form->ProjectCatalogue.back(), "=" + Path("root") + "/");
  EXPECT_EQ(Find<QComboBox>("cb_ProjectList")->currentText(), "");
}

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
