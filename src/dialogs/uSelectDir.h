#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TUserDialogs;

// The options of SelectDir, a bit set.
enum TSelectDirOption {
  sdAllowCreate = 1,    // the edit box is shown and its text is the result
  sdPerformCreate = 2,  // the chosen directory is created with its parents after OK
  sdPrompt = 4          // a directory that does not exist is confirmed first
};

// A label that draws its text (a path) shortened to its width.
class TPathLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TPathLabel(QWidget* parent = nullptr);
  void SetPath(const QString& path);
  const QString& Path() const { return FullPath; }
  // The text as drawn at the label's present width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString FullPath;
};

// The directory selection dialog: an edit box for a directory that may not
// exist yet, a box of drives, the directory list, the files of the directory
// (for orientation) and the buttons.
class TSelectDirDlg : public QDialog {
  Q_OBJECT

 public:
  TSelectDirDlg(QWidget* parent, TUserDialogs& dialogs, const QString& caption, const QString& directory, int options,
                int helpContext);

  // The directory the list shows.
  QString ListDirectory() const { return CurrentDir; }
  // The result after OK: the edit box's text when creation is allowed (made
  // absolute against the listed directory), else the listed directory.
  QString Directory() const;
  void SetListDirectory(const QString& directory);

  void accept() override;

  QLineEdit* DirEdit;
  QComboBox* DriveBox;
  TPathLabel* PathLabel;
  QListWidget* DirList;
  QListWidget* FileList;
  QPushButton* NetworkButton;
  QPushButton* OKButton;
  QPushButton* CancelButton;
  QPushButton* HelpButton;

 private:
  void FillDrives();
  void DriveChanged(int index);
  void DirItemActivated(QListWidgetItem* item);
  void SelectDriveOf(const QString& directory);

  TUserDialogs& Dialogs;
  QString CurrentDir;
  bool AllowCreate;
  bool Prompt;
  int HelpContext;
};

// Runs the dialog. True when the user confirmed; directory then holds the
// choice. With sdPerformCreate the chosen directory exists afterwards (a
// failure to create it is thrown as TError).
bool SelectDir(QWidget* parent, TUserDialogs& dialogs, const QString& caption, QString& directory, int options,
               int helpContext);

// The volumes offered in the drive box: the drive letters on Windows; on
// other systems the root and every mounted volume the user may browse,
// without the system's pseudo file systems.
QStringList BrowsableVolumes();
