#include "dialogs/fEditVersion.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <optional>

#include "dialogs/uSelectDir.h"
#include "support/GuiTest.h"

namespace {

using TLines = std::vector<std::string>;

// The eighteen keys as this system writes them, with their values.
std::string VersionFile(const std::vector<std::string>& values, const std::string& section = "Version") {
  static const char* const keys[] = {
      "Major",          "Minor",          "Release",         "Build",       "ProductMajor",     "ProductMinor",
      "ProductRelease", "ProductBuild",   "Appid",           "Description", "Company",          "Comments",
      "InternalName",   "LegalCopyright", "LegalTrademarks", "ProductName", "OriginalFilename", "IconFileName"};
  TLines lines{"[" + section + "]"};
  for (std::size_t i = 0; i < std::size(keys); ++i) lines.push_back(std::string(keys[i]) + "=" + values.at(i));
  return CrLf(lines);
}

class EditVersionTest : public TGuiTest {
 protected:
  // A project of one program, App.dpr, with its group version file
  // (proj/Default.ver) and its local one (src/App.ver); nullopt leaves a file
  // out. A project that halts on errors asks whether to halt the build for
  // every problem the resource handler reports.
  void WriteProject(const std::optional<std::string>& group, const std::optional<std::string>& local,
                    bool haltOnError = false) {
    WriteProgram();
    WriteFilesIni({haltOnError ? "HaltOnError=1" : "HaltOnError=0"}, {Entry("App.EXE", "App.dpr")});
    if (group) WriteBytes("proj/Default.ver", *group);
    if (local) WriteBytes("src/App.ver", *local);
    WriteCatalogue({"proj=" + Project});
  }
  void TearDown() override {
    Owned.reset();
    TGuiTest::TearDown();
  }
  // The editor as the window's command creates it, on screen.
  Tf_editversion& OpenEditor() {
    TF_MainForm& form = Form ? *Form : OpenWindow();
    Owned = std::make_unique<Tf_editversion>(&form, Dialogs, *form.BuildRun, "proj", form.CurrentSource);
    Show(*Owned);
    return *Owned;
  }
  void Show(Tf_editversion& editor) {
    Editor = &editor;
    editor.show();
    editor.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
  }
  QLineEdit* Edit(const char* name) {
    auto* edit = Editor->findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit;
  }
  // Replaces an edit's text the way a user does: select all, delete, type.
  void Retype(const char* name, const QString& text) {
    QLineEdit* edit = Edit(name);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }
  QStringList Merge() { return Editor->m_merge->toPlainText().split('\n'); }
  // Runs the window's "Edit Version" command; play acts the user.
  void RunEditVersion(std::function<void(Tf_editversion&)> play) {
    Dialogs.Windows.push_back([this, play](QDialog& dialog) {
      auto& editor = dynamic_cast<Tf_editversion&>(dialog);
      Show(editor);
      play(editor);
      Editor = nullptr;
      return editor.result();
    });
    Find<QAction>("A_editVersion")->trigger();
  }

  // The editor the helpers work on.
  Tf_editversion* Editor = nullptr;
  std::unique_ptr<Tf_editversion> Owned;
};

const std::string Group = VersionFile(
    {"1", "2", "3", "", "4", "0", "0", "7", "0", "Group tool", "Group Inc", "", "", "(c) Group", "", "", "", ""});
const std::string Local = VersionFile({"2", "0", "9", "41", "0", "5", "6", "", "12", "Local tool", "", "Local notes",
                                       "app", "", "TM", "App Suite", "App.exe", "/icons/app.ico"});

}  // namespace

