#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/Faults.h"
#include "support/Scenario.h"

namespace {

// The catalogue: the first entry a project of one program, names of an empty
// value and a second "proj" dropped; Beta is a directory to be made.
const char* const Known = R"(
  program App ; lines one/proj/Files.ini [options] [FileList] @out/App.EXE=@src/App.dpr
  lines two/proj/Files.ini [options] [FileList] @out/App.EXE=@src/App.dpr @out/Lib.DLL=@src/App.dpr
  catalogue proj=@one/proj Gone= Beta=@P/Beta proj=@elsewhere ; open)";

const TScenario Projects[] = {
    // The name box lists the catalogue in file order and the first is loaded.
    // A name opened again is added twice in the run, once after a restart
    // with the directory chosen last; each entry loads its own directory.
    {"TheNameBoxListsTheCatalogueAndANameOpenedAgainIsAddedTwiceAndOnceAfterARestart", R"(
      expect cb_ProjectList.items == "proj\nBeta" ; expect form == "Tesmar working in @one/proj, 1 files"
      expect LB_Files == @out/App.EXE=@src/App.dpr ; expect A_saveProjectSettings disabled
      trigger A_OpenProject ; answer dir @two/proj ; expect cb_ProjectList.items == "proj\nBeta\nproj"
      expect form == "Tesmar working in @two/proj, 2 files" ; expect LB_Files.currentRow == 0
      select cb_ProjectList 0 ; expect form ~ " @one/proj," ; select cb_ProjectList 2 ; expect form ~ " @two/proj,"
      restart ; expect cb_ProjectList.items == "proj\nBeta" ; expect form ~ " @two/proj,"
      # a root: nothing follows the last separator, the name is empty
      trigger A_OpenProject ; answer dir @root/ ; expect cb_ProjectList == "" ; expect form ~ " @root/,")"},
    // Unsaved changes of the project left are saved, dropped or kept, as the
    // user says; so is an edited setting.
    {"ChoosingAnotherProjectAsksAboutTheChangesOfTheOneLeft", R"(
      trigger A_deleteFile ; select cb_ProjectList 1 ; answer Cancel ; expect cb_ProjectList == proj
      expect LB_Files == "" ; expect A_saveProjectSettings enabled
      select cb_ProjectList 1 ; answer Discard ; expect form ~ " @P/Beta," ; expect-file one/proj/Files.ini ~ App.dpr
      select cb_ProjectList 0 ; trigger A_deleteFile ; select cb_ProjectList 1 ; answer Save
      expect asked ~ "save: Project @one/proj has changed.  Do you wish to save the changes?"
      expect-file one/proj/Files.ini !~ App.dpr)"},
    {"ChoosingAnotherProjectAsksAboutAnEditedSetting", R"(
      click Label5 ; type Memo1 -$X- ; select cb_ProjectList 1 ; answer Save ; expect form ~ " @P/Beta,"
      expect-file one/proj/Default.config == "-$X-\r\n")"},
    // Names that an INI key cannot hold are stored so that they read back the
    // same; ordinary names stay as they are.
    {"NamesTheCatalogueCannotHoldSurviveARestart", R"(
      trigger A_OpenProject ; answer dir @p/a=b ; trigger A_OpenProject ; answer dir "@p/;semi"
      trigger A_OpenProject ; answer dir "@p/[sq]" ; trigger A_OpenProject ; answer dir "@p/%3D"
      trigger A_OpenProject ; answer dir @p/ ; restart
      expect cb_ProjectList.items == "proj\nBeta\na=b\n;semi\n[sq]\n%3D\n" ; select cb_ProjectList 2
      expect form ~ " @p/a=b," ; select cb_ProjectList 3 ; expect form ~ " @p/;semi," ; select cb_ProjectList 4
      expect form ~ " @p/[sq]," ; select cb_ProjectList 5 ; expect form ~ " @p/%3D," ; select cb_ProjectList 6
      expect form ~ " @p/," ; expect-file tesmar.ini ~ "[Projects]\r\nproj=@one/proj\r\nGone=\r\nBeta=@P/Beta\r\n")"},
    {"NewProjectAsksTheSaveQuestionOnlyAfterADirectoryIsChosen", R"(
      trigger A_deleteFile ; trigger A_NewProject ; answer dir cancel ; expect form ~ " @one/proj,"
      expect A_saveProjectSettings enabled ; trigger A_NewProject ; answer dir @work/Suite ; answer Discard
      expect asked == "directory: Select Project specs directory |  | 7\ndirectory: Select Project specs directory |  | 7
save: Project @one/proj has changed.  Do you wish to save the changes?\n"
      expect cb_ProjectList.items == "proj\nBeta\nSuite" ; expect cb_ProjectList == Suite ; expect LB_Files == ""
      expect form == "Tesmar working in @work/Suite, 0 files" ; expect A_saveProjectSettings disabled
      expect b_buildOne disabled ; expect m_mergedVerInfo == "" ; expect-file work/Suite/Default.config exists
      expect-file tesmar.ini ~ "\r\nSuite=@work/Suite\r\n")"},
    // Save is live only while the project is modified, and a failed save
    // keeps it so; Exit then asks once, and Discard closes without saving.
    {"SaveIsLiveWhileModifiedAFailedSaveKeepsItSoAndExitAsks", R"(
      trigger A_projectOptions ; answer window cb_minimize b_OK ; expect bb_save enabled ; click bb_save
      expect A_saveProjectSettings disabled ; expect-file one/proj/Files.ini ~ "MinimizeOnBuild=1\r\n"
      expect-file one/proj/Files.ini ~ "[FileList]\r\n@out/App.EXE=@src/App.dpr\r\n"
      # the store's reason, outside a build shown, not asked about, then the window's own message
      chmod one/proj/Files.ini 444 ; trigger A_projectOptions ; answer window cb_minimize b_OK
      trigger A_saveProjectSettings ; expect A_saveProjectSettings enabled ; expect asked ~ "message: Error: Files.ini \
is read only, cannot save file list.\nmessage: Failed to save project settings\n"
      trigger A_exit ; answer Discard ; expect form hidden ; expect-file one/proj/Files.ini ~ MinimizeOnBuild=1
      restart ; click b_exit ; expect form hidden)"},
    {"ExitAsksAboutAnEditedSettingAndAnEditedFileList", R"(
      click Label5 ; type Memo1 -$X- ; trigger A_exit ; answer Cancel ; expect form shown ; expect Memo1 == -$X-
      trigger A_exit ; answer Save ; expect form hidden ; expect-file one/proj/Default.config == "-$X-\r\n"
      restart ; trigger A_editFileList ; type Memo1 "@out/Other.EXE=@src/Other.dpr" ; click b_exit ; answer Save
      answer Save ; expect form hidden ; expect-file one/proj/Files.ini ~ "[FileList]\r\n@out/Other.EXE=@src/Other.dpr\r\n")"},
    // Another program changed a setting file and added an entry to
    // Files.ini since the project was read; the user moved an entry. The save
    // asks first: cancelled it writes nothing; both kept (one answer for
    // all), the project is shown as it is on disk; or each as told.
    {"ASaveAsksAboutFilesChangedOnDiskAndKeepsThemIfTold", R"(
      trigger A_OpenProject ; answer dir @two/proj ; click b_fileDown ; write two/proj/Default.config "-$Y+\r\n"
      lines two/proj/Files.ini [options] [FileList] @out/App.EXE=@src/App.dpr @out/Lib.DLL=@src/App.dpr @out/New.EXE=@src/App.dpr
      trigger A_saveProjectSettings ; answer changed Cancel ; expect A_saveProjectSettings enabled
      expect asked ~ "\nchanged: @two/proj/Files.ini\nhas been changed on disk since the project read it.\nOverwrite it \
with the project as shown here, or keep the other version? Keeping it loads the project again as it is on disk: what \
was changed here in its file list, options and setting files chosen is dropped.\n"
      expect-file two/proj/Files.ini ~ New.EXE ; expect-file two/proj/Default.config == "-$Y+\r\n"
      trigger A_saveProjectSettings ; answer changed Keep all ; expect A_saveProjectSettings disabled
      expect LB_Files == "@out/App.EXE=@src/App.dpr\n@out/Lib.DLL=@src/App.dpr\n@out/New.EXE=@src/App.dpr"
      expect-file two/proj/Default.config == "-$Y+\r\n" ; click Label5 ; expect Memo1 == -$Y+)"},
    {"ASaveWritesOverAFileChangedOnDiskIfTold", R"(
      trigger A_OpenProject ; answer dir @two/proj ; click b_fileDown ; write two/proj/Default.config "-$Y+\r\n"
      lines two/proj/Files.ini [options] [FileList] @out/App.EXE=@src/App.dpr @out/New.EXE=@src/App.dpr
      trigger A_saveProjectSettings ; answer changed Overwrite ; answer changed Keep
      expect asked ~ "\nchanged: @two/proj/Default.config\nhas been changed on disk since the project read it.\n\
Overwrite it with the text the project holds, or keep the other version?\n"
      expect-file two/proj/Files.ini ~ "[FileList]\r\n@out/Lib.DLL=@src/App.dpr\r\n@out/App.EXE=@src/App.dpr\r\n"
      expect-file two/proj/Files.ini !~ New.EXE ; expect-file two/proj/Default.config == "-$Y+\r\n"
      expect A_saveProjectSettings disabled)"},
    // What the window's build writes (a build number in Files.ini as the
    // group file, the configuration beside the source) is the project's own:
    // the save after it asks nothing.
    {"TheBuildsOwnWritesAreSavedWithoutAQuestion", R"(
      lines one/proj/Files.ini [options] AutoFileIncrement=1 HaltOnError=0 [FileList] @out/App.EXE=@src/App.dpr \
        [@src/App.dpr] GroupVerInfo=@one/proj/Files.ini [version] Build=3
      restart ; trigger A_DoBuild ; expect-file one/proj/Files.ini ~ "[version]\r\nBuild=4\r\n"
      trigger A_projectOptions ; answer window cb_minimize b_OK ; trigger A_saveProjectSettings
      expect A_saveProjectSettings disabled ; expect-file one/proj/Files.ini ~ "MinimizeOnBuild=1\r\n"
      expect-file one/proj/Files.ini ~ "[version]\r\nBuild=4\r\n" ; expect asked !~ changed:)"},
    {"AFolderThatCannotBeSetUpIsReportedAndGivesNoProject", R"(
      trigger A_OpenProject ; answer dir /proc ; expect asked ~ "message: /proc cannot be used as a project directory"
      expect A_AddFile disabled ; expect A_DoBuild disabled ; expect Label5 disabled ; expect A_OpenProject enabled
      select cb_ProjectList 1 ; expect A_AddFile enabled ; trigger A_OpenProject ; answer dir @one/proj/Files.ini/x
      expect asked ~ "message: @one/proj/Files.ini/x cannot be used as a project directory")"},
};
TESMAR_SCENARIOS(Catalogue, Known, Projects);

