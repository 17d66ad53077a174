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
