#include "dialogs/fFileSelectDlg.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef DeleteFile
#endif

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <cerrno>

#include "dialogs/uQtText.h"
#include "dialogs/uReadOnlyPaint.h"
#include "dialogs/uSelectDir.h"
#include "dialogs/uUserDialogs.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

namespace {

QLabel* NewLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QPlainTextEdit* NewPreview(QWidget* parent, const char* name) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  memo->setReadOnly(true);
  PaintReadOnly(memo);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return memo;
}

QRadioButton* NewChoice(QWidget* parent, const char* name) {
  auto* choice = new QRadioButton(parent);
  choice->setObjectName(name);
  return choice;
}

// Writes the lines of one file to another, replacing it whole.
void CopyLines(const std::string& from, const std::string& to) {
  platform::WriteTextLines(to, platform::ReadTextLines(from));
}

// Deletes a file if it is there; the system's reason when it stays (a
// read-only file, say).
std::string DeleteIfThere(const std::string& file) {
  if (!platform::FileExists(file)) return "";
#ifdef _WIN32
  SetLastError(0);
  if (platform::DeleteFile(file)) return "";
  const int code = static_cast<int>(GetLastError());
#else
  errno = 0;
  if (platform::DeleteFile(file)) return "";
  const int code = errno;
#endif
  return code ? SystemErrorText(code) : "it is still there";
}

}  // namespace

Tf_FileSelectDlg::Tf_FileSelectDlg(QWidget* parent, TUserDialogs& dialogs) : QDialog(parent), Dialogs(dialogs) {
  setObjectName("f_FileSelectDlg");
  // No system menu: the dialog closes through its buttons (or Esc) only.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  resize(695, 594);

  Label1 = NewLabel(this, "Label1");
  Label2 = NewLabel(this, "Label2");
  for (QLabel* label : {Label1, Label2}) {
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }

  GroupBox1 = new QGroupBox("Select desried action ", this);
  GroupBox1->setObjectName("GroupBox1");
  auto* replace =
      new QLabel("Replace the contents of the current file with the contents of the newly selected file.", GroupBox1);
  auto* change = new QLabel("Change the setting file to the newly selected file.", GroupBox1);
  auto* carry = new QLabel(
      "Change the setting file to the newly selected file, copying or moving the contents of the current file to "
      "it.",
      GroupBox1);
  for (QLabel* label : {replace, change, carry}) label->setWordWrap(true);
  RB_Move = NewChoice(GroupBox1, "RB_Move");
  RB_copy = NewChoice(GroupBox1, "RB_copy");
  RB_repoint = NewChoice(GroupBox1, "RB_repoint");
  RB_repointdelete = NewChoice(GroupBox1, "RB_repointdelete");
  RB_ReplaceMove = NewChoice(GroupBox1, "RB_ReplaceMove");
  RB_ReplaceCopy = NewChoice(GroupBox1, "RB_ReplaceCopy");
  // Each explanation above its two choices, the left one first; the
  // captions are too long to stand side by side.
  auto* choices = new QVBoxLayout(GroupBox1);
  choices->setSpacing(2);
  for (QWidget* row : std::initializer_list<QWidget*>{replace, RB_Move, RB_copy, change, RB_repoint, RB_repointdelete,
                                                      carry, RB_ReplaceMove, RB_ReplaceCopy})
    choices->addWidget(row);
  for (QLabel* label : {change, carry}) label->setContentsMargins(0, 6, 0, 0);

  auto* panes = new QSplitter(Qt::Horizontal, this);
  panes->setObjectName("Splitter1");
  panes->setChildrenCollapsible(false);
  auto* left = new QWidget(panes);
  auto* right = new QWidget(panes);
  L_CurrentFile = NewLabel(left, "L_CurrentFile");
  L_oldFile = new TPathLabel(left);
  L_oldFile->setObjectName("L_oldFile");
  M_oldFile = NewPreview(left, "M_oldFile");
  L_newerFile = NewLabel(right, "L_newerFile");
  L_newFile = new TPathLabel(right);
  L_newFile->setObjectName("L_newFile");
  m_newFile = NewPreview(right, "m_newFile");
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 3, 0);
  leftLayout->addWidget(L_CurrentFile);
  leftLayout->addWidget(L_oldFile);
  leftLayout->addWidget(M_oldFile, 1);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(3, 0, 0, 0);
  rightLayout->addWidget(L_newerFile);
  rightLayout->addWidget(L_newFile);
  rightLayout->addWidget(m_newFile, 1);

  b_again = new QPushButton("Look Some More", this);
  b_again->setObjectName("b_again");
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(b_again);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);

  auto* top = new QVBoxLayout(this);
  top->addWidget(Label1);
  top->addWidget(Label2);
  top->addWidget(GroupBox1);
  top->addWidget(panes, 1);
  top->addLayout(buttons);

  auto click = [this](QRadioButton* choice, void (Tf_FileSelectDlg::*handler)()) {
    connect(choice, &QRadioButton::clicked, this, [this, handler] { (this->*handler)(); });
  };
  click(RB_Move, &Tf_FileSelectDlg::RB_MoveClick);
  click(RB_copy, &Tf_FileSelectDlg::RB_copyClick);
  click(RB_repoint, &Tf_FileSelectDlg::RB_repointClick);
  click(RB_repointdelete, &Tf_FileSelectDlg::RB_repointdeleteClick);
  click(RB_ReplaceMove, &Tf_FileSelectDlg::RB_ReplaceMoveClick);
  click(RB_ReplaceCopy, &Tf_FileSelectDlg::RB_ReplaceCopyClick);
  connect(b_again, &QPushButton::clicked, this, &Tf_FileSelectDlg::b_againClick);
  connect(OKBtn, &QPushButton::clicked, this, &Tf_FileSelectDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &Tf_FileSelectDlg::CancelBtnClick);
  RB_repoint->setChecked(true);
}

