#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>

#include "app/uFileListDelegate.h"
#include "support/GuiTest.h"

namespace {

// A project with two programs in its list; further sources in src/.
class FileListTest : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    WriteProgram("One");
    WriteProgram("Two");
    WriteBytes("src/Lib.dpr", CrLf({"library Lib;", "begin", "end."}));
    WriteBytes("src/Pack.dpk", CrLf({"package Pack;", "end."}));
    WriteBytes("src/Res.res", "");
    WriteBytes("src/notes.txt", "x");
    OpenProject({"HaltOnError=0"}, {Entry("One.EXE", "One.dpr"), Entry("Two.EXE", "Two.dpr")}).show();
  }
  QStringList Lines() { return Items(*Form->LB_Files); }
  // The list box and the file list hold the same lines, each with its settings.
  void ExpectListsEqual() {
    const TProjectList& files = Form->BuildRun->FileList();
    ASSERT_EQ(files.Count(), Form->LB_Files->count());
    for (int i = 0; i < files.Count(); ++i) {
      EXPECT_EQ(ToQ(files.Strings(i)), Form->LB_Files->item(i)->text());
      ASSERT_NE(files.SettingsAt(i), nullptr);
      EXPECT_EQ(files.SettingsAt(i)->GetSourceFile(), files.SourceOf(i));
    }
  }
};

}  // namespace

TEST_F(FileListTest, AddedFilesGetTargetNamesAndDirectoriesADeletedOneGivesWayAndAnotherKindStopsAdding) {
  Dialogs.Files = {
      {ToQ(Path("src/Lib.dpr")), ToQ(Path("src/Res.res")), ToQ(Path("src/Pack.dpk")), ToQ(Path("src/One.dpr"))}};
  // Lib goes to out/, Res keeps its own directory (cancelled), Pack to bpl/,
  // One to out/ again, where it is already listed: skipped.
  Dialogs.Directories = {ToQ(Path("out")), std::nullopt, ToQ(Path("bpl")), ToQ(Path("out"))};
  Find<QAction>("A_AddFile")->trigger();
  EXPECT_EQ(Dialogs.OpenRequests[0].Title, "select file(s) (dpr, res, rc, dpk) to be in project");
  EXPECT_EQ(Dialogs.OpenRequests[0].Filter, "Source files (dpr, res, rc, dpk)|*.dpr;*.res;*.rc;*.dpk");
  EXPECT_TRUE(Dialogs.OpenRequests[0].MultiSelect);
  EXPECT_EQ(Dialogs.Texts("directory"),
            (QStringList{"Select Target Directory for Lib.DLL", "Select Target Directory for Res.RES",
                         "Select Target Directory for Pack.BPL", "Select Target Directory for One.EXE"}));
  // The first starts where the selected entry's target lies, each further one
  // where the one before went.
  EXPECT_EQ(Dialogs.DirectoryStarts,
            (QStringList{ToQ(Path("out")), ToQ(Path("out")), ToQ(Path("src")), ToQ(Path("bpl"))}));
  EXPECT_EQ(Lines().mid(2), (QStringList{ToQ(Path("out/Lib.DLL") + "=" + Path("src/Lib.dpr")),
                                         ToQ(Path("src/Res.RES") + "=" + Path("src/Res.RC")),
                                         ToQ(Path("bpl/Pack.BPL") + "=" + Path("src/Pack.dpk"))}));
  ExpectListsEqual();
  EXPECT_EQ(Form->LB_Files->currentRow(), 4);
  EXPECT_EQ(Form->CurrentSource, Path("src/Pack.dpk"));
  EXPECT_TRUE(Form->Modified);

  // Deleting an entry inside the list selects the one that took its place.
  Form->LB_Files->setCurrentRow(2);
  Find<QAction>("A_deleteFile")->trigger();
  EXPECT_EQ(Form->LB_Files->currentRow(), 2);
  EXPECT_EQ(Form->CurrentSource, Path("src/Res.RC"));
  ExpectListsEqual();

  // A file of another kind stops the addition there; the file added before
  // it is a change to save.
  Form->SetModified(false);
  Dialogs.Files = {{ToQ(Path("src/Lib.dpr")), ToQ(Path("src/notes.txt")), ToQ(Path("src/Pack.dpk"))}};
  Dialogs.Directories = {ToQ(Path("out"))};
  Find<QAction>("A_AddFile")->trigger();
  EXPECT_EQ(Lines().size(), 5);
  ASSERT_EQ(Dialogs.Texts("message").size(), 1);
  EXPECT_TRUE(Dialogs.Texts("message")[0].endsWith(" is not rc, dpr or dpk."))
      << Dialogs.Texts("message")[0].toStdString();
  EXPECT_TRUE(Form->Modified);
  ExpectListsEqual();
}