TEST_F(EditVersionTest, ShowsBothFilesAndWhatABuildWouldMakeOfThem) {
  WriteProject(Group, Local);
  OpenWindow();
  Tf_editversion& editor = OpenEditor();
  EXPECT_EQ(editor.windowTitle(), "Edit Version information settings ");
  EXPECT_EQ(editor.size(), QSize(778, 577));
  EXPECT_EQ(Form->BuildRun->ProjectName, "proj");

  // Documented names, the local one with an S after "E_", in field order.
  const char* const names[] = {
      "Major",          "Minor",        "Release",   "Build",       "ProductMajor",     "ProductMinor",
      "ProductRelease", "ProductBuild", "AppID",     "Description", "Company",          "Comments",
      "InternalName",   "CopyRight",    "Trademark", "ProductName", "OriginalFilename", "IconFilename"};
  const QStringList group{"1",          "2",         "3", "0", "4",         "0", "0", "7", "0",
                          "Group tool", "Group Inc", "",  "",  "(c) Group", "",  "",  "",  ""};
  const QStringList local{"2",          "0", "9",           "41",  "0", "5",  "6",         "0",       "12",
                          "Local tool", "",  "Local notes", "app", "",  "TM", "App Suite", "App.exe", "/icons/app.ico"};
  for (std::size_t i = 0; i < ResourceTypeCount; ++i) {
    const std::string name = names[i];
    EXPECT_EQ(editor.GroupEdits[i], Edit(("E_" + name).c_str())) << name;
    EXPECT_EQ(editor.LocalEdits[i], Edit(("E_S" + name).c_str())) << name;
    EXPECT_EQ(editor.GroupEdits[i]->text(), group[static_cast<qsizetype>(i)]) << name;  // an empty Build reads 0
    EXPECT_EQ(editor.LocalEdits[i]->text(), local[static_cast<qsizetype>(i)]) << name;
  }
  QStringList labels;
  for (const QLabel* label : editor.findChildren<QLabel*>())
    if (label->buddy()) labels << label->text();
  EXPECT_EQ(labels, (QStringList{"Version: ", "Product Version: ", "Description: ", "Company: ", "Copyright: ",
                                 "Comments:", "Internal Name:", "Trademark",
                                 "Product Name:", "Orignal FileName:", "AppID: ", "Icon Filename"}));
  EXPECT_EQ(editor.L_nameOfBuildProject->Path().toStdString(), Project);
  EXPECT_EQ(editor.L_nameOfExe->Path().toStdString(), Path("src/App.dpr"));
  EXPECT_TRUE(editor.m_merge->isReadOnly());

  // Numbers: the local value where the group's is 0 or empty; texts: where
  // the group's is empty.
  const QStringList merge = Merge();
  ASSERT_EQ(merge.size(), 15);
  EXPECT_EQ(merge[0], "Produces the following version information for");
  EXPECT_TRUE(merge[1].endsWith("App.dpr")) << merge[1].toStdString();
  EXPECT_LE(editor.m_merge->fontMetrics().horizontalAdvance(merge[1]), editor.m_merge->viewport()->width());
  EXPECT_EQ(merge.mid(2),
            (QStringList{"", "File Version = 1.2.3.41", "Product Version = 4.5.6.7", "Appid = 12",
                         "Description = Group tool", "Company = Group Inc", "Comments = Local notes",
                         "InternalName = app", "LegalCopyright = (c) Group", "LegalTrademarks = TM",
                         "ProductName = App Suite", "OriginalFilename = App.exe", "IconFileName = /icons/app.ico"}));
  EXPECT_TRUE(Dialogs.Asked.empty());
}

// Every change of an edit recomputes the preview from the edits, not from
// the files.
TEST_F(EditVersionTest, ThePreviewFollowsEveryChangeOfAnEdit) {
  WriteProject(Group, Local);
  OpenWindow();
  OpenEditor();
  struct TCase {
    const char* GroupEdit;
    QString GroupText;
    const char* LocalEdit;
    QString LocalText;
    QString Line;
  };
  const TCase cases[] = {
      {"E_Major", "1", "E_SMajor", "2", "File Version = 1.2.3.41"},
      {"E_Major", "", "E_SMajor", "2", "File Version = 2.2.3.41"},
      {"E_Major", "0", "E_SMajor", "2", "File Version = 2.2.3.41"},
      {"E_Major", "00", "E_SMajor", "2", "File Version = 00.2.3.41"},  // only "0" itself is unset
      {"E_ProductBuild", "", "E_SProductBuild", "", "Product Version = 4.5.6."},
      {"E_AppID", "0", "E_SAppID", "77", "Appid = 77"},
      // A text field holding 0 is set here, though a build takes the local
      // text then.
      {"E_Comments", "0", "E_SComments", "Local text", "Comments = 0"},
      {"E_Comments", "", "E_SComments", "Local text", "Comments = Local text"},
      {"E_Company", "", "E_SCompany", "", "Company = "},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line.toStdString());
    Retype(c.LocalEdit, c.LocalText);
    Retype(c.GroupEdit, c.GroupText);
    EXPECT_TRUE(Merge().contains(c.Line)) << Editor->m_merge->toPlainText().toStdString();
  }
  // Nothing is written by editing.
  EXPECT_EQ(ReadBytes("proj/Default.ver"), Group);
  EXPECT_EQ(ReadBytes("src/App.ver"), Local);
}

