#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QUrl>
#include <filesystem>

#include "dialogs/fAbout.h"
#include "dialogs/fDccOptions.h"
#include "dialogs/fOptions.h"
#include "support/Scenario.h"
#include "version/ProgramVersion.h"

namespace {

// The menu as the user sees it: titles, then the items ("-" a separator,
// "> title" a submenu whose items follow indented).
QStringList MenuText(const QMenu* menu, const QString& indent = "") {
  QStringList items;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator())
      items << indent + "-";
    else if (action->menu())
      items << indent + "> " + action->text() << MenuText(action->menu(), indent + "  ");
    else
      items << indent + action->text();
  }
  return items;
}

class MainFormTest : public TScenarioTest {
 protected:
  // Each "name=text" of a list separated by ';' names an object of the class
  // with that text.
  void ExpectTexts(const char* className, const QString& list) {
    for (const QString& item : list.split(';')) {
      const QString name = item.section('=', 0, 0);
      const QObject* object = Form->findChild<QObject*>(name);
      ASSERT_NE(object, nullptr) << name.toStdString();
      EXPECT_TRUE(object->inherits(className)) << name.toStdString();
      EXPECT_EQ(object->property("text").toString(), item.section('=', 1, -1)) << name.toStdString();
    }
  }
  // The option list windows still open.
  std::vector<Tf_dccoptions*> DccWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QList<Tf_dccoptions*> windows = Form->findChildren<Tf_dccoptions*>();
    return {windows.begin(), windows.end()};
  }
};

// A project of one program with its options.
const char* const WithOptions = R"(
  program App ; catalogue proj=@proj
  lines proj/Files.ini [options] AutoFileIncrement=1 AutoProdIncrement=0 CheckVersion=0 MinimizeOnBuild=1 \
    HaltOnError=1 AutoResFileCreate=0 DisplayMsgOnDone=1 DCCPath=/opt/delphi ReplaceReadOnlyCFGRESVER=1 \
    [FileList] @out/App.EXE=@src/App.dpr
  open)";

}  // namespace

// The flag to replace read-only files is set in memory only; the one to
// ignore errors saving them is stored as ReplaceReadOnlyCFGRESVER.
TEST_F(MainFormTest, TheOptionsDialogShowsTheFlagsAndPathAndStoresAllButTheReadOnlyFlag) {
  Play(WithOptions);
  Form->BuildRun->SetOption(poReplaceReadOnly, true);
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
  });
  Play(R"(trigger A_projectOptions ; expect asked == "window: f_options\n"
          trigger A_projectOptions ; answer window cb_minimize e_compilerpath=/elsewhere b_cancel
          expect A_saveProjectSettings disabled ; trigger A_projectOptions ; answer window cb_IgnoreResFileErrors b_OK
          click bb_save ; expect-file proj/Files.ini ~ "ReplaceReadOnlyCFGRESVER=0\r\n"
          expect-file proj/Files.ini ~ "MinimizeOnBuild=1\r\n" ; expect-file proj/Files.ini !~ ReplaceReadOnly=
          expect-file proj/Files.ini ~ "DCCPath=/opt/delphi\r\n" ; select cb_ProjectList 0)");
  EXPECT_FALSE(Form->BuildRun->GetOption(poReplaceReadOnly));
}

// OK marks the project modified when a flag or the path (compared exactly)
// differs, and otherwise leaves the mark as it was; the values are taken
// either way. The compiler's directory is chosen in the directory dialog
// (creation allowed, performed and confirmed: 7), which a cancel empties.
const TScenario OptionChanges[] = {
    {"OkWithoutAChangeLeavesTheMarkAsItWas", R"(
      trigger A_projectOptions ; answer window b_OK ; expect A_saveProjectSettings disabled ; trigger A_deleteFile
      trigger A_projectOptions ; answer window b_OK ; expect A_saveProjectSettings enabled)"},
    {"ThePathIsComparedExactly", R"(
      trigger A_projectOptions ; answer window e_compilerpath=/opt/delphi b_OK ; expect A_saveProjectSettings disabled
      trigger A_projectOptions ; answer window "e_compilerpath=/opt/delphi " b_OK ; click bb_save
      expect-file proj/Files.ini ~ "DCCPath=/opt/delphi \r\n")"},
    {"AFlagToggledIsAChangeAndToggledBackNone", R"(
      trigger A_projectOptions ; answer window cb_minimize cb_minimize b_OK ; expect A_saveProjectSettings disabled
      trigger A_projectOptions ; answer window cb_minimize b_OK ; click bb_save
      expect-file proj/Files.ini ~ "MinimizeOnBuild=0\r\n")"},
    {"TheCompilerDirectoryIsChosenOrEmptied", R"(
      trigger A_projectOptions ; answer window BitBtn1 b_OK ; answer dir @chosen ; click bb_save
      expect asked ~ "directory: Select Target Directory | @proj | 7" ; expect-file proj/Files.ini ~ "DCCPath=@chosen\r\n"
      trigger A_projectOptions ; answer window BitBtn1 b_OK ; answer dir cancel ; click bb_save
      expect-file proj/Files.ini ~ "DCCPath=\r\n")"},
};
TESMAR_SCENARIOS(Options, WithOptions, OptionChanges);

