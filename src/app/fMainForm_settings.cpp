// The settings of the current file: the panel of rows and the merged version.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/fMainForm.h"
#include "app/uActionButton.h"
#include "dialogs/fExtractLibPath.h"
#include "dialogs/fFileSelectDlg.h"
#include "dialogs/uUserDialogs.h"
#include "ide/IDELibPath.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

namespace {

// The source part of a file list line, as far as the window takes it.
std::string SourceOfLine(const std::string& line) {
  const std::size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1, 200);
}

std::string TargetOfLine(const std::string& line) {
  return line.substr(0, line.find('='));
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
  if (sender == LB_Files) {
    if (LB_Files->count() == 0) {
      DisableFileSettings();
      b_buildOne->setEnabled(false);
      return;
    }
    EnableFileSettings();
    if (LB_Files->currentRow() < 0) LB_Files->setCurrentRow(0);
    const std::string line = FromQ(LB_Files->currentItem()->text());
    CurrentSource = SourceOfLine(line);
    CurrentTarget = TargetOfLine(line);
    e_SourceFile->setText(ToQ(CurrentSource));
    e_target->setText(ToQ(CurrentTarget));
    b_buildOne->setEnabled(true);
  } else if (sender == e_SourceFile) {
    CurrentSource = platform::TrimControls(FromQ(e_SourceFile->text()));
    if (CurrentSource.empty()) {
      DisableFileSettings();
      return;
    }
    EnableFileSettings();
    const int index = BuildRun->FileList().FindSource(FromQ(e_SourceFile->text()));
    LB_Files->setCurrentRow(index);
    if (index >= 0) CurrentTarget = BuildRun->FileList().DestOf(index);
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
  m_mergedVerInfo->setPlainText(ToQ(BuildRun->FileList().SettingsOf(CurrentSource)->VersionSummary()));
}

void TF_MainForm::DisableFileSettings() {
  e_target->clear();
  for (const TSettingRow& row : SettingRows) {
    row.Label->setEnabled(false);
    row.Button->setEnabled(false);
    row.Edit->clear();
    row.Edit->setToolTip(QString());
  }
}

void TF_MainForm::EnableFileSettings() {
  e_target->clear();
  for (const TSettingRow& row : SettingRows) {
    row.Label->setEnabled(true);
    row.Button->setEnabled(true);
  }
}

void TF_MainForm::ShowSettingPath(QLineEdit* edit, TsettingsTypeEnum kind) {
  const QString path = ToQ(BuildRun->FileList().SettingsOf(CurrentSource)->GetSettingPath(kind));
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

  TProjectList& files = BuildRun->FileList();
  LB_Files->setCurrentRow(files.FindSource(CurrentSource));
  Memo1->clear();
  TProjectSettings& settings = *files.SettingsOf(CurrentSource);
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
    if (platform::UpperAscii(CurrentSource).find(".RC") != std::string::npos &&
        BuildRun->UniqueBaseName(CurrentSource)) {
      SetHeading("Independent resource file, no version info.");
      Memo1->clear();
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
}

void TF_MainForm::SettingRowEnter(QLineEdit* edit) {
  const TSettingRow* row = RowOf(edit);
  if (!row) return;
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
  TProjectSettings& settings = *BuildRun->FileList().SettingsOf(CurrentSource);
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
  const int index = LB_Files->currentRow();
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
  if (!chosen.isEmpty() && index >= 0) {
    CurrentTarget = FromQ(chosen.first());
    BuildRun->FileList().SetDestFile(index, CurrentTarget);
    const std::string line = FromQ(LB_Files->item(index)->text());
    LB_Files->item(index)->setText(ToQ(CurrentTarget + line.substr(line.find('='))));
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

void TF_MainForm::SaveSettingFromEditor(TsettingsTypeEnum kind) {
  if (!CanEncode(Memo1->toPlainText(), MemoEncoding)) {
    // Windows-1252 cannot hold what was typed: the file becomes UTF-8
    // rather than losing characters.
    MemoEncoding = TTextEncoding::Utf8;
    Dialogs.Message(this, "The text holds characters that Windows-1252 cannot hold; the file is saved as UTF-8.");
  }
  const std::string text = MemoBytes();
  TProjectSettings& settings = *BuildRun->FileList().SettingsOf(CurrentSource);
  settings.SetSettingContent(kind, text);
  settings.SaveSettingFile(kind);
  const std::string shared = settings.GetSettingContent(kind);
  const std::string path = settings.GetSettingPath(kind);
  BuildRun->FileList().ShareSettingContent(kind, path, shared);
  LB_FilesClick();
  SetViewMode(vmViewing);
  StatusText = GlobalStuff().SettingName(kind) + " saved.";
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
      Guarded([this, c] { ChooseSettingFile(c.Edit, c.Kind, c.Description, c.Filter, c.Extension, c.Title); });
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
        SaveSettingFromEditor(kind);
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
