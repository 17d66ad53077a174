#include "app/uFileListDelegate.h"

#include <QListWidget>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "dialogs/uQtText.h"

TFileListDelegate::TFileListDelegate(QListWidget* list) : QStyledItemDelegate(list), List(list) {}

int TFileListDelegate::HalfWidth() const {
  return (List->width() - 20) / 2;
}

QString TFileListDelegate::ShownText(const QString& line) const {
  if (ShownWidth != HalfWidth() || ShownFont != List->font()) {
    Shown.clear();
    ShownWidth = HalfWidth();
    ShownFont = List->font();
  }
  if (const auto kept = Shown.constFind(line); kept != Shown.constEnd()) return *kept;
  // Kept for the lines of one list at one width: a list of thousands of
  // entries scrolled through keeps no more than it holds.
  if (Shown.size() > 4 * std::max(64, List->count())) Shown.clear();
  const qsizetype eq = line.indexOf('=');
  const QString target = eq < 0 ? line : line.left(eq);
  const QString source = eq < 0 ? QString() : line.mid(eq + 1, 250);
  const QFontMetrics metrics = List->fontMetrics();
  return Shown[line] = ShortPath(target, HalfWidth(), metrics) + "=" + ShortPath(source, HalfWidth(), metrics);
}

void TFileListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
  QColor back = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
  QColor text = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
  // The entry "build one" builds stays in sight when the list has not the
  // focus: Windows' highlight of an unfocused list is all but the list's white.
  const QColor base = option.palette.color(group, QPalette::Base);
  if (selected && std::abs(back.lightness() - base.lightness()) < 24) {
    back = base.lightness() > 128 ? base.darker(118) : base.lighter(160);
    text = option.palette.color(group, QPalette::Text);
  }
  painter->fillRect(option.rect, back);
  painter->setPen(text);
  painter->setFont(List->font());
  // The mark of the last build, when the entry has one, before the line.
  QRect textRect = option.rect.adjusted(1, 0, 0, 0);
  const QIcon mark = index.data(Qt::DecorationRole).value<QIcon>();
  if (!mark.isNull()) {
    const int side = option.rect.height() - 2;
    mark.paint(painter, QRect(option.rect.left() + 1, option.rect.top() + 1, side, side));
    textRect.setLeft(textRect.left() + side + 3);
  }
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    ShownText(index.data().toString()));
  if (option.state & QStyle::State_HasFocus) {
    QPen dotted(text, 1, Qt::DotLine);
    painter->setPen(dotted);
    painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
  }
}

QSize TFileListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
  // Thirteen pixels in the small font the list was made for; the height of a
  // line in the font in use where that is taller.
  return {List->viewport()->width(), std::max(13, List->fontMetrics().height() + 1)};
}