class CatalogueTest : public TScenarioTest {};

// Without a catalogue no project is shown: only New and Open can make one.
TEST_F(CatalogueTest, WithoutAProjectTheProjectCommandsAreOffAndEachViewModeSetsItsControls) {
  Play(R"(open NoSuchProject ; expect cb_ProjectList.count == 0 ; expect form == "Delphi Tesmar Tool"
          expect A_NewProject enabled ; expect A_OpenProject enabled ; expect A_AddFile disabled ; expect A_DoBuild disabled
          expect A_projectOptions disabled ; expect A_editFileList disabled ; expect A_saveProjectSettings disabled
          expect b_buildOne disabled ; expect Label5 disabled ; expect b_sourceFile disabled ; expect e_target == "")");
  EXPECT_FALSE(Form->Terminated());
  EXPECT_EQ(Form->ViewMode, vmFilesAvailable);
  Form->StatusText = "ConfigFile saved.";
  // mode, save shown, cancel shown, memo editable, select enabled, heading
  const std::tuple<TViewMode, bool, bool, bool, bool, QString> cases[] = {
      {vmEmpty, false, false, false, true, "..."},     {vmFilesAvailable, false, false, false, true, "..."},
      {vmEditing, true, true, true, true, "..."},      {vmViewing, false, false, false, true, "ConfigFile saved."},
      {vmBuilding, false, false, false, false, "..."}, {vmFilesAvailable, false, false, false, true, "..."}};
  for (const auto& [mode, save, cancel, editable, select, heading] : cases) {
    SCOPED_TRACE(mode);
    Form->Memo1->setPlainText("left over");
    Form->SetViewMode(mode);
    EXPECT_EQ(Form->b_save->isVisible(), save);
    EXPECT_EQ(Form->A_cancelEditWindow->isVisible() && Form->b_cancelEditwindow->isVisible(), cancel);
    EXPECT_EQ(!Form->Memo1->isReadOnly(), editable);
    EXPECT_TRUE(Form->Memo1->toPlainText().isEmpty());
    EXPECT_EQ(Form->A_SelectFile->isEnabled() && Form->A_getConfig->isEnabled(), select);
    EXPECT_EQ(Form->L_Results->text(), heading);
    EXPECT_EQ(Form->ResultsButtonsPanelHeight(), 40);
    EXPECT_FALSE(Form->b_errors->isVisible());
    for (QAction* hidden :
         {Form->A_GrabIDEPath, Form->A_compileResultsDisplay, Form->A_DisplayDCCOptions, Form->A_editVersion})
      EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
  }
}

