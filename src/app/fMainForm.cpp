#include "app/fMainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <iostream>

#include "app/uActionButton.h"
#include "app/uStatusBar.h"
#include "dialogs/fExtractLibPath.h"
#include "dialogs/uReadOnlyPaint.h"
#include "dialogs/uUserDialogs.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/TextFile.h"
#include "project/uCatalogue.h"

TF_MainForm::TF_MainForm(TUserDialogs& dialogs, TMainFormStart start, QWidget* parent)
    : QMainWindow(parent),
      Dialogs(dialogs),
      IniFile(start.IniFile.empty() ? ProgramIniFile() : start.IniFile),
      StartArgument(start.Argument),
      Headless(start.Headless),
      LibraryPrompt(std::make_unique<TWindowLibraryPathPrompt>(this, dialogs)),
      ActivePrompt(LibraryPrompt.get()),
      Signals(start.Signals),
      SessionToolTimeout(start.ToolTimeout) {
  setObjectName("F_MainForm");
  setWindowTitle("Delphi Tesmar Tool");
  CreateActions();
  CreateMenu();
  CreateControls();
  ConnectSettingCommands();
  ConnectFileCommands();
  resize(812, 646);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  // Headings are shortened to the widths of their labels: lay the window out
  // before anything is shown in it.
  layout()->activate();

  connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
    if (MemoChangeAttached) Guarded([this] { Memo1Change(); });
  });

  // While a tool runs the window shows a busy cursor, and during a build it
  // goes on handling its events: it repaints, shows the time, sees Stop.
  // During a build it follows the command's output as it is written, and
  // what is left of it when the command has ended.
  PreviousRunHook = SetRunHook([this](bool starting) {
    // A build shows the busy cursor from its start to its end.
    if (starting) {
      ToolClock.start();
      if (!BuildRunning) QApplication::setOverrideCursor(Qt::BusyCursor);
      LiveOutput.Reset();
    } else {
      if (!BuildRunning) QApplication::restoreOverrideCursor();
      FollowOutput(true);
    }
  });
  PreviousIdleHook = SetRunIdleHook([this] {
    if (!BuildRunning) return;
    const QScopedValueRollback running(ToolRunning, true);
    FollowOutput(false);
    ShowProgress();
    RefreshResults();  // what waits to be painted, when it is time
    // A tool that runs a while leaves the window answering its user at the
    // runner's pace. Tools that follow each other quickly are not waited for
    // here: handling events paints what changed, each time.
    if (ToolClock.elapsed() >= platform::WaitCallbackIntervalMs) {
      ShowElapsed();
      QApplication::processEvents();
    }
  });
  // Requests to stop from outside are heard also while no build runs.
  if (Signals) {
    auto* listener = new QTimer(this);
    connect(listener, &QTimer::timeout, this, [this] { CheckStopSignals(); });
    listener->start(200);
  }

  FormCreate();
}

TF_MainForm::~TF_MainForm() {
  SetRunHook(std::move(PreviousRunHook));
  SetRunIdleHook(std::move(PreviousIdleHook));
}

void TF_MainForm::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    Dialogs.Message(this, ScreenText(e.what()));
  }
}

void TF_MainForm::FormCreate() {
  ProjectCatalogue.clear();
  BuildRun = std::make_unique<TBuilderClass>();
  BuildRun->Store().LibraryPathPrompt = ActivePrompt;

  TCatalogue catalogue;
  try {
    catalogue = ReadCatalogue(IniFile);
  } catch (const std::exception& e) {
    Dialogs.Message(this, ScreenText(e.what()));
  }
  ProjectCatalogue = catalogue;
  // A project named on the command line is built unattended: it is the one
  // read (another project of the catalogue is left as it is), and nothing
  // asks, from the start (a new project's library path takes the proposed
  // Delphi version, as in tesmar-build).
  const int named = StartArgument.empty() ? -1 : FindCatalogueEntry(catalogue, StartArgument);
  if (named >= 0) {
    ActivePrompt = &UnattendedPrompt;
    BuildRun->Store().LibraryPathPrompt = ActivePrompt;
  }

  if (!catalogue.empty()) {
    for (const TCatalogueEntry& entry : catalogue) cb_ProjectList->addItem(ToQ(entry.Name));
    cb_ProjectList->setCurrentIndex(std::max(named, 0));
    Guarded([this] { cb_ProjectListChange(); });
    if (LB_Files->count() > 0) LB_Files->setCurrentRow(0);
    Guarded([this] { LB_FilesClick(); });
    SetViewMode(vmEmpty);
  } else {
    cb_ProjectList->setCurrentIndex(-1);
    // No project: an empty panel, and nothing to add, build or save.
    A_SelectFileExecute(LB_Files);
    UpdateProjectCommands();
  }
  SetViewMode(vmFilesAvailable);
  SetModified(false);

  if (!StartArgument.empty()) RunUnattended(StartArgument);
}

