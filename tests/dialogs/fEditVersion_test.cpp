#include "dialogs/fEditVersion.h"

#include <QClipboard>
#include <optional>

#include "dialogs/uSelectDir.h"
#include "support/GuiTest.h"

namespace {

// A version file as this system writes it: section Version, the eighteen keys
// in field order, in UTF-8.
std::string VersionFile(const QStringList& values) {
  std::vector<std::string> lines{"[Version]"};
  for (TResourceTypeEnum field : AllResourceTypes())
    lines.push_back(GlobalStuff().ResourceTypeName(field) + "=" + FromQ(values.at(field)));
  return CrLf(lines);
}

const QStringList GroupValues{"1",          "2",         "3", "", "4",         "0", "0", "7", "0",
                              "Group tool", "Group Inc", "",  "", "(c) Group", "",  "",  "",  ""};
const QStringList LocalValues{"2",          "0", "9",     "41",  "0", "5",  "6",         "",        "12",
                              "Local tool", "",  "Grüße", "app", "",  "TM", "App Suite", "App.exe", "/icons/app.ico"};
const std::string Group = VersionFile(GroupValues);
const std::string Local = VersionFile(LocalValues);

class EditVersionTest : public TGuiTest {
 protected:
  // A project of one program, App.dpr, with its group version file
  // (proj/Default.ver) and its local one (src/App.ver); nullopt leaves a file
  // out.
  TF_MainForm& OpenVersions(const std::optional<std::string>& group, const std::optional<std::string>& local,
                            bool haltOnError = false) {
    if (group) WriteBytes("proj/Default.ver", *group);
    if (local) WriteBytes("src/App.ver", *local);
    return OpenProgram({haltOnError ? "HaltOnError=1" : "HaltOnError=0"});
  }
  // The editor as the window's command creates it, on screen; the window
  // owns it.
  Tf_editversion& OpenEditor() {
    Editor = new Tf_editversion(Form.get(), Dialogs, *Form->BuildRun, "proj", Form->CurrentSource);
    Editor->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(Editor));
    return *Editor;
  }
  // Runs the window's "Edit Version" command; act plays the user.
  void RunEditVersion(const std::function<void()>& act) {
    Dialogs.Play<Tf_editversion>([this, act](Tf_editversion& editor) {
      Editor = &editor;
      act();
      Editor = nullptr;
    });
    Find<QAction>("A_editVersion")->trigger();
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
  static QStringList Texts(const Tf_editversion::TColumn& column) {
    QStringList texts;
    for (const QLineEdit* edit : column) texts << edit->text();
    return texts;
  }

  Tf_editversion* Editor = nullptr;  // the one the helpers work on
};

}  // namespace

