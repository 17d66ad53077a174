#include "app/uFileListBox.h"

#include <QMouseEvent>

#include "dialogs/uQtText.h"

namespace {

// An entry that knows its file list line and keeps its mark itself, giving
// it as its decoration, tooltip and accessible description.
class TFileListItem : public QListWidgetItem {
 public:
  static constexpr int ItemType = QListWidgetItem::UserType + 1;
  explicit TFileListItem(const std::string& line) : QListWidgetItem(ToQ(line), nullptr, ItemType), Line(line) {}
  // The entry of a row, when it is one of these: told by its type, which
  // costs less than a dynamic cast.
  static TFileListItem* Of(QListWidgetItem* item) {
    return item && item->type() == ItemType ? static_cast<TFileListItem*>(item) : nullptr;
  }
  QVariant data(int role) const override {
    if (Marked) {
      if (role == Qt::DecorationRole) return Mark.Icon;
      if (role == Qt::ToolTipRole) return ToQ(Mark.Tip);
      if (role == Qt::AccessibleDescriptionRole) return QString(Mark.Word);
    }
    return QListWidgetItem::data(role);
  }
  const std::string Line;
  bool Marked = false;
  TFileListBox::TMark Mark;
};

}  // namespace

void TFileListBox::AddEntry(const std::string& line) {
  addItem(new TFileListItem(line));
}

const std::string& TFileListBox::LineAt(int row) const {
  static const std::string none;
  const TFileListItem* entry = TFileListItem::Of(item(row));
  return entry ? entry->Line : none;
}

void TFileListBox::SetMark(int row, const TMark* mark) {
  // Every entry is added as one that can carry a mark.
  TFileListItem* entry = TFileListItem::Of(item(row));
  if (!entry || (!mark && !entry->Marked)) return;
  entry->Marked = mark != nullptr;
  entry->Mark = mark ? *mark : TMark{};
  // Asked once until the paint: working out the row's own place, or asking
  // for each row, would cost more than the paint.
  if (!MarksToPaint) viewport()->update();
  MarksToPaint = true;
}

bool TFileListBox::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Paint) MarksToPaint = false;
  return QListWidget::viewportEvent(event);
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
