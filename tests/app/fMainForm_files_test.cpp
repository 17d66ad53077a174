#include <QDir>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QUrl>

#include "app/uFileListDelegate.h"
#include "support/Scenario.h"

namespace {

// A project with two programs in its list; further sources in src/.
const char* const TwoPrograms = R"(
  program One ; program Two ; write src/Lib.dpr "library Lib;\r\nbegin\r\nend.\r\n" ; write src/Res.res ""
  write src/Pack.dpk "package Pack;\r\nend.\r\n" ; write src/notes.txt x ; catalogue proj=@proj
  lines proj/Files.ini [options] HaltOnError=0 [FileList] @out/One.EXE=@src/One.dpr @out/Two.EXE=@src/Two.dpr
  open)";

const TScenario FileCommands[] = {
    // Lib goes to out/, Res keeps its own directory (cancelled), Pack to
    // bpl/, One to out/ again, where it is already listed: skipped. The first
    // directory offered is that of the selected entry's target, each further
    // one where the one before went.
    {"AddedFilesGetTargetNamesAndDirectoriesAndADeletedOneGivesWay", R"(
      trigger A_AddFile ; answer file @src/Lib.dpr @src/Res.res @src/Pack.dpk @src/One.dpr
      answer dir @out ; answer dir cancel ; answer dir @bpl ; answer dir @out
      expect asked == "open: select file(s) (dpr, res, rc, dpk) to be in project | \
Source files (dpr, res, rc, dpk)|*.dpr;*.res;*.rc;*.dpk | @out/ |  | several | existing
directory: Select Target Directory for Lib.DLL | @out | 7\ndirectory: Select Target Directory for Res.RES | @out | 7
directory: Select Target Directory for Pack.BPL | @src | 7\ndirectory: Select Target Directory for One.EXE | @bpl | 7\n"
      expect LB_Files == "@out/One.EXE=@src/One.dpr\n@out/Two.EXE=@src/Two.dpr\n@out/Lib.DLL=@src/Lib.dpr
@src/Res.RES=@src/Res.RC\n@bpl/Pack.BPL=@src/Pack.dpk"
      expect LB_Files.currentRow == 4 ; expect e_SourceFile == @src/Pack.dpk ; expect A_saveProjectSettings enabled
      select LB_Files 2 ; trigger A_deleteFile ; expect LB_Files.currentRow == 2 ; expect e_SourceFile == @src/Res.RC)"},
    // A file of another kind stops the addition there; the file added before
    // it is a change to save.
    {"AFileOfAnotherKindStopsTheAddition", R"(
      trigger A_AddFile ; answer file @src/Lib.dpr @src/notes.txt @src/Pack.dpk ; answer dir @out
      expect LB_Files ~ Lib.dpr ; expect LB_Files !~ Pack ; expect asked ~ "notes.txt is not rc, dpr or dpk."
      expect A_saveProjectSettings enabled)"},
    {"OneFileIsAddedBesideItsSource", R"(
      trigger A_getSource ; answer file @src/Res.res ; expect LB_Files ~ "\n@src/Res.RES=@src/Res.RC"
      expect asked ~ "open: Select source file to include in this tesmar project. | DPR,DPK,RC|*.DPR;*.DPK;*.RC")"},
    // The extension decides, not ".res" elsewhere in the name.
    {"ResInAFolderNameIsNoResource", R"(
      write tools.restored/App.dpr "program App;\r\n" ; trigger A_getSource ; answer file @tools.restored/App.dpr
      expect LB_Files ~ @tools.restored/App.EXE=@tools.restored/App.dpr)"},
    {"MovesTakeTheSettingsAlongAndDoNothingAtTheEnds", R"(
      select LB_Files 0 ; click b_FileUp ; select LB_Files 1 ; click b_fileDown ; expect A_saveProjectSettings disabled
      click b_FileUp ; expect LB_Files == "@out/Two.EXE=@src/Two.dpr\n@out/One.EXE=@src/One.dpr"
      expect LB_Files.currentRow == 0 ; expect e_SourceFile == @src/Two.dpr ; expect A_saveProjectSettings enabled)"},
    // Deleting the last entry selects the new last; deleting every entry
    // empties the panel and the merged version.
    {"DeletingEveryEntryEmptiesThePanel", R"(
      expect m_mergedVerInfo ~ "File Version = " ; select LB_Files 1 ; trigger A_deleteFile
      expect LB_Files.currentRow == 0 ; expect e_SourceFile == @src/One.dpr ; trigger A_deleteFile
      expect b_buildOne disabled ; expect Label5 disabled ; expect b_configuration disabled ; expect e_SourceFile == ""
      expect m_mergedVerInfo == "")"},
    // The keyboard moves the current entry, not only the highlight.
    {"KeysInTheListMakeTheHighlightedEntryCurrent", R"(
      select LB_Files 0 ; key LB_Files Down ; expect e_SourceFile == @src/Two.dpr ; expect L_Results ~ Two.dpr
      key LB_Files Up ; expect e_SourceFile == @src/One.dpr ; expect e_target.toolTip == @out/One.EXE)"},
    {"TheEditedTextIsTakenBackWithoutBlankOrRepeatedLines", R"(
      trigger A_editFileList ; expect L_Results == "Editing Files List for proj" ; expect b_save == "Save File List"
      expect Memo1 == "@out/One.EXE=@src/One.dpr\n@out/Two.EXE=@src/Two.dpr" ; expect Memo1.readOnly == false
      type Memo1 "@out/Two.EXE=@src/Two.dpr\n\n@out/Lib.DLL=@src/Lib.dpr\n@OUT/two.exe=@SRC/two.DPR\n" ; click b_save
      expect LB_Files == "@out/Two.EXE=@src/Two.dpr\n@out/Lib.DLL=@src/Lib.dpr" ; expect A_saveProjectSettings enabled
      select LB_Files 1 ; expect e_configuration.toolTip == @proj/Default.config ; trigger A_deleteFile
      expect asked == "")"},
    {"SavingAnEmptyListEmptiesThePanel", R"(
      trigger A_editFileList ; type Memo1 "" ; click b_save ; expect LB_Files == "" ; expect e_SourceFile == ""
      expect Label5 disabled ; expect b_configuration disabled ; expect b_buildOne disabled ; expect m_mergedVerInfo == "")"},
    // Names that Files.ini cannot keep are refused where they enter, with
    // the reason: a ']' in a source (the section of its settings), a '=' in a
    // target (the line target=source), a line without a target. One that a
    // Files.ini holds already is reported when the project is loaded.
    {"NamesThatFilesIniCannotKeepAreRefused", R"(
      write "src/a]b/Lib.dpr" "library Lib;\r\n" ; write src/c=d/Lib.dpr "library Lib;\r\n"
      trigger A_AddFile ; answer file "@src/a]b/Lib.dpr" ; expect asked ~ "\nmessage: Files.ini cannot keep the source \
@src/a]b/Lib.dpr: ']' cannot stand in the name of the section that holds its settings.\n"
      trigger A_AddFile ; answer file @src/Lib.dpr ; answer dir @out/x=y ; expect asked ~ "\nmessage: Files.ini cannot \
keep the target @out/x=y/Lib.DLL: a '=' in it would part the line target=source there.\n"
      trigger A_getSource ; answer file @src/c=d/Lib.dpr ; expect asked ~ "message: Files.ini cannot keep the target @src/c=d/Lib.DLL"
      trigger A_getTarget ; answer file @bin/a=b/One.EXE ; expect asked ~ "message: Files.ini cannot keep the target @bin/a=b/One.EXE"
      expect LB_Files == "@out/One.EXE=@src/One.dpr\n@out/Two.EXE=@src/Two.dpr" ; expect A_saveProjectSettings disabled
      trigger A_editFileList ; type Memo1 "@out/One.EXE=@src/One.dpr\n@src/Two.dpr" ; click b_save
      expect asked ~ "message: The entry @src/Two.dpr names no target: Files.ini keeps an entry as target=source.\n"
      expect b_save == "Save File List" ; type Memo1 "@out/A.EXE=@src/a]b/Lib.dpr" ; click b_save
      expect asked ~ "message: Files.ini cannot keep the source @src/a]b/Lib.dpr" ; click b_cancelEditwindow
      expect LB_Files == "@out/One.EXE=@src/One.dpr\n@out/Two.EXE=@src/Two.dpr"
      lines proj/Files.ini [options] [FileList] "@out/Lib.DLL=@src/a]b/Lib.dpr" ; select cb_ProjectList 0 ; answer Discard
      expect asked ~ "\nmessage: Error: Files.ini cannot keep the source @src/a]b/Lib.dpr: ']' cannot stand")"},
// Lines in Windows-1252 and in UTF-8 keep their bytes through the editor.
#ifndef _WIN32
    // Not run on Windows: a name that is not ASCII reaches the system there
    // in the ANSI code page, which this test's Latin-1 bytes do not survive.
    {"EditingTheListKeepsTheBytesOfEveryLine", R"(
      write "src/Gr\xFC\xDFe.dpr" "program Gr\xFC\xDFe;\r\n" ; write src/Straße.dpr "program Straße;\r\n"
      lines proj/Files.ini [options] [FileList] "@out/Gr\xFC\xDFe.EXE=@src/Gr\xFC\xDFe.dpr" @out/Straße.EXE=@src/Straße.dpr
      select cb_ProjectList 0 ; select LB_Files 0 ; expect L_Results ~ "Source File contents of" ; expect Memo1 ~ Grüße
      trigger A_editFileList ; click b_save ; trigger A_saveProjectSettings ; expect asked == ""
      expect-file proj/Files.ini ~ "\r\n@out/Gr\xFC\xDFe.EXE=@src/Gr\xFC\xDFe.dpr\r\n@out/Straße.EXE=@src/Straße.dpr\r\n")"},
#endif
};
TESMAR_SCENARIOS(FileList, TwoPrograms, FileCommands);

