#pragma once

#include <QApplication>
#include <QPalette>
#include <QWidget>

// Read-only edits and memos are painted in the system's window colour, those
// open for typing in its base colour: palette roles, so that every theme
// shows which is which.
inline void PaintReadOnly(QWidget* widget, bool readOnly = true) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, QApplication::palette().color(readOnly ? QPalette::Window : QPalette::Base));
  widget->setPalette(palette);
}
