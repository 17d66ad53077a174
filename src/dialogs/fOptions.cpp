#include "dialogs/fOptions.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "dialogs/uQtText.h"
#include "dialogs/uSelectDir.h"
#include "dialogs/uUserDialogs.h"
#include "platform/FileSystem.h"
#include "project/uPersistence.h"

Tf_options::Tf_options(QWidget* parent, TUserDialogs& dialogs) : QDialog(parent), Dialogs(dialogs) {
  setObjectName("f_options");
  setWindowTitle("Project options");
  auto box = [this](const char* name, const char* caption) {
    auto* check = new QCheckBox(caption, this);
    check->setObjectName(name);
    return check;
  };
  cb_autoFileIncrement = box("cb_autoFileIncrement", "Auto Increment &File Version each time.");
  cb_AutoProductIncrement = box("cb_AutoProductIncrement", "Auto Increment &Product Version each time.");
  cb_minimize = box("cb_minimize", "&Minimize on build.");
  cb_CheckVersion = box("cb_CheckVersion", "Check &version info after build.");
  cb_HaltOnError = box("cb_HaltOnError", "&Halt on compile error");
  cb_AutoResFileCreate = box("cb_AutoResFileCreate", "&Auto create .res files");
  cb_ReplaceReadOnly = box("cb_ReplaceReadOnly", "&Replace RO .res related files");
  cb_IgnoreResFileErrors = box("cb_IgnoreResFileErrors", "&Ignore errors saving res related files");

  auto* pathLabel = new QLabel("Path to DCC and BRCC compilers:", this);
  pathLabel->setObjectName("Label1");
  e_compilerpath = new QLineEdit(this);
  e_compilerpath->setObjectName("e_compilerpath");
  e_compilerpath->setMinimumWidth(300);
  pathLabel->setBuddy(e_compilerpath);
  BitBtn1 = new QToolButton(this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  BitBtn1->setToolTip("Choose the compilers' directory");
  // The program's own settings, the same for every project.
  auto* program = new QGroupBox("For every project", this);
  program->setObjectName("gb_program");
  auto* editorLabel = new QLabel("&Editor for messages (#File#, #Line#):", program);
  editorLabel->setObjectName("l_editor");
  e_editor = new QLineEdit(program);
  e_editor->setObjectName("e_editor");
  e_editor->setPlaceholderText("$VISUAL or $EDITOR, else the desktop's");
  e_editor->setToolTip("A command line that opens a file at a line, for example: code -g \"#File#:#Line#\"");
  editorLabel->setBuddy(e_editor);
  auto* timeoutLabel = new QLabel("&Tool time-out:", program);
  timeoutLabel->setObjectName("l_toolTimeout");
  se_toolTimeout = new QDoubleSpinBox(program);
  se_toolTimeout->setObjectName("se_toolTimeout");
  se_toolTimeout->setRange(0, 7 * 24 * 3600);
  se_toolTimeout->setDecimals(1);
  se_toolTimeout->setSuffix(" s");
  se_toolTimeout->setSpecialValueText("none");
  se_toolTimeout->setToolTip("A tool or processing line that runs longer is ended, and its file fails");
  timeoutLabel->setBuddy(se_toolTimeout);
  auto* programLayout = new QGridLayout(program);
  programLayout->addWidget(editorLabel, 0, 0, 1, 2);
  programLayout->addWidget(e_editor, 1, 0, 1, 2);
  programLayout->addWidget(timeoutLabel, 2, 0);
  programLayout->addWidget(se_toolTimeout, 2, 1);
  programLayout->setColumnStretch(1, 1);

  b_OK = new QPushButton("&OK", this);
  b_OK->setObjectName("b_OK");
  b_OK->setDefault(true);
  b_cancel = new QPushButton("&Cancel", this);
  b_cancel->setObjectName("b_cancel");
  connect(BitBtn1, &QToolButton::clicked, this, [this] {
    try {
      BitBtn1Click();
    } catch (const std::exception& e) {
      Dialogs.Message(this, ScreenText(e.what()));
    }
  });
  connect(b_OK, &QPushButton::clicked, this, &QDialog::accept);
  connect(b_cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  for (const auto& [check, flag] : FlagBoxes()) layout->addWidget(check);
  layout->addSpacing(6);
  layout->addWidget(pathLabel);
  auto* path = new QHBoxLayout;
  path->addWidget(e_compilerpath, 1);
  path->addWidget(BitBtn1);
  layout->addLayout(path);
  layout->addSpacing(6);
  layout->addWidget(program);
  layout->addSpacing(6);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(b_OK);
  buttons->addWidget(b_cancel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::vector<std::pair<QCheckBox*, int>> Tf_options::FlagBoxes() const {
  return {{cb_autoFileIncrement, poAutoFileIncrement},
          {cb_AutoProductIncrement, poAutoProdIncrement},
          {cb_minimize, poMinimizeOnBuild},
          {cb_CheckVersion, poCheckVersion},
          {cb_HaltOnError, poHaltOnError},
          {cb_AutoResFileCreate, poAutoResFileCreate},
          {cb_ReplaceReadOnly, poReplaceReadOnly},
          {cb_IgnoreResFileErrors, poIgnoreResFileErrors}};
}

void Tf_options::BitBtn1Click() {
  QString directory = ToQ(platform::GetCurrentDir());
  if (Dialogs.SelectDirectory(this, "Select Target Directory", directory, sdAllowCreate | sdPerformCreate | sdPrompt,
                              0))
    e_compilerpath->setText(directory);
  else
    e_compilerpath->clear();
}