bool Tf_FileSelectDlg::LookForFile() {
  TOpenDialogRequest request;
  request.FileName = ToQ(CurrentFile);
  request.Filter = ToQ(FileFilter);
  request.DefaultExtension = ToQ(DefaultExtension);
  request.Title = ToQ(DialogTitle);
  request.PromptToCreate = true;
  const QStringList chosen = Dialogs.OpenFiles(this, request);
  if (chosen.isEmpty()) return false;
  NewFile = FromQ(chosen.first());
  RB_repointClick();
  return true;
}

void Tf_FileSelectDlg::ShowFiles() {
  const std::string description = SettingDescription;
  L_CurrentFile->setText(ToQ("Current " + description + " file"));
  L_newerFile->setText(ToQ("New " + description + " file"));
  for (QLabel* heading : {L_CurrentFile, L_newerFile}) {
    heading->setFont(font());
    heading->setPalette(palette());
  }
  for (QPlainTextEdit* memo : {M_oldFile, m_newFile}) {
    memo->setPalette(palette());
    PaintReadOnly(memo);
  }
  L_oldFile->SetPath(ToQ(CurrentFile));
  L_newFile->SetPath(ToQ(NewFile));
  ShowText(M_oldFile, CurrentFile);
  ShowText(m_newFile, NewFile);

  const bool newExists = !NewFile.empty() && platform::FileExists(NewFile);
  const bool currentExists = !CurrentFile.empty() && platform::FileExists(CurrentFile);
  RB_Move->setEnabled(newExists);
  RB_copy->setEnabled(newExists);
  RB_ReplaceMove->setEnabled(currentExists);
  RB_ReplaceCopy->setEnabled(currentExists);
  RB_repoint->setEnabled(true);
  RB_repointdelete->setEnabled(true);
}

