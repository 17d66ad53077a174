#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "dialogs/uUserDialogs.h"

// Answers the window's boxes and dialogs from a script. Each kind of question
// takes its answers in order; a question with no answer left fails the test
// and is answered as a cancel would be. Every question is recorded.
class TScriptedDialogs : public TUserDialogs {
 public:
  struct TAsked {
    QString Kind;  // message, confirm, save, changed, open, directory, window, url
    QString Text;  // the text, title, caption, window name or address
  };

  std::deque<bool> Confirms;
  std::deque<TSaveAnswer> SaveAnswers;
  // An answer about a file changed on disk, and whether it is given for
  // the other files too.
  std::deque<std::pair<TChangedFileAnswer, bool>> ChangedFileAnswers;
  std::deque<QStringList> Files;                   // empty: cancelled
  std::deque<std::optional<QString>> Directories;  // nullopt: cancelled
  // Plays the user in one of the program's modal windows; returns its result.
  std::deque<std::function<int(QDialog&)>> Windows;
  // Plays the user in the next window, one of type T: it is shown, act works
  // its controls, and the window's result is what it ends with.
  template <typename T>
  void Play(std::function<void(T&)> act) {
    Windows.push_back([act](QDialog& dialog) {
      auto& window = dynamic_cast<T&>(dialog);
      window.show();
      act(window);
      return window.result();
    });
  }
  bool UrlOpens = true;

  std::vector<TAsked> Asked;
  // The texts of one kind of question, in order.
  QStringList Texts(const QString& kind) const;
  // Requests passed to OpenFiles, in order.
  std::vector<TOpenDialogRequest> OpenRequests;
  // Start directories and options passed to SelectDirectory, in order.
  QStringList DirectoryStarts;
  std::vector<int> DirectoryOptions;

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