void TF_MainForm::SetModified(bool flag) {
  Modified = flag;
  A_saveProjectSettings->setEnabled(flag);
}

void TF_MainForm::SetViewMode(TViewMode mode) {
  SetResultsButtonsHeight(40);
  b_save->setVisible(false);
  for (QAction* action :
       {A_cancelEditWindow, A_GrabIDEPath, A_compileResultsDisplay, A_DisplayDCCOptions, A_editVersion})
    action->setVisible(false);
  {
    // Emptying the memo is no edit of the user's.
    const QSignalBlocker quiet(Memo1);
    Memo1->clear();
  }
  PaintMemo(false);
  SetHeading("...");
  ViewMode = mode;

  switch (mode) {
    case vmEmpty:
      MemoChangeAttached = false;
      break;
    case vmFilesAvailable:
      A_SelectFile->setEnabled(true);
      A_getConfig->setEnabled(true);
      break;
    case vmEditing:
      b_save->setVisible(true);
      b_cancelEditwindow->SetAction(A_cancelEditWindow);
      A_cancelEditWindow->setVisible(true);
      A_cancelEditWindow->setEnabled(true);
      PaintMemo(true);
      break;
    case vmViewing:
      SetHeading(StatusText);
      MemoChangeAttached = false;
      break;
    case vmBuilding:
      A_SelectFile->setEnabled(false);
      A_getConfig->setEnabled(false);
      break;
  }
}

bool TF_MainForm::AskToSaveChanges() {
  const TSaveAnswer answer = Dialogs.AskToSave(
      this, ScreenText("Project " + CurrentProjectDir + " has changed.  Do you wish to save the changes?"));
  if (answer == saSave) A_saveProjectSettingsExecute();
  SetDefaultButton(b_Build);
  return answer == saDiscard || (answer == saSave && !Modified);
}

bool TF_MainForm::EditPending() const {
  return ViewMode == vmEditing && !b_save->isHidden() && !Memo1->isReadOnly() && Memo1->toPlainText() != EditStartText;
}

bool TF_MainForm::LeaveEdit() {
  if (!EditPending()) return true;
  const bool fileList = b_save->Action() == A_saveFileList;
  const std::string question =
      fileList ? "The file list of " + CurrentProjectName + " has been edited.  Do you wish to take it?"
               : GlobalStuff().SettingName(SettingKindShown) + " of " + CurrentSource +
                     " has been edited.  Do you wish to save it?";
  switch (Dialogs.AskToSave(this, ScreenText(question))) {
    case saCancel:
      Memo1->setFocus();
      return false;
    case saDiscard:
      SetViewMode(vmViewing);
      return true;
    case saSave:
      break;
  }
  if (!fileList) return SaveSettingFromEditor(SettingKindShown);
  return TakeEditedFileList();
}

void TF_MainForm::SetDefaultButton(QPushButton* button) {
  for (QPushButton* b : {static_cast<QPushButton*>(b_Build), static_cast<QPushButton*>(b_exit)})
    b->setDefault(b == button);
  DefaultButton = button;
}

void TF_MainForm::b_exitClick() {
  close();
}

void TF_MainForm::closeEvent(QCloseEvent* event) {
  if (BuildRunning) {
    // The running tool is ended (once the user agrees; a request from outside
    // asks no one) and the logs are written; then the window closes.
    event->ignore();
    if (StopReason().empty() &&
        !Dialogs.Confirm(this,
                         "A build is running. End the running tool now and close the window?\nThe file "
                         "being built fails; the logs are written."))
      return;
    CloseAfterBuild = true;
    EndToolNow(StopReason().empty() ? "the window was closed" : StopReason());
    return;
  }
  if (!Interruption.empty()) {
    event->accept();
    return;
  }
  // An edit or a project change is saved or dropped as the user says, or
  // the window stays.
  bool leave = false;
  Guarded([this, &leave] { leave = LeaveEdit() && (!Modified || AskToSaveChanges()); });
  if (leave)
    event->accept();
  else
    event->ignore();
}

