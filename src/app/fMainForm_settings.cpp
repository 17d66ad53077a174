// The settings of the current file: the panel of rows and the merged version.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <optional>

#include "app/fMainForm.h"
#include "app/uActionButton.h"
#include "dialogs/fExtractLibPath.h"
#include "dialogs/fFileSelectDlg.h"
#include "dialogs/uUserDialogs.h"
#include "ide/IDELibPath.h"
#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"
#include "project/uPersistence.h"

namespace {

// The source part of a file list line (the whole of a line without '='),
// and its target part.
std::string SourceOfLine(const std::string& line) {
  const std::size_t eq = line.find('=');
  return eq == std::string::npos ? line : line.substr(eq + 1);
}

std::string TargetOfLine(const std::string& line) {
  const std::size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

void PaintEdit(QLineEdit* edit, QPalette::ColorRole background, QPalette::ColorRole text) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, QApplication::palette().color(background));
  palette.setColor(QPalette::Text, QApplication::palette().color(
                                       text == QPalette::PlaceholderText ? QPalette::Disabled : QPalette::Active,
                                       text == QPalette::PlaceholderText ? QPalette::Text : text));
  edit->setPalette(palette);
}

}  // namespace

void TF_MainForm::A_SelectFileExecute(QObject* sender) {
  SetViewMode(vmViewing);
  // Lines are taken from the file list, whose bytes the box shows decoded.
  const TProjectList& files = BuildRun->FileList();
  if (sender == LB_Files) {
    if (LB_Files->count() == 0) {
      ShownEntry = -1;
      DisableFileSettings();
      b_buildOne->setEnabled(false);
      return;
    }
    EnableFileSettings();
    if (LB_Files->currentRow() < 0) LB_Files->setCurrentRow(0);
    ShownEntry = LB_Files->currentRow();
    const std::string& line = files.Strings(ShownEntry);
    CurrentSource = SourceOfLine(line);
    CurrentTarget = TargetOfLine(line);
    e_SourceFile->setText(ToQ(CurrentSource));
    e_target->setText(ToQ(CurrentTarget));
    b_buildOne->setEnabled(true);
  } else if (sender == e_SourceFile) {
    const QString typed = e_SourceFile->text().trimmed();
    if (platform::TrimControls(FromQ(typed)).empty()) {
      CurrentSource.clear();
      DisableFileSettings();
      return;
    }
    EnableFileSettings();
    // The entry the box names, by its shown text, else by its name without
    // regard to case; a listed source keeps its own bytes.
    int index = -1;
    for (int i = 0; i < files.Count() && index < 0; ++i)
      if (ToQ(SourceOfLine(files.Strings(i))) == typed) index = i;
    if (index < 0) index = files.FindSource(FromQ(typed));
    CurrentSource = index >= 0 ? SourceOfLine(files.Strings(index)) : platform::TrimControls(FromQ(typed));
    LB_Files->setCurrentRow(index);
    ShownEntry = index;
    if (index >= 0) CurrentTarget = files.DestOf(index);
  }
  BuildRun->SelectedSource = CurrentSource;
  b_save->setVisible(false);
  A_cancelEditWindow->setVisible(true);
  A_cancelEditWindow->setEnabled(true);

  Memo1->clear();
  PaintMemo(false);
  if (!CurrentSource.empty() && platform::FileExists(CurrentSource)) LoadMemoFromFile(CurrentSource);
  SetHeading(std::string(MemoLineCount() > 0 ? "Source File contents of" : "Missing source file...") + "\r\n" +
             ShortForHeading(CurrentSource));

  e_target->setText(ShortPath(ToQ(CurrentTarget), e_target->contentsRect().width(), e_target->fontMetrics()));
  e_target->setToolTip(ToQ(CurrentTarget));
  ShowSettingPath(e_configuration, stConfigFile);
  ShowSettingPath(e_libraryPath, stLibraryPath);
  ShowSettingPath(e_GroupVerInfo, stGroupVerInfo);
  ShowSettingPath(e_localVerInfo, stLocalVerInfo);
  ShowSettingPath(e_ResourceMask, stRCMask);
  UpdateDPKSupport();
  ShowSettingPath(e_PreProcessing, stPreProcessing);
  ShowSettingPath(e_PostProcessing, stPostProcessing);

  m_mergedVerInfo->clear();
  m_mergedVerInfo->setPlainText(ToQ(CurrentSettings().VersionSummary()));
}

