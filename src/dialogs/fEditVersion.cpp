#include "dialogs/fEditVersion.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <vector>

#include "dialogs/uReadOnlyPaint.h"
#include "dialogs/uSelectDir.h"
#include "dialogs/uUserDialogs.h"
#include "engine/uBuildingObject.h"

namespace {

// Lets only digits into an edit, typed or pasted (a paste holding anything
// else is refused whole). Deleting is free, and so is whatever the program
// puts there itself. What a change inserts is told by comparing it with the
// text the edit last held.
class TDigitKeysValidator : public QValidator {
 public:
  explicit TDigitKeysValidator(QLineEdit* edit) : QValidator(edit), Last(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { Last = text; });
  }
  // The program is about to put this text into the edit.
  void Expect(const QString& text) { Last = text; }

  State validate(QString& input, int&) const override {
    const qsizetype common = std::min(input.size(), Last.size());
    qsizetype head = 0;
    while (head < common && input[head] == Last[head]) ++head;
    qsizetype tail = 0;
    while (tail < common - head && input[input.size() - 1 - tail] == Last[Last.size() - 1 - tail]) ++tail;
    for (qsizetype i = head; i < input.size() - tail; ++i)
      if (input[i] < QChar('0') || input[i] > QChar('9')) return Invalid;
    return Acceptable;
  }

 private:
  QString Last;
};

// The rows of a column, top to bottom: a caption and the fields of its edits.
struct TRowSpec {
  const char* Caption;
  std::vector<TResourceTypeEnum> Fields;
};

const TRowSpec Rows[] = {{"Version: ", {reMajor, reMinor, reRelease, reBuild}},
                         {"Product Version: ", {reProductMajor, reProductMinor, reProductRelease, reProductBuild}},
                         {"Description: ", {reDescription}},
                         {"Company: ", {reCompany}},
                         {"Copyright: ", {reLegalCopyright}},
                         {"Comments:", {reComments}},
                         {"Internal Name:", {reInternalName}},
                         {"Trademark", {reLegalTrademarks}},
                         {"Product Name:", {reProductName}},
                         {"Orignal FileName:", {reOriginalFilename}},
                         {"AppID: ", {reAppid}},
                         {"Icon Filename", {reIconFileName}}};

// The group column's edit names; the local column's put an S after "E_".
const char* const EditNames[ResourceTypeCount] = {
    "E_Major",          "E_Minor",        "E_Release",   "E_Build",       "E_ProductMajor",     "E_ProductMinor",
    "E_ProductRelease", "E_ProductBuild", "E_AppID",     "E_Description", "E_Company",          "E_Comments",
    "E_InternalName",   "E_CopyRight",    "E_Trademark", "E_ProductName", "E_OriginalFilename", "E_IconFilename"};

// The two version numbers and the application id.
bool IsNumeric(TResourceTypeEnum field) {
  return field <= reAppid;
}

void SetEditText(QLineEdit* edit, const QString& text) {
  if (auto* digits = dynamic_cast<TDigitKeysValidator*>(const_cast<QValidator*>(edit->validator())))
    digits->Expect(text);
  edit->setText(text);
}

}  // namespace

Tf_editversion::Tf_editversion(QWidget* parent, TUserDialogs& dialogs, TBuilderClass& buildRun,
                               const std::string& projectName, const std::string& sourceFile, int entry)
    : QDialog(parent),
      Dialogs(dialogs),
      BuildRun(buildRun),
      ResourceHandler(buildRun.GetResourceHandler()),
      SourceFile(sourceFile) {
  setObjectName("f_editversion");
  setWindowTitle("Edit Version information settings ");
  CreateControls();
  resize(778, 577);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  // The paths are shortened to the widths the controls have on screen.
  layout()->activate();

  BuildRun.ProjectName = projectName;
  Settings =
      entry >= 0 ? BuildRun.FileList().SettingsAt(entry) : BuildRun.FileList().SettingsOf(BuildRun.SelectedSource);

  ResourceHandler.ClearValues();
  GroupEncoding = LoadColumn(Settings->GetSettingPath(stGroupVerInfo), vsGroupFile, GroupEdits);
  L_nameOfBuildProject->SetPath(ToQ(BuildRun.ProjectDir));
  ResourceHandler.ClearValues();
  LocalEncoding = LoadColumn(Settings->GetSettingPath(stLocalVerInfo), vsLocalFile, LocalEdits);
  L_nameOfExe->SetPath(ToQ(SourceFile));
  UpdateMerge();
}

