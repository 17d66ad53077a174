#include "dialogs/fEditVersion.h"

#include <optional>

#include "dialogs/uSelectDir.h"
#include "support/Scenario.h"

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

class EditVersionTest : public TScenarioTest {
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
  QLineEdit* Edit(const char* name) {
    auto* edit = Editor->findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    return edit;
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

  EXPECT_EQ(ReadBytes("proj/Default.ver"), Group);  // showing writes nothing
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

// A program and its local version file, with the fixture's values.
const char* const Versions = R"(
  program App ; catalogue proj=@proj ; lines proj/Files.ini [options] HaltOnError=0 [FileList] @out/App.EXE=@src/App.dpr
  lines src/App.ver [Version] Major=2 Minor=0 Release=9 Build=41 ProductMajor=0 ProductMinor=5 ProductRelease=6 \
    ProductBuild= Appid=12 "Description=Local tool" Company= Comments=Grüße InternalName=app LegalCopyright= \
    LegalTrademarks=TM "ProductName=App Suite" OriginalFilename=App.exe IconFileName=/icons/app.ico)";

const TScenario Edits[] = {
    // The numeric edits take digits only, typed or pasted; the keys that
    // move, delete, confirm and cancel still work.
    {"NumericEditsTakeDigitsOnlyAndKeepTheirKeys", R"(
      open ; trigger A_editVersion ; answer window {
        type E_Build "1a -2" ; expect E_Build == 12 ; type E_SBuild "1a -2" ; expect E_SBuild == 12
        type E_AppID "1a -2" ; expect E_AppID == 12 ; type E_SProductMajor "1a -2" ; expect E_SProductMajor == 12
        type E_Description "1a -2" ; expect E_Description == "1a -2" ; type E_SIconFilename "1a -2"
        expect E_SIconFilename == "1a -2" ; key E_Build Backspace Home 3 X ; expect E_Build == 31
        clipboard 45 ; key E_Build Ctrl+V ; expect E_Build == 3451 ; clipboard 6x ; key E_Build Ctrl+V
        expect E_Build == 3451 ; key E_Comments Ctrl+V ; expect E_Comments == 6x
        focus E_Build ; key E_Build Tab ; expect E_ProductMajor.focus == true ; key E_SMinor Escape }
      expect-file src/App.ver ~ "\r\nBuild=41\r\n" ; trigger A_editVersion
      answer window { type E_SBuild 12 ; key E_SMinor Return } ; expect-file src/App.ver ~ "\r\nBuild=12\r\n")"},
    // Numbers: the local value where the group's is 0 or empty (only "0"
    // itself is unset); texts: where the group's is empty. A text of 0 is
    // set here, though a build takes the local text then. Each icon button
    // fills its own column, opening at the present icon; a cancelled choice
    // keeps it.
    {"ThePreviewFollowsEveryEditAndEachIconButtonFillsItsColumn", R"(
      lines proj/Default.ver [Version] Major=1 Minor=2 Release=3 Build= ProductMajor=4 ProductMinor=0 ProductRelease=0 \
        ProductBuild=7 Appid=0 "Description=Group tool" "Company=Group Inc" Comments= InternalName= \
        "LegalCopyright=(c) Group" LegalTrademarks= ProductName= OriginalFilename= IconFileName=
      open ; trigger A_editVersion ; answer window {
        type E_Major "" ; expect m_merge ~ "\nFile Version = 2.2.3.41\n" ; type E_Major 0
        expect m_merge ~ "\nFile Version = 2.2.3.41\n" ; type E_Major 00 ; expect m_merge ~ "\nFile Version = 00.2.3.41\n"
        type E_SProductBuild "" ; type E_ProductBuild "" ; expect m_merge ~ "\nProduct Version = 4.5.6.\n"
        type E_SAppID 77 ; type E_AppID 0 ; expect m_merge ~ "\nAppid = 77\n" ; type E_SComments "Local text"
        type E_Comments 0 ; expect m_merge ~ "\nComments = 0\n" ; type E_Comments "" ; expect m_merge ~ "\nComments = Local text\n"
        click b_SIconFileName ; answer file @icons/new.ico ; expect E_IconFilename == "" ; expect E_SIconFilename == @icons/new.ico
        click b_SIconFileName ; answer file cancel ; expect E_SIconFilename == @icons/new.ico ; click b_iconFileName
        answer file /g.ico ; expect E_IconFilename == /g.ico ; expect m_merge ~ "\nIconFileName = /g.ico"
        expect asked ~ "open: Select an icon file | Icon files|*.ico|bmp|*.bmp|all files|*.* | @icons/new.ico | *.ico | existing"
        click b_cancel }
      expect-file src/App.ver ~ "\r\nBuild=41\r\n" ; expect-file proj/Default.ver ~ "\r\nMajor=1\r\n")"},
    // Cancel writes nothing. OK stores every edit as typed: keys replaced in
    // place, other lines kept, missing keys added; an empty build number is
    // written as 0, any other empty edit as an empty value. A file that is
    // not UTF-8 is read and written in the Windows code page, a UTF-8 one in
    // UTF-8. The window sees the new texts.
    {"CancelWritesNothingAndOkWritesBothFilesByteForByte", R"(
      lines proj/Default.ver "; shared" [version] Major=1 "Company=Old Inc" "Comments=Gr\xfc\xdf" Extra=kept "" [Other] Major=9
      open ; trigger A_editVersion ; answer window { type E_Major 8 ; type E_SMajor 9 ; click b_cancel }
      expect-file proj/Default.ver == "; shared\r\n[version]\r\nMajor=1\r\nCompany=Old Inc\r\nComments=Gr\xfc\xdf\r\n\
Extra=kept\r\n\r\n[Other]\r\nMajor=9\r\n" ; expect-file src/App.ver ~ "\r\nBuild=41\r\n" ; click Label13
      expect Memo1 ~ "\nMajor=1\n"
      trigger A_editVersion ; answer window { expect E_Comments == Grüß ; type E_Major 3 ; type E_Company "New Für"
        type E_SBuild "" ; type E_SDescription "" ; click b_OK }
      expect-file proj/Default.ver == "; shared\r\n[version]\r\nMajor=3\r\nCompany=New F\xfcr\r\nComments=Gr\xfc\xdf\r\n\
Extra=kept\r\nMinor=0\r\nRelease=0\r\nBuild=0\r\nProductMajor=0\r\nProductMinor=0\r\nProductRelease=0\r\nProductBuild=0\r\n\
Appid=0\r\nDescription=\r\nInternalName=\r\nLegalCopyright=\r\nLegalTrademarks=\r\nProductName=\r\nOriginalFilename=\r\n\
IconFileName=\r\n\r\n[Other]\r\nMajor=9\r\n"
      expect-file src/App.ver == "[Version]\r\nMajor=2\r\nMinor=0\r\nRelease=9\r\nBuild=0\r\nProductMajor=0\r\nProductMinor=5\r\n\
ProductRelease=6\r\nProductBuild=0\r\nAppid=12\r\nDescription=\r\nCompany=\r\nComments=Grüße\r\nInternalName=app\r\n\
LegalCopyright=\r\nLegalTrademarks=TM\r\nProductName=App Suite\r\nOriginalFilename=App.exe\r\nIconFileName=/icons/app.ico\r\n"
      click Label8 ; expect Memo1 ~ "\nMajor=2\n" ; expect m_mergedVerInfo ~ "Company = New Für")"},
};
TESMAR_SCENARIOS(VersionEditor, Versions, Edits);
