#pragma once

// The widgets the window tests drive, with the window itself.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/fMainForm.h"
#include "app/uActionButton.h"
#include "support/ScriptedDialogs.h"
#include "support/TestProject.h"

// A project test with the program's window: one application object per test
// process (on the offscreen platform), scripted dialogs, and the catalogue in
// the test directory's tesmar.ini.
class TGuiTest : public TProjectTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The catalogue: "name=directory" lines of section Projects.
  void WriteCatalogue(const std::vector<std::string>& lines);
  // Creates the window as the program does (its constructor runs FormCreate).
  TF_MainForm& OpenWindow(const std::string& argument = "");
  // proj/Files.ini as WriteFilesIni writes it, the catalogue holding only
  // "proj", and the window on it.
  TF_MainForm& OpenProject(const std::vector<std::string>& options, const std::vector<std::string>& entries,
                           const std::vector<std::string>& more = {});
  // The same with one program, App.dpr, in the file list.
  TF_MainForm& OpenProgram(const std::vector<std::string>& options = {});

  template <typename T>
  T* Find(const char* name) {
    T* found = Form->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << "no " << name;
    return found;
  }

  TScriptedDialogs Dialogs;
  // How OpenWindow starts the window, but for its INI file and argument.
  TMainFormStart Start;
  std::unique_ptr<TF_MainForm> Form;
  std::string IniFile;
};

// The texts of a list's or a name box's items, top to bottom.
QStringList Items(const QListWidget& list);
QStringList Items(const QComboBox& box);

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* out);

// The application object of the test process.
QApplication& TestApplication();