// Two projects in the catalogue, Alpha (one program) and Beta (a broken
// program before a good one); both halt on errors.
class UnattendedTest : public TScenarioTest {
 protected:
  void SetUp() override {
    TScenarioTest::SetUp();
    WriteProgram("Good");
    WriteBrokenProgram("Bad");
    WriteBytes("P/Alpha/Files.ini", CrLf({"[options]", "HaltOnError=1", "[FileList]", Entry("Good.EXE", "Good.dpr")}));
    WriteBytes("P/Beta/Files.ini", CrLf({"[options]", "HaltOnError=1", "DisplayMsgOnDone=1", "[FileList]",
                                         Entry("Bad.EXE", "Bad.dpr"), Entry("Good.EXE", "Good.dpr")}));
    WriteCatalogue({"Alpha=" + Path("P/Alpha"), "Beta=" + Path("P/Beta")});
  }
};

// "Beta" names the second project; a failing file asks nothing and the run
// goes on; one box shows the results memo. Neither the new project's library
// path nor the first project of the catalogue, which is not built, asks for
// the Delphi version: the first is not even read.
TEST_F(UnattendedTest, ANamedProjectIsBuiltWithoutQuestionsAndTheProgramEnds) {
  std::filesystem::remove(Path("masters/Default.path"));  // each new project asks
  TF_MainForm& form = OpenWindow("Beta");
  EXPECT_TRUE(form.Terminated());
  EXPECT_EQ(form.ExitStatus(), 1);
  // The halting flag was switched off in memory only.
  Play(R"(expect asked !~ "window: " ; expect-file P/Alpha/Default.path missing
          expect form hidden ; expect form ~ " @P/Beta," ; expect-file out/Good.exe exists ; expect asked !~ "confirm: "
          expect asked =~ "^message: (?s:.*)\nFinal result is 1 OK, 1 ERR.   Lines: 13,  Hints: 1,  Warnings: 1,  \
Errors: 2,   Fatal: 0\n$" ; expect asked !~ "\nmessage: " ; expect-file P/Beta/Files.ini ~ "\r\nHaltOnError=1\r\n")");
}

