#include "support/GuiTest.h"

#include "dialogs/uFonts.h"
#include "platform/ProfileCache.h"
#include "project/uPersistence.h"

QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "tesmar-tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = nullptr;
  if (!app) {
#ifdef _WIN32
    // Wine hands no QT_ variable of the Unix side to its programs, so the
    // offscreen platform of the test environment is asked for here.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef TESMAR_TEST_FONT_DIR
    if (!qEnvironmentVariableIsSet("QT_QPA_FONTDIR")) qputenv("QT_QPA_FONTDIR", TESMAR_TEST_FONT_DIR);
#endif
#endif
    app = new QApplication(argc, argv);
    QApplication::setApplicationDisplayName("Delphi Tesmar Tool");
    UseInstalledFonts();
  }
  return *app;
}

void TGuiTest::SetUp() {
  TProjectTest::SetUp();
  TestApplication();
  IniFile = Path("tesmar.ini");
  // New projects take their library path from a master copy: the window's
  // own Delphi version question is for the tests that ask for it.
  WriteBytes("masters/Default.path", CrLf({Path("lib")}));
  Persistence().MasterCopyDirs = {Path("masters")};
}

void TGuiTest::TearDown() {
  Form.reset();
  EXPECT_TRUE(Dialogs.Confirms.empty() && Dialogs.SaveAnswers.empty()) << "unused answers to questions";
  EXPECT_TRUE(Dialogs.Directories.empty()) << "unused directory answers";
  EXPECT_TRUE(Dialogs.Files.empty()) << "unused file answers";
  EXPECT_TRUE(Dialogs.Windows.empty()) << "unused window scripts";
  TProjectTest::TearDown();
}

void TGuiTest::WriteCatalogue(const std::vector<std::string>& lines) {
  std::vector<std::string> all{"[Projects]"};
  all.insert(all.end(), lines.begin(), lines.end());
  WriteBytes(IniFile, CrLf(all));
  platform::ForgetSharedProfiles();
}

TF_MainForm& TGuiTest::OpenWindow(const std::string& argument) {
  // The window before is gone first: it puts back the run hooks it found.
  Form.reset();
  TMainFormStart start = Start;
  start.IniFile = IniFile;
  start.Argument = argument;
  Form = std::make_unique<TF_MainForm>(Dialogs, start);
  return *Form;
}

TF_MainForm& TGuiTest::OpenProject(const std::vector<std::string>& options, const std::vector<std::string>& entries,
                                   const std::vector<std::string>& more) {
  WriteFilesIni(options, entries, more);
  WriteCatalogue({"proj=" + Project});
  return OpenWindow();
}

TF_MainForm& TGuiTest::OpenProgram(const std::vector<std::string>& options) {
  WriteProgram();
  return OpenProject(options, {Entry("App.EXE", "App.dpr")});
}

QStringList Items(const QListWidget& list) {
  QStringList items;
  for (int i = 0; i < list.count(); ++i) items << list.item(i)->text();
  return items;
}

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