// "DCC32.exe /?" gets the program's INI file as its input, and what it prints
// that is not UTF-8 is the console's code page 437 (a copy of the test child
// prints it, through the system's console runner). The list goes where the
// program keeps its files, a directory made when missing. Each use opens one
// more window, not modal; the window closes them all when asked.
TEST_F(MainFormTest, DccHelpOpensAWindowForEachUseWithTheCompilersListOrReportsAFailure) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows finds the stand-in DCC32.exe beside the test program before the one put on the path";
#endif
  std::filesystem::create_directories(Path("fake"));
  std::filesystem::copy_file(ChildProgram(), Path("fake/DCC32.exe"));
  SetEnv("TESMAR_TEST_CHILD", "argv cat out \"box \xC9\xCD\xBB \x81\"");
  PrependToPath(Path("fake"));
  TF_MainForm& form = OpenProgram();
  form.DccOptionsFile = Path("config/tesmar/options.txt");
  form.show();
  QAction* help = Find<QAction>("A_DisplayDCCOptions");
  help->setVisible(true);
  EXPECT_TRUE(help->isEnabled());
  help->trigger();
  help->trigger();
  EXPECT_TRUE(Dialogs.Asked.empty());
  EXPECT_TRUE(Exists("config/tesmar/options.txt"));
  const std::vector<Tf_dccoptions*> windows = DccWindows();
  ASSERT_EQ(windows.size(), 2u);
  for (Tf_dccoptions* window : windows) {
    EXPECT_EQ(window->Memo1->toPlainText(),
              "[/?]\n[Projects]\nproj=" + ToQ(Project) + QString::fromUtf8("\nbox ╔═╗ ü"));
    EXPECT_EQ(window->windowTitle(), "Current DCC options help dump");
    EXPECT_EQ(window->size(), QSize(580, 439));
    EXPECT_TRUE(window->isVisible() && window->isWindow() && !window->isModal());
    EXPECT_TRUE(window->Memo1->isReadOnly());
    // The compiler's columns line up. Some monospaced families (Noto Sans
    // Mono) are not flagged fixed pitch, so the widths are what is compared.
    const QFontMetrics metrics(window->Memo1->font());
    EXPECT_EQ(metrics.horizontalAdvance("iiii.."), metrics.horizontalAdvance("WWWWMM"));
  }
  // The user closes one; the other stays until the window closes it.
  windows[0]->close();
  EXPECT_EQ(DccWindows(), std::vector<Tf_dccoptions*>{windows[1]});

  // A compiler that cannot be started is reported; no window opens.
  SetEnv("PATH", Path("nowhere"));
  help->trigger();
  EXPECT_EQ(Dialogs.Texts("message"),
            QStringList{"Failed to get DCC options: DOS redirected  failed: WINAPI Error Code = 2"});
  EXPECT_EQ(DccWindows().size(), 1u);
  form.CloseDccOptionsWindows();
  EXPECT_TRUE(DccWindows().empty());
}