TEST_F(EditVersionTest, ShowsBothFilesAndWhatABuildWouldMakeOfThemAsTheyAreEdited) {
  OpenVersions(Group, Local);
  Tf_editversion& editor = OpenEditor();
  EXPECT_EQ(editor.windowTitle(), "Edit Version information settings ");
  EXPECT_EQ(editor.size(), QSize(778, 577));

  // Documented names in field order, the local ones with an S after "E_".
  const QStringList names = QString(
                                "Major Minor Release Build ProductMajor ProductMinor ProductRelease ProductBuild "
                                "AppID Description Company Comments InternalName CopyRight Trademark ProductName "
                                "OriginalFilename IconFilename")
                                .split(' ');
  for (std::size_t i = 0; i < ResourceTypeCount; ++i) {
    EXPECT_EQ(editor.GroupEdits[i]->objectName(), "E_" + names[static_cast<qsizetype>(i)]);
    EXPECT_EQ(editor.LocalEdits[i]->objectName(), "E_S" + names[static_cast<qsizetype>(i)]);
  }
  // An empty build number reads 0.
  QStringList group = GroupValues, local = LocalValues;
  group[reBuild] = local[reProductBuild] = "0";
  EXPECT_EQ(Texts(editor.GroupEdits), group);
  EXPECT_EQ(Texts(editor.LocalEdits), local);

  QStringList labels;
  for (const QLabel* label : editor.findChildren<QLabel*>())
    if (label->buddy()) labels << label->text();
  EXPECT_EQ(labels, (QStringList{"Version: ", "Product Version: ", "Description: ", "Company: ", "Copyright: ",
                                 "Comments:", "Internal Name:", "Trademark",
                                 "Product Name:", "Orignal FileName:", "AppID: ", "Icon Filename"}));
  EXPECT_EQ(editor.L_nameOfBuildProject->Path().toStdString(), Project);
  EXPECT_EQ(editor.L_nameOfExe->Path().toStdString(), Path("src/App.dpr"));

  // Numbers: the local value where the group's is 0 or empty; texts: where
  // the group's is empty. The source is shortened to the preview's width.
  const QStringList merge = Merge();
  ASSERT_EQ(merge.size(), 15);
  EXPECT_EQ(merge[0], "Produces the following version information for");
  EXPECT_TRUE(merge[1].endsWith("App.dpr")) << merge[1].toStdString();
  EXPECT_LE(editor.m_merge->fontMetrics().horizontalAdvance(merge[1]), editor.m_merge->viewport()->width());
  EXPECT_EQ(merge.mid(2),
            (QStringList{"", "File Version = 1.2.3.41", "Product Version = 4.5.6.7", "Appid = 12",
                         "Description = Group tool", "Company = Group Inc", "Comments = Grüße", "InternalName = app",
                         "LegalCopyright = (c) Group", "LegalTrademarks = TM", "ProductName = App Suite",
                         "OriginalFilename = App.exe", "IconFileName = /icons/app.ico"}));
  EXPECT_TRUE(editor.m_merge->isReadOnly());
  EXPECT_TRUE(Dialogs.Asked.empty());

  // The preview follows every change of an edit, from the edits' texts.
  struct TCase {
    const char *GroupEdit, *GroupText, *LocalEdit, *LocalText, *Line;
  };
  const TCase cases[] = {
      {"E_Major", "", "E_SMajor", "2", "File Version = 2.2.3.41"},
      {"E_Major", "0", "E_SMajor", "2", "File Version = 2.2.3.41"},
      {"E_Major", "00", "E_SMajor", "2", "File Version = 00.2.3.41"},  // only "0" itself is unset
      {"E_ProductBuild", "", "E_SProductBuild", "", "Product Version = 4.5.6."},
      {"E_AppID", "0", "E_SAppID", "77", "Appid = 77"},
      // A text of 0 is set here, though a build takes the local text then.
      {"E_Comments", "0", "E_SComments", "Local text", "Comments = 0"},
      {"E_Comments", "", "E_SComments", "Local text", "Comments = Local text"},
  };
  for (const TCase& c : cases) {
    Retype(c.LocalEdit, c.LocalText);
    Retype(c.GroupEdit, c.GroupText);
    EXPECT_TRUE(Merge().contains(c.Line)) << c.Line << " in " << Editor->m_merge->toPlainText().toStdString();
  }

  // Each icon button fills its own column; a cancelled choice keeps the icon.
  const QString icon = ToQ(Path("icons/new.ico"));
  Dialogs.Files = {{icon}, {}, {"/g.ico"}};
  QTest::mouseClick(Editor->b_SIconFileName, Qt::LeftButton);
  EXPECT_EQ(Edit("E_IconFilename")->text(), "");
  EXPECT_EQ(Edit("E_SIconFilename")->text(), icon);
  QTest::mouseClick(Editor->b_SIconFileName, Qt::LeftButton);
  EXPECT_EQ(Edit("E_SIconFilename")->text(), icon);
  QTest::mouseClick(Editor->b_iconFileName, Qt::LeftButton);
  EXPECT_EQ(Edit("E_IconFilename")->text(), "/g.ico");
  EXPECT_EQ(Edit("E_SIconFilename")->text(), icon);
  EXPECT_TRUE(Merge().contains("IconFileName = /g.ico"));
  ASSERT_EQ(Dialogs.OpenRequests.size(), 3u);
  const TOpenDialogRequest& request = Dialogs.OpenRequests[1];
  EXPECT_EQ(request.Title, "Select an icon file");
  EXPECT_EQ(request.Filter, "Icon files|*.ico|bmp|*.bmp|all files|*.*");
  EXPECT_EQ(request.DefaultExtension, "*.ico");
  EXPECT_TRUE(request.FileMustExist);
  EXPECT_EQ(request.FileName, icon);                // it opens at the present icon
  EXPECT_EQ(ReadBytes("proj/Default.ver"), Group);  // editing writes nothing
}

