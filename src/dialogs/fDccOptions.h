#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;

// A window showing the compiler's option list as it printed it, in a
// fixed-pitch font. Not modal: every use opens one more, and each is deleted
// when it is closed.
class Tf_dccoptions : public QWidget {
  Q_OBJECT

 public:
  explicit Tf_dccoptions(QWidget* parent);
  // The memo receives the lines of a file the compiler wrote: UTF-8 when they
  // are valid UTF-8, else the console's code page 437.
  void LoadFromFile(const std::string& fileName);

  QPlainTextEdit* Memo1;
};
