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
#include "platform/TextFile.h"
#include "support/GuiTest.h"
#include "version/ProgramVersion.h"

namespace {

class DialogsTest : public TGuiTest {
 protected:
  // A project of one program with these [options] lines.
  TF_MainForm& OpenProject(const std::vector<std::string>& options) {
    WriteProgram();
    TF_MainForm& form = TGuiTest::OpenProject(options, {Entry("App.EXE", "App.dpr")});
    form.DccOptionsFile = Path("options.txt");
    return form;
  }
  // The option list windows still open.
  std::vector<Tf_dccoptions*> DccWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QList<Tf_dccoptions*> windows = Form->findChildren<Tf_dccoptions*>();
    return {windows.begin(), windows.end()};
  }
};

const std::vector<std::string> SomeOptions = {
    "AutoFileIncrement=1", "AutoProdIncrement=0", "CheckVersion=0",      "MinimizeOnBuild=1",         "HaltOnError=1",
    "AutoResFileCreate=0", "DisplayMsgOnDone=1",  "DCCPath=/opt/delphi", "ReplaceReadOnlyCFGRESVER=1"};

}  // namespace

TEST_F(DialogsTest, TheOptionsDialogShowsTheFlagsAndPathOfTheProject) {
  TF_MainForm& form = OpenProject(SomeOptions);
  form.BuildRun->SetOption(poReplaceReadOnly, true);  // never stored: set in memory
  Dialogs.Play<Tf_options>([](Tf_options& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Project options");
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());  // fixed size
    // Top to bottom as documented, and Tab walks them in that order.
    const std::vector<std::tuple<QCheckBox*, QString, bool>> boxes = {
        {dialog.cb_autoFileIncrement, "Auto Increment &File Version each time.", true},
        {dialog.cb_AutoProductIncrement, "Auto Increment &Product Version each time.", false},
        {dialog.cb_minimize, "&Minimize on build.", true},
        {dialog.cb_CheckVersion, "Check &version info after build.", false},
        {dialog.cb_HaltOnError, "&Halt on compile error", true},
        {dialog.cb_AutoResFileCreate, "&Auto create .res files", false},
        {dialog.cb_ReplaceReadOnly, "&Replace RO .res related files", true},
        {dialog.cb_IgnoreResFileErrors, "&Ignore errors saving res related files", true}};
    QWidget* previous = nullptr;
    for (const auto& [box, caption, checked] : boxes) {
      EXPECT_EQ(box->text(), caption);
      EXPECT_EQ(box->isChecked(), checked) << caption.toStdString();
      if (previous) {
        EXPECT_LT(previous->y(), box->y()) << caption.toStdString();
        EXPECT_EQ(previous->nextInFocusChain(), box) << caption.toStdString();
      }
      previous = box;
    }
    EXPECT_EQ(dialog.e_compilerpath->text(), "/opt/delphi");
    EXPECT_TRUE(dialog.BitBtn1->text().isEmpty() && !dialog.BitBtn1->icon().isNull());
    EXPECT_EQ(dialog.b_OK->text() + dialog.b_cancel->text(), "&OK&Cancel");
    dialog.cb_minimize->setChecked(false);
    dialog.e_compilerpath->setText("/elsewhere");
    QTest::mouseClick(dialog.b_cancel, Qt::LeftButton);  // changes nothing
  });
  Find<QAction>("A_projectOptions")->trigger();
  EXPECT_EQ(Dialogs.Texts("window"), QStringList{"f_options"});
  EXPECT_FALSE(form.Modified);
  EXPECT_TRUE(form.BuildRun->GetOption(poMinimizeOnBuild));
  EXPECT_EQ(form.BuildRun->DCCPath, "/opt/delphi");
}

// OK marks the project modified when a flag or the path (compared exactly)
// differs, and otherwise leaves the mark as it was; the values are taken
// either way.
TEST_F(DialogsTest, OkMarksTheProjectModifiedOnlyForARealChange) {
  const auto type = [](const char* text) {
    return [text](Tf_options& d) {
      d.e_compilerpath->selectAll();
      QTest::keyClicks(d.e_compilerpath, text);
    };
  };
  const auto toggle = [](int times) {
    return [times](Tf_options& d) {
      d.cb_minimize->setFocus();
      for (int i = 0; i < times; ++i) QTest::keyClick(d.cb_minimize, Qt::Key_Space);
    };
  };
  const auto choose = [](Tf_options& d) { QTest::mouseClick(d.BitBtn1, Qt::LeftButton); };
  const std::string chosen = Path("chosen");
  struct TCase {
    const char* Name;
    bool ModifiedBefore;
    std::function<void(Tf_options&)> Act;
    bool ModifiedAfter;
    std::string Path;
    bool Minimize;
  };
  const TCase cases[] = {
      {"nothing changed", false, toggle(0), false, "/opt/delphi", true},
      {"nothing changed, modified before", true, toggle(0), true, "/opt/delphi", true},
      {"the same path typed", false, type("/opt/delphi"), false, "/opt/delphi", true},
      {"a trailing blank", false, type("/opt/delphi "), true, "/opt/delphi ", true},
      {"a flag toggled", false, toggle(1), true, "/opt/delphi", false},
      {"a flag toggled back", false, toggle(2), false, "/opt/delphi", true},
      {"a directory chosen", false, choose, true, chosen, true},
      {"the directory choice cancelled", false, choose, true, "", true},
  };
  OpenProject(SomeOptions);
  Dialogs.Directories = {ToQ(chosen), std::nullopt};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Form->cb_ProjectListChange();  // the options as stored
    Form->SetModified(c.ModifiedBefore);
    Dialogs.Play<Tf_options>([&c](Tf_options& dialog) {
      c.Act(dialog);
      QTest::mouseClick(dialog.b_OK, Qt::LeftButton);
    });
    Find<QAction>("A_projectOptions")->trigger();
    EXPECT_EQ(Form->Modified, c.ModifiedAfter);
    EXPECT_EQ(Find<QAction>("A_saveProjectSettings")->isEnabled(), c.ModifiedAfter);
    EXPECT_EQ(Form->BuildRun->DCCPath, c.Path);
    EXPECT_EQ(Form->BuildRun->GetOption(poMinimizeOnBuild), c.Minimize);
    EXPECT_TRUE(Form->BuildRun->GetOption(poHaltOnError));
  }
  // The directory dialog: its caption, the current directory, creation
  // allowed, performed and confirmed (7), no help.
  EXPECT_EQ(Dialogs.Texts("directory"), QStringList(2, "Select Target Directory"));
  EXPECT_EQ(Dialogs.DirectoryStarts, QStringList(2, ToQ(Project)));
  EXPECT_EQ(Dialogs.DirectoryOptions, std::vector<int>(2, 7));
}

