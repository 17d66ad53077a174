#pragma once

#include <QDialog>
#include <utility>
#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class TUserDialogs;

// The project options: the eight flags that have a check box and the
// directory of the compiler; and the program's own settings, the same for
// every project: the editor for the compiler's messages and the time-out of
// the tools. The caller fills the controls and takes them back after OK.
class Tf_options : public QDialog {
  Q_OBJECT

 public:
  Tf_options(QWidget* parent, TUserDialogs& dialogs);

  // Each check box with the index of the project option flag it edits.
  std::vector<std::pair<QCheckBox*, int>> FlagBoxes() const;

  // The button beside the path: the directory dialog; a cancelled choice
  // empties the path.
  void BitBtn1Click();

  QCheckBox* cb_autoFileIncrement;
  QCheckBox* cb_AutoProductIncrement;
  QCheckBox* cb_minimize;
  QCheckBox* cb_CheckVersion;
  QCheckBox* cb_HaltOnError;
  QCheckBox* cb_AutoResFileCreate;
  QCheckBox* cb_ReplaceReadOnly;
  QCheckBox* cb_IgnoreResFileErrors;
  QLineEdit* e_compilerpath;
  QToolButton* BitBtn1;
  QLineEdit* e_editor;
  QDoubleSpinBox* se_toolTimeout;  // seconds; 0: none
  QPushButton* b_OK;
  QPushButton* b_cancel;

 private:
  TUserDialogs& Dialogs;
};
