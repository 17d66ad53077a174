#include <QApplication>

#include "app/fMainForm.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Delphi Tesmar Tool");
  TF_MainForm window;
  window.show();
  return QApplication::exec();
}
