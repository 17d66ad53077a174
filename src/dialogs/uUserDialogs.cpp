#include "dialogs/uUserDialogs.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <iostream>

#include "dialogs/uSelectDir.h"

QString QtNameFilters(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      patterns << pattern.trimmed();
#ifndef Q_OS_WIN
      // Names are matched with case here; Delphi users' files are App.DPR as
      // often as App.dpr.
      if (pattern.trimmed() != "*.*") {
        if (pattern.toLower() != pattern) patterns << pattern.trimmed().toLower();
        if (pattern.toUpper() != pattern) patterns << pattern.trimmed().toUpper();
      }
#endif
    }
    patterns.removeDuplicates();
    filters << parts[i].trimmed() + " (" + patterns.join(' ') + ")";
  }
  return filters.join(";;");
}

void TQtUserDialogs::Message(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool TQtUserDialogs::Confirm(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

TSaveAnswer TQtUserDialogs::AskToSave(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return saSave;
    case QMessageBox::Discard:
      return saDiscard;
    default:
      return saCancel;
  }
}

TChangedFileAnswer TQtUserDialogs::AskAboutChangedFile(QWidget* parent, const QString& text, int others,
                                                       bool& sameForOthers) {
  QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), text, QMessageBox::NoButton, parent);
  QPushButton* overwrite = box.addButton("&Overwrite", QMessageBox::DestructiveRole);
  QPushButton* keep = box.addButton("&Keep Other Version", QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(QMessageBox::Cancel);
  // Writing over another program's work is never the default.
  box.setDefaultButton(keep);
  box.setEscapeButton(cancel);
  QCheckBox* same = nullptr;
  if (others > 0) {
    same = new QCheckBox(others == 1 ? QString("Do the same for the other changed file")
                                     : QString("Do the same for the other %1 changed files").arg(others));
    box.setCheckBox(same);
  }
  box.exec();
  sameForOthers = same && same->isChecked();
  if (box.clickedButton() == overwrite) return cfOverwrite;
  if (box.clickedButton() == keep) return cfKeepOther;
  sameForOthers = false;
  return cfCancel;
}

QStringList TQtUserDialogs::OpenFiles(QWidget* parent, const TOpenDialogRequest& request) {
  QFileDialog dialog(parent, request.Title);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(QtNameFilters(request.Filter).split(";;", Qt::SkipEmptyParts));
  QString suffix = request.DefaultExtension;
  while (suffix.startsWith('*') || suffix.startsWith('.')) suffix.remove(0, 1);
  dialog.setDefaultSuffix(suffix);
  if (request.MultiSelect)
    dialog.setFileMode(QFileDialog::ExistingFiles);
  else if (request.FileMustExist)
    dialog.setFileMode(QFileDialog::ExistingFile);
  else
    dialog.setFileMode(QFileDialog::AnyFile);
  if (!request.FileName.isEmpty()) {
    const QFileInfo start(request.FileName);
    if (start.isDir()) {
      dialog.setDirectory(request.FileName);
    } else {
      dialog.setDirectory(start.absolutePath());
      if (!start.fileName().isEmpty() && !start.fileName().startsWith('.')) dialog.selectFile(start.fileName());
    }
  }
  for (;;) {
    if (dialog.exec() != QDialog::Accepted) return {};
    // Qt names files with '/'; a project stores them as the system writes
    // them (C:\Work\App.dpr on Windows).
    QStringList files = dialog.selectedFiles();
    for (QString& file : files) file = QDir::toNativeSeparators(file);
    if (!request.PromptToCreate || files.isEmpty() || QFileInfo::exists(files.first())) return files;
    if (Confirm(parent, files.first() + "\nThis file does not exist.\nCreate the file?")) return files;
  }
}

bool TQtUserDialogs::SelectDirectory(QWidget* parent, const QString& caption, QString& directory, int options,
                                     int helpContext) {
  return SelectDir(parent, *this, caption, directory, options, helpContext);
}

int TQtUserDialogs::Exec(QDialog& dialog) {
  return dialog.exec();
}

bool TQtUserDialogs::OpenUrl(const QUrl& url) {
  return QDesktopServices::openUrl(url);
}

void THeadlessUserDialogs::Message(QWidget*, const QString& text) {
  std::cerr << text.toStdString() << std::endl;
}

bool THeadlessUserDialogs::Confirm(QWidget*, const QString& text) {
  std::cerr << text.toStdString() << " - No" << std::endl;
  return false;
}

TSaveAnswer THeadlessUserDialogs::AskToSave(QWidget*, const QString& text) {
  std::cerr << text.toStdString() << " - Discard" << std::endl;
  return saDiscard;
}

TChangedFileAnswer THeadlessUserDialogs::AskAboutChangedFile(QWidget*, const QString& text, int, bool& sameForOthers) {
  std::cerr << text.toStdString() << " - Cancel" << std::endl;
  sameForOthers = false;
  return cfCancel;
}

QStringList THeadlessUserDialogs::OpenFiles(QWidget*, const TOpenDialogRequest&) {
  return {};
}

bool THeadlessUserDialogs::SelectDirectory(QWidget*, const QString&, QString&, int, int) {
  return false;
}

int THeadlessUserDialogs::Exec(QDialog&) {
  return QDialog::Rejected;
}

bool THeadlessUserDialogs::OpenUrl(const QUrl&) {
  return false;
}
