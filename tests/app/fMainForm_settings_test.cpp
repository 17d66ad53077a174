#include <QRegularExpression>

#include "dialogs/fExtractLibPath.h"
#include "dialogs/fFileSelectDlg.h"
#include "support/GuiTest.h"

namespace {

// A program with a resource script of the same name beside it, an
// independent resource script and a package; the three first share a library
// path file.
class SettingsPanelTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    WriteProgram("App");
    WriteBytes("src/App.rc", CrLf({"MAINICON ICON \"app.ico\""}));
    WriteBytes("src/Lone.rc", CrLf({"MAINICON ICON \"app.ico\""}));
    WriteBytes("src/Pack.dpk", CrLf({"package Pack;", "end."}));
    WriteBytes("proj/Default.config", CrLf({"-$A+", "-$B-"}));
    WriteBytes("proj/Shared.path", CrLf({"/lib/one"}));
    const std::string shared = "LibraryPath=" + Path("proj/Shared.path");
    OpenProject({"HaltOnError=0"},
                {Entry("App.EXE", "App.dpr"), Path("src/App.RES") + "=" + Path("src/App.rc"),
                 Path("src/Lone.RES") + "=" + Path("src/Lone.rc"), Entry("Pack.BPL", "Pack.dpk")},
                {"[" + Path("src/App.dpr") + "]", shared, "[" + Path("src/App.rc") + "]", shared,
                 "[" + Path("src/Lone.rc") + "]", shared})
        .show();
    QApplication::setActiveWindow(Form.get());
  }
  void Select(int row) {
    Form->LB_Files->setCurrentRow(row);
    Form->LB_FilesClick();
  }
  // Enters a row as the user does, through its label.
  void Enter(const char* label) {
    Form->findChild<QWidget*>("e_SourceFile")->setFocus();  // somewhere else first
    QTest::mouseClick(Find<QLabel>(label), Qt::LeftButton);
  }
  QString Heading() { return Form->L_Results->text(); }
  QString Memo() { return Form->Memo1->toPlainText(); }
  TActionButton* Button(const char* name) { return Find<TActionButton>(name); }
};

}  // namespace

TEST_F(SettingsPanelTest, EachRowShowsItsSettingWithItsHeadingAndButtons) {
  struct TCase {
    const char* Label;
    const char* Title;
    const char* File;  // "" for no four-line heading
    const char* Save;  // caption of the save button, "" when hidden
    const char* Side;  // caption of b_ideLibPath, "" when hidden
  };
  const TCase cases[] = {
      {"Label5", "Configuration settings for ", "proj/Default.config", "Save Config", "DCC help"},
      {"Label7", "Library Path for ", "proj/Shared.path", "Save Path", "Extract IDE path"},
      {"Label13", "Global Version Information for", "proj/Default.ver", "Save Global VerInfo", "Edit Version"},
      {"Label8", "Local Version Information for", "src/App.ver", "Save Local Ver Info", "Edit Version"},
      {"Label9", "Resource mask for ", "proj/Default.mask", "Save RC Mask", ""},
      {"Label11", "Pre processing .bat file for ", "proj/Default.before", "Save PreProcess", ""},
      {"Label12", "Post processing .bat file for ", "proj/Default.after", "Save Post Process", ""},
  };
  Select(0);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Label);
    Enter(c.Label);
    const QStringList heading = Heading().split('\n');
    ASSERT_EQ(heading.size(), 4) << Heading().toStdString();
    EXPECT_EQ(heading[0], c.Title);
    EXPECT_TRUE(heading[1].endsWith("/src/App.dpr")) << heading[1].toStdString();  // shortened to fit
    EXPECT_EQ(heading[2], Memo().isEmpty() ? "is currently set to empty file" : "is in");
    EXPECT_TRUE(heading[3].endsWith(QString(c.File).section('/', -1))) << heading[3].toStdString();
    EXPECT_EQ(Form->ViewMode, vmEditing);
    EXPECT_FALSE(Form->Memo1->isReadOnly());
    EXPECT_TRUE(Button("b_save")->isVisible());
    EXPECT_EQ(Button("b_save")->text(), c.Save);
    EXPECT_EQ(Button("b_ideLibPath")->isVisible(), *c.Side != 0);
    if (*c.Side) {
      EXPECT_EQ(Button("b_ideLibPath")->text(), c.Side);
    }
    EXPECT_EQ(Button("b_cancelEditwindow")->text(), "&Cancel");
  }
  Enter("Label5");
  EXPECT_EQ(Memo(), "-$A+\n-$B-");
  // Entering a row puts the focus on its button, and its text is red while it is there.
  EXPECT_TRUE(Find<QToolButton>("b_configuration")->hasFocus());
  EXPECT_EQ(Form->e_configuration->palette().color(QPalette::Text), QColor(Qt::red));
  Find<QToolButton>("b_LibraryPath")->setFocus();
  EXPECT_NE(Form->e_configuration->palette().color(QPalette::Text), QColor(Qt::red));
}

