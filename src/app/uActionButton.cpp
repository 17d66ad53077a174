#include "app/uActionButton.h"

#include <QAction>

TActionButton::TActionButton(QWidget* parent, QAction* action) : QPushButton(parent) {
  connect(this, &QPushButton::clicked, this, [this] {
    if (Bound) Bound->trigger();
  });
  SetAction(action);
}

void TActionButton::SetAction(QAction* action) {
  if (Changed) disconnect(Changed);
  Bound = action;
  if (!action) return;
  Changed = connect(action, &QAction::changed, this, &TActionButton::Follow);
  LastText = action->text();
  LastEnabled = action->isEnabled();
  LastVisible = action->isVisible();
  setText(LastText);
  setIcon(action->icon());
  setEnabled(LastEnabled);
  setVisible(LastVisible);
}

void TActionButton::Follow() {
  if (!Bound) return;
  if (Bound->text() != LastText) setText(LastText = Bound->text());
  if (Bound->isEnabled() != LastEnabled) setEnabled(LastEnabled = Bound->isEnabled());
  if (Bound->isVisible() != LastVisible) setVisible(LastVisible = Bound->isVisible());
}
