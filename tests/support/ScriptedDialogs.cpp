#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QUrl>

namespace {

// The next answer of a script; with none left the test fails and the question
// gets the cancel answer.
template <typename T>
T Next(std::deque<T>& answers, const char* question, const QString& text, T cancel) {
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected " << question << ": " << text.toStdString();
    return cancel;
  }
  T answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

}  // namespace

QStringList TScriptedDialogs::Texts(const QString& kind) const {
  QStringList texts;
  for (const TAsked& asked : Asked)
    if (asked.Kind == kind) texts << asked.Text;
  return texts;
}

void TScriptedDialogs::Message(QWidget*, const QString& text) {
  Asked.push_back({"message", text});
}

bool TScriptedDialogs::Confirm(QWidget*, const QString& text) {
  Asked.push_back({"confirm", text});
  return Next(Confirms, "question", text, false);
}

TSaveAnswer TScriptedDialogs::AskToSave(QWidget*, const QString& text) {
  Asked.push_back({"save", text});
  return Next(SaveAnswers, "save question", text, saCancel);
}

TChangedFileAnswer TScriptedDialogs::AskAboutChangedFile(QWidget*, const QString& text, int others,
                                                         bool& sameForOthers) {
  Asked.push_back({"changed", text});
  const auto [answer, same] =
      Next(ChangedFileAnswers, "question about a changed file", text, std::pair{cfCancel, false});
  sameForOthers = same && others > 0;
  return answer;
}

QStringList TScriptedDialogs::OpenFiles(QWidget*, const TOpenDialogRequest& request) {
  Asked.push_back({"open", request.Title});
  OpenRequests.push_back(request);
  return Next(Files, "open dialog", request.Title, QStringList{});
}

bool TScriptedDialogs::SelectDirectory(QWidget*, const QString& caption, QString& directory, int options, int) {
  Asked.push_back({"directory", caption});
  DirectoryStarts << directory;
  DirectoryOptions.push_back(options);
  const std::optional<QString> answer = Next(Directories, "directory dialog", caption, std::optional<QString>{});
  if (answer) directory = *answer;
  return answer.has_value();
}

int TScriptedDialogs::Exec(QDialog& dialog) {
  Asked.push_back({"window", dialog.objectName()});
  const auto play = Next(Windows, "window", dialog.objectName(), std::function<int(QDialog&)>{});
  return play ? play(dialog) : QDialog::Rejected;
}

bool TScriptedDialogs::OpenUrl(const QUrl& url) {
  Asked.push_back({"url", url.toString()});
  return UrlOpens;
}