// The status is the one tesmar-build gives for the same project: 0 for a
// clean build, 1 when a processing line fails, 2 without a build when a
// setting file cannot be read.
TEST_F(UnattendedTest, TheStatusIsTheOneOfTesmarBuild) {
  EXPECT_EQ(OpenWindow("Alpha").ExitStatus(), 0);
  WriteBytes("P/Alpha/Default.after", CrLf({ChildCommand("exit 4")}));
  EXPECT_EQ(OpenWindow("Alpha").ExitStatus(), 1);
#ifndef _WIN32
  std::filesystem::remove(Path("P/Alpha/Default.after"));
  std::filesystem::remove(Path("P/Alpha/Compile.log"));
  std::filesystem::remove(Path("P/Alpha/Default.config"));
  ASSERT_EQ(::mkfifo(Path("P/Alpha/Default.config").c_str(), 0600), 0);
  EXPECT_EQ(OpenWindow("Alpha").ExitStatus(), 2);
  EXPECT_FALSE(Exists("P/Alpha/Compile.log"));
#endif
}

// The real program, started offscreen with an argument, against a catalogue
// beside it.
TEST_F(UnattendedTest, TheProgramBuildsTheProjectNamedOnItsCommandLineAndEndsWithItsStatus) {
#ifdef _WIN32
  GTEST_SKIP() << "the program is started through a POSIX shell; on Windows the demo build of tesmar.exe checks it";
#else
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
#endif
}

