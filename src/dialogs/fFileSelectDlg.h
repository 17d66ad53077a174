#pragma once

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TPathLabel;
class TUserDialogs;

// When a setting is given another file: keep the current file and give it
// the new file's contents, or use the new file, carrying the current
// contents over or not, deleting the file left behind or not. Both files are
// shown side by side with the effect of the choice.
class Tf_FileSelectDlg : public QDialog {
  Q_OBJECT

 public:
  Tf_FileSelectDlg(QWidget* parent, TUserDialogs& dialogs);

  // Runs the open dialog; true when a file was chosen (it may not exist).
  bool LookForFile();
  void ShowFiles();
  void SetChoiceTexts();

  void RB_MoveClick();
  void RB_copyClick();
  void RB_repointClick();
  void RB_repointdeleteClick();
  void RB_ReplaceMoveClick();
  void RB_ReplaceCopyClick();
  void b_againClick();
  void OKBtnClick();
  void CancelBtnClick();

  std::string CurrentFile;
  std::string NewFile;
  std::string SettingDescription;
  std::string FileFilter;
  std::string DefaultExtension;
  std::string DialogTitle;
  bool Accepted = false;

  QLabel* Label1;
  QLabel* Label2;
  QGroupBox* GroupBox1;
  QRadioButton* RB_Move;
  QRadioButton* RB_copy;
  QRadioButton* RB_repoint;
  QRadioButton* RB_repointdelete;
  QRadioButton* RB_ReplaceMove;
  QRadioButton* RB_ReplaceCopy;
  QLabel* L_CurrentFile;
  TPathLabel* L_oldFile;
  QPlainTextEdit* M_oldFile;
  QLabel* L_newerFile;
  TPathLabel* L_newFile;
  QPlainTextEdit* m_newFile;
  QPushButton* b_again;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 private:
  // The heading styles of the previews.
  void ShowAsNew(QLabel* heading);
  void ShowAsDeleted(QLabel* heading, QPlainTextEdit* memo);
  void ShowUntouched(QLabel* heading);
  void ShowText(QPlainTextEdit* memo, const std::string& file);
  // Carries out the selected choice; throws when a file cannot be read or
  // written.
  void CarryOut();
  bool SameFile() const;

  TUserDialogs& Dialogs;
};

// The whole exchange. True when the user pressed OK; newFile then holds the
// file the setting is to use from now on.
bool ExecuteFileSelectDlg(QWidget* parent, TUserDialogs& dialogs, const std::string& currentFile,
                          const std::string& description, const std::string& filter,
                          const std::string& defaultExtension, const std::string& title, std::string& newFile);
