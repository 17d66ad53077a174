#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "dialogs/fAbout.h"
#include "dialogs/fDccOptions.h"
#include "dialogs/fOptions.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"
#include "support/GuiTest.h"
#include "version/ProgramVersion.h"

namespace {

class DialogsTest : public TGuiTest {
 protected:
  // A project of one program with these [options] lines.
  TF_MainForm& OpenProject(const std::vector<std::string>& options) {
    WriteProgram();
    WriteFilesIni(options, {Entry("App.EXE", "App.dpr")});
    WriteCatalogue({"proj=" + Project});
    TF_MainForm& form = OpenWindow();
    form.DccOptionsFile = Path("options.txt");
    return form;
  }
  // Runs the "Options" command; play acts the user and gives the result.
  void RunOptions(std::function<int(Tf_options&)> play) {
    Dialogs.Windows.push_back([play](QDialog& dialog) { return play(dynamic_cast<Tf_options&>(dialog)); });
    Find<QAction>("A_projectOptions")->trigger();
  }
  std::vector<Tf_dccoptions*> DccWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::vector<Tf_dccoptions*> windows;
    for (Tf_dccoptions* window : Form->findChildren<Tf_dccoptions*>()) windows.push_back(window);
    return windows;
  }
};

const std::vector<std::string> SomeOptions = {
    "AutoFileIncrement=1",    "AutoProdIncrement=0", "CheckVersion=0",     "MinimizeOnBuild=1",
    "HaltOnError=1",          "AutoResFileCreate=0", "DisplayMsgOnDone=1", "ReplaceReadOnlyCFGRESVER=1",
    "DCCPath=/opt/delphi/bin"};

}  // namespace

TEST_F(DialogsTest, TheOptionsDialogShowsTheFlagsAndPathOfTheProject) {
  TF_MainForm& form = OpenProject(SomeOptions);
  // The commands are there to be used wherever they are shown.
  for (const char* name : {"A_projectOptions", "A_editVersion", "A_DisplayDCCOptions"}) {
    Find<QAction>(name)->setVisible(true);
    EXPECT_TRUE(Find<QAction>(name)->isEnabled()) << name;
  }
  form.BuildRun->SetOption(poReplaceReadOnly, true);  // never stored: set in memory
  RunOptions([](Tf_options& dialog) {
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Project options");
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());  // fixed size
    struct TBox {
      QCheckBox* Box;
      const char* Name;
      const char* Caption;
      bool Checked;
    };
    const TBox boxes[] = {
        {dialog.cb_autoFileIncrement, "cb_autoFileIncrement", "Auto Increment &File Version each time.", true},
        {dialog.cb_AutoProductIncrement, "cb_AutoProductIncrement", "Auto Increment &Product Version each time.",
         false},
        {dialog.cb_minimize, "cb_minimize", "&Minimize on build.", true},
        {dialog.cb_CheckVersion, "cb_CheckVersion", "Check &version info after build.", false},
        {dialog.cb_HaltOnError, "cb_HaltOnError", "&Halt on compile error", true},
        {dialog.cb_AutoResFileCreate, "cb_AutoResFileCreate", "&Auto create .res files", false},
        {dialog.cb_ReplaceReadOnly, "cb_ReplaceReadOnly", "&Replace RO .res related files", true},
        {dialog.cb_IgnoreResFileErrors, "cb_IgnoreResFileErrors", "&Ignore errors saving res related files", true}};
    std::vector<QCheckBox*> order;
    for (const TBox& b : boxes) {
      EXPECT_EQ(b.Box->objectName(), b.Name);
      EXPECT_EQ(b.Box->text(), b.Caption) << b.Name;
      EXPECT_EQ(b.Box->isChecked(), b.Checked) << b.Name;
      order.push_back(b.Box);
    }
    // Top to bottom as documented, and Tab walks them in that order.
    for (std::size_t i = 1; i < order.size(); ++i) {
      EXPECT_LT(order[i - 1]->y(), order[i]->y()) << order[i]->objectName().toStdString();
      EXPECT_EQ(order[i - 1]->nextInFocusChain(), order[i]) << order[i]->objectName().toStdString();
    }
    EXPECT_EQ(dialog.e_compilerpath->text(), "/opt/delphi/bin");
    EXPECT_TRUE(dialog.BitBtn1->text().isEmpty());
    EXPECT_FALSE(dialog.BitBtn1->icon().isNull());
    EXPECT_EQ(dialog.b_OK->text(), "&OK");
    EXPECT_EQ(dialog.b_cancel->text(), "&Cancel");
    dialog.cb_minimize->setChecked(false);
    dialog.e_compilerpath->setText("/elsewhere");
    return static_cast<int>(QDialog::Rejected);  // cancel changes nothing
  });
  EXPECT_FALSE(form.Modified);
  EXPECT_TRUE(form.BuildRun->GetOption(poMinimizeOnBuild));
  EXPECT_EQ(form.BuildRun->DCCPath, "/opt/delphi/bin");
}