int TF_MainForm::CurrentEntry() const {
  const TProjectList& files = BuildRun->FileList();
  if (ShownEntry >= 0 && ShownEntry < files.Count() && SourceOfLine(files.Strings(ShownEntry)) == CurrentSource)
    return ShownEntry;
  return files.FindSource(CurrentSource);
}

TProjectSettings& TF_MainForm::CurrentSettings() {
  const int index = CurrentEntry();
  if (index < 0)
    throw TError(CurrentSource + " does not exist in this project list: " + BuildRun->FileList().GetProjectPath());
  return *BuildRun->FileList().SettingsAt(index);
}

void TF_MainForm::DisableFileSettings() {
  e_target->clear();
  FileSettingsOn = false;
  for (const TSettingRow& row : SettingRows) {
    row.Label->setEnabled(false);
    row.Edit->clear();
    row.Edit->setToolTip(QString());
  }
  SyncRowButtons();
  m_mergedVerInfo->clear();
}

void TF_MainForm::EnableFileSettings() {
  e_target->clear();
  FileSettingsOn = true;
  for (const TSettingRow& row : SettingRows) row.Label->setEnabled(true);
  SyncRowButtons();
}

void TF_MainForm::SyncRowButtons() {
  for (const TSettingRow& row : SettingRows)
    row.Button->setEnabled(FileSettingsOn && row.Button->defaultAction()->isEnabled());
}

void TF_MainForm::ShowSettingPath(QLineEdit* edit, TsettingsTypeEnum kind) {
  const QString path = ToQ(CurrentSettings().GetSettingPath(kind));
  edit->setText(ShortPath(path, edit->contentsRect().width() - 4, edit->fontMetrics()));
  edit->setToolTip(path);
  edit->setCursorPosition(0);
}

void TF_MainForm::UpdateDPKSupport() {
  if (platform::UpperAscii(platform::ExtractFileExt(CurrentSource)) == ".DPK") {
    SettingRows[7].Label->setEnabled(true);
    PaintEdit(e_DPKSupport, QPalette::Window, QPalette::Text);
    A_getDPKSupportFile->setEnabled(true);
    ShowSettingPath(e_DPKSupport, stDPKConfig);
  } else {
    SettingRows[7].Label->setEnabled(false);
    e_DPKSupport->clear();
    e_DPKSupport->setToolTip(QString());
    PaintEdit(e_DPKSupport, QPalette::Window, QPalette::PlaceholderText);
    A_getDPKSupportFile->setEnabled(false);
  }
}

void TF_MainForm::Memo1Change() {
  if (SettingKindShown == stSourceFile || SettingKindShown == stDestFile) SetModified(true);
}

// --- the rows -------------------------------------------------------------------

const TF_MainForm::TSettingRow* TF_MainForm::RowOf(const QObject* widget) const {
  for (const TSettingRow& row : SettingRows)
    if (row.Edit == widget || row.Button == widget || row.Label == widget) return &row;
  return nullptr;
}

std::string TF_MainForm::GetSettingTitle(QLineEdit* sender) {
  static const std::pair<TsettingsTypeEnum, const char*> titles[] = {
      {stSourceFile, "Source of "},
      {stDestFile, "Target file "},
      {stConfigFile, "Configuration settings for "},
      {stLibraryPath, "Library Path for "},
      {stGroupVerInfo, "Global Version Information for"},
      {stLocalVerInfo, "Local Version Information for"},
      {stRCMask, "Resource mask for "},
      {stDPKConfig, "DPK configuration for "},
      {stPreProcessing, "Pre processing .bat file for "},
      {stPostProcessing, "Post processing .bat file for "}};
  const TSettingRow* row = RowOf(sender);
  if (!row || row->Edit != sender) return "";
  SettingKindShown = row->Kind;
  for (const auto& [kind, title] : titles)
    if (kind == row->Kind) return title;
  return "";
}

void TF_MainForm::ShowSettingText(const std::string& bytes, bool editable) {
  QString text = DecodeTextFile(bytes, &MemoEncoding);
  const bool binary = text.contains(QChar(0));
  // NUL bytes would not survive the editor: the text is shown, not edited.
  text.replace(QChar(0), QChar(0x2400));
  Memo1->setPlainText(text);
  if (binary && editable) {
    Memo1->setReadOnly(true);
    PaintMemo(false);
  }
}