TEST_F(FileListTest, OneFileIsAddedBesideItsSourceAndDroppedFilesLikewise) {
  Dialogs.Files = {{ToQ(Path("src/Res.res"))}};
  Find<QAction>("A_getSource")->trigger();
  EXPECT_EQ(Dialogs.OpenRequests[0].Title, "Select source file to include in this tesmar project.");
  EXPECT_EQ(Dialogs.OpenRequests[0].Filter, "DPR,DPK,RC|*.DPR;*.DPK;*.RC");
  EXPECT_EQ(Lines().back(), ToQ(Path("src/Res.RES") + "=" + Path("src/Res.RC")));

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(ToQ(Path("src/Lib.dpr"))), QUrl::fromLocalFile(ToQ(Path("src/notes.txt")))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Form->LB_Files->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Form->LB_Files->viewport(), &drop);
  EXPECT_EQ(Lines().back(), ToQ(Path("src/Lib.DLL") + "=" + Path("src/Lib.dpr")));
  EXPECT_EQ(Lines().size(), 4);
  ExpectListsEqual();
  EXPECT_TRUE(Form->Modified);
}

TEST_F(FileListTest, MovesTakeTheSettingsAlongAndDoNothingAtTheEndsDeletingTheLastSelectsTheNewLast) {
  auto* list = Form->LB_Files;
  TProjectSettings* second = Form->BuildRun->FileList().SettingsAt(1);
  list->setCurrentRow(0);
  Find<QPushButton>("b_FileUp")->click();
  list->setCurrentRow(1);
  Find<QPushButton>("b_fileDown")->click();
  EXPECT_FALSE(Form->Modified);
  EXPECT_EQ(Lines()[0].toStdString(), Entry("One.EXE", "One.dpr"));

  Find<QPushButton>("b_FileUp")->click();
  EXPECT_TRUE(Form->Modified);
  EXPECT_EQ(Lines()[0].toStdString(), Entry("Two.EXE", "Two.dpr"));
  EXPECT_EQ(list->currentRow(), 0);
  EXPECT_EQ(Form->BuildRun->FileList().SettingsAt(0), second);
  EXPECT_EQ(Form->CurrentSource, Path("src/Two.dpr"));
  ExpectListsEqual();

  // Deleting the last entry selects the new last.
  list->setCurrentRow(1);
  Find<QAction>("A_deleteFile")->trigger();
  EXPECT_EQ(Lines(), QStringList{ToQ(Entry("Two.EXE", "Two.dpr"))});
  EXPECT_EQ(list->currentRow(), 0);
  EXPECT_EQ(Form->CurrentSource, Path("src/Two.dpr"));
  EXPECT_EQ(Form->e_SourceFile->text(), ToQ(Path("src/Two.dpr")));
  ExpectListsEqual();
  Find<QAction>("A_deleteFile")->trigger();
  EXPECT_TRUE(Lines().isEmpty());
  EXPECT_FALSE(Find<QPushButton>("b_buildOne")->isEnabled());
  EXPECT_FALSE(Form->e_configuration->isEnabled() && Form->findChild<QWidget*>("Label5")->isEnabled());
  ExpectListsEqual();
}

TEST_F(FileListTest, TheEditedTextIsTakenBackWithoutBlankLines) {
  Find<QAction>("A_editFileList")->trigger();
  EXPECT_EQ(Form->L_Results->text(), "Editing Files List for proj");
  EXPECT_EQ(Find<TActionButton>("b_save")->text(), "Save File List");
  EXPECT_FALSE(Form->Memo1->isReadOnly());
  EXPECT_EQ(Form->Memo1->toPlainText(), Lines().join('\n'));
  Form->Memo1->setPlainText(ToQ(Entry("Two.EXE", "Two.dpr") + "\n\n" + Entry("Lib.DLL", "Lib.dpr") + "\n"));
  Find<TActionButton>("b_save")->click();
  EXPECT_EQ(Lines(), (QStringList{ToQ(Entry("Two.EXE", "Two.dpr")), ToQ(Entry("Lib.DLL", "Lib.dpr"))}));
  ExpectListsEqual();
  // Every entry has its settings read from the store.
  EXPECT_EQ(Form->BuildRun->FileList().SettingsAt(1)->GetSettingPath(stConfigFile), Path("proj/Default.config"));
  EXPECT_EQ(Form->ViewMode, vmViewing);
  EXPECT_TRUE(Form->Modified);
}

TEST_F(FileListTest, EachHalfOfALineIsShortenedToHalfTheListWidth) {
  const std::string deep = "/very/long/directory/names/that/go/on/and/on/for/quite/a/while/";
  Form->BuildRun->FileList().Clear();
  Form->LB_Files->clear();
  Form->LB_Files->addItem(ToQ(deep + "target/App.EXE=" + deep + "source/App.dpr"));
  Form->LB_Files->setFixedWidth(420);
  auto* delegate = dynamic_cast<TFileListDelegate*>(Form->LB_Files->itemDelegate());
  ASSERT_NE(delegate, nullptr);
  EXPECT_EQ(delegate->HalfWidth(), 200);
  const QStringList halves = delegate->ShownText(Form->LB_Files->item(0)->text()).split('=');
  ASSERT_EQ(halves.size(), 2);
  const QFontMetrics metrics = Form->LB_Files->fontMetrics();
  for (const QString& half : halves) {
    EXPECT_LE(metrics.horizontalAdvance(half), 200) << half.toStdString();
    EXPECT_TRUE(half.startsWith("/.../")) << half.toStdString();
  }
  EXPECT_TRUE(halves[0].endsWith("/target/App.EXE"));
  EXPECT_TRUE(halves[1].endsWith("/source/App.dpr"));
  EXPECT_GE(Form->LB_Files->sizeHintForRow(0), 13);
}