// The numeric edits take digits only, typed or pasted; the keys that move,
// delete, confirm and cancel still work.
TEST_F(EditVersionTest, NumericEditsTakeDigitsOnlyAndKeepTheirKeys) {
  OpenVersions(Group, Local);
  OpenEditor();
  const std::pair<const char*, QString> typed[] = {{"E_Build", "12"},          {"E_SBuild", "12"},
                                                   {"E_AppID", "12"},          {"E_SProductMajor", "12"},
                                                   {"E_Description", "1a -2"}, {"E_SIconFilename", "1a -2"}};
  for (const auto& [name, result] : typed) {
    Retype(name, "1a -2");
    EXPECT_EQ(Edit(name)->text(), result) << name;
  }

  QLineEdit* build = Edit("E_Build");
  QTest::keyClick(build, Qt::Key_Backspace);
  QTest::keyClick(build, Qt::Key_Home);
  QTest::keyClicks(build, "3x");
  EXPECT_EQ(build->text(), "31");
  // A paste holding anything but digits is refused whole, wherever it comes
  // from; elsewhere it is taken as it is.
  QApplication::clipboard()->setText("45");
  QTest::keySequence(build, QKeySequence::Paste);
  EXPECT_EQ(build->text(), "3451");
  QApplication::clipboard()->setText("6x");
  QTest::keySequence(build, QKeySequence::Paste);
  build->selectAll();
  build->insert("7.1");  // what the context menu's Paste does
  EXPECT_EQ(build->text(), "3451");
  Edit("E_Comments")->setFocus();
  QTest::keySequence(Edit("E_Comments"), QKeySequence::Paste);
  EXPECT_EQ(Edit("E_Comments")->text(), "6x");

  build->setFocus();
  QTest::keyClick(build, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Edit("E_ProductMajor"));
  // Escape in a numeric edit cancels the window, Enter confirms it.
  QTest::keyClick(Edit("E_SMinor"), Qt::Key_Escape);
  EXPECT_EQ(Editor->result(), QDialog::Rejected);
  EXPECT_FALSE(Editor->isVisible());
  EXPECT_EQ(ReadBytes("src/App.ver"), Local);
  Editor->show();
  QTest::keyClick(Edit("E_SMinor"), Qt::Key_Return);
  EXPECT_EQ(Editor->result(), QDialog::Accepted);
  EXPECT_NE(ReadBytes("src/App.ver").find("Build=12\r\n"), std::string::npos);
}

// Cancel writes nothing. OK stores every edit as typed: keys replaced in
// place, other lines kept, missing keys added; an empty build number is
// written as 0, any other empty edit as an empty value. A file that is not
// UTF-8 is read and written in the Windows code page, a UTF-8 one in UTF-8.
// The window sees the new texts.
TEST_F(EditVersionTest, CancelWritesNothingAndOkWritesBothFilesByteForByte) {
  const std::string group = CrLf({"; shared", "[version]", "Major=1", "Company=Old Inc", "Comments=Gr\xfc\xdf",
                                  "Extra=kept", "", "[Other]", "Major=9"});
  TF_MainForm& form = OpenVersions(group, std::nullopt);
  const std::string before = form.BuildRun->FileList().SettingsAt(0)->GetSettingContent(stGroupVerInfo);
  RunEditVersion([this] {
    Retype("E_Major", "8");
    Retype("E_SMajor", "9");
    QTest::mouseClick(Editor->b_cancel, Qt::LeftButton);
  });
  EXPECT_EQ(ReadBytes("proj/Default.ver"), group);
  EXPECT_FALSE(Exists("src/App.ver"));
  EXPECT_EQ(form.BuildRun->FileList().SettingsAt(0)->GetSettingContent(stGroupVerInfo), before);

  WriteBytes("src/App.ver", Local);
  form.cb_ProjectListChange();
  RunEditVersion([this] {
    EXPECT_EQ(Edit("E_Comments")->text(), "Grüß");
    Retype("E_Major", "3");
    Edit("E_Company")->setText("New Für");
    Retype("E_SBuild", "");
    Retype("E_SDescription", "");
    QTest::mouseClick(Editor->b_OK, Qt::LeftButton);
  });
  const char* const added =
      "Minor=0|Release=0|Build=0|ProductMajor=0|ProductMinor=0|ProductRelease=0|ProductBuild=0|"
      "Appid=0|Description=|InternalName=|LegalCopyright=|LegalTrademarks=|ProductName=|"
      "OriginalFilename=|IconFileName=";
  std::vector<std::string> lines{"; shared",           "[version]",           "Major=3",
                                 "Company=New F\xfcr", "Comments=Gr\xfc\xdf", "Extra=kept"};
  for (const QString& line : QString(added).split('|')) lines.push_back(FromQ(line));
  lines.insert(lines.end(), {"", "[Other]", "Major=9"});
  EXPECT_EQ(ReadBytes("proj/Default.ver"), CrLf(lines));
  QStringList local = LocalValues;
  local[reBuild] = local[reProductBuild] = "0";
  local[reDescription] = "";
  EXPECT_EQ(ReadBytes("src/App.ver"), VersionFile(local));
  EXPECT_NE(form.BuildRun->FileList().SettingsAt(0)->GetSettingContent(stLocalVerInfo).find("Build=0"),
            std::string::npos);
  EXPECT_EQ(Dialogs.Texts("window"), QStringList(2, "f_editversion"));
  EXPECT_EQ(form.ViewMode, vmViewing);
  EXPECT_TRUE(Find<QPlainTextEdit>("m_mergedVerInfo")->toPlainText().contains("Company = New Für"));
}

