// Renders the program's windows to PNG files, offscreen, the way users see
// them: the main window with a project loaded, during and after a build, and
// every dialog.
//
//   tesmar_screenshots <project directory> <output directory> [--screen PREFIX NAME...]
//
// --screen takes the named pictures (all without a name) from the screen, as
// the window system shows the windows with their frames, into files whose
// names begin with PREFIX: the pictures of a Windows build under Wine.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <functional>
#include <iostream>

#include "app/fMainForm.h"
#include "dialogs/fAbout.h"
#include "dialogs/fDccOptions.h"
#include "dialogs/fEditVersion.h"
#include "dialogs/fExtractLibPath.h"
#include "dialogs/fFileSelectDlg.h"
#include "dialogs/fOptions.h"
#include "dialogs/uFonts.h"
#include "dialogs/uSelectDir.h"
#include "dialogs/uUserDialogs.h"
#include "project/uCatalogue.h"
#include "project/uGlobalConstants.h"

namespace {

// Dialogs that answer nothing: the pictures are taken of windows, not of
// questions.
class TSilentDialogs : public TQtUserDialogs {
 public:
  void Message(QWidget*, const QString& text) override { std::cerr << "message: " << text.toStdString() << '\n'; }
  bool Confirm(QWidget*, const QString& text) override {
    std::cerr << "question: " << text.toStdString() << '\n';
    return false;
  }
  TSaveAnswer AskToSave(QWidget*, const QString& text) override {
    std::cerr << "question: " << text.toStdString() << '\n';
    return saDiscard;
  }
};

QString OutDir;
int Failures = 0;
bool FromScreen = false;
QString Prefix;
QStringList Only;

// What the screen shows of a window, its frame included, once the window
// system has drawn it.
QPixmap ScreenPicture(QWidget& widget) {
  widget.raise();
  widget.activateWindow();
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 1500) {
    QApplication::processEvents();
    QThread::msleep(20);
  }
  const QRect frame = widget.frameGeometry();
  return widget.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
}

void Save(QWidget& widget, const QString& name) {
  if (!Only.isEmpty() && !Only.contains(name)) return;
  widget.show();
  QApplication::processEvents();
  const QString file = OutDir + "/" + Prefix + name + ".png";
  if (!(FromScreen ? ScreenPicture(widget) : widget.grab()).save(file)) {
    std::cerr << "could not write " << file.toStdString() << '\n';
    ++Failures;
    return;
  }
  std::cout << file.toStdString() << '\n';
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Delphi Tesmar Tool");
  UseInstalledFonts();
  if (argc < 3 || (argc > 3 && (argc < 5 || std::string(argv[3]) != "--screen"))) {
    std::cerr << "usage: tesmar_screenshots <project directory> <output directory> [--screen PREFIX NAME...]\n";
    return 2;
  }
  if (argc > 3) {
    FromScreen = true;
    Prefix = QString::fromLocal8Bit(argv[4]);
    for (int i = 5; i < argc; ++i) Only << QString::fromLocal8Bit(argv[i]);
  }
  const std::string project = argv[1];
  OutDir = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(OutDir);

  const std::string ini = QDir(OutDir).absoluteFilePath("screenshots.ini").toStdString();
  QFile::remove(QString::fromStdString(ini));
  AddCatalogueEntry(ini, "demo", project);
  TSilentDialogs dialogs;
  {
    TF_MainForm window(dialogs, TMainFormStart{ini, "", false});
    window.LB_Files->setCurrentRow(0);
    window.LB_FilesClick();
    Save(window, "main-window");
    // A setting in the editor: the configuration of the package.
    window.LB_Files->setCurrentRow(2);
    window.LB_FilesClick();
    window.show();
    window.activateWindow();
    window.e_configuration->setFocus();
    Save(window, "main-window-setting-editor");
    // The build as it runs: the output of the entries built so far under
    // their headings, which entry of how many, and Stop.
    int started = 0;
    window.BuildRun->OnCompileStart = [&window, &started, inner = window.BuildRun->OnCompileStart](
                                          const std::string& source, const std::string& dest,
                                          const std::string& message) {
      inner(source, dest, message);
      if (++started != 3) return;
      window.RefreshResults(true);
      Save(window, "main-window-build-in-progress");
    };
    window.A_DoBuildExecute();
    Save(window, "main-window-after-build");

    window.LB_Files->setCurrentRow(0);
    window.LB_FilesClick();
    {
      Tf_editversion editor(&window, dialogs, *window.BuildRun, window.CurrentProjectName, window.CurrentSource);
      Save(editor, "edit-version");
    }
    {
      Tf_options options(&window, dialogs);
      for (const auto& [box, flag] : options.FlagBoxes()) box->setChecked(window.BuildRun->GetOption(flag));
      options.e_compilerpath->setText(QString::fromStdString(project + "/bin"));
      Save(options, "project-options");
    }
    // The compiler's option list as the window's command shows it; the list
    // file goes with the demo, not beside this program.
    window.DccOptionsFile = project + "/options.txt";
    window.A_DisplayDCCOptionsExecute();
    for (Tf_dccoptions* list : window.findChildren<Tf_dccoptions*>()) Save(*list, "dcc-options");
    window.CloseDccOptionsWindows();
    {
      Tf_about about(&window);
      Save(about, "about");
    }
  }
  {
    TSelectDirDlg dialog(nullptr, dialogs, ProjectDirectoryCaption, QString::fromStdString(project),
                         sdAllowCreate | sdPerformCreate | sdPrompt, 0);
    Save(dialog, "select-directory");
  }
  {
    Tf_ExtractLibPath dialog(nullptr, "5");
    Save(dialog, "extract-library-path");
  }
  {
    Tf_FileSelectDlg dialog(nullptr, dialogs);
    dialog.CurrentFile = project + "/Default.config";
    dialog.NewFile = project + "/src/DemoApp.before";
    dialog.SettingDescription = "configuration";
    dialog.setWindowTitle("Select the configuration file");
    dialog.SetChoiceTexts();
    dialog.RB_ReplaceMove->setChecked(true);
    dialog.RB_ReplaceMoveClick();
    Save(dialog, "file-relocation");
  }
  QFile::remove(QString::fromStdString(ini));
  return Failures == 0 ? 0 : 1;
}
