#include "dialogs/fFileSelectDlg.h"

#include <sys/stat.h>

#include <QRadioButton>
#include <filesystem>

#include "support/GuiTest.h"

namespace {

// The current file Default.config and a new file App.config, both in proj/.
class FileSelectTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    WriteFiles();
  }
  void WriteFiles() {
    std::filesystem::remove_all(Path("proj"));
    WriteBytes("proj/Default.config", CrLf({"-$A+", "-$B-"}));
    WriteBytes("proj/App.config", "-$W+\n-$O-");  // written elsewhere, LF only
    std::filesystem::create_symlink("Default.config", Path("proj/Link.config"));
    std::filesystem::create_hard_link(Path("proj/Default.config"), Path("proj/Hard.config"));
  }
  // The exchange with the new file picked in the open dialog and the user's
  // part in the dialog played by play.
  bool Exchange(const std::string& picked, std::function<void(Tf_FileSelectDlg&)> play,
                const std::string& description = "configuration") {
    Dialogs.Files.push_back({ToQ(Path(picked))});
    Dialogs.Play<Tf_FileSelectDlg>(std::move(play));
    Result.clear();
    return ExecuteFileSelectDlg(nullptr, Dialogs, Path("proj/Default.config"), description,
                                "Config options files|*.config|cfg|*.cfg|any file|*.*", ".config",
                                "Select the configuration file", Result);
  }
  std::string Result;
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

TEST_F(FileSelectTest, TheDialogShowsBothFilesAndPreviewsTheChoiceOnceANewFileIsPicked) {
  Dialogs.Files.push_back({});
  std::string newFile;
  EXPECT_FALSE(ExecuteFileSelectDlg(nullptr, Dialogs, Path("proj/Default.config"), "configuration", "", ".config", "t",
                                    newFile));
  EXPECT_TRUE(Dialogs.Texts("window").isEmpty());

  ASSERT_FALSE(Exchange(
      "proj/App.config",
      [&](Tf_FileSelectDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Select the configuration file");
        EXPECT_TRUE(dialog.RB_repoint->isChecked());
        EXPECT_EQ(dialog.Label1->text().toStdString(), "Current library path file = " + Path("proj/Default.config"));
        EXPECT_EQ(dialog.Label2->text().toStdString(), "New library path file = " + Path("proj/App.config"));
        EXPECT_EQ(dialog.RB_repoint->text(),
                  "Designate: Use newly selected file instead of current file, does not delete current file).");
        EXPECT_EQ(dialog.L_CurrentFile->text(), "Nothing will happen to this file");
        EXPECT_EQ(dialog.L_newerFile->text(), "This will be the new library path file");
        EXPECT_TRUE(dialog.L_newerFile->font().bold());
        EXPECT_EQ(dialog.m_newFile->toPlainText(), "-$W+\n-$O-");
        dialog.RB_ReplaceMove->click();
        EXPECT_EQ(dialog.L_CurrentFile->text(), "This file will be deleted");
        EXPECT_TRUE(dialog.L_CurrentFile->font().italic());
        EXPECT_EQ(dialog.m_newFile->toPlainText(), "-$A+\n-$B-");
        dialog.RB_copy->click();
        EXPECT_EQ(dialog.L_CurrentFile->text(), "This will be the new library path file");
        EXPECT_EQ(dialog.M_oldFile->toPlainText(), "-$W+\n-$O-");
        EXPECT_EQ(dialog.L_newerFile->text(), "Nothing will happen to this file");
        dialog.CancelBtn->click();
      },
      "library path"));
  EXPECT_EQ(ReadBytes("proj/Default.config"), CrLf({"-$A+", "-$B-"}));
  EXPECT_TRUE(Exists("proj/App.config"));
}

TEST_F(FileSelectTest, AnotherLookPreviewsTheChoiceAgainOrGivesWayToDesignate) {
  WriteBytes("proj/Other.config", "-$X+");
  ASSERT_TRUE(Exchange("proj/App.config", [&](Tf_FileSelectDlg& dialog) {
    dialog.RB_copy->click();
    Dialogs.Files.push_back({ToQ(Path("proj/Other.config"))});
    dialog.b_again->click();
    EXPECT_TRUE(dialog.RB_copy->isChecked());
    EXPECT_EQ(dialog.L_CurrentFile->text(), "This will be the new configuration file");
    EXPECT_EQ(dialog.M_oldFile->toPlainText(), "-$X+");
    dialog.RB_Move->click();
    Dialogs.Files.push_back({ToQ(Path("proj/Missing.config"))});
    dialog.b_again->click();
    EXPECT_FALSE(dialog.RB_Move->isEnabled());
    EXPECT_TRUE(dialog.RB_repoint->isChecked());
    // Cancelling a further look keeps the file picked before.
    Dialogs.Files.push_back({});
    dialog.b_again->click();
    EXPECT_EQ(dialog.NewFile, Path("proj/Missing.config"));
    dialog.OKBtn->click();
  }));
  EXPECT_EQ(Result, Path("proj/Missing.config"));
  EXPECT_TRUE(Exists("proj/App.config"));
  EXPECT_FALSE(Exists("proj/Missing.config"));
}

TEST_F(FileSelectTest, AFailedWriteEndsWithoutAResult) {
  chmod(Path("proj/Default.config").c_str(), 0444);
  EXPECT_FALSE(Exchange("proj/App.config", [&](Tf_FileSelectDlg& dialog) {
    dialog.RB_copy->click();
    dialog.OKBtn->click();
  }));
  ASSERT_EQ(Dialogs.Texts("message").size(), 1);
  EXPECT_EQ(ReadBytes("proj/Default.config"), CrLf({"-$A+", "-$B-"}));
  EXPECT_TRUE(Exists("proj/App.config"));
}

// A file that cannot be deleted is reported and left; what was copied stays.
TEST_F(FileSelectTest, AFailedDeleteIsReported) {
  chmod(Path("proj/App.config").c_str(), 0444);
  EXPECT_TRUE(Exchange("proj/App.config", [&](Tf_FileSelectDlg& dialog) {
    dialog.RB_Move->click();
    dialog.OKBtn->click();
  }));
  EXPECT_EQ(Result, Path("proj/Default.config"));
  EXPECT_EQ(ReadBytes("proj/Default.config"), CrLf({"-$W+", "-$O-"}));
  EXPECT_TRUE(Exists("proj/App.config"));
  EXPECT_EQ(Dialogs.Texts("message"),
            QStringList{ToQ(Path("proj/App.config") + " could not be deleted: Permission denied")});
}
