// The file list of the project: the list box and its commands.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include "app/fMainForm.h"
#include "app/uActionButton.h"
#include "app/uFileListDelegate.h"
#include "dialogs/uSelectDir.h"
#include "dialogs/uUserDialogs.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"

namespace {

// A compiled resource stands for its script.
std::string ScriptOfResource(const std::string& file) {
  return platform::UpperAscii(file).find(".RES") != std::string::npos ? platform::ChangeFileExt(file, ".RC") : file;
}

// The target of a source beside the source, by what the source builds: a
// resource script compiles to a .RES (not to the ".RC" that the kinds'
// extension table gives a script).
std::string TargetBeside(const std::string& source) {
  static const char* const extensions[] = {"", ".RES", ".EXE", ".DLL", ".BPL"};
  const TTargetTypeEnum kind = GlobalStuff().TargetKind(source);  // throws for a file of another kind
  if (kind == ttUnknown) return "Unknown...";
  return platform::ChangeFileExt(source, extensions[kind]);
}

std::string TargetName(const std::string& source) {
  const std::string target = TargetBeside(source);
  return target == "Unknown..." ? target : platform::ExtractFileName(target);
}

bool IsSourceFile(const QString& file) {
  const QString suffix = QFileInfo(file).suffix().toLower();
  return suffix == "dpr" || suffix == "dpk" || suffix == "rc" || suffix == "res";
}

}  // namespace

void TF_MainForm::ConnectFileCommands() {
  LB_Files->setItemDelegate(new TFileListDelegate(LB_Files));
  LB_Files->setAcceptDrops(true);
  LB_Files->viewport()->setAcceptDrops(true);
  LB_Files->viewport()->installEventFilter(this);
  connect(b_FileUp, &QPushButton::clicked, this, [this] { Guarded([this] { b_FileUpClick(); }); });
  connect(b_fileDown, &QPushButton::clicked, this, [this] { Guarded([this] { b_fileDownClick(); }); });
}

void TF_MainForm::LB_FilesClick() {
  SelectFileEntry(LB_Files->currentRow());
}

void TF_MainForm::SelectFileEntry(int index) {
  if (LB_Files->count() == 0) return;
  if (index < 0 || index >= LB_Files->count()) {
    index = 0;
    LB_Files->setCurrentRow(0);
  }
  const std::string line = FromQ(LB_Files->item(index)->text());
  const std::size_t eq = line.find('=');
  CurrentSource = eq == std::string::npos ? std::string() : line.substr(eq + 1, 200);
  BuildRun->SelectedSource = CurrentSource;
  CurrentTarget = line.substr(0, eq);
  A_SelectFileExecute(LB_Files);
}

void TF_MainForm::AddFileEntry(const std::string& line) {
  TProjectList& files = BuildRun->FileList();
  const std::string wanted = platform::UpperAscii(line);
  for (int i = 0; i < files.Count(); ++i)
    if (platform::UpperAscii(files.Strings(i)) == wanted) return;
  files.AddFileLine(line);
  LB_Files->addItem(ToQ(line));
}

void TF_MainForm::A_AddFileExecute() {
  TProjectList& files = BuildRun->FileList();
  const int reference = files.FindSource(FromQ(e_SourceFile->text()));
  LB_Files->setCurrentRow(reference);
  std::string startDir = reference < 0 ? platform::ProgramDir() : platform::ExtractFileDir(files.DestOf(reference));
  files.SetProjectPath(CurrentProjectDir);

  TOpenDialogRequest request;
  request.Filter = "Source files (dpr, res, rc, dpk)|*.dpr;*.res;*.rc;*.dpk";
  request.Title = "select file(s) (dpr, res, rc, dpk) to be in project";
  request.MultiSelect = true;
  request.FileMustExist = true;
  request.FileName = ToQ(platform::IncludeTrailingPathDelimiter(startDir));
  const QStringList chosen = Dialogs.OpenFiles(this, request);
  if (chosen.isEmpty()) return;
  LastOpenFilter = request.Filter;

  const int before = files.Count();
  try {
    for (const QString& file : chosen) {
      const std::string source = ScriptOfResource(FromQ(file));
      const std::string target = TargetName(source);
      QString directory = ToQ(startDir);
      if (!Dialogs.SelectDirectory(this, ToQ("Select Target Directory for " + target), directory,
                                   sdAllowCreate | sdPerformCreate | sdPrompt, 0))
        directory = ToQ(platform::ExtractFileDir(source));
      startDir = FromQ(directory);
      AddFileEntry(PathJoin(startDir, target) + "=" + source);
    }
  } catch (...) {
    // A file of another kind stops the addition; those added before it are
    // in the project, a change that must not go unsaved without a question.
    if (files.Count() != before) SetModified(true);
    throw;
  }
  e_SourceFile->setText(ToQ(files.SourceOf(files.Count() - 1)));
  LB_Files->setCurrentRow(LB_Files->count() - 1);
  A_SelectFileExecute(LB_Files);
  SetModified(true);
}