class FileListTest : public TScenarioTest {};

// A source whose path is longer than 200 characters is selected and shown.
TEST_F(FileListTest, ALongSourcePathIsSelectedWhole) {
  const std::string dir = "src/" + std::string(100, 'd') + "/" + std::string(230 - Path("src/").size() - 110, 'e');
  Play(TwoPrograms + ("\nwrite " + dir + "/Long.dpr \"program Long;\\r\\n\" ; trigger A_getSource" +
                      " ; answer file @" + dir + "/Long.dpr ; expect L_Results ~ \"Source File contents of\"" +
                      " ; expect Memo1 == \"program Long;\" ; expect e_SourceFile == @" + dir + "/Long.dpr"));
}

TEST_F(FileListTest, DroppedSourcesAreAddedBesideTheirSourcesAndOthersIgnored) {
  Play(TwoPrograms);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(ToQ(Path("src/Lib.dpr"))), QUrl::fromLocalFile(ToQ(Path("src/notes.txt")))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Form->LB_Files->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Form->LB_Files->viewport(), &drop);
  Play("expect LB_Files == \"@out/One.EXE=@src/One.dpr\n@out/Two.EXE=@src/Two.dpr\n@src/Lib.DLL=@src/Lib.dpr\"");
  Play("expect A_saveProjectSettings enabled");
}

