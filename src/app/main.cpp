#include <QApplication>
#include <QIcon>
#include <iostream>

#include "app/fMainForm.h"
#include "dialogs/uFonts.h"
#include "dialogs/uUserDialogs.h"
#include "platform/Format.h"
#include "platform/Signals.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tesmar");
  QApplication::setApplicationDisplayName("Delphi Tesmar Tool");
  QApplication::setDesktopFileName("org.tesmar.Tesmar");
  UseInstalledFonts();
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QString(":/icons/tesmar-%1.png").arg(size));
  QApplication::setWindowIcon(icon);

  // tesmar [--tool-timeout SECONDS] [PROJECT]
  const QStringList arguments = QApplication::arguments();
  TMainFormStart start;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--tool-timeout" || argument.startsWith("--tool-timeout=")) {
      const QString value = argument.contains('=')     ? argument.section('=', 1)
                            : i + 1 < arguments.size() ? arguments[++i]
                                                       : QString();
      const auto seconds = platform::ParseSeconds(value.toStdString());
      if (!seconds) {
        std::cerr << "tesmar: --tool-timeout needs a number of seconds greater than 0, not " << value.toStdString()
                  << "\nUsage: tesmar [--tool-timeout SECONDS] [PROJECT]" << std::endl;
        return 2;
      }
      start.ToolTimeout = *seconds;
    } else if (start.Argument.empty()) {
      start.Argument = argument.toStdString();
    }
  }
  // Without a display no box could be answered: none is shown.
  start.Headless = QGuiApplication::platformName() == "offscreen";
  // SIGINT, SIGTERM and SIGHUP end a running tool with what it started, and
  // the build writes its logs before the program ends.
  const platform::TStopSignals stopSignals;
  start.Signals = &stopSignals;
  TQtUserDialogs onScreen;
  THeadlessUserDialogs headless;
  TF_MainForm window(start.Headless ? static_cast<TUserDialogs&>(headless) : onScreen, start);
  // A project named on the command line has been built unattended: the
  // program ends without showing its window.
  if (window.Terminated()) return window.ExitStatus();
  window.show();
  const int status = QApplication::exec();
  return window.InterruptedBy().empty() ? status : 1;
}