void TF_MainForm::ShowSetting(QLineEdit* sender) {
  SetViewMode(vmViewing);
  const std::string title = GetSettingTitle(sender);
  const TsettingsTypeEnum kind = SettingKindShown;
  if (LB_Files->count() == 0) return;

  LB_Files->setCurrentRow(CurrentEntry());
  Memo1->clear();
  TProjectSettings& settings = CurrentSettings();
  const std::string path = settings.GetSettingPath(kind);
  MemoChangeAttached = false;

  bool binary = false;
  if (kind >= stLibraryPath) {
    SetViewMode(vmEditing);
    const std::string content = settings.GetSettingContent(kind);
    binary = content.find('\0') != std::string::npos;
    ShowSettingText(content, true);
    MemoChangeAttached = true;
    SetHeading(title + "\r\n" + ShortForHeading(CurrentSource) + "\r\n" +
               (MemoLineCount() > 0 ? "is in" : "is currently set to empty file") + "\r\n" + ShortForHeading(path));
  } else {
    ShowSettingText(settings.GetSettingContent(kind), false);
    SetHeading(title + "\r\n" + ShortForHeading(CurrentSource) +
               (MemoLineCount() == 0 ? "\r\nis currently set to empty file" : ""));
  }

  auto offer = [](TActionButton* button, QAction* action) {
    button->SetAction(action);
    action->setVisible(true);
  };
  if (sender == e_configuration) {
    b_save->SetAction(A_SaveConfig);
    offer(b_ideLibPath, A_DisplayDCCOptions);
  } else if (sender == e_libraryPath) {
    offer(b_ideLibPath, A_GrabIDEPath);
    b_save->SetAction(A_savePath);
  } else if (sender == e_ResourceMask) {
    b_save->SetAction(A_SaveRCMask);
  } else if (sender == e_DPKSupport) {
    b_save->SetAction(A_SaveDPKSupport);
  } else if (sender == e_PreProcessing) {
    b_save->SetAction(A_savePreProcessing);
  } else if (sender == e_PostProcessing) {
    b_save->SetAction(A_SavePostProcessing);
  } else if (sender == e_localVerInfo || sender == e_GroupVerInfo) {
    // A script by its extension, not by ".rc" elsewhere in its name.
    if (platform::UpperAscii(platform::ExtractFileExt(CurrentSource)) == ".RC" &&
        BuildRun->UniqueBaseName(CurrentSource)) {
      SetHeading("Independent resource file, no version info.");
      Memo1->clear();
      PaintMemo(false);
      b_save->setVisible(false);
      return;
    }
    offer(b_ideLibPath, A_editVersion);
    b_save->SetAction(sender == e_localVerInfo ? A_SaveLocalVerInfo : A_saveGlobalVerInfo);
  }
  if (binary) {
    b_save->setVisible(false);
    SetHeading(FromQ(L_Results->text()) + "\r\nThe file holds NUL bytes: it is shown, not edited here.");
  }
  EditStartText = Memo1->toPlainText();
}

void TF_MainForm::SettingRowEnter(QLineEdit* edit) {
  const TSettingRow* row = RowOf(edit);
  if (!row || !LeaveEdit()) return;
  if (edit == e_DPKSupport) {
    UpdateDPKSupport();
    if (!A_getDPKSupportFile->isEnabled()) return;
  }
  ShowSetting(edit);
  row->Button->setFocus();
  QPalette red = edit->palette();
  red.setColor(QPalette::Text, Qt::red);
  edit->setPalette(red);
}

void TF_MainForm::SettingRowExit(QLineEdit* edit) {
  QPalette normal = edit->palette();
  normal.setColor(QPalette::Text, QApplication::palette().color(QPalette::Text));
  edit->setPalette(normal);
}

void TF_MainForm::SettingLabelClick(QLineEdit* edit) {
  edit->setFocus();
}

void TF_MainForm::m_mergedVerInfoClick() {
  A_editVersion->trigger();
}

// --- choosing files -------------------------------------------------------------

void TF_MainForm::ChooseSettingFile(QLineEdit* edit, TsettingsTypeEnum kind, const std::string& description,
                                    const std::string& filter, const std::string& defaultExtension,
                                    const std::string& title) {
  TProjectSettings& settings = CurrentSettings();
  const std::string current = settings.GetSettingPath(kind);
  std::string newFile;
  if (ExecuteFileSelectDlg(this, Dialogs, current, description, filter, defaultExtension, title, newFile)) {
    settings.SetSettingPath(kind, newFile);
    settings.ReloadSetting(kind);
    const std::string text = settings.GetSettingContent(kind);
    BuildRun->FileList().ShareSettingContent(kind, newFile, text);
    edit->setText(ShortPath(ToQ(newFile), edit->contentsRect().width() - 4, edit->fontMetrics()));
    edit->setToolTip(ToQ(newFile));
    SetModified(true);
  }
  edit->setFocus();
}

