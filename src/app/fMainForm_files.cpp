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
#include <algorithm>

#include "app/fMainForm.h"
#include "app/uActionButton.h"
#include "app/uFileListDelegate.h"
#include "dialogs/uSelectDir.h"
#include "dialogs/uUserDialogs.h"
#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "project/uPersistence.h"

namespace {

// A compiled resource stands for its script; a ".res" elsewhere in the name
// (a folder tools.restored) makes no resource.
std::string ScriptOfResource(const std::string& file) {
  return platform::UpperAscii(platform::ExtractFileExt(file)) == ".RES" ? platform::ChangeFileExt(file, ".RC") : file;
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

// A name that Files.ini cannot keep stops the addition where it enters.
void RefuseEntry(const std::string& target, const std::string& source) {
  if (const std::string problem = FileListEntryProblem(target, source); !problem.empty()) throw TError(problem);
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
  if (LB_Files->count() == 0) {
    A_SelectFileExecute(LB_Files);  // nothing to show: the panel empties
    return;
  }
  if (index < 0 || index >= LB_Files->count()) index = 0;
  LB_Files->setCurrentRow(index);
  A_SelectFileExecute(LB_Files);
}

void TF_MainForm::ListEntryChosen(int row) {
  // During a build the list follows the build; the entry then chosen is
  // taken when it ends.
  if (BuildRunning || row < 0 || row >= LB_Files->count()) return;
  if (!LeaveEdit()) {
    LB_Files->setCurrentRow(ShownEntry);  // back to the entry whose edit it is
    return;
  }
  SelectFileEntry(row);
}

void TF_MainForm::AddFileEntry(const std::string& line) {
  TProjectList& files = BuildRun->FileList();
  // The same line is not added twice, whatever the letter case (and on
  // Windows whichever slash separates its names).
  auto key = [](const std::string& text) {
    std::string upper = platform::UpperAscii(text);
    if (platform::PathDelim == '\\') std::replace(upper.begin(), upper.end(), '/', '\\');
    return upper;
  };
  const std::string wanted = key(line);
  for (int i = 0; i < files.Count(); ++i)
    if (key(files.Strings(i)) == wanted) return;
  files.AddFileLine(line);
  LB_Files->AddEntry(line);
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
      RefuseEntry(target, source);
      QString directory = ToQ(startDir);
      if (!Dialogs.SelectDirectory(this, ToQ("Select Target Directory for " + target), directory,
                                   sdAllowCreate | sdPerformCreate | sdPrompt, 0))
        directory = ToQ(platform::ExtractFileDir(source));
      startDir = FromQ(directory);
      RefuseEntry(PathJoin(startDir, target), source);
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
      const std::string target = TargetBeside(source);
      RefuseEntry(target, source);
      AddFileEntry(target + "=" + source);
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
  if (event->type() == QEvent::Drop) RunCommand(nullptr, [this, files] { AddDroppedFiles(files); });
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
  // Each line is shown in the encoding it was read in and keeps its bytes
  // when it comes back unchanged; lines typed anew take the list's encoding.
  const TProjectList& files = BuildRun->FileList();
  QStringList lines;
  ListLineBytes.clear();
  ListEncoding = TTextEncoding::Utf8;
  for (int i = 0; i < files.Count(); ++i) {
    const std::string& bytes = files.Strings(i);
    if (!IsValidUtf8(bytes)) ListEncoding = TTextEncoding::Windows1252;
    lines << ToQ(bytes);
    ListLineBytes.emplace_back(lines.back(), bytes);
  }
  Memo1->setPlainText(lines.join('\n'));
  EditStartText = Memo1->toPlainText();
  MemoChangeAttached = true;
  b_save->SetAction(A_saveFileList);
}

void TF_MainForm::A_saveFileListExecute() {
  TakeEditedFileList();
}

bool TF_MainForm::TakeEditedFileList() {
  // Blank lines would become entries without a source: they are dropped.
  std::vector<std::string> lines;
  for (const QString& line : Memo1->toPlainText().split('\n')) {
    if (line.trimmed().isEmpty()) continue;
    auto known =
        std::find_if(ListLineBytes.begin(), ListLineBytes.end(), [&](const auto& l) { return l.first == line; });
    lines.push_back(known != ListLineBytes.end()    ? known->second
                    : CanEncode(line, ListEncoding) ? EncodeText(line, ListEncoding)
                                                    : FromQ(line));
  }
  // A line that Files.ini could not keep as it is would come back otherwise,
  // or not at all: the text stays in the editor to be put right.
  for (const std::string& line : lines) {
    const std::size_t eq = line.find('=');
    const std::string problem = FileListEntryProblem(eq == std::string::npos ? std::string() : line.substr(0, eq),
                                                     eq == std::string::npos ? line : line.substr(eq + 1));
    if (!problem.empty()) {
      Dialogs.Message(this, ScreenText(problem));
      Memo1->setFocus();
      return false;
    }
  }
  TProjectList& files = BuildRun->FileList();
  files.Clear();
  for (const std::string& line : lines) files.AddFileLine(line);
  // A line given twice is one entry: the box shows the list as it now is.
  LoadFileListIntoListBox();
  LB_FilesClick();
  SetViewMode(vmViewing);
  SetModified(true);
  return true;
}
