#include "dialogs/fDccOptions.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "dialogs/uFonts.h"
#include "dialogs/uQtText.h"
#include "dialogs/uReadOnlyPaint.h"
#include "platform/TextFile.h"

Tf_dccoptions::Tf_dccoptions(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("f_dccoptions");
  setWindowTitle("Current DCC options help dump");
  setAttribute(Qt::WA_DeleteOnClose);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  PaintReadOnly(Memo1);
  Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setFont(FixedPitchFont());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
  resize(580, 439);
}

void Tf_dccoptions::LoadFromFile(const std::string& fileName) {
  const platform::TStringList lines = platform::ReadTextLines(fileName);
  std::string bytes;
  for (std::size_t i = 0; i < lines.size(); ++i) bytes += (i ? "\n" : "") + lines[i];
  Memo1->setPlainText(DecodeCodePage437(bytes));
}
