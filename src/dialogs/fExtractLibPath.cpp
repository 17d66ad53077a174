#include "dialogs/fExtractLibPath.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/uQtText.h"
#include "dialogs/uUserDialogs.h"

Tf_ExtractLibPath::Tf_ExtractLibPath(QWidget* parent, const QString& proposedVersion) : QDialog(parent) {
  setObjectName("f_ExtractLibPath");
  setWindowTitle("Extract Delphi Library Path");
  auto* text = new QLabel(
      "This will extract the Delphi Library Path for the version specified below.  It will replace the current "
      "contents of the path used in Tesmar.",
      this);
  text->setObjectName("Label1");
  text->setWordWrap(true);
  text->setFrameShape(QFrame::StyledPanel);
  text->setMargin(8);
  E_Version = new QLineEdit(proposedVersion, this);
  E_Version->setObjectName("E_Version");
  QFont large = E_Version->font();
  large.setPointSizeF(large.pointSizeF() * 2);
  E_Version->setFont(large);
  E_Version->setMaximumWidth(E_Version->fontMetrics().horizontalAdvance("00000") + 16);
  E_Version->selectAll();
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(E_Version, 0, Qt::AlignHCenter);
  layout->addLayout(buttons);
  setFixedSize(360, sizeHint().height());
}

std::optional<std::string> TWindowLibraryPathPrompt::AskDelphiVersion(const std::string& proposed) {
  Tf_ExtractLibPath dialog(Parent, ToQ(proposed));
  if (Dialogs.Exec(dialog) != QDialog::Accepted) return std::nullopt;
  return FromQ(dialog.E_Version->text());
}

void TWindowLibraryPathPrompt::ShowMessage(const std::string& text) {
  Dialogs.Message(Parent, ToQ(text));
}