TEST_F(MainFormTest, EveryDocumentedControlActionAndMenuItemIsThere) {
  TF_MainForm& form = OpenWindow();
  EXPECT_EQ(form.objectName(), "F_MainForm");
  EXPECT_EQ(form.windowTitle(), "Delphi Tesmar Tool");
  EXPECT_EQ(form.size(), QSize(812, 646));

  ExpectTexts("QPushButton",
              "b_halt=&Stop;b_Build=&Build;b_exit=E&xit;bb_newProject=&New Project;Button1=&Open Project;"
              "bb_save=&Save Project;b_buildOne=build one;b_addFile=Add;b_deleteFile=Delete;"
              "b_editFiles=Edit File List;b_hints=Hints;b_warnings=Warnings;b_errors=Errors");
  ExpectTexts("QLabel",
              "Label6=Tesmar Project Settings;L_mergedVerInfo=Merged Version Information;"
              "Label2=Files to compile ( in order ) -> Files.ini;Label3=&Source;Label4=&Target;"
              "Label5=&Configuration;Label7=&Library Path;Label13=&Group Ver Info;Label8=Local &Ver Info;"
              "Label9=Resource &Mask;Label10=&DPK support;Label11=Pr&e Processing;Label12=P&ost Processing");
  ExpectTexts("QAction",
              "A_NewProject=&New Project;A_OpenProject=&Open Project;A_saveProjectSettings=&Save Project;"
              "A_projectOptions=Options;A_moveProject=Move Project;A_DoBuild=&Build;A_stopBuild=A_stopBuild;"
              "A_exit=E&xit;A_retrieveLastDump=Retrieve last compile results;A_summaryDisplay=Summary;"
              "A_compileResultsDisplay=Compile Log;A_EventLogDisplay=Event Log;A_AddFile=Add;"
              "A_deleteFile=Delete;A_editFileList=Edit File List;A_saveFileList=Save File List;"
              "A_SelectFile=A_SelectFile;A_getSource=;A_getTarget=;A_getConfig=;A_getLibPath=;"
              "A_getGroupVerInfo=;A_getLocalVerInfo=;A_getRCMask=;A_getDPKSupportFile=;A_getPreProcessing=;"
              "A_GetpostProcessing=;A_SaveConfig=Save Config;A_savePath=Save Path;A_SaveRCMask=Save RC Mask;"
              "A_SaveDPKSupport=Save DPK Support;A_savePreProcessing=Save PreProcess;"
              "A_SavePostProcessing=Save Post Process;A_SaveLocalVerInfo=Save Local Ver Info;"
              "A_saveGlobalVerInfo=Save Global VerInfo;A_cancelEditWindow=&Cancel;A_editVersion=Edit Version;"
              "A_GrabIDEPath=Extract IDE path;A_DisplayDCCOptions=DCC help;A_addToPath=Add;A_deleteLine=Delete");
  for (const char* name : {"Panel1", "Panel3", "Panel9", "P_filesettings", "Panel8", "Panel4", "Panel5", "Panel12",
                           "P_resultsButtons", "b_FileUp", "b_fileDown", "b_ideLibPath", "b_save", "b_cancelEditwindow",
                           "StatusBar1", "LB_Files", "Memo1", "m_mergedVerInfo", "cb_ProjectList"})
    EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
  EXPECT_TRUE(Find<QLabel>("L_Results")->wordWrap());
  EXPECT_TRUE(Find<QLabel>("L_Results")->font().bold());
  EXPECT_GE(Find<QWidget>("P_filesettings")->minimumWidth(), 374);

  // Each settings row: its edit, and its glyph button bound to its action.
  const QString rows =
      "e_SourceFile b_sourceFile A_getSource;e_target b_target A_getTarget;"
      "e_configuration b_configuration A_getConfig;e_libraryPath b_LibraryPath A_getLibPath;"
      "e_GroupVerInfo b_GroupVerInfo A_getGroupVerInfo;e_localVerInfo b_localVerInfo A_getLocalVerInfo;"
      "e_ResourceMask b_ResourceMask A_getRCMask;e_DPKSupport b_DPKSupport A_getDPKSupportFile;"
      "e_PreProcessing b_PreProcessing A_getPreProcessing;"
      "e_PostProcessing b_postProcessing A_GetpostProcessing";
  for (const QString& row : rows.split(';')) {
    const QStringList names = row.split(' ');
    EXPECT_NE(form.findChild<QLineEdit*>(names[0]), nullptr) << names[0].toStdString();
    auto* tool = form.findChild<QToolButton*>(names[1]);
    ASSERT_TRUE(tool && tool->defaultAction()) << names[1].toStdString();
    EXPECT_EQ(tool->defaultAction()->objectName(), names[2]);
  }

  QStringList menus;
  for (QAction* top : form.menuBar()->actions()) menus << top->text() << MenuText(top->menu(), "  ");
  EXPECT_EQ(menus.join('|'),
            "&Project|  &New Project|  &Open Project|  &Save Project|  Options|  Retrieve last compile results|  -|"
            "  &Build|  -|  E&xit|&Files|  Add|  Delete|  Edit File List|&Compiler|  Edit Config File|  DCC help|"
            "  > Library Path|    Add|    Delete|    Edit Path|&Resources|  Edit Version|  Edit RC Mask|Help|"
            "  Contents|  About");
}

// Help opens the manual at its contents in the desktop's browser; where none
// starts, a box says where the manual is.
TEST_F(MainFormTest, TheHelpMenuOpensTheManualOrSaysWhereItIsAndShowsTheVersionStrings) {
  OpenWindow();
  QAction* contents = Find<QAction>("miContents");
  contents->trigger();
  ASSERT_EQ(Dialogs.Texts("url").size(), 1);
  const QUrl url(Dialogs.Texts("url")[0]);
  EXPECT_EQ(url.fragment(), "contents");
  EXPECT_TRUE(url.toLocalFile().endsWith("/manual/tesmar.html"));
  EXPECT_TRUE(QFileInfo::exists(url.toLocalFile()));
  EXPECT_TRUE(Dialogs.Texts("message").isEmpty());

  Dialogs.UrlOpens = false;
  contents->trigger();
  ASSERT_EQ(Dialogs.Texts("message").size(), 1);
  EXPECT_TRUE(Dialogs.Texts("message")[0].endsWith(QDir::toNativeSeparators(url.toLocalFile())))
      << Dialogs.Texts("message")[0].toStdString();

  // About shows the ten version strings of the program's own executable.
  Form->SetViewMode(vmFilesAvailable);
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
  EXPECT_EQ(Form->ViewMode, vmViewing);
}
