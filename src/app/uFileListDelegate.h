#pragma once

#include <QFont>
#include <QHash>
#include <QStyledItemDelegate>

class QListWidget;

// Draws a file list line (target=source) with each half shortened to half
// the list's width, so that both file names stay in sight.
class TFileListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TFileListDelegate(QListWidget* list);
  // The text drawn for a line at the list's present width and font.
  QString ShownText(const QString& line) const;
  // Half the room for one of the two paths: (width - 20) div 2.
  int HalfWidth() const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  QListWidget* List;
  // The shortened lines already worked out, for the width and font they
  // were worked out for: a list repainted during a build shortens each
  // line in sight once, not at every paint.
  mutable QHash<QString, QString> Shown;
  mutable int ShownWidth = -1;
  mutable QFont ShownFont;
};
