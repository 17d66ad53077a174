#include "dialogs/fFileSelectDlg.h"

#include <QRadioButton>
#include <filesystem>

#include "support/Scenario.h"

namespace {

// The current file Default.config and a new file App.config, both in proj/.
class FileSelectTest : public TScenarioTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    WriteFiles();
  }
  void WriteFiles() {
    std::filesystem::remove_all(Path("proj"));
    WriteBytes("proj/Default.config", CrLf({"-$A+", "-$B-"}));
    WriteBytes("proj/App.config", "-$W+\n-$O-");  // written elsewhere, LF only
    std::error_code linked;
    std::filesystem::create_symlink("Default.config", Path("proj/Link.config"), linked);
#ifdef _WIN32
    // Wine makes no symbolic links: the cases with one are left out there.
    Links = !linked;
#else
    ASSERT_FALSE(linked) << linked.message();
#endif
    std::filesystem::create_hard_link(Path("proj/Default.config"), Path("proj/Hard.config"));
  }
  // The exchange with the new file picked in the open dialog and the user's
  // part in the dialog played by play.
  bool Exchange(const std::string& picked, std::function<void(Tf_FileSelectDlg&)> play) {
    Dialogs.Files.push_back({ToQ(Path(picked))});
    Dialogs.Play<Tf_FileSelectDlg>(std::move(play));
    Result.clear();
    return ExecuteFileSelectDlg(nullptr, Dialogs, Path("proj/Default.config"), "configuration",
                                "Config options files|*.config|cfg|*.cfg|any file|*.*", ".config",
                                "Select the configuration file", Result);
  }
  std::string Result;
  bool Links = true;
};

}  // namespace

// Each choice, with a new file that exists, one that does not (which can only
// receive the current text) and the current file itself, by its own name, a
// link or another spelling (nothing is deleted, nothing copied).
TEST_F(FileSelectTest, EachChoiceChangesTheFilesAsItSays) {
  struct TCase {
    const char* Picked;
    const char* Choice;
    const char* Uses;
    const char* DefaultAfter;  // "" for deleted
    const char* PickedAfter;
  };
  const TCase cases[] = {
      {"proj/App.config", "RB_repoint", "proj/App.config", "current", "as written"},
      {"proj/App.config", "RB_repointdelete", "proj/App.config", "", "as written"},
      {"proj/App.config", "RB_ReplaceMove", "proj/App.config", "", "current"},
      {"proj/App.config", "RB_ReplaceCopy", "proj/App.config", "current", "current"},
      {"proj/App.config", "RB_Move", "proj/Default.config", "new", ""},
      {"proj/App.config", "RB_copy", "proj/Default.config", "new", "as written"},
      {"proj/Fresh.config", "RB_ReplaceMove", "proj/Fresh.config", "", "current"},
      {"proj/Default.config", "RB_repointdelete", "proj/Default.config", "current", "current"},
      {"proj/Link.config", "RB_ReplaceMove", "proj/Link.config", "current", "current"},
      {"proj/Link.config", "RB_repointdelete", "proj/Link.config", "current", "current"},
      {"proj/Hard.config", "RB_ReplaceMove", "proj/Hard.config", "current", "current"},
      {"proj/Hard.config", "RB_Move", "proj/Default.config", "current", "current"},
      {"proj/../proj/Default.config", "RB_repointdelete", "proj/../proj/Default.config", "current", "current"},
  };
  const std::string current = CrLf({"-$A+", "-$B-"});
  auto expected = [&](const std::string& what) {
    return what == "current"      ? current
           : what == "new"        ? CrLf({"-$W+", "-$O-"})
           : what == "as written" ? "-$W+\n-$O-"
                                  : "";
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Picked) + " " + c.Choice);
    WriteFiles();
    if (!Links && std::string(c.Picked) == "proj/Link.config") continue;
    ASSERT_TRUE(Exchange(c.Picked, [&](Tf_FileSelectDlg& dialog) {
      // A new file that does not exist has no text to take.
      EXPECT_EQ(dialog.RB_Move->isEnabled(), Exists(c.Picked));
      EXPECT_EQ(dialog.RB_copy->isEnabled(), Exists(c.Picked));
      dialog.findChild<QRadioButton*>(c.Choice)->click();
      dialog.OKBtn->click();
    }));
    EXPECT_EQ(Result, Path(c.Uses));
    EXPECT_EQ(Exists("proj/Default.config") ? ReadBytes("proj/Default.config") : "", expected(c.DefaultAfter));
    EXPECT_EQ(Exists(c.Picked) ? ReadBytes(c.Picked) : "", expected(c.PickedAfter));
  }
}

