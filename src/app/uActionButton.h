#pragma once

#include <QPointer>
#include <QPushButton>

class QAction;

// A push button bound to an action: it shows the action's text, follows its
// enabled and visible state and triggers it when clicked. The binding can
// change at run time (the results area puts other actions on its buttons).
class TActionButton : public QPushButton {
  Q_OBJECT

 public:
  explicit TActionButton(QWidget* parent = nullptr, QAction* action = nullptr);
  void SetAction(QAction* action);
  QAction* Action() const { return Bound; }

 private:
  void Follow();

  QPointer<QAction> Bound;
  // What was last taken from the action: a change of one property (say,
  // enabled) must not undo what was set on the button itself (say, hidden).
  QString LastText;
  bool LastEnabled = true;
  bool LastVisible = true;
  QMetaObject::Connection Changed;
};