// OK marks the project modified when a flag or the path (compared exactly)
// differs; the mark is otherwise left as it was. The values are taken either
// way.
TEST_F(DialogsTest, OkMarksTheProjectModifiedOnlyForARealChange) {
  struct TCase {
    const char* Name;
    bool ModifiedBefore;
    std::function<void(Tf_options&)> Play;
    bool ModifiedAfter;
    std::string Path;
    bool Minimize;
  };
  const std::string chosen = Path("chosen");
  const TCase cases[] = {
      {"nothing changed", false, [](Tf_options&) {}, false, "/opt/delphi/bin", true},
      {"nothing changed, already modified", true, [](Tf_options&) {}, true, "/opt/delphi/bin", true},
      {"path retyped the same", false,
       [](Tf_options& d) {
         d.e_compilerpath->selectAll();
         QTest::keyClicks(d.e_compilerpath, "/opt/delphi/bin");
       },
       false, "/opt/delphi/bin", true},
      {"path with a trailing blank", false, [](Tf_options& d) { QTest::keyClicks(d.e_compilerpath, " "); }, true,
       "/opt/delphi/bin ", true},
      {"flag toggled", false,
       [](Tf_options& d) {
         d.cb_minimize->setFocus();
         QTest::keyClick(d.cb_minimize, Qt::Key_Space);
       },
       true, "/opt/delphi/bin", false},
      {"flag toggled twice", false,
       [](Tf_options& d) {
         d.cb_minimize->toggle();
         d.cb_minimize->toggle();
       },
       false, "/opt/delphi/bin", true},
      {"directory chosen", false, [](Tf_options& d) { QTest::mouseClick(d.BitBtn1, Qt::LeftButton); }, true, chosen,
       true},
      {"directory choice cancelled", false, [](Tf_options& d) { QTest::mouseClick(d.BitBtn1, Qt::LeftButton); }, true,
       "", true},
  };
  OpenProject(SomeOptions);
  Dialogs.Directories = {QString::fromStdString(chosen), std::nullopt};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Form->cb_ProjectListChange();  // the options as stored
    Form->SetModified(c.ModifiedBefore);
    RunOptions([&c](Tf_options& dialog) {
      dialog.show();
      c.Play(dialog);
      QTest::mouseClick(dialog.b_OK, Qt::LeftButton);
      return dialog.result();
    });
    EXPECT_EQ(Form->Modified, c.ModifiedAfter);
    EXPECT_EQ(Find<QAction>("A_saveProjectSettings")->isEnabled(), c.ModifiedAfter);
    EXPECT_EQ(Form->BuildRun->DCCPath, c.Path);
    EXPECT_EQ(Form->BuildRun->GetOption(poMinimizeOnBuild), c.Minimize);
    EXPECT_TRUE(Form->BuildRun->GetOption(poHaltOnError));
  }
  // The directory dialog: its caption, the current directory, creation
  // allowed, performed and confirmed, no help.
  EXPECT_EQ(Dialogs.Texts("directory"), (QStringList{"Select Target Directory", "Select Target Directory"}));
  EXPECT_EQ(Dialogs.DirectoryStarts, (QStringList{ToQ(Project), ToQ(Project)}));
  EXPECT_EQ(Dialogs.DirectoryOptions, (std::vector<int>{7, 7}));
}