// The rows whose heading names no setting file, and the DPK row, greyed for a
// program and live for a package.
TEST_F(SettingsPanelTest, TheSourceTargetIndependentResourceAndDpkRows) {
  Select(0);
  EXPECT_TRUE(Form->e_DPKSupport->text().isEmpty());
  EXPECT_FALSE(Find<QLabel>("Label10")->isEnabled());
  EXPECT_FALSE(Find<QAction>("A_getDPKSupportFile")->isEnabled());
  Enter("Label5");
  const QString before = Heading();
  QTest::mouseClick(Find<QLabel>("Label10"), Qt::LeftButton);
  EXPECT_EQ(Heading(), before);

  struct TCase {
    int Row;
    const char* Label;
    const char* Heading;  // a pattern
    const char* Memo;     // a pattern
    const char* Save;     // caption of the save button, "" when hidden
  };
  const TCase cases[] = {
      {0, "Label3", "^Source of \n/[^\n]*/src/App\\.dpr$", "^program App;", ""},
      // Lone.rc, alone with its base name (its row empties the memo that
      // its configuration filled), and App.rc beside App.dpr
      {2, "Label5", "^Configuration settings for \n", "\\S", "Save Config"},
      {2, "Label8", "^Independent resource file, no version info\\.$", "^$", ""},
      {0, "Label4", "^Target file \n/[^\n]*/src/App\\.dpr\nis currently set to empty file$", "", ""},
      {1, "Label8", "^Local Version Information for\n", "", "Save Local Ver Info"},
      {3, "Label10", "^DPK configuration for \n", "", "Save DPK Support"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Label) + " of row " + std::to_string(c.Row));
    Select(c.Row);
    Enter(c.Label);
    EXPECT_TRUE(QRegularExpression(c.Heading).match(Heading()).hasMatch()) << Heading().toStdString();
    EXPECT_TRUE(QRegularExpression(c.Memo).match(Memo()).hasMatch()) << Memo().toStdString();
    EXPECT_EQ(Button("b_save")->isVisible() ? Button("b_save")->text() : "", c.Save);
  }
  EXPECT_TRUE(Find<QLabel>("Label10")->isEnabled());
  EXPECT_TRUE(Form->e_DPKSupport->text().endsWith("Default.DPKConfig"));
}

// A saved setting is written at once, for every entry that uses its file; an
// emptied one removes its file and keeps a backup.
TEST_F(SettingsPanelTest, ASavedSettingIsWrittenForEveryEntryThatUsesItInItsOwnEncoding) {
  Select(0);
  Enter("Label7");
  Form->Memo1->setPlainText("/lib/one\n/lib/two");
  Button("b_save")->click();
  EXPECT_EQ(Heading(), "LibraryPath saved.");
  EXPECT_EQ(Form->ViewMode, vmViewing);
  EXPECT_TRUE(Memo().isEmpty());
  EXPECT_FALSE(Form->Modified);
  EXPECT_EQ(ReadBytes("proj/Shared.path"), CrLf({"/lib/one", "/lib/two"}));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Form->BuildRun->FileList().SettingsAt(i)->GetSettingContent(stLibraryPath),
              CrLf({"/lib/one", "/lib/two"}));
  EXPECT_EQ(Form->BuildRun->FileList().SettingsAt(3)->GetSettingPath(stLibraryPath), Path("proj/Default.path"));

  Enter("Label5");
  Form->Memo1->clear();
  Button("b_save")->click();
  EXPECT_EQ(Heading(), "ConfigFile saved.");
  EXPECT_FALSE(Exists("proj/Default.config"));
  EXPECT_EQ(ReadBytes("proj/Default.~config"), CrLf({"-$A+", "-$B-"}));
  Enter("Label5");
  EXPECT_EQ(Heading().split('\n')[2], "is currently set to empty file");

  // A setting file in Windows-1252 keeps its bytes when edited, but for the edit.
  WriteBytes("proj/Default.mask",
             "// Gr\xFC\xDF"
             "e \x80 5\r\nMAINICON ICON\r\n");
  Form->BuildRun->FileList().SettingsAt(0)->ReloadSetting(stRCMask);
  Enter("Label9");
  EXPECT_EQ(Memo(), QString::fromUtf8("// Grüße € 5\nMAINICON ICON"));
  Form->Memo1->appendPlainText("// added");
  Button("b_save")->click();
  EXPECT_EQ(ReadBytes("proj/Default.mask"),
            "// Gr\xFC\xDF"
            "e \x80 5\r\nMAINICON ICON\r\n// added\r\n");

  // NUL bytes would not survive: shown, not saved.
  WriteBytes("proj/Default.before", std::string("run\0this\r\n", 10));
  Form->BuildRun->FileList().SettingsAt(0)->ReloadSetting(stPreProcessing);
  Enter("Label11");
  EXPECT_TRUE(Form->Memo1->isReadOnly());
  EXPECT_FALSE(Button("b_save")->isVisible());
  EXPECT_TRUE(Heading().endsWith("The file holds NUL bytes: it is shown, not edited here."));
}

