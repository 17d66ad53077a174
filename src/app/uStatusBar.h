#pragma once

#include <QStatusBar>

// A status bar whose message, when the widgets at its right leave it too
// little room, ends in an ellipsis instead of being cut off mid-letter; the
// whole message is its tooltip then. The message itself (currentMessage)
// stays whole.
class TStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit TStatusBar(QWidget* parent = nullptr);
  // Where the message is painted: from the left edge to the first visible
  // widget beside it.
  QRect MessageRect() const;
  // The message as it is painted.
  QString ShownMessage() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
};
