#pragma once

#include <QDialog>

#include "ide/IDELibPath.h"

class QLineEdit;
class QPushButton;
class TUserDialogs;

// Asks which Delphi version's library path to take over.
class Tf_ExtractLibPath : public QDialog {
  Q_OBJECT

 public:
  Tf_ExtractLibPath(QWidget* parent, const QString& proposedVersion);
  QLineEdit* E_Version;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
};

// The window's answer to the core's Delphi version question: the dialog above
// and a message box, both through the window's dialogs.
class TWindowLibraryPathPrompt : public TLibraryPathPrompt {
 public:
  TWindowLibraryPathPrompt(QWidget* parent, TUserDialogs& dialogs) : Parent(parent), Dialogs(dialogs) {}
  std::optional<std::string> AskDelphiVersion(const std::string& proposed) override;
  void ShowMessage(const std::string& text) override;

 private:
  QWidget* Parent;
  TUserDialogs& Dialogs;
};
