#include <QApplication>

#include "app/fMainForm.h"
#include "dialogs/uUserDialogs.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tesmar");
  QApplication::setApplicationDisplayName("Delphi Tesmar Tool");

  TQtUserDialogs dialogs;
  const QStringList arguments = QApplication::arguments();
  TMainFormStart start;
  if (arguments.size() > 1) start.Argument = arguments[1].toStdString();
  start.Headless = QGuiApplication::platformName() == "offscreen";
  TF_MainForm window(dialogs, start);
  // A project named on the command line has been built unattended: the
  // program ends without showing its window.
  if (window.Terminated()) return window.ExitStatus();
  window.show();
  return QApplication::exec();
}
