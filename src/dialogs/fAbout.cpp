#include "dialogs/fAbout.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "dialogs/uQtText.h"
#include "dialogs/uReadOnlyPaint.h"
#include "platform/FileSystem.h"
#include "version/ProgramVersion.h"
#include "version/uVersionInformation.h"

Tf_about::Tf_about(QWidget* parent) : Tf_about(parent, platform::ProgramFile()) {}

Tf_about::Tf_about(QWidget* parent, const std::string& executable) : QDialog(parent) {
  setObjectName("f_about");
  setWindowTitle("About Delphi Tesmar");
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  PaintReadOnly(Memo1);
  Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setBackgroundRole(QPalette::Window);
  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

  Memo1->clear();
  QStringList lines;
  TVersionInformation& reader = VersionInformation();
  reader.LoadVersionInfo(executable);
  if (reader.Loaded) {
    for (std::size_t i = 0; i < MSResourceNameCount; ++i) {
      const std::string name = TVersionInformation::ResourceName(static_cast<tMSResourceNameEnum>(i));
      lines << ToQ(name) + " = " + ToQ(reader.GetVersionString(name));
    }
  } else {
    for (const TVersionString& entry : ProgramVersionStrings(tpWindow))
      lines << ToQ(entry.Name) + " = " + ToQ(entry.Value);
  }
  Memo1->setPlainText(lines.join('\n'));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Memo1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BitBtn1);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  // Room for every line without a scroll bar, and no more.
  const QFontMetrics metrics(Memo1->font());
  int widest = 0;
  for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
  const int margins = 2 * (static_cast<int>(Memo1->document()->documentMargin()) + Memo1->frameWidth()) + 8;
  Memo1->setFixedSize(std::max(widest + margins, 320),
                      static_cast<int>(lines.size() + 1) * (metrics.lineSpacing() + 1) + margins);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  BitBtn1->setFocus();
}