void TF_MainForm::A_getTargetExecute() {
  e_target->setFocus();
  TTargetTypeEnum kind = ttUnknown;
  const int index = CurrentEntry();
  if (index >= 0 && index < BuildRun->FileList().Count())
    kind = BuildRun->FileList().SettingsAt(index)->GetTargetType();
  switch (kind) {
    case ttRC:
      LastOpenFilter = "Resource file|*.RES";
      break;
    case ttEXE:
      LastOpenFilter = "Executable |*.EXE";
      break;
    case ttDLL:
      LastOpenFilter = "Dynamic library |*.DLL";
      break;
    case ttBPL:
      LastOpenFilter = "Package|*.BPL";
      break;
    case ttUnknown:
      break;  // the filter stays as the dialog last had it
  }
  const std::string extension = GlobalStuff().TargetExtension(kind);
  TOpenDialogRequest request;
  request.Title = ToQ("Select target for " + CurrentSource);
  request.Filter = LastOpenFilter;
  request.DefaultExtension = ToQ(extension);
  request.FileName = ToQ(platform::ExtractFilePath(CurrentSource) + extension);
  const QStringList chosen = Dialogs.OpenFiles(this, request);
  const std::string problem =
      chosen.isEmpty() ? std::string() : FileListEntryProblem(FromQ(chosen.first()), CurrentSource);
  if (!problem.empty()) {
    Dialogs.Message(this, ScreenText(problem));
  } else if (!chosen.isEmpty() && index >= 0) {
    CurrentTarget = FromQ(chosen.first());
    BuildRun->FileList().SetDestFile(index, CurrentTarget);
    LB_Files->item(index)->setText(ToQ(BuildRun->FileList().Strings(index)));
    e_target->setText(ShortPath(ToQ(CurrentTarget), e_target->contentsRect().width() - 4, e_target->fontMetrics()));
    e_target->setToolTip(ToQ(CurrentTarget));
    SetModified(true);
  }
  e_target->setFocus();
}

// --- saving what the memo holds -------------------------------------------------

std::string TF_MainForm::MemoBytes() const {
  const QString text = Memo1->toPlainText();
  if (text.isEmpty()) return "";
  std::string bytes;
  for (const QString& line : text.split('\n')) bytes += EncodeText(line, MemoEncoding) + "\r\n";
  return bytes;
}

bool TF_MainForm::SaveSettingFromEditor(TsettingsTypeEnum kind) {
  {
    TProjectSettings& settings = CurrentSettings();
    const std::string path = settings.GetSettingPath(kind);
    if (settings.Store().ChangedOutside(path)) {
      bool same = false;
      switch (Dialogs.AskAboutChangedFile(
          this,
          ScreenText(path + "\r\nhas been changed on disk since the project read it.\r\nOverwrite it with the text "
                            "edited here, or keep the other version (the edit is dropped)?"),
          0, same)) {
        case cfCancel:
          Memo1->setFocus();
          return false;  // the edit stays, nothing is written
        case cfKeepOther:
          // Every entry that uses the file takes its text, which the panel
          // then shows.
          if (const std::optional<std::string> text = settings.Store().AdoptFileText(path))
            BuildRun->FileList().TakeFileText(path, *text);
          LB_FilesClick();
          SetViewMode(vmViewing);
          StatusText = GlobalStuff().SettingName(kind) + " kept as changed on disk.";
          return true;
        case cfOverwrite:
          break;
      }
    }
  }
  if (!CanEncode(Memo1->toPlainText(), MemoEncoding)) {
    // Windows-1252 cannot hold what was typed: the file becomes UTF-8
    // rather than losing characters.
    MemoEncoding = TTextEncoding::Utf8;
    Dialogs.Message(this, "The text holds characters that Windows-1252 cannot hold; the file is saved as UTF-8.");
  }
  const std::string text = MemoBytes();
  TProjectSettings& settings = CurrentSettings();
  TPersistenceObject& store = settings.Store();
  store.LastError.clear();
  settings.SetSettingContent(kind, text);
  settings.SaveSettingFile(kind);
  const std::string path = settings.GetSettingPath(kind);
  // The store reports a file it could not write; an emptied file that is
  // still there was not removed.
  std::string failure = store.LastError;
  if (failure.empty() && text.empty() && platform::FileExists(path)) failure = "Failed to remove " + path;
  if (!failure.empty()) {
    // The edit stays in the memo, to be saved again or dropped. With
    // HaltOnError the store's report has been shown already.
    SetHeading(GlobalStuff().SettingName(kind) + " not saved.");
    if (!BuildRun->GetOption(poHaltOnError) || Unattended) Dialogs.Message(this, ScreenText(failure));
    return false;
  }
  const std::string shared = settings.GetSettingContent(kind);
  BuildRun->FileList().ShareSettingContent(kind, path, shared);
  LB_FilesClick();
  SetViewMode(vmViewing);
  StatusText = GlobalStuff().SettingName(kind) + " saved.";
  return true;
}

