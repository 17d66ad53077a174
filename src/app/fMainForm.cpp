#include "app/fMainForm.h"

TF_MainForm::TF_MainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName("F_MainForm");
  setWindowTitle("Delphi Tesmar Tool");
  resize(812, 646);
}