// A missing local file is reported through the resource handler, its values
// come from the executable named for the fallback, and OK creates the file
// with all eighteen keys. The editor says nothing itself; a project that
// halts on errors shows the reports (no build runs: nothing is asked).
TEST_F(EditVersionTest, AMissingLocalFileIsReportedReadFromTheExecutableAndCreatedOnOk) {
  const std::string full = TestDataDir() + "/version/full.exe", bare = TestDataDir() + "/version/norsrc.exe";
  struct TCase {
    std::string Executable;
    bool HaltOnError;
    QString Major, Company, AppID;
    std::string ExecutableReport;  // empty: none
  };
  const TCase cases[] = {{full, false, "1", "Müller & Söhne", "AppID", ""},
                         {bare, true, "0", "", "0", "Ver Info size call failed for " + bare}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Executable);
    Form.reset();
    Dialogs.Asked.clear();
    std::remove(Path("src/App.ver").c_str());
    OpenVersions(Group, std::nullopt, c.HaltOnError).BuildRun->GetResourceHandler().ExeFileName = c.Executable;
    const std::size_t before = Form->BuildRun->Events.size();
    OpenEditor();
    const Tf_editversion::TColumn& local = Editor->LocalEdits;
    EXPECT_EQ((QStringList{local[reMajor]->text(), local[reAppid]->text(), local[reCompany]->text()}),
              (QStringList{c.Major, c.AppID, c.Company}));
    EXPECT_EQ(Edit("E_Major")->text(), "1");  // the group column is the group file's

    std::vector<std::string> reports{"Resource Error for " + Path("src/App.ver") +
                                     ": Did not exist, trying to read version info from .exe"};
    if (!c.ExecutableReport.empty()) reports.push_back("Resource Error for " + bare + ": " + c.ExecutableReport);
    QStringList questions;
    for (std::string& report : reports) {
      if (c.HaltOnError) questions << ToQ("Error: " + report);
      report = "proj would have been halted: " + report;
    }
    const auto& events = Form->BuildRun->Events;
    EXPECT_EQ(std::vector<std::string>(events.begin() + static_cast<std::ptrdiff_t>(before), events.end()), reports);
    EXPECT_EQ(Dialogs.Texts("message"), questions);
    EXPECT_EQ(Dialogs.Asked.size(), static_cast<std::size_t>(questions.size()));

    QTest::mouseClick(Editor->b_OK, Qt::LeftButton);
    const std::vector<std::string> written = CrLfLines(ReadBytes("src/App.ver"));
    ASSERT_EQ(written.size(), 19u);
    EXPECT_EQ(written[1], "Major=" + FromQ(c.Major));
    EXPECT_EQ(written[18], "IconFileName=");
  }
}