#ifndef _WIN32
// The real program ends the running tool with everything it started on
// SIGTERM, writes the logs and ends with 1; --tool-timeout ends a tool that
// runs too long, and a time-out that is no number of seconds is refused.
TEST_F(UnattendedTest, TheProgramEndsItsToolOnASignalOrAfterItsTimeOut) {
  WriteBytes("P/Alpha/Default.before", CrLf({ChildCommand("spawn " + Path("sleeper") + " sleep 60000")}));
  const std::string program = BinDir() + "/tesmar";
  auto start = [&](std::vector<std::string> args) {
    const pid_t child = fork();
    if (child == 0) {
      freopen(Path("program.out").c_str(), "w", stderr);
      setenv("TESMAR_INI", IniFile.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    return child;
  };
  auto status = [](pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  const pid_t signalled = start({"Alpha"});
  for (int i = 0; i < 500 && !Exists("sleeper"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(Exists("sleeper"));
  kill(signalled, SIGTERM);
  EXPECT_EQ(status(signalled), 1);
  EXPECT_TRUE(
      ReadBytes("program.out").ends_with("tesmar: interrupted (SIGTERM); the run was stopped and its logs written\n"))
      << ReadBytes("program.out");
  EXPECT_TRUE(EndsSoon(std::stol(ReadBytes("sleeper"))));
  EXPECT_TRUE(CrLfLines(ReadBytes("P/Alpha/Summary.log")).back().starts_with("Final result is 0 OK, 1 ERR."));

  std::filesystem::remove(Path("sleeper"));
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_EQ(status(start({"--tool-timeout", "1", "Alpha"})), 1) << ReadBytes("program.out");
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(20));
  EXPECT_TRUE(EndsSoon(std::stol(ReadBytes("sleeper"))));
  EXPECT_NE(ReadBytes("P/Alpha/Summary.log").find("was ended: it ran longer than 1 second"), std::string::npos);

  EXPECT_EQ(status(start({"--tool-timeout=0", "Alpha"})), 2);
  EXPECT_TRUE(ReadBytes("program.out")
                  .ends_with("tesmar: --tool-timeout needs a number of seconds greater than 0, not 0\n"
                             "Usage: tesmar [--tool-timeout SECONDS] [PROJECT]\n"))
      << ReadBytes("program.out");
}
#endif

}  // namespace