TEST_F(DialogsTest, TheReadOnlyReplacementFlagIsKeptInMemoryOnly) {
  TF_MainForm& form = OpenProject({"ReplaceReadOnlyCFGRESVER=0"});
  Dialogs.Play<Tf_options>([](Tf_options& dialog) {
    dialog.cb_ReplaceReadOnly->setChecked(true);
    dialog.cb_IgnoreResFileErrors->setChecked(true);
    QTest::mouseClick(dialog.b_OK, Qt::LeftButton);
  });
  Find<QAction>("A_projectOptions")->trigger();
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
// printed; the window closes them all when asked.
TEST_F(DialogsTest, DccHelpOpensAWindowForEachUse) {
  TF_MainForm& form = OpenProject({});
  form.show();
  QAction* help = Find<QAction>("A_DisplayDCCOptions");
  help->setVisible(true);
  EXPECT_TRUE(help->isEnabled());
  help->trigger();
  help->trigger();
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
    EXPECT_TRUE(window->isVisible() && window->isWindow() && !window->isModal());
    EXPECT_TRUE(window->Memo1->isReadOnly());
    EXPECT_TRUE(QFontInfo(window->Memo1->font()).fixedPitch());
  }
  // The user closes one; the other stays until the window closes it.
  windows[0]->close();
  EXPECT_EQ(DccWindows(), std::vector<Tf_dccoptions*>{windows[1]});
  form.CloseDccOptionsWindows();
  EXPECT_TRUE(DccWindows().empty());
}

// "DCC32.exe /?" gets the program's INI file as its input, and what it prints
// that is not UTF-8 is the console's code page 437. The list goes where the
// program keeps its files, a directory made when missing.
TEST_F(DialogsTest, DccHelpFeedsTheIniFileReadsCodePage437AndReportsAFailure) {
  WriteBytes("fake/DCC32.exe", "#!/bin/sh\necho \"asked: $*\"\ncat\nprintf 'box \\311\\315\\273 \\201\\r\\n'\n");
  chmod(Path("fake/DCC32.exe").c_str(), 0755);
  setenv("PATH", (Path("fake") + ":" + getenv("PATH")).c_str(), 1);
  OpenProject({}).DccOptionsFile = Path("config/tesmar/options.txt");
  Find<QAction>("A_DisplayDCCOptions")->trigger();
  EXPECT_TRUE(Exists("config/tesmar/options.txt"));
  const std::vector<Tf_dccoptions*> windows = DccWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0]->Memo1->toPlainText(),
            "asked: /?\n[Projects]\nproj=" + ToQ(Project) + QString::fromUtf8("\nbox ╔═╗ ü"));

  // A compiler that cannot be started is reported; no window opens.
  setenv("PATH", Path("nowhere").c_str(), 1);
  Find<QAction>("A_DisplayDCCOptions")->trigger();
  EXPECT_EQ(Dialogs.Texts("message"),
            QStringList{"Failed to get DCC options: DOS redirected  failed: WINAPI Error Code = 2"});
  EXPECT_EQ(DccWindows().size(), 1u);
}

TEST_F(DialogsTest, TheAboutBoxShowsTheProgramsTenVersionStrings) {
  TF_MainForm& form = OpenProject({});
  form.SetViewMode(vmFilesAvailable);
  QStringList lines;
  Dialogs.Play<Tf_about>([&lines](Tf_about& box) {
    EXPECT_EQ(box.windowTitle(), "About Delphi Tesmar");
    EXPECT_TRUE(box.Memo1->isReadOnly());
    lines = box.Memo1->toPlainText().split('\n');
    QApplication::processEvents();
    EXPECT_EQ(box.Memo1->verticalScrollBar()->maximum(), 0);  // every line in sight
    EXPECT_EQ(box.Memo1->horizontalScrollBar()->maximum(), 0);
    QTest::mouseClick(box.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
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