// The configuration of a program: its current file Default.config, and a new
// file App.config beside it, written elsewhere (LF only).
const char* const Choosing = R"(
  program App ; write proj/Default.config "-$A+\r\n-$B-\r\n" ; write proj/App.config "-$W+\n-$O-"
  lines proj/Files.ini [options] HaltOnError=0 [FileList] @out/App.EXE=@src/App.dpr ; catalogue proj=@proj ; open)";

const TScenario Exchanges[] = {
    {"TheDialogShowsBothFilesAndPreviewsTheChoiceOnceANewFileIsPicked", R"(
      trigger A_getConfig ; answer file cancel ; expect asked !~ "window:"
      trigger A_getConfig ; answer file @proj/App.config ; answer window {
        expect window.windowTitle == "Select the configuration file" ; expect RB_repoint.checked == true
        expect Label1 == "Current configuration file = @proj/Default.config"
        expect Label2 == "New configuration file = @proj/App.config" ; expect m_newFile == "-$W+\n-$O-"
        expect RB_repoint == "Designate: Use newly selected file instead of current file, does not delete current file)."
        expect L_CurrentFile == "Nothing will happen to this file" ; expect L_newerFile.bold == true
        expect L_newerFile == "This will be the new configuration file" ; click RB_ReplaceMove
        expect L_CurrentFile == "This file will be deleted" ; expect L_CurrentFile.italic == true
        expect m_newFile == "-$A+\n-$B-" ; click RB_copy ; expect L_CurrentFile == "This will be the new configuration file"
        expect M_oldFile == "-$W+\n-$O-" ; expect L_newerFile == "Nothing will happen to this file" ; click CancelBtn }
      expect-file proj/Default.config == "-$A+\r\n-$B-\r\n" ; expect-file proj/App.config exists
      expect e_configuration.toolTip == @proj/Default.config)"},
    // A choice still open is previewed again for the file picked; one that
    // the file no longer allows gives way to Designate; a further look that
    // is cancelled keeps the file picked before.
    {"AnotherLookPreviewsTheChoiceAgainOrGivesWayToDesignate", R"(
      write proj/Other.config -$X+ ; trigger A_getConfig ; answer file @proj/App.config ; answer window {
        click RB_copy ; click b_again ; answer file @proj/Other.config ; expect RB_copy.checked == true
        expect L_CurrentFile == "This will be the new configuration file" ; expect M_oldFile == -$X+
        click RB_Move ; click b_again ; answer file @proj/Missing.config ; expect RB_Move disabled
        expect RB_repoint.checked == true ; click b_again ; answer file cancel ; click OKBtn }
      expect e_configuration.toolTip == @proj/Missing.config ; expect-file proj/App.config exists
      expect-file proj/Missing.config missing)"},
    {"AFailedWriteEndsWithoutAResult", R"(
      chmod proj/Default.config 444 ; trigger A_getConfig ; answer file @proj/App.config ; answer window RB_copy OKBtn
      expect asked ~ "message: " ; expect-file proj/Default.config == "-$A+\r\n-$B-\r\n"
      expect e_configuration.toolTip == @proj/Default.config)"},
// What was copied stays.
#ifndef _WIN32
    // Wine deletes a read-only file as its Unix side does: not run there.
    {"AFileThatCannotBeDeletedIsReportedAndLeft", R"(
      chmod proj/App.config 444 ; trigger A_getConfig ; answer file @proj/App.config ; answer window RB_Move OKBtn
      expect asked ~ "message: @proj/App.config could not be deleted: Permission denied"
      expect-file proj/Default.config == "-$W+\r\n-$O-\r\n" ; expect-file proj/App.config exists
      expect e_configuration.toolTip == @proj/Default.config)"},
#endif
};
TESMAR_SCENARIOS(Relocation, Choosing, Exchanges);