TEST_F(DialogsTest, TheReadOnlyReplacementFlagIsKeptInMemoryOnly) {
  TF_MainForm& form = OpenProject({"ReplaceReadOnlyCFGRESVER=0"});
  RunOptions([](Tf_options& dialog) {
    dialog.cb_ReplaceReadOnly->setChecked(true);
    dialog.cb_IgnoreResFileErrors->setChecked(true);
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_TRUE(form.Modified);
  EXPECT_TRUE(form.BuildRun->GetOption(poReplaceReadOnly));
  Find<QAction>("A_saveProjectSettings")->trigger();
  EXPECT_FALSE(form.Modified);
  const std::string ini = ReadBytes("proj/Files.ini");
  EXPECT_NE(ini.find("ReplaceReadOnlyCFGRESVER=1\r\n"), std::string::npos) << ini;  // the error flag
  EXPECT_EQ(ini.find("ReplaceReadOnly="), std::string::npos) << ini;
  form.cb_ProjectListChange();
  EXPECT_FALSE(form.BuildRun->GetOption(poReplaceReadOnly));
  EXPECT_TRUE(form.BuildRun->GetOption(poIgnoreResFileErrors));
}

// Each use opens one more window, not modal, with the list the compiler
// printed; the window's save and cancel commands close them all.
TEST_F(DialogsTest, DccHelpOpensAWindowForEachUse) {
  TF_MainForm& form = OpenProject({});
  form.show();
  Find<QAction>("A_DisplayDCCOptions")->trigger();
  Find<QAction>("A_DisplayDCCOptions")->trigger();
  EXPECT_TRUE(Dialogs.Asked.empty());
  const std::vector<Tf_dccoptions*> windows = DccWindows();
  ASSERT_EQ(windows.size(), 2u);
  const QString list = windows[0]->Memo1->toPlainText();
  EXPECT_TRUE(list.split('\n').contains("Syntax: dcc32 [options] filename [options]")) << list.toStdString();
  EXPECT_EQ(platform::ReadTextLines(Path("options.txt")).size(), static_cast<std::size_t>(list.split('\n').size()));
  for (Tf_dccoptions* window : windows) {
    EXPECT_EQ(window->Memo1->toPlainText(), list);
    EXPECT_EQ(window->windowTitle(), "Current DCC options help dump");
    EXPECT_EQ(window->size(), QSize(580, 439));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_FALSE(window->isModal());
    EXPECT_TRUE(window->Memo1->isReadOnly());
    EXPECT_TRUE(QFontInfo(window->Memo1->font()).fixedPitch());
  }
  EXPECT_TRUE(form.isEnabled());

  // The user closes one; the other stays until the window closes it.
  windows[0]->close();
  EXPECT_EQ(DccWindows(), std::vector<Tf_dccoptions*>{windows[1]});
  form.CloseDccOptionsWindows();
  EXPECT_TRUE(DccWindows().empty());
}

// "DCC32.exe /?" gets the program's INI file as its input; what it prints
// that is not UTF-8 is the console's code page 437.
TEST_F(DialogsTest, DccHelpFeedsTheIniFileAndReadsCodePage437) {
  WriteBytes("fake/DCC32.exe", "#!/bin/sh\necho \"asked: $*\"\ncat\nprintf 'box \\311\\315\\273 \\201\\r\\n'\n");
  chmod(Path("fake/DCC32.exe").c_str(), 0755);
  setenv("PATH", (Path("fake") + ":" + getenv("PATH")).c_str(), 1);
  // The list goes where the program keeps its files, made when missing.
  OpenProject({}).DccOptionsFile = Path("config/tesmar/options.txt");
  Find<QAction>("A_DisplayDCCOptions")->trigger();
  EXPECT_TRUE(Exists("config/tesmar/options.txt"));
  const std::vector<Tf_dccoptions*> windows = DccWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0]->Memo1->toPlainText(),
            QString::fromUtf8("asked: /?\n[Projects]\nproj=") + ToQ(Project) + QString::fromUtf8("\nbox ╔═╗ ü"));
}

TEST_F(DialogsTest, DccHelpReportsACompilerThatCannotBeStarted) {
  OpenProject({});
  setenv("PATH", Path("nowhere").c_str(), 1);
  Find<QAction>("A_DisplayDCCOptions")->trigger();
  EXPECT_EQ(Dialogs.Texts("message"),
            QStringList{"Failed to get DCC options: DOS redirected  failed: WINAPI Error Code = 2"});
  EXPECT_TRUE(DccWindows().empty());
}

TEST_F(DialogsTest, TheAboutBoxShowsTheProgramsTenVersionStrings) {
  TF_MainForm& form = OpenProject({});
  form.SetViewMode(vmFilesAvailable);
  QStringList lines;
  Dialogs.Windows.push_back([&lines](QDialog& dialog) {
    auto& box = dynamic_cast<Tf_about&>(dialog);
    EXPECT_EQ(box.windowTitle(), "About Delphi Tesmar");
    EXPECT_TRUE(box.Memo1->isReadOnly());
    lines = box.Memo1->toPlainText().split('\n');
    box.show();
    QApplication::processEvents();
    EXPECT_EQ(box.Memo1->verticalScrollBar()->maximum(), 0);  // every line in sight
    EXPECT_EQ(box.Memo1->horizontalScrollBar()->maximum(), 0);
    QTest::mouseClick(box.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    return box.result();
  });
  Find<QAction>("miAbout")->trigger();
  EXPECT_EQ(Dialogs.Texts("window"), QStringList{"f_about"});
  const char* const names[] = {"FileVersion",  "ProductVersion", "FileDescription", "CompanyName", "Comments",
                               "InternalName", "LegalCopyright", "LegalTrademarks", "ProductName", "OriginalFilename"};
  ASSERT_EQ(lines.size(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(lines[i].startsWith(QString(names[i]) + " = ")) << lines[i].toStdString();
  EXPECT_TRUE(lines[0].startsWith("FileVersion = " + ToQ(ProgramVersion()))) << lines[0].toStdString();
  EXPECT_EQ(lines[5], "InternalName = tesmar");
  EXPECT_EQ(form.ViewMode, vmViewing);
}
