#include "dialogs/uSelectDir.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStackedLayout>
#include <QStorageInfo>
#include <QStyle>

#include "dialogs/uQtText.h"
#include "dialogs/uUserDialogs.h"
#include "platform/FileSystem.h"

// --- TPathLabel -----------------------------------------------------------------

TPathLabel::TPathLabel(QWidget* parent) : QLabel(parent) {
  setWordWrap(false);
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void TPathLabel::SetPath(const QString& path) {
  FullPath = path;
  setText(path);
  setToolTip(path);
  update();
}

QString TPathLabel::ShownText() const {
  return ShortPath(FullPath, contentsRect().width(), fontMetrics());
}

void TPathLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, ShownText());
}

// --- the volumes ----------------------------------------------------------------

QStringList BrowsableVolumes() {
#ifdef Q_OS_WIN
  QStringList drives;
  for (const QFileInfo& drive : QDir::drives()) drives << QDir::toNativeSeparators(drive.absoluteFilePath());
  return drives;
#else
  QStringList volumes{"/"};
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    const QString root = volume.rootPath();
    if (!volume.isValid() || !volume.isReady() || volumes.contains(root)) continue;
    // The kernel's own file systems and the system's run-time areas are no
    // place for a project.
    static const QStringList systemAreas{"/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var/lib"};
    bool system = false;
    for (const QString& area : systemAreas) system = system || root == area || root.startsWith(area + "/");
    if (root.startsWith("/run/media/")) system = false;
    const QFileInfo info(root);
    if (system || !info.isDir() || !info.isReadable() || !info.isExecutable()) continue;
    volumes << root;
  }
  return volumes;
#endif
}

// --- TSelectDirDlg --------------------------------------------------------------