bool TF_MainForm::eventFilter(QObject* watched, QEvent* event) {
  if (const TSettingRow* row = RowOf(watched)) {
    const bool onEdit = watched == static_cast<QObject*>(row->Edit);
    const bool onLabel = watched == static_cast<QObject*>(row->Label);
    // Focus coming back to the window (after a box, say) enters no row.
    const auto reason =
        event->type() == QEvent::FocusIn ? static_cast<QFocusEvent*>(event)->reason() : Qt::NoFocusReason;
    if (event->type() == QEvent::FocusIn && onEdit && reason != Qt::ActiveWindowFocusReason &&
        reason != Qt::PopupFocusReason) {
      Guarded([this, row] { SettingRowEnter(row->Edit); });
    } else if (event->type() == QEvent::FocusOut && !onLabel) {
      SettingRowExit(row->Edit);
    } else if (event->type() == QEvent::MouseButtonRelease && onLabel && row->Label->isEnabled()) {
      SettingLabelClick(row->Edit);
    }
  } else if (watched == m_mergedVerInfo->viewport() && event->type() == QEvent::MouseButtonRelease) {
    m_mergedVerInfoClick();
  } else if (watched == LB_Files->viewport()) {
    return ListDropEvent(event);
  } else if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    // A message's line opens its file there; any other line is a word to select.
    const auto* click = static_cast<QMouseEvent*>(event);
    bool opened = false;
    Guarded([&] { opened = OpenMessageLine(Memo1->cursorForPosition(click->position().toPoint()).blockNumber()); });
    if (opened) return true;
  } else if (watched == Memo1 && event->type() == QEvent::KeyPress && Memo1->isReadOnly()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      bool opened = false;
      Guarded([&] { opened = OpenMessageLine(Memo1->textCursor().blockNumber()); });
      if (opened) return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TF_MainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  LB_Files->viewport()->update();
  L_Results->update();
}

std::string TF_MainForm::ManualFile() {
  const std::vector<std::string> places = {PathJoin(platform::ProgramDir(), "manual"),
                                           PathJoin(platform::InstalledDataDir(), "manual")};
  for (const std::string& dir : places) {
    if (dir == "manual") continue;  // no installed data directory
    const std::string file = PathJoin(dir, "tesmar.html");
    if (platform::FileExists(file)) return file;
  }
  return "";
}

void TF_MainForm::miContentsClick() {
  const std::string manual = ManualFile();
  if (manual.empty()) {
    Dialogs.Message(this, "The manual (manual/tesmar.html) was not found beside the program or in its data directory.");
    return;
  }
  QUrl url = QUrl::fromLocalFile(ToQ(manual));
  url.setFragment("contents");
  if (!Dialogs.OpenUrl(url))
    Dialogs.Message(this, "No browser could be started to show the manual. It is here:\n" + ToQ(manual));
}

// --- the memo and the heading ---------------------------------------------------

void TF_MainForm::LoadMemoFromFile(const std::string& fileName) {
  const QString text = DecodeTextFile(platform::ReadFileBytes(fileName), &ViewEncoding);
  // Whatever the memo showed is replaced whole, without the limit of a
  // build's live output.
  MemoView = mvOther;
  Memo1->setMaximumBlockCount(0);
  // One change of the document, painted once.
  Memo1->setUpdatesEnabled(false);
  Memo1->document()->setPlainText(text);
  Memo1->setUpdatesEnabled(true);
}

void TF_MainForm::AddMemoLine(const QString& line) {
  Memo1->appendPlainText(line);
}

int TF_MainForm::MemoLineCount() const {
  const QTextDocument* document = Memo1->document();
  return document->isEmpty() ? 0 : document->blockCount();
}

QString TF_MainForm::MemoLastLine() const {
  return Memo1->document()->isEmpty() ? QString() : Memo1->document()->lastBlock().text();
}

void TF_MainForm::PaintMemo(bool editing) {
  Memo1->setReadOnly(!editing);
  // Read, a line is still chosen with the keys (Enter opens a message's file).
  if (!editing) Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  PaintReadOnly(Memo1, !editing);
}

void TF_MainForm::SetHeading(const std::string& text) {
  PendingHeading = nullptr;
  L_Results->setText(ScreenText(text));
}

void TF_MainForm::SetBuildHeading(std::function<std::string()> make) {
  // Made when it is painted: shortening its paths to the heading's width
  // costs more than a quick entry's build.
  if (BuildRunning)
    PendingHeading = std::move(make);
  else
    SetHeading(make());
}

std::string TF_MainForm::ShortForHeading(const std::string& path) const {
  return FromQ(ShortPath(ToQ(path), L_Results->contentsRect().width(), L_Results->fontMetrics()));
}

void TF_MainForm::SetResultsButtonsHeight(int height) {
  ResultsButtonsHeight = height;
  const bool logRow = height >= 73;
  for (QPushButton* button : {b_hints, b_warnings, b_errors}) button->setVisible(logRow);
  // Room for the rows in the font in use; never less than the documented height.
  const int row = b_save->sizeHint().height() + 4;
  P_resultsButtons->setFixedHeight(std::max(height, logRow ? 2 * row + 8 : row + 8));
}