// The numeric edits take digits only, typed or pasted; the keys that move,
// delete, confirm and cancel still work.
TEST_F(EditVersionTest, NumericEditsTakeDigitsOnlyAndKeepTheirKeys) {
  WriteProject(Group, Local);
  OpenWindow();
  OpenEditor();
  struct TCase {
    const char* Edit;
    QString Typed;
    QString Result;
  };
  const TCase typing[] = {{"E_Build", "1a2", "12"},
                          {"E_SBuild", "x9.", "9"},
                          {"E_AppID", "3 4", "34"},
                          {"E_SProductMajor", "-5", "5"},
                          {"E_Description", "1a 2", "1a 2"},
                          {"E_SIconFilename", "/x.ico", "/x.ico"},
                          {"E_OriginalFilename", "a.exe", "a.exe"}};
  for (const TCase& c : typing) {
    Retype(c.Edit, "");
    QTest::keyClicks(Edit(c.Edit), c.Typed);
    EXPECT_EQ(Edit(c.Edit)->text(), c.Result) << c.Edit;
  }

  QLineEdit* build = Edit("E_Build");
  Retype("E_Build", "123");
  QTest::keyClick(build, Qt::Key_Backspace);
  EXPECT_EQ(build->text(), "12");
  QTest::keyClick(build, Qt::Key_Home);
  QTest::keyClick(build, Qt::Key_Delete);
  EXPECT_EQ(build->text(), "2");

  // A paste holding anything but digits is refused whole.
  QApplication::clipboard()->setText("34");
  QTest::keyClick(build, Qt::Key_End);
  QTest::keySequence(build, QKeySequence::Paste);
  EXPECT_EQ(build->text(), "234");
  QApplication::clipboard()->setText("5x");
  QTest::keySequence(build, QKeySequence::Paste);
  EXPECT_EQ(build->text(), "234");
  build->selectAll();
  build->insert("7.1");  // what a paste from the context menu does
  EXPECT_EQ(build->text(), "234");
  QApplication::clipboard()->setText("5x");
  Edit("E_Comments")->setFocus();
  QTest::keySequence(Edit("E_Comments"), QKeySequence::Paste);
  EXPECT_EQ(Edit("E_Comments")->text(), "5x");

  // Tab moves on to the next number.
  build->setFocus();
  QTest::keyClick(build, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Edit("E_ProductMajor"));

  // Escape in a numeric edit cancels the window, Enter confirms it.
  QTest::keyClick(Edit("E_SMinor"), Qt::Key_Escape);
  EXPECT_EQ(Editor->result(), QDialog::Rejected);
  EXPECT_FALSE(Editor->isVisible());
  EXPECT_EQ(ReadBytes("src/App.ver"), Local);
  Editor->show();
  Edit("E_SMinor")->setFocus();
  QTest::keyClick(Edit("E_SMinor"), Qt::Key_Return);
  EXPECT_EQ(Editor->result(), QDialog::Accepted);
  EXPECT_NE(ReadBytes("src/App.ver"), Local);  // OK wrote the file: all eighteen keys in order
}

TEST_F(EditVersionTest, TheIconButtonsFillTheirOwnColumnOnly) {
  WriteProject(Group, Local);
  WriteBytes("icons/new.ico", "icon");
  OpenWindow();
  OpenEditor();
  struct TCase {
    QToolButton* Button;
    QStringList Answer;
    QString Group, Local;
  };
  const TCase cases[] = {{Editor->b_SIconFileName, {Path("icons/new.ico").c_str()}, "", Path("icons/new.ico").c_str()},
                         {Editor->b_SIconFileName, {}, "", Path("icons/new.ico").c_str()},  // cancelled
                         {Editor->b_iconFileName, {"/g.ico"}, "/g.ico", Path("icons/new.ico").c_str()}};
  for (const TCase& c : cases) {
    Dialogs.Files.push_back(c.Answer);
    QTest::mouseClick(c.Button, Qt::LeftButton);
    EXPECT_EQ(Edit("E_IconFilename")->text(), c.Group);
    EXPECT_EQ(Edit("E_SIconFilename")->text(), c.Local);
  }
  EXPECT_TRUE(Merge().contains("IconFileName = /g.ico"));
  ASSERT_EQ(Dialogs.OpenRequests.size(), 3u);
  const TOpenDialogRequest& request = Dialogs.OpenRequests.front();
  EXPECT_EQ(request.Title, "Select an icon file");
  EXPECT_EQ(request.Filter, "Icon files|*.ico|bmp|*.bmp|all files|*.*");
  EXPECT_EQ(request.DefaultExtension, "*.ico");
  EXPECT_TRUE(request.FileMustExist);
  EXPECT_FALSE(request.MultiSelect);
  EXPECT_EQ(Dialogs.OpenRequests[1].FileName, Path("icons/new.ico").c_str());  // starts at the present icon
}