TSelectDirDlg::TSelectDirDlg(QWidget* parent, TUserDialogs& dialogs, const QString& caption, const QString& directory,
                             int options, int helpContext)
    : QDialog(parent),
      Dialogs(dialogs),
      AllowCreate((options & sdAllowCreate) != 0),
      Prompt((options & sdPrompt) != 0),
      HelpContext(helpContext) {
  setObjectName("SelectDirDlg");
  setWindowTitle(caption);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* editLabel = new QLabel("directories", this);
  DirEdit = new QLineEdit(this);
  DirEdit->setObjectName("DirEdit");
  PathLabel = new TPathLabel(this);
  PathLabel->setObjectName("PathLabel");
  auto* driveLabel = new QLabel("Drives", this);
  DriveBox = new QComboBox(this);
  DriveBox->setObjectName("DriveBox");
  auto* dirLabel = new QLabel("Directories", this);
  DirList = new QListWidget(this);
  DirList->setObjectName("DirList");
  auto* fileLabel = new QLabel("Files", this);
  FileList = new QListWidget(this);
  FileList->setObjectName("FileList");
  FileList->setSelectionMode(QAbstractItemView::NoSelection);
  NetworkButton = new QPushButton("Network", this);
  NetworkButton->setObjectName("NetworkButton");
  OKButton = new QPushButton("&OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  HelpButton = new QPushButton("&Help", this);
  HelpButton->setObjectName("HelpButton");

  editLabel->setBuddy(AllowCreate ? static_cast<QWidget*>(DirEdit) : DirList);
  driveLabel->setBuddy(DriveBox);
  dirLabel->setBuddy(DirList);
  fileLabel->setBuddy(FileList);

  // The edit box and the path label share one place.
  auto* place = new QStackedLayout;
  place->addWidget(DirEdit);
  place->addWidget(PathLabel);
  place->setCurrentWidget(AllowCreate ? static_cast<QWidget*>(DirEdit) : PathLabel);
  DirEdit->setVisible(AllowCreate);
  PathLabel->setVisible(!AllowCreate);

  auto* grid = new QGridLayout;
  grid->addWidget(editLabel, 0, 0);
  grid->addLayout(place, 1, 0, 1, 2);
  grid->addWidget(dirLabel, 2, 0);
  grid->addWidget(fileLabel, 2, 1);
  grid->addWidget(DirList, 3, 0);
  grid->addWidget(FileList, 3, 1);
  grid->addWidget(driveLabel, 4, 0);
  grid->addWidget(DriveBox, 5, 0);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);

  // No network connection dialog exists here (it is a Windows service).
  NetworkButton->setVisible(false);
  // The program has no help topics to open for a context, and no caller
  // passes one: the button would do nothing. OK and Cancel take its place.
  HelpButton->setVisible(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(NetworkButton);
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  buttons->addWidget(HelpButton);

  auto* top = new QVBoxLayout(this);
  top->addLayout(grid, 1);
  top->addLayout(buttons);

  setTabOrder(DirEdit, DriveBox);
  setTabOrder(DriveBox, DirList);
  setTabOrder(DirList, FileList);
  setTabOrder(FileList, OKButton);
  setTabOrder(OKButton, CancelButton);
  setTabOrder(CancelButton, HelpButton);

  // The files are shown for orientation only, greyed.
  QPalette grey = FileList->palette();
  grey.setColor(QPalette::Text, grey.color(QPalette::Disabled, QPalette::Text));
  FileList->setPalette(grey);

  connect(OKButton, &QPushButton::clicked, this, &TSelectDirDlg::accept);
  connect(CancelButton, &QPushButton::clicked, this, &TSelectDirDlg::reject);
  connect(DirList, &QListWidget::itemActivated, this, &TSelectDirDlg::DirItemActivated);
  FillDrives();
  connect(DriveBox, &QComboBox::currentIndexChanged, this, &TSelectDirDlg::DriveChanged);

  // The start: the given directory, else the current one. A directory that
  // does not exist yet opens at its nearest existing parent, with its own
  // name kept in the edit box.
  QString start = directory.isEmpty() ? QDir::currentPath() : QDir(QDir::currentPath()).absoluteFilePath(directory);
  start = QDir::cleanPath(start);
  QString existing = start;
  while (!QFileInfo(existing).isDir() && !QDir(existing).isRoot()) existing = QFileInfo(existing).absolutePath();
  SetListDirectory(existing);
  if (existing != start && AllowCreate) DirEdit->setText(QDir::toNativeSeparators(start));
  resize(520, 400);
}

void TSelectDirDlg::FillDrives() {
  const QSignalBlocker block(DriveBox);
  DriveBox->clear();
  for (const QString& volume : BrowsableVolumes()) DriveBox->addItem(volume, volume);
}

void TSelectDirDlg::SelectDriveOf(const QString& directory) {
  int best = -1;
  qsizetype bestLength = -1;
  const QString dir = QDir::fromNativeSeparators(directory);
  for (int i = 0; i < DriveBox->count(); ++i) {
    QString root = QDir::fromNativeSeparators(DriveBox->itemData(i).toString());
    if (!root.endsWith('/')) root += '/';
    if ((dir + '/').startsWith(root, Qt::CaseInsensitive) && root.size() > bestLength) {
      best = i;
      bestLength = root.size();
    }
  }
  const QSignalBlocker block(DriveBox);
  DriveBox->setCurrentIndex(best);
}

void TSelectDirDlg::DriveChanged(int index) {
  if (index >= 0) SetListDirectory(DriveBox->itemData(index).toString());
}

void TSelectDirDlg::SetListDirectory(const QString& directory) {
  const QDir dir(directory);
  CurrentDir = QDir::toNativeSeparators(dir.absolutePath());
  SelectDriveOf(CurrentDir);

  // The way down to the directory, then what it holds.
  DirList->clear();
  QStringList chain;
  for (QDir up = dir;;) {
    chain.prepend(up.absolutePath());
    if (up.isRoot() || !up.cdUp()) break;
  }
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  for (qsizetype depth = 0; depth < chain.size(); ++depth) {
    const QString path = chain[depth];
    QString name = QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
    auto* item = new QListWidgetItem(open, QString(int(depth) * 2, ' ') + name, DirList);
    item->setData(Qt::UserRole, path);
  }
  const QString indent(int(chain.size()) * 2, ' ');
  for (const QFileInfo& sub :
       dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware)) {
    auto* item = new QListWidgetItem(closed, indent + sub.fileName(), DirList);
    item->setData(Qt::UserRole, sub.absoluteFilePath());
  }
  DirList->setCurrentRow(int(chain.size()) - 1);

  FileList->clear();
  for (const QFileInfo& file : dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware))
    FileList->addItem(file.fileName());

  PathLabel->SetPath(CurrentDir);
  DirEdit->setText(PathLabel->Path());
  DirEdit->selectAll();
}

void TSelectDirDlg::DirItemActivated(QListWidgetItem* item) {
  if (item) SetListDirectory(item->data(Qt::UserRole).toString());
}

QString TSelectDirDlg::Directory() const {
  if (!AllowCreate) return CurrentDir;
  const QString typed = DirEdit->text().trimmed();
  if (typed.isEmpty()) return CurrentDir;
  return QDir::toNativeSeparators(QDir::cleanPath(QDir(CurrentDir).absoluteFilePath(typed)));
}

void TSelectDirDlg::accept() {
  if (AllowCreate && Prompt && !QFileInfo(Directory()).isDir()) {
    if (!Dialogs.Confirm(this, "Create this new directory?")) return;
  }
  QDialog::accept();
}

bool SelectDir(QWidget* parent, TUserDialogs& dialogs, const QString& caption, QString& directory, int options,
               int helpContext) {
  TSelectDirDlg dialog(parent, dialogs, caption, directory, options, helpContext);
  if (dialogs.Exec(dialog) != QDialog::Accepted) return false;
  directory = dialog.Directory();
  if ((options & sdPerformCreate) != 0 && !QFileInfo(directory).isDir()) platform::ForceDirectories(FromQ(directory));
  return true;
}
