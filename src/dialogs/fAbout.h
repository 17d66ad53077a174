#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// The about box: the program's own version strings, one "name = value" a
// line.
class Tf_about : public QDialog {
  Q_OBJECT

 public:
  explicit Tf_about(QWidget* parent);

  QPlainTextEdit* Memo1;
  QPushButton* BitBtn1;
};