void Tf_FileSelectDlg::SetChoiceTexts() {
  ShowFiles();
  Label1->setText(ToQ("Current " + SettingDescription + " file = " + CurrentFile));
  Label2->setText(ToQ("New " + SettingDescription + " file = " + NewFile));
  RB_Move->setText("Move new to current: Deletes newly selected file.");
  RB_copy->setText("Copy new to current: Does not delete newly selected file.");
  RB_repoint->setText("Designate: Use newly selected file instead of current file, does not delete current file).");
  RB_repointdelete->setText("Designate/move: Use new file instead of current file, deletes current file.");
  RB_ReplaceMove->setText("Move current to new: Delete current file.");
  RB_ReplaceCopy->setText("Copy current to new: Does not delete current file.");
  for (QRadioButton* choice : {RB_Move, RB_copy, RB_repoint, RB_repointdelete, RB_ReplaceMove, RB_ReplaceCopy})
    choice->setToolTip(choice->text());
}

void Tf_FileSelectDlg::ShowText(QPlainTextEdit* memo, const std::string& file) {
  memo->clear();
  if (file.empty() || !platform::FileExists(file)) return;
  try {
    memo->setPlainText(DecodeTextFile(platform::ReadFileBytes(file)));
  } catch (const std::exception& e) {
    memo->setPlainText(ScreenText(e.what()));
  }
}

void Tf_FileSelectDlg::ShowAsNew(QLabel* heading) {
  heading->setText(ToQ("This will be the new " + SettingDescription + " file"));
  QFont bold = font();
  bold.setBold(true);
  heading->setFont(bold);
}

void Tf_FileSelectDlg::ShowAsDeleted(QLabel* heading, QPlainTextEdit* memo) {
  heading->setText("This file will be deleted");
  QFont italic = font();
  italic.setItalic(true);
  heading->setFont(italic);
  QPalette red = heading->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  heading->setPalette(red);
  QPalette grey = memo->palette();
  grey.setColor(QPalette::Text, grey.color(QPalette::Disabled, QPalette::Text));
  memo->setPalette(grey);
}

void Tf_FileSelectDlg::ShowUntouched(QLabel* heading) {
  heading->setText("Nothing will happen to this file");
}

void Tf_FileSelectDlg::RB_MoveClick() {
  ShowFiles();
  ShowAsNew(L_CurrentFile);
  ShowText(M_oldFile, NewFile);
  ShowAsDeleted(L_newerFile, m_newFile);
}

void Tf_FileSelectDlg::RB_copyClick() {
  ShowFiles();
  ShowAsNew(L_CurrentFile);
  ShowText(M_oldFile, NewFile);
  ShowUntouched(L_newerFile);
}

void Tf_FileSelectDlg::RB_repointClick() {
  ShowFiles();
  ShowUntouched(L_CurrentFile);
  ShowAsNew(L_newerFile);
  ShowText(m_newFile, NewFile);
}

void Tf_FileSelectDlg::RB_repointdeleteClick() {
  ShowFiles();
  ShowAsDeleted(L_CurrentFile, M_oldFile);
  ShowAsNew(L_newerFile);
  ShowText(m_newFile, NewFile);
}

void Tf_FileSelectDlg::RB_ReplaceMoveClick() {
  ShowFiles();
  ShowAsDeleted(L_CurrentFile, M_oldFile);
  ShowAsNew(L_newerFile);
  ShowText(m_newFile, CurrentFile);
}

void Tf_FileSelectDlg::RB_ReplaceCopyClick() {
  ShowFiles();
  ShowUntouched(L_CurrentFile);
  ShowAsNew(L_newerFile);
  ShowText(m_newFile, CurrentFile);
}

