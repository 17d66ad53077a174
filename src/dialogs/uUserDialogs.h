#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QUrl;
class QWidget;

// The answers to the question whether a change is to be saved before it
// would be lost: save it, drop it, or go back to it (nothing happens).
enum TSaveAnswer { saSave, saDiscard, saCancel };

// The answers to the question what becomes of a file that another program
// changed since it was read, when the program is about to write it: write
// over the change, keep the other version (which the window then shows), or
// write nothing.
enum TChangedFileAnswer { cfOverwrite, cfKeepOther, cfCancel };

// What an open dialog is asked for. The filter is written the way the
// system's forms write it: description|patterns pairs separated by '|'
// ("Source files (dpr)|*.dpr;*.dpk|all|*.*").
struct TOpenDialogRequest {
  QString Title;
  QString Filter;
  // The file the dialog starts with; a name ending in the separator (or a
  // directory) only chooses where it opens.
  QString FileName;
  QString DefaultExtension;
  bool MultiSelect = false;
  bool FileMustExist = false;
  // A name that does not exist may be chosen; the user is asked first.
  bool PromptToCreate = false;
};

// Every message box, confirmation, file dialog, directory dialog and modal
// window of the program goes through this one interface: Qt's dialogs in the
// program, scripted answers in the tests.
class TUserDialogs {
 public:
  virtual ~TUserDialogs() = default;

  // A message with an OK button.
  virtual void Message(QWidget* parent, const QString& text) = 0;
  // A question with the buttons Yes and No; true for Yes.
  virtual bool Confirm(QWidget* parent, const QString& text) = 0;
  // A question with the buttons Save, Discard and Cancel.
  virtual TSaveAnswer AskToSave(QWidget* parent, const QString& text) = 0;
  // A question with the buttons Overwrite, Keep Other Version and Cancel,
  // about a file changed on disk. With others more such files to come, the
  // user may give the same answer for them too: sameForOthers then set.
  virtual TChangedFileAnswer AskAboutChangedFile(QWidget* parent, const QString& text, int others,
                                                 bool& sameForOthers) = 0;
  // The chosen files; empty when the user cancelled.
  virtual QStringList OpenFiles(QWidget* parent, const TOpenDialogRequest& request) = 0;
  // The directory selection dialog (options as SelectDir takes them); true
  // when confirmed, directory then holding the choice.
  virtual bool SelectDirectory(QWidget* parent, const QString& caption, QString& directory, int options,
                               int helpContext) = 0;
  // Shows one of the program's own modal windows and returns its result.
  virtual int Exec(QDialog& dialog) = 0;
  // Opens a document in the desktop's viewer; false when none could start.
  virtual bool OpenUrl(const QUrl& url) = 0;
};

// The program's implementation: Qt's message boxes and file dialogs, the
// program's own directory dialog.
class TQtUserDialogs : public TUserDialogs {
 public:
  void Message(QWidget* parent, const QString& text) override;
  bool Confirm(QWidget* parent, const QString& text) override;
  TSaveAnswer AskToSave(QWidget* parent, const QString& text) override;
  TChangedFileAnswer AskAboutChangedFile(QWidget* parent, const QString& text, int others,
                                         bool& sameForOthers) override;
  QStringList OpenFiles(QWidget* parent, const TOpenDialogRequest& request) override;
  bool SelectDirectory(QWidget* parent, const QString& caption, QString& directory, int options,
                       int helpContext) override;
  int Exec(QDialog& dialog) override;
  bool OpenUrl(const QUrl& url) override;
};

// The filter of a request in Qt's form: "Source files (*.dpr *.dpk);;all (*.*)".
QString QtNameFilters(const QString& filter);

// Where no one can answer (no display, an unattended build): messages go to
// the standard error, every question is answered No (a change is not
// saved, nothing written over a change on disk), every dialog cancelled.
class THeadlessUserDialogs : public TUserDialogs {
 public:
  void Message(QWidget* parent, const QString& text) override;
  bool Confirm(QWidget* parent, const QString& text) override;
  TSaveAnswer AskToSave(QWidget* parent, const QString& text) override;
  TChangedFileAnswer AskAboutChangedFile(QWidget* parent, const QString& text, int others,
                                         bool& sameForOthers) override;
  QStringList OpenFiles(QWidget* parent, const TOpenDialogRequest& request) override;
  bool SelectDirectory(QWidget* parent, const QString& caption, QString& directory, int options,
                       int helpContext) override;
  int Exec(QDialog& dialog) override;
  bool OpenUrl(const QUrl& url) override;
};
