#pragma once

#include <QIcon>
#include <QListWidget>
#include <string>

// The file list box. Besides what every list does, it tells when the user (a
// key, a click, a drag of the mouse) made another entry current, or clicked
// the current one; the program's own changes of the current entry are not
// told.
class TFileListBox : public QListWidget {
  Q_OBJECT

 public:
  using QListWidget::QListWidget;

  // The mark the last build left on an entry: an icon before its line, the
  // entry's result line for a tooltip, a word for assistive tools.
  struct TMark {
    QIcon Icon;
    std::string Tip;
    const char* Word = "";
  };
  // Adds an entry for a file list line (its bytes as the file holds them).
  void AddEntry(const std::string& line);
  // The file list line of a row; "" for none.
  const std::string& LineAt(int row) const;
  // Puts a mark on the entry of a row (nullptr: takes it off). The rows in
  // sight are painted anew with the list's next paint; the list's model is
  // not told, so that a build of many entries costs no model change each.
  void SetMark(int row, const TMark* mark);

 signals:
  void EntryChosen(int row);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  // Runs the list's own handling of an input event; true when it made
  // another entry current (which is then told).
  template <typename THandle>
  bool AsUser(THandle handle);
  // The press of the present click chose an entry already.
  bool ChosenByPress = false;
  // A paint of the rows in sight is asked for already.
  bool MarksToPaint = false;
};
