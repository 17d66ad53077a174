#include "app/uStatusBar.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>
#include <algorithm>

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
  // Room for the message changes with the widgets beside it.
  connect(this, &QStatusBar::messageChanged, this, [this] { update(); });
}

QRect TStatusBar::MessageRect() const {
  // The margins QStatusBar leaves around its own message.
  int left = 6;
  int right = width() - 12;
  for (const QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->isVisible() || child->isWindow()) continue;
    if (layoutDirection() == Qt::RightToLeft)
      left = std::max(left, child->x() + child->width() + 2);
    else
      right = std::min(right, child->x() - 2);
  }
  return QRect(left, 0, std::max(0, right - left), height());
}

QString TStatusBar::ShownMessage() const {
  return fontMetrics().elidedText(currentMessage(), Qt::ElideRight, MessageRect().width());
}

void TStatusBar::paintEvent(QPaintEvent* event) {
  const QString message = currentMessage();
  if (message.isEmpty()) {
    QStatusBar::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOption panel;
  panel.initFrom(this);
  style()->drawPrimitive(QStyle::PE_PanelStatusBar, &panel, &painter, this);
  // The frames of the widgets beside the message, as QStatusBar draws them.
  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->isVisible() || child->isWindow() || child->inherits("QSizeGrip")) continue;
    QStyleOption frame(0);
    frame.rect = child->geometry().adjusted(-2, -1, 2, 1);
    frame.palette = palette();
    frame.state = QStyle::State_None;
    if (event->rect().intersects(frame.rect))
      style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &frame, &painter, child);
  }
  painter.setPen(palette().windowText().color());
  painter.drawText(MessageRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, ShownMessage());
}

bool TStatusBar::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString message = currentMessage();
    if (!message.isEmpty() && MessageRect().contains(help->pos()) && ShownMessage() != message) {
      QToolTip::showText(help->globalPos(), message, this, MessageRect());
      return true;
    }
  }
  return QStatusBar::event(event);
}
