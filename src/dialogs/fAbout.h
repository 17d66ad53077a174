#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;

// The about box: the program's own version strings, one "name = value" a
// line, read from the version resource of its executable. An executable
// without one (every program outside Windows) shows the strings the build
// gave the program.
class Tf_about : public QDialog {
  Q_OBJECT

 public:
  explicit Tf_about(QWidget* parent);
  // The box for another executable's strings.
  Tf_about(QWidget* parent, const std::string& executable);

  QPlainTextEdit* Memo1;
  QPushButton* BitBtn1;
};