// OK stores every edit as typed: keys in place, other lines kept, missing keys
// added; an empty build number is written as 0, every other empty edit as an
// empty value. The settings of the file are read again.
TEST_F(EditVersionTest, OkWritesBothFilesByteForByteAndTheWindowSeesThem) {
  const std::string group = CrLf(
      {"; shared by every program", "[version]", "Major=1", "Company=Old Inc", "Extra=kept", "", "[Other]", "Major=9"});
  WriteProject(group, Local);
  TF_MainForm& form = OpenWindow();
  RunEditVersion([this](Tf_editversion& editor) {
    Retype("E_Major", "3");
    Retype("E_Company", "New Inc");
    Retype("E_SBuild", "");
    Retype("E_SDescription", "");
    QTest::mouseClick(editor.b_OK, Qt::LeftButton);
  });
  EXPECT_EQ(ReadBytes("proj/Default.ver"), CrLf({"; shared by every program",
                                                 "[version]",
                                                 "Major=3",
                                                 "Company=New Inc",
                                                 "Extra=kept",
                                                 "Minor=0",
                                                 "Release=0",
                                                 "Build=0",
                                                 "ProductMajor=0",
                                                 "ProductMinor=0",
                                                 "ProductRelease=0",
                                                 "ProductBuild=0",
                                                 "Appid=0",
                                                 "Description=",
                                                 "Comments=",
                                                 "InternalName=",
                                                 "LegalCopyright=",
                                                 "LegalTrademarks=",
                                                 "ProductName=",
                                                 "OriginalFilename=",
                                                 "IconFileName=",
                                                 "",
                                                 "[Other]",
                                                 "Major=9"}));
  EXPECT_EQ(ReadBytes("src/App.ver"), VersionFile({"2", "0", "9", "0", "0", "5", "6", "0", "12", "", "", "Local notes",
                                                   "app", "", "TM", "App Suite", "App.exe", "/icons/app.ico"}));
  TProjectSettings* settings = form.BuildRun->FileList().SettingsAt(0);
  EXPECT_NE(settings->GetSettingContent(stGroupVerInfo).find("Company=New Inc"), std::string::npos);
  EXPECT_NE(settings->GetSettingContent(stLocalVerInfo).find("Build=0"), std::string::npos);
  EXPECT_EQ(form.ViewMode, vmViewing);
  EXPECT_EQ(Find<QPlainTextEdit>("m_mergedVerInfo")->toPlainText().toStdString(),
            ScreenText(settings->VersionSummary()).toStdString());
  EXPECT_NE(Find<QPlainTextEdit>("m_mergedVerInfo")->toPlainText().indexOf("Company = New Inc"), -1);
  EXPECT_EQ(Dialogs.Texts("window"), QStringList{"f_editversion"});
}

TEST_F(EditVersionTest, CancelWritesNothing) {
  WriteProject(Group, std::nullopt);
  TF_MainForm& form = OpenWindow();
  const std::string before = form.BuildRun->FileList().SettingsAt(0)->GetSettingContent(stGroupVerInfo);
  RunEditVersion([this](Tf_editversion& editor) {
    Retype("E_Major", "8");
    Retype("E_SMajor", "9");
    QTest::mouseClick(editor.b_cancel, Qt::LeftButton);
  });
  EXPECT_EQ(ReadBytes("proj/Default.ver"), Group);
  EXPECT_FALSE(Exists("src/App.ver"));
  EXPECT_EQ(form.BuildRun->FileList().SettingsAt(0)->GetSettingContent(stGroupVerInfo), before);
  EXPECT_EQ(form.ViewMode, vmViewing);
}