void Tf_editversion::CreateControls() {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);

  auto heading = [this](const char* name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
  };
  grid->addWidget(heading("L_GeneralSettings", "General settings"), 0, 1);
  grid->addWidget(heading("L_SpecificSettings", "Specific settings for"), 0, 2);
  L_nameOfBuildProject = new TPathLabel(this);
  L_nameOfBuildProject->setObjectName("L_nameOfBuildProject");
  L_nameOfExe = new TPathLabel(this);
  L_nameOfExe->setObjectName("L_nameOfExe");
  grid->addWidget(L_nameOfBuildProject, 1, 1);
  grid->addWidget(L_nameOfExe, 1, 2);

  // Column heads of the version numbers over each column, a size smaller
  // than the captions: the four numbers of a row are narrow, so that the
  // preview has room.
  QFont headFont = font();
  headFont.setPointSizeF(headFont.pointSizeF() - 1);
  const QFontMetrics headMetrics(headFont);
  const int numberWidth =
      std::max(fontMetrics().horizontalAdvance("00000") + 8, headMetrics.horizontalAdvance("Release") + 2);
  for (int column : {1, 2}) {
    auto* heads = new QHBoxLayout;
    heads->setSpacing(3);
    for (const char* head : {"Major", "Minor", "Release", "Build"}) {
      auto* label = new QLabel(head, this);
      label->setFont(headFont);
      label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
      label->setFixedWidth(numberWidth);
      heads->addWidget(label);
    }
    heads->addStretch(1);
    grid->addLayout(heads, 2, column);
  }

  // Edits are created column by column, so that Tab walks down the group
  // column before it enters the local one.
  std::vector<QLayout*> cells[2];
  for (int side = 0; side < 2; ++side) {
    TColumn& edits = side == 0 ? GroupEdits : LocalEdits;
    for (const TRowSpec& row : Rows) {
      auto* cell = new QHBoxLayout;
      cell->setSpacing(3);
      for (TResourceTypeEnum field : row.Fields) {
        auto* edit = new QLineEdit(this);
        const std::string name = EditNames[field];
        edit->setObjectName(ToQ(side == 0 ? name : "E_S" + name.substr(2)));
        if (IsNumeric(field)) edit->setValidator(new TDigitKeysValidator(edit));
        if (row.Fields.size() > 1) edit->setFixedWidth(numberWidth);
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateMerge(); });
        edits[field] = edit;
        cell->addWidget(edit, row.Fields.size() > 1 ? 0 : 1);
      }
      if (row.Fields.front() == reIconFileName) {
        auto* button = new QToolButton(this);
        button->setObjectName(side == 0 ? "b_iconFileName" : "b_SIconFileName");
        button->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
        button->setToolTip("Choose the icon file");
        const int tag = side;
        connect(button, &QToolButton::clicked, this, [this, tag] { IconButtonClick(tag); });
        (side == 0 ? b_iconFileName : b_SIconFileName) = button;
        cell->addWidget(button);
      }
      if (row.Fields.size() > 1) cell->addStretch(1);
      cells[side].push_back(cell);
    }
  }
  int line = 3;
  for (std::size_t r = 0; r < std::size(Rows); ++r, ++line) {
    auto* label = new QLabel(Rows[r].Caption, this);
    label->setBuddy(GroupEdits[Rows[r].Fields.front()]);
    grid->addWidget(label, line, 0);
    grid->addLayout(cells[0][r], line, 1);
    grid->addLayout(cells[1][r], line, 2);
  }
  grid->setRowStretch(line, 1);

  m_merge = new QPlainTextEdit(this);
  m_merge->setObjectName("m_merge");
  m_merge->setReadOnly(true);
  PaintReadOnly(m_merge);
  m_merge->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_merge->setBackgroundRole(QPalette::Window);
  // A long value wraps rather than hiding its end.
  m_merge->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  m_merge->setFont(headFont);

  b_OK = new QPushButton("OK", this);
  b_OK->setObjectName("b_OK");
  b_OK->setDefault(true);
  b_cancel = new QPushButton("Cancel", this);
  b_cancel->setObjectName("b_cancel");
  connect(b_OK, &QPushButton::clicked, this, [this] {
    // Problems of the files are the resource handler's to report; the
    // window closes whatever happened.
    try {
      SaveVersionFiles();
    } catch (const std::exception& e) {
      Dialogs.Message(this, ScreenText(e.what()));
    }
    accept();
  });
  connect(b_cancel, &QPushButton::clicked, this, &QDialog::reject);

  // The edits take the room they need; the preview the rest.
  auto* top = new QHBoxLayout;
  top->addLayout(grid, 0);
  top->addWidget(m_merge, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(b_OK);
  buttons->addWidget(b_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
}

TTextEncoding Tf_editversion::LoadColumn(const std::string& fileName, TVersionSource source, TColumn& column) {
  ResourceHandler.LoadVersionFile(fileName, source);
  std::string all;
  for (TResourceTypeEnum field : AllResourceTypes()) all += ResourceHandler.GetValue(field);
  const TTextEncoding encoding = IsValidUtf8(all) ? TTextEncoding::Utf8 : TTextEncoding::Windows1252;
  for (TResourceTypeEnum field : AllResourceTypes()) {
    SetEditText(column[field], DecodeText(ResourceHandler.GetValue(field), encoding));
    column[field]->setCursorPosition(0);  // a long text shows its start
  }
  return encoding;
}

void Tf_editversion::UpdateMerge() {
  if (!m_merge) return;  // still being built
  QString merged[ResourceTypeCount];
  for (TResourceTypeEnum field : AllResourceTypes()) {
    const QString group = GroupEdits[field]->text();
    const bool unset = group.isEmpty() || (IsNumeric(field) && group == "0");
    merged[field] = unset ? LocalEdits[field]->text() : group;
  }
  const int width = m_merge->viewport()->width() - 2 * static_cast<int>(m_merge->document()->documentMargin());
  QStringList lines{"Produces the following version information for",
                    ShortPath(ToQ(SourceFile), width, m_merge->fontMetrics()), ""};
  lines << "File Version = " + QStringList{merged[0], merged[1], merged[2], merged[3]}.join('.');
  lines << "Product Version = " + QStringList{merged[4], merged[5], merged[6], merged[7]}.join('.');
  for (int field = reAppid; field <= reIconFileName; ++field)
    lines << ToQ(GlobalStuff().ResourceTypeName(static_cast<TResourceTypeEnum>(field))) + " = " + merged[field];
  m_merge->clear();
  m_merge->setPlainText(lines.join('\n'));
}

void Tf_editversion::IconButtonClick(int tag) {
  QLineEdit* edit = tag == 0 ? GroupEdits[reIconFileName] : LocalEdits[reIconFileName];
  TOpenDialogRequest request;
  request.Title = "Select an icon file";
  request.Filter = "Icon files|*.ico|bmp|*.bmp|all files|*.*";
  request.DefaultExtension = "*.ico";
  request.FileName = edit->text();
  request.FileMustExist = true;
  const QStringList chosen = Dialogs.OpenFiles(this, request);
  if (!chosen.isEmpty()) edit->setText(chosen.first());
}

void Tf_editversion::SaveColumn(const TColumn& column, TTextEncoding encoding, TsettingsTypeEnum kind) {
  // A text typed that the file's code page cannot hold makes the file UTF-8.
  for (TResourceTypeEnum field : AllResourceTypes())
    if (!CanEncode(column[field]->text(), encoding)) encoding = TTextEncoding::Utf8;
  ResourceHandler.ClearValues();
  for (TResourceTypeEnum field : AllResourceTypes())
    ResourceHandler.SetValue(field, EncodeText(column[field]->text(), encoding));
  ResourceHandler.SaveVersionFile(Settings->GetSettingPath(kind), "Version");
  Settings->SetSettingContent(kind, "");
  Settings->LoadSettingContent(kind);
}

void Tf_editversion::SaveVersionFiles() {
  SaveColumn(GroupEdits, GroupEncoding, stGroupVerInfo);
  SaveColumn(LocalEdits, LocalEncoding, stLocalVerInfo);
}
