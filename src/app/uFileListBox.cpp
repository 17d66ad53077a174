#include "app/uFileListBox.h"

#include <QMouseEvent>

namespace {

// An entry that keeps its mark itself and gives it as its decoration,
// tooltip and accessible description.
class TFileListItem : public QListWidgetItem {
 public:
  explicit TFileListItem(const QString& line) : QListWidgetItem(line) {}
  QVariant data(int role) const override {
    if (Marked) {
      if (role == Qt::DecorationRole) return Mark.Icon;
      if (role == Qt::ToolTipRole) return Mark.Tip;
      if (role == Qt::AccessibleDescriptionRole) return Mark.Word;
    }
    return QListWidgetItem::data(role);
  }
  bool Marked = false;
  TFileListBox::TMark Mark;
};

}  // namespace

void TFileListBox::AddEntry(const QString& line) {
  addItem(new TFileListItem(line));
}

void TFileListBox::SetMark(int row, const TMark* mark) {
  // Every entry is added as one that can carry a mark.
  auto* entry = dynamic_cast<TFileListItem*>(item(row));
  if (!entry || (!mark && !entry->Marked)) return;
  entry->Marked = mark != nullptr;
  entry->Mark = mark ? *mark : TMark{};
  // The rows in sight are painted anew with the next paint; working out the
  // row's own place would cost more than the paint.
  viewport()->update();
}

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