// A missing local file is reported through the resource handler and its
// values are taken from the executable named for the fallback; OK then
// creates the file with all eighteen keys.
TEST_F(EditVersionTest, AMissingLocalFileIsReportedReadFromTheExecutableAndCreatedOnOk) {
  struct TCase {
    std::string Executable;
    bool HaltOnError;
    QString Major, Company, AppID;
    // The second report, of the executable, when there is one.
    std::string ExecutableReport;
  };
  const TCase cases[] = {
      {TestDataDir() + "/version/full.exe", false, "1", "Müller & Söhne", "AppID", ""},
      {TestDataDir() + "/version/norsrc.exe", false, "0", "", "0",
       "Ver Info size call failed for " + TestDataDir() + "/version/norsrc.exe"},
      {TestDataDir() + "/version/norsrc.exe", true, "0", "", "0",
       "Ver Info size call failed for " + TestDataDir() + "/version/norsrc.exe"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Executable + (c.HaltOnError ? " halting" : ""));
    Form.reset();
    Dialogs.Asked.clear();
    std::remove(Path("src/App.ver").c_str());
    WriteProject(Group, std::nullopt, c.HaltOnError);
    OpenWindow();
    Form->BuildRun->GetResourceHandler().ExeFileName = c.Executable;
    if (c.HaltOnError) Dialogs.Confirms = {false, false};
    const std::size_t eventsBefore = Form->BuildRun->Events.size();
    OpenEditor();
    EXPECT_EQ(Edit("E_SMajor")->text(), c.Major);
    EXPECT_EQ(Edit("E_SCompany")->text(), c.Company);
    EXPECT_EQ(Edit("E_SAppID")->text(), c.AppID);
    EXPECT_EQ(Edit("E_Major")->text(), "1");  // the group column is the group file's
    const std::string missing =
        "Resource Error for " + Path("src/App.ver") + ": Did not exist, trying to read version info from .exe";
    const std::string unreadable = "Resource Error for " + c.Executable + ": " + c.ExecutableReport;
    std::vector<std::string> reports{"proj would have been halted: " + missing};
    if (!c.ExecutableReport.empty()) reports.push_back("proj would have been halted: " + unreadable);
    const auto& events = Form->BuildRun->Events;
    EXPECT_EQ(std::vector<std::string>(events.begin() + static_cast<std::ptrdiff_t>(eventsBefore), events.end()),
              reports);
    // The editor itself says nothing; the window asks its halt question
    // when the project halts on errors.
    QStringList questions;
    if (c.HaltOnError)
      questions = QStringList{ToQ("Error: " + missing + "\nDo you want to halt the build?"),
                              ToQ("Error: " + unreadable + "\nDo you want to halt the build?")};
    EXPECT_EQ(Dialogs.Texts("confirm"), questions);
    EXPECT_EQ(Dialogs.Asked.size(), static_cast<std::size_t>(questions.size()));
    QTest::mouseClick(Editor->b_OK, Qt::LeftButton);
    const TLines written = CrLfLines(ReadBytes("src/App.ver"));
    ASSERT_EQ(written.size(), 19u);
    EXPECT_EQ(written[0], "[Version]");
    EXPECT_EQ(written[1], "Major=" + c.Major.toStdString());
    EXPECT_EQ(written[18].rfind("IconFileName=", 0), 0u);
    Owned.reset();
  }
}

// Values are shown as UTF-8 where they are valid UTF-8, else in the Windows
// code page, and are written back in the encoding they came in.
TEST_F(EditVersionTest, AFileIsWrittenBackInTheEncodingItWasReadIn) {
  WriteProject(CrLf({"[Version]", "Company=M\xfcller", "Major=1"}), CrLf({"[Version]", "Comments=Gr\xc3\xbc\xc3\x9f"}));
  OpenWindow();
  OpenEditor();
  EXPECT_EQ(Edit("E_Company")->text(), QString::fromUtf8("Müller"));
  EXPECT_EQ(Edit("E_SComments")->text(), QString::fromUtf8("Grüß"));
  Edit("E_Description")->insert(QString::fromUtf8("Für"));
  QTest::mouseClick(Editor->b_OK, Qt::LeftButton);
  EXPECT_NE(ReadBytes("proj/Default.ver").find("Company=M\xfcller\r\n"), std::string::npos);
  EXPECT_NE(ReadBytes("proj/Default.ver").find("Description=F\xfcr\r\n"), std::string::npos);
  EXPECT_NE(ReadBytes("src/App.ver").find("Comments=Gr\xc3\xbc\xc3\x9f\r\n"), std::string::npos);
}