void TF_MainForm::A_cancelEditWindowExecute() {
  SetViewMode(vmViewing);
  CloseDccOptionsWindows();
}

void TF_MainForm::A_GrabIDEPathExecute() {
  const auto directories = GetDelphiLibraryPath("5", *LibraryPrompt);
  if (!directories) return;
  QStringList lines;
  for (const std::string& dir : *directories) lines << ToQ(dir);
  // As if typed: the memo's change handler sees it.
  Memo1->setPlainText(lines.join('\n'));
}

void TF_MainForm::CloseDccOptionsWindows() {
  for (QWidget* window : findChildren<QWidget*>())
    if (window->inherits("Tf_dccoptions")) window->close();
}

// --- wiring -----------------------------------------------------------------------

void TF_MainForm::ConnectSettingCommands() {
  struct TChoose {
    QAction* Action;
    QLineEdit* Edit;
    TsettingsTypeEnum Kind;
    const char* Title;
    const char* Extension;
    const char* Filter;
    const char* Description;
  };
  const TChoose chooses[] = {
      {A_getConfig, e_configuration, stConfigFile, "Select the configuration file", ".config",
       "Config options files|*.config|cfg|*.cfg|any file|*.*", "configuration"},
      {A_getLibPath, e_libraryPath, stLibraryPath, "Select the Libary Path file", ".path",
       "Library Path files|*.path|all|*.*", "library path"},
      {A_getGroupVerInfo, e_GroupVerInfo, stGroupVerInfo, "Select the Group version info file", ".ver",
       "Version Info text files|*.ver|all|*.*", "group version info"},
      {A_getLocalVerInfo, e_localVerInfo, stLocalVerInfo, "Select the Local version info file", ".ver",
       "Version Info text files|*.ver|all|*.*", "local version info"},
      {A_getRCMask, e_ResourceMask, stRCMask, "Select the Resource Mask file", ".mask",
       "Resource Mask files|*.mask|all|*.*", "RC mask"},
      {A_getDPKSupportFile, e_DPKSupport, stDPKConfig, "Select the DPK support file", ".DPKConfig",
       "DPK support setting files|*.DPKConfig|all|*.*", "DPK support"},
      {A_getPreProcessing, e_PreProcessing, stPreProcessing, "Select the pre Processing file", ".before",
       "Pre-Processing files|*.before|all|*.*", "pre-processing"},
      {A_GetpostProcessing, e_PostProcessing, stPostProcessing, "Select the Post Processing file", ".after",
       "Post-Processing files|*.after|all|*.*", "post-processing"}};
  for (const TChoose& c : chooses)
    connect(c.Action, &QAction::triggered, this, [this, c] {
      RunCommand(c.Action,
                 [this, c] { ChooseSettingFile(c.Edit, c.Kind, c.Description, c.Filter, c.Extension, c.Title); });
    });

  const std::pair<QAction*, TsettingsTypeEnum> saves[] = {{A_SaveConfig, stConfigFile},
                                                          {A_savePath, stLibraryPath},
                                                          {A_SaveRCMask, stRCMask},
                                                          {A_SaveDPKSupport, stDPKConfig},
                                                          {A_savePreProcessing, stPreProcessing},
                                                          {A_SavePostProcessing, stPostProcessing},
                                                          {A_SaveLocalVerInfo, stLocalVerInfo},
                                                          {A_saveGlobalVerInfo, stGroupVerInfo}};
  for (const auto& [action, kind] : saves)
    connect(action, &QAction::triggered, this, [this, action, kind] {
      Guarded([this, action, kind] {
        if (!SaveSettingFromEditor(kind)) return;
        if (action == A_SaveConfig) CloseDccOptionsWindows();
        SetViewMode(vmViewing);
      });
    });

  for (const TSettingRow& row : SettingRows) {
    row.Edit->installEventFilter(this);
    row.Button->installEventFilter(this);
    row.Label->installEventFilter(this);
  }
  m_mergedVerInfo->viewport()->installEventFilter(this);
}