void Tf_FileSelectDlg::b_againClick() {
  LookForFile();
  SetChoiceTexts();
  // A choice the new file no longer allows gives way to Designate; the one
  // still selected shows its effect on the files now picked.
  for (QRadioButton* choice : {RB_Move, RB_copy, RB_ReplaceMove, RB_ReplaceCopy})
    if (choice->isChecked() && !choice->isEnabled()) RB_repoint->setChecked(true);
  const std::pair<QRadioButton*, void (Tf_FileSelectDlg::*)()> previews[] = {
      {RB_Move, &Tf_FileSelectDlg::RB_MoveClick},
      {RB_copy, &Tf_FileSelectDlg::RB_copyClick},
      {RB_repoint, &Tf_FileSelectDlg::RB_repointClick},
      {RB_repointdelete, &Tf_FileSelectDlg::RB_repointdeleteClick},
      {RB_ReplaceMove, &Tf_FileSelectDlg::RB_ReplaceMoveClick},
      {RB_ReplaceCopy, &Tf_FileSelectDlg::RB_ReplaceCopyClick}};
  for (const auto& [choice, preview] : previews)
    if (choice->isChecked()) (this->*preview)();
}

bool Tf_FileSelectDlg::SameFile() const {
  // Whatever the spelling or the links that lead to it.
  return platform::SameFile(CurrentFile, NewFile);
}

void Tf_FileSelectDlg::CarryOut() {
  // The file chosen is the file in use, by whatever name: nothing is copied
  // and, above all, nothing deleted (it would be the only copy).
  const bool same = SameFile();
  std::string toDelete;
  if (RB_Move->isChecked()) {
    if (!same) CopyLines(NewFile, CurrentFile);
    toDelete = NewFile;
    NewFile = CurrentFile;
  } else if (RB_copy->isChecked()) {
    if (!same) CopyLines(NewFile, CurrentFile);
    NewFile = CurrentFile;
  } else if (RB_repointdelete->isChecked()) {
    toDelete = CurrentFile;
  } else if (RB_ReplaceMove->isChecked()) {
    if (!same) CopyLines(CurrentFile, NewFile);
    toDelete = CurrentFile;
  } else if (RB_ReplaceCopy->isChecked()) {
    if (!same) CopyLines(CurrentFile, NewFile);
  }
  // What was copied stays; a file that cannot go is said so and left.
  if (same || toDelete.empty()) return;
  if (const std::string failure = DeleteIfThere(toDelete); !failure.empty())
    Dialogs.Message(this, ToQ(toDelete + " could not be deleted: " + failure));
}

void Tf_FileSelectDlg::OKBtnClick() {
  Accepted = true;
  try {
    CarryOut();
  } catch (const std::exception& e) {
    Accepted = false;
    Dialogs.Message(this, ScreenText(e.what()));
    reject();
    return;
  }
  accept();
}

void Tf_FileSelectDlg::CancelBtnClick() {
  Accepted = false;
  reject();
}

bool ExecuteFileSelectDlg(QWidget* parent, TUserDialogs& dialogs, const std::string& currentFile,
                          const std::string& description, const std::string& filter,
                          const std::string& defaultExtension, const std::string& title, std::string& newFile) {
  Tf_FileSelectDlg dialog(parent, dialogs);
  dialog.Accepted = false;
  dialog.CurrentFile = currentFile;
  dialog.SettingDescription = description;
  dialog.FileFilter = filter;
  dialog.DefaultExtension = defaultExtension;
  dialog.DialogTitle = title;
  dialog.NewFile = newFile;
  dialog.LookForFile();
  dialog.setWindowTitle(ToQ(title));
  dialog.L_CurrentFile->setText(ToQ("Current " + description + " file"));
  dialog.L_newerFile->setText(ToQ("New " + description + " file"));
  dialog.SetChoiceTexts();
  if (!dialog.NewFile.empty()) {
    dialog.RB_repointClick();
    dialogs.Exec(dialog);
  } else {
    dialog.Accepted = false;
  }
  if (dialog.Accepted) newFile = dialog.NewFile;
  return dialog.Accepted;
}
