#include "app/uFileListBox.h"

#include <QMouseEvent>

template <typename THandle>
bool TFileListBox::AsUser(THandle handle) {
  const int before = currentRow();
  handle();
  const bool changed = currentRow() != before && currentRow() >= 0;
  if (changed) emit EntryChosen(currentRow());
  return changed;
}

void TFileListBox::keyPressEvent(QKeyEvent* event) {
  AsUser([&] { QListWidget::keyPressEvent(event); });
}

void TFileListBox::mousePressEvent(QMouseEvent* event) {
  ChosenByPress = AsUser([&] { QListWidget::mousePressEvent(event); });
}

void TFileListBox::mouseMoveEvent(QMouseEvent* event) {
  ChosenByPress = AsUser([&] { QListWidget::mouseMoveEvent(event); }) || ChosenByPress;
}

void TFileListBox::mouseReleaseEvent(QMouseEvent* event) {
  const bool chosen = AsUser([&] { QListWidget::mouseReleaseEvent(event); }) || ChosenByPress;
  ChosenByPress = false;
  // A click on the current entry shows it again, as a click on any entry does.
  if (!chosen && event->button() == Qt::LeftButton && currentItem() &&
      itemAt(event->position().toPoint()) == currentItem())
    emit EntryChosen(currentRow());
}