TEST_F(SettingsPanelTest, ChoosingAnotherFileAndATarget) {
  WriteBytes("proj/App.config", CrLf({"-$O-"}));
  Select(0);
  Dialogs.Files = {{ToQ(Path("proj/App.config"))}};
  // Designate, the choice offered first.
  Dialogs.Play<Tf_FileSelectDlg>([](Tf_FileSelectDlg& dialog) { dialog.OKBtn->click(); });
  Find<QAction>("A_getConfig")->trigger();
  EXPECT_EQ(Dialogs.OpenRequests[0].Title, "Select the configuration file");
  EXPECT_EQ(Form->BuildRun->FileList().SettingsAt(0)->GetSettingPath(stConfigFile), Path("proj/App.config"));
  EXPECT_EQ(Form->BuildRun->FileList().SettingsAt(0)->GetSettingContent(stConfigFile), CrLf({"-$O-"}));
  EXPECT_TRUE(Form->e_configuration->toolTip().endsWith("App.config"));
  EXPECT_TRUE(Form->Modified);
  EXPECT_EQ(Memo(), "-$O-");  // the row shows its new file

  Dialogs.Files = {{ToQ(Path("bin/App.EXE"))}};
  Find<QAction>("A_getTarget")->trigger();
  EXPECT_EQ(Dialogs.OpenRequests[1].Title.toStdString(), "Select target for " + Path("src/App.dpr"));
  EXPECT_EQ(Dialogs.OpenRequests[1].Filter, "Executable |*.EXE");
  EXPECT_EQ(Form->LB_Files->item(0)->text().toStdString(), Path("bin/App.EXE") + "=" + Path("src/App.dpr"));
  EXPECT_EQ(Form->BuildRun->FileList().DestOf(0), Path("bin/App.EXE"));
}

// The IDE's library path replaces the edited path, after the version
// question; a version other than 4 or 5 is refused with its message.
TEST_F(SettingsPanelTest, ExtractingTheIdePathAsksForTheDelphiVersion) {
  Select(0);
  Enter("Label7");
  ASSERT_EQ(Button("b_ideLibPath")->text(), "Extract IDE path");
  for (const char* version : {"6", "5"}) {
    Dialogs.Play<Tf_ExtractLibPath>([version](Tf_ExtractLibPath& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "Extract Delphi Library Path");
      EXPECT_EQ(dialog.E_Version->text(), "5");
      dialog.E_Version->setText(version);
      dialog.OKBtn->click();
    });
  }
  Button("b_ideLibPath")->click();
  EXPECT_EQ(Dialogs.Texts("message"),
            QStringList{"Only 4 and 5 supported at this time for automated library path extraction"});
  EXPECT_EQ(Memo(), "/lib/one");
  // No Delphi 5 in this Wine prefix: an empty path replaces the text.
  Button("b_ideLibPath")->click();
  EXPECT_TRUE(Memo().isEmpty());
  EXPECT_EQ(Form->ViewMode, vmEditing);
}