TEST_F(FileListTest, EachHalfOfALineIsShortenedToHalfTheListWidth) {
  // Paths as the system writes them: a drive and backslashes on Windows.
#ifdef _WIN32
  const QString drive = "C:";
#else
  const QString drive = "";
#endif
  auto native = [&drive](const QString& path) { return QDir::toNativeSeparators(drive + path); };
  const QString deep = native("/very/long/directory/names/that/go/on/and/on/for/quite/a/while/");
  Play(TwoPrograms);
  Form->LB_Files->setFixedWidth(420);
  auto* delegate = dynamic_cast<TFileListDelegate*>(Form->LB_Files->itemDelegate());
  ASSERT_NE(delegate, nullptr);
  EXPECT_EQ(delegate->HalfWidth(), 200);
  const QString sep = QDir::separator();
  const QStringList halves =
      delegate->ShownText(deep + "target" + sep + "App.EXE=" + deep + "source" + sep + "App.dpr").split('=');
  ASSERT_EQ(halves.size(), 2);
  for (const QString& half : halves) {
    EXPECT_LE(Form->LB_Files->fontMetrics().horizontalAdvance(half), 200) << half.toStdString();
    EXPECT_TRUE(half.startsWith(native("/.../"))) << half.toStdString();
  }
  EXPECT_TRUE(halves[0].endsWith(QDir::toNativeSeparators("/target/App.EXE")));
  EXPECT_TRUE(halves[1].endsWith(QDir::toNativeSeparators("/source/App.dpr")));
  EXPECT_GE(Form->LB_Files->sizeHintForRow(0), 13);
  // What is kept of a shortened line follows the list's width and font.
  const QString line = deep + "target" + sep + "App.EXE=" + deep + "source" + sep + "App.dpr";
  Form->LB_Files->setFixedWidth(220);
  const QString narrow = delegate->ShownText(line);
  EXPECT_NE(narrow, halves.join('='));
  EXPECT_LE(Form->LB_Files->fontMetrics().horizontalAdvance(narrow.section('=', 0, 0)), 100);
  Form->LB_Files->setFixedWidth(420);
  QFont large = Form->LB_Files->font();
  large.setPointSizeF(large.pointSizeF() * 1.5);
  Form->LB_Files->setFont(large);
  const QFontMetrics metrics = Form->LB_Files->fontMetrics();
  const QString shortened =
      ShortPath(line.section('=', 0, 0), 200, metrics) + "=" + ShortPath(line.section('=', 1), 200, metrics);
  EXPECT_NE(shortened, halves.join('='));
  EXPECT_EQ(delegate->ShownText(line), shortened);
}

// The current entry of a list without the focus is in sight whatever the
// palette: Windows gives an unfocused list a highlight all but its white.
TEST_F(FileListTest, TheCurrentEntryShowsWhenTheListHasNotTheFocus) {
  Play(TwoPrograms);
  QListWidget& list = *Form->LB_Files;
  list.setCurrentRow(1);
  QPalette palette = list.palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor("#f5f5f5"));
  palette.setColor(QPalette::Base, Qt::white);
  list.setPalette(palette);
  QStyleOptionViewItem option;
  option.initFrom(&list);
  option.state = QStyle::State_Enabled | QStyle::State_Selected;  // not active: no focus
  option.rect = QRect(0, 0, 200, list.sizeHintForRow(0));
  option.palette = palette;
  QImage image(option.rect.size(), QImage::Format_RGB32);
  QPainter painter(&image);
  list.itemDelegate()->paint(&painter, option, list.model()->index(1, 0));
  painter.end();
  EXPECT_LT(QColor(image.pixel(199, 1)).lightness(), 235);
}

}  // namespace
