#include <QApplication>
#include <QIcon>

#include "app/fMainForm.h"
#include "dialogs/uFonts.h"
#include "dialogs/uUserDialogs.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tesmar");
  QApplication::setApplicationDisplayName("Delphi Tesmar Tool");
  QApplication::setDesktopFileName("org.tesmar.Tesmar");
  UseInstalledFonts();
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QString(":/icons/tesmar-%1.png").arg(size));
  QApplication::setWindowIcon(icon);

  const QStringList arguments = QApplication::arguments();
  TMainFormStart start;
  if (arguments.size() > 1) start.Argument = arguments[1].toStdString();
  // Without a display no box could be answered: none is shown.
  start.Headless = QGuiApplication::platformName() == "offscreen";
  TQtUserDialogs onScreen;
  THeadlessUserDialogs headless;
  TF_MainForm window(start.Headless ? static_cast<TUserDialogs&>(headless) : onScreen, start);
  // A project named on the command line has been built unattended: the
  // program ends without showing its window.
  if (window.Terminated()) return window.ExitStatus();
  window.show();
  return QApplication::exec();
}
