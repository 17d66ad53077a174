#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QUrl>

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
  if (Confirms.empty()) {
    ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return false;
  }
  const bool answer = Confirms.front();
  Confirms.pop_front();
  return answer;
}

QStringList TScriptedDialogs::OpenFiles(QWidget*, const TOpenDialogRequest& request) {
  Asked.push_back({"open", request.Title});
  OpenRequests.push_back(request);
  if (Files.empty()) {
    ADD_FAILURE() << "unexpected open dialog: " << request.Title.toStdString();
    return {};
  }
  QStringList answer = Files.front();
  Files.pop_front();
  return answer;
}

bool TScriptedDialogs::SelectDirectory(QWidget*, const QString& caption, QString& directory, int options, int) {
  Asked.push_back({"directory", caption});
  DirectoryStarts << directory;
  DirectoryOptions.push_back(options);
  if (Directories.empty()) {
    ADD_FAILURE() << "unexpected directory dialog: " << caption.toStdString();
    return false;
  }
  const std::optional<QString> answer = Directories.front();
  Directories.pop_front();
  if (!answer) return false;
  directory = *answer;
  return true;
}

int TScriptedDialogs::Exec(QDialog& dialog) {
  Asked.push_back({"window", dialog.objectName()});
  if (Windows.empty()) {
    ADD_FAILURE() << "unexpected window: " << dialog.objectName().toStdString();
    return QDialog::Rejected;
  }
  auto play = std::move(Windows.front());
  Windows.pop_front();
  return play(dialog);
}

bool TScriptedDialogs::OpenUrl(const QUrl& url) {
  Asked.push_back({"url", url.toString()});
  return UrlOpens;
}