void TF_MainForm::A_getSourceExecute() {
  TOpenDialogRequest request;
  request.Filter = "DPR,DPK,RC|*.DPR;*.DPK;*.RC";
  request.Title = "Select source file to include in this tesmar project.";
  request.FileMustExist = true;
  const QStringList chosen = Dialogs.OpenFiles(this, request);
  if (chosen.isEmpty()) return;
  LastOpenFilter = request.Filter;
  AddDroppedFiles(chosen);
}

void TF_MainForm::AddDroppedFiles(const QStringList& files) {
  std::string source;
  const int before = BuildRun->FileList().Count();
  try {
    for (const QString& file : files) {
      source = ScriptOfResource(FromQ(file));
      BuildRun->FileList().SetProjectPath(CurrentProjectDir);
      AddFileEntry(TargetBeside(source) + "=" + source);
    }
  } catch (...) {
    if (BuildRun->FileList().Count() != before) SetModified(true);  // as for files added by the dialog
    throw;
  }
  if (source.empty()) return;
  e_SourceFile->setText(ToQ(source));
  LB_Files->setCurrentRow(LB_Files->count() - 1);
  A_SelectFileExecute(LB_Files);
  SetModified(true);
}

bool TF_MainForm::ListDropEvent(QEvent* event) {
  if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove && event->type() != QEvent::Drop)
    return false;
  auto* drop = static_cast<QDropEvent*>(event);
  QStringList files;
  if (drop->mimeData()->hasUrls())
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile() && IsSourceFile(url.toLocalFile())) files << url.toLocalFile();
  // Nothing is added while a build runs or when nothing is a source.
  if (files.isEmpty() || BuildRunning || !A_AddFile->isEnabled()) {
    event->ignore();
    return true;
  }
  drop->acceptProposedAction();
  if (event->type() == QEvent::Drop) Guarded([this, files] { AddDroppedFiles(files); });
  return true;
}

void TF_MainForm::A_deleteFileExecute() {
  const int index = LB_Files->currentRow();
  if (index < 0) return;
  delete LB_Files->takeItem(index);
  e_SourceFile->clear();
  // The entry now at the place of the deleted one, else the new last one.
  if (LB_Files->count() > 0) LB_Files->setCurrentRow(std::min(index, LB_Files->count() - 1));
  BuildRun->FileList().Delete(index);
  A_SelectFileExecute(LB_Files);
  SetModified(true);
}

void TF_MainForm::b_FileUpClick() {
  const int index = LB_Files->currentRow();
  if (index <= 0) return;
  LB_Files->insertItem(index - 1, LB_Files->takeItem(index));
  LB_Files->setCurrentRow(index - 1);
  BuildRun->FileList().Move(index, index - 1);
  A_SelectFileExecute(LB_Files);
  SetModified(true);
}

void TF_MainForm::b_fileDownClick() {
  const int index = LB_Files->currentRow();
  if (index < 0 || index >= LB_Files->count() - 1) return;
  LB_Files->insertItem(index + 1, LB_Files->takeItem(index));
  LB_Files->setCurrentRow(index + 1);
  BuildRun->FileList().Move(index, index + 1);
  SetModified(true);
  A_SelectFileExecute(LB_Files);
}

void TF_MainForm::A_editFileListExecute() {
  SetHeading("Editing Files List for " + CurrentProjectName);
  const QString heading = L_Results->text();
  SetViewMode(vmEditing);
  SetHeading(FromQ(heading));
  QStringList lines;
  for (int i = 0; i < LB_Files->count(); ++i) lines << LB_Files->item(i)->text();
  Memo1->setPlainText(lines.join('\n'));
  MemoChangeAttached = true;
  b_save->SetAction(A_saveFileList);
}

void TF_MainForm::A_saveFileListExecute() {
  TProjectList& files = BuildRun->FileList();
  files.Clear();
  LB_Files->clear();
  // Blank lines would become entries without a source: they are dropped.
  for (const QString& line : Memo1->toPlainText().split('\n')) {
    if (line.trimmed().isEmpty()) continue;
    files.AddFileLine(FromQ(line));
    LB_Files->addItem(line);
  }
  LB_FilesClick();
  SetViewMode(vmViewing);
  SetModified(true);
}
