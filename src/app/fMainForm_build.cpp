// Starting, following and stopping a build, and the views of its logs.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "app/fMainForm.h"
#include "app/uActionButton.h"
#include "app/uStatusBar.h"
#include "dialogs/uUserDialogs.h"
#include "platform/AsciiText.h"
#include "platform/TextFile.h"

namespace {

std::string Counts(int lines, int hints, int warnings, int errors, int fatal) {
  return "  Lines: " + std::to_string(lines) + ",  Hints: " + std::to_string(hints) +
         ",  Warnings: " + std::to_string(warnings) + ",  Errors: " + std::to_string(errors) +
         ",   Fatal: " + std::to_string(fatal);
}

std::string FinalResult(int ok, int err) {
  return "Final result is " + std::to_string(ok) + " OK, " + std::to_string(err) + " ERR.";
}

// Of a long text (what a processing line printed), the end as the heading
// and the status bar show it; the logs hold all of it.
std::string TailOf(const std::string& text) {
  constexpr std::size_t MaxLines = 8, MaxBytes = 1000;
  std::size_t start = text.size();
  for (std::size_t lines = 0; lines < MaxLines && start > 0;) {
    --start;
    if (text[start] == '\n' && start + 2 < text.size()) ++lines;
  }
  if (start > 0 && text[start] == '\n') ++start;
  if (text.size() - start > MaxBytes) start = text.size() - MaxBytes;
  return start == 0 ? text : "...\r\n" + text.substr(start);
}

QString StatusLine(const std::string& text) {
  QString shown = ToQ(text);
  shown.replace("\r\n", " ");
  return shown;
}

}  // namespace

// --- the build commands ---------------------------------------------------------

void TF_MainForm::A_DoBuildExecute() {
  if (Modified && !AskToSaveChanges()) return;
  RunBuildFromWindow(false);
}

void TF_MainForm::b_buildOneClick() {
  RunBuildFromWindow(true);
}

void TF_MainForm::RunBuildFromWindow(bool single) {
  const bool minimize = BuildRun->GetOption(poMinimizeOnBuild) && isVisible();
  if (minimize) showMinimized();
  BuildRun->HaltRequest = false;
  // Stop takes the focus before the panel is closed: a focused row would
  // hand it on down the rows, each left with its text selected.
  b_halt->setEnabled(true);
  b_halt->setFocus(Qt::OtherFocusReason);
  SetViewMode(vmBuilding);

  // Whatever way the run ends, the window comes back to its commands, and
  // the tools to no limit but their own.
  struct TRunState {
    TF_MainForm& Form;
    bool Single;
    bool Minimized;
    TRunStopCheck OldCheck;
    double OldLimit;
    explicit TRunState(TF_MainForm& form, bool single, bool minimized)
        : Form(form),
          Single(single),
          Minimized(minimized),
          OldCheck(SetRunStopCheck([&form] { return form.StopReason(); })),
          OldLimit(SetRunTimeLimit(form.ToolTimeoutSeconds())) {
      Form.SetBuildLock(true);
      QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~TRunState() {
      QApplication::restoreOverrideCursor();
      SetRunStopCheck(std::move(OldCheck));
      SetRunTimeLimit(OldLimit);
      if (Single) Form.BuildRun->SingleFile = false;
      Form.EndFollowing();
      Form.b_halt->setEnabled(false);
      Form.SetBuildLock(false);
      if (Minimized) Form.showNormal();
      Form.SetDefaultButton(Form.b_exit);
      if (Form.CloseAfterBuild) QTimer::singleShot(0, &Form, &QWidget::close);
    }
  } state(*this, single, minimize);

  if (single) {
    BuildRun->SingleFile = true;
    BuildRun->SingleIndex = CurrentEntry();
  }
  StartFollowing(single);
  LastRunOK = BuildRun->RunBuild();
}

void TF_MainForm::SetBuildLock(bool locked) {
  BuildRunning = locked;
  if (locked) {
    BuildClock.start();
    ShowElapsed();
  }
  UpdateProjectCommands();
  for (QWidget* area : {static_cast<QWidget*>(Panel9), static_cast<QWidget*>(Panel12),
                        static_cast<QWidget*>(P_filesettings), static_cast<QWidget*>(P_resultsButtons)})
    area->setEnabled(!locked);
}

void TF_MainForm::ShowElapsed() {
  const qint64 seconds = BuildClock.isValid() ? BuildClock.elapsed() / 1000 : 0;
  ElapsedLabel->setText(QString("Elapsed %1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0')));
}

// --- the build events -----------------------------------------------------------

void TF_MainForm::CompileStart(const std::string& source, const std::string& dest, const std::string& message) {
  FollowEntryStart(source, dest);
  SetBuildHeading([=, this] {
    return "Start compiling \r\n" + ShortForHeading(source) + "\r\n to " + ShortForHeading(dest) + "\r\n" + message;
  });
  int found = -1;
  const std::string wanted = platform::UpperAscii(dest);
  const TProjectList& files = BuildRun->FileList();
  auto targetOf = [&files](int i) {
    return platform::UpperAscii(files.Strings(i).substr(0, files.Strings(i).find('=')));
  };
  // The entry the run is at, as a rule; else the first with that target.
  if (const int at = RunPosition >= 0 && RunPosition < static_cast<int>(RunEntries.size())
                         ? RunEntries[static_cast<std::size_t>(RunPosition)]
                         : -1;
      at >= 0 && at < files.Count() && targetOf(at) == wanted)
    found = at;
  for (int i = 0; i < files.Count() && found < 0; ++i)
    if (targetOf(i) == wanted) found = i;
  // Chosen in the list when the window is next painted, with the heading.
  PendingRow = found;
  RefreshResults();
}

void TF_MainForm::CompileEvent(const std::string& file, const std::string& text) {
  const std::string tail = TailOf(text);
  SetBuildHeading([=, this] { return ShortForHeading(file) + "\r\n" + tail; });
  ShowBuildStatus(StatusLine(file + ": " + tail));
  RefreshResults();
}

void TF_MainForm::CompileEnd(const std::string& source, const std::string& dest, const std::string& message, bool,
                             int lines, int hints, int warnings, int errors, int fatal) {
  // Counted by the run when this is raised: an entry that never reached its
  // tool carries the previous one's success flag.
  FollowEntryEnd(BuildRun->OKCount > OKBeforeEntry);
  SetBuildHeading([=, this] {
    return "Done with compiling \r\n" + ShortForHeading(source) + "\r\n to " + ShortForHeading(dest) + "\r\n" + message;
  });
  ShowBuildStatus(StatusLine(message + Counts(lines, hints, warnings, errors, fatal)));
  RefreshResults();
}

void TF_MainForm::ProjectDone(const std::string&, int ok, int err, int lines, int hints, int warnings, int errors,
                              int fatal) {
  if (Loading) return;  // a load that failed ends so: no build ran
  ShowPending();
  // A run that ended before its last entry says so, with what it did not build.
  for (int i = std::max(0, RunPosition + 1); i < static_cast<int>(RunEntries.size()); ++i)
    MarkEntry(RunEntries[static_cast<std::size_t>(i)], erNotBuilt, "Not built: the build stopped before it");
  StoppedText = StoppedRunText(ok, err);
  if (StoppedText.empty()) {
    SetHeading("Project " + CurrentProjectName + " is done.\r\n" + FinalResult(ok, err));
    Say(StatusLine(FinalResult(ok, err) + " " + Counts(lines, hints, warnings, errors, fatal)));
  } else {
    SetHeading("Project " + CurrentProjectName + " was stopped.\r\n" + StoppedText);
    Say(StatusLine(StoppedText + ". " + Counts(lines, hints, warnings, errors, fatal)));
  }
  SelectFileEntry(LB_Files->currentRow());
  ShowResultsView();
  // The end of a window's build is painted once, with the window let go.
  RefreshResults();
  SetDefaultButton(b_exit);
}

void TF_MainForm::ProjectHalt(const std::string& name, const std::string& message) {
  if (Loading) {
    LoadReports.push_back(message);
    return;
  }
  SetBuildHeading([=] { return "Tesmar Halted: \r\n" + name + "\r\n" + message; });
  // A run that is stopping (Stop, stop now, a request from outside) is asked
  // nothing more: it halts anyway.
  if (BuildRunning && (StopAsked || !StopReason().empty())) {
    RefreshResults();
    return;
  }
  // An unattended run asks nothing: no one is there to answer. Outside a
  // build (a report while a project loads or saves, or from the version
  // editor) there is nothing to halt: the report is shown, not asked about.
  if (BuildRun->GetOption(poHaltOnError) && !Unattended && !BuildRunning) {
    Dialogs.Message(this, ScreenText("Error: " + message));
  } else if (BuildRun->GetOption(poHaltOnError) && !Unattended) {
    // The heading and the list show what the question is about.
    ShowPending();
    if (Dialogs.Confirm(this, ScreenText("Error: " + message + "\r\nDo you want to halt the build?"))) {
      BuildRun->HaltRequest = true;
      AddMemoLine("User halted build ");
      SelectFileEntry(LB_Files->currentRow());
      try {
        ShowResultsView();
      } catch (const std::exception&) {
        // No earlier run left a summary to show. Raised here, the failure
        // would end this run before it writes its logs.
      }
    } else {
      BuildRun->HaltRequest = false;
    }
  }
  RefreshResults();
}

void TF_MainForm::RefreshResults(bool now) {
  // What was said last is painted at the next refresh, and Stop is heard as
  // soon.
  if (BuildRunning && !now) {
    // The first refresh of a build is due at once.
    const qint64 since = RefreshClock.isValid() ? RefreshClock.elapsed() : BuildRefreshMs + BuildClock.elapsed();
    if (since < BuildRefreshMs || (!ToolRunning && since < 2 * BuildRefreshMs)) return;
  }
  RefreshClock.start();
  if (BuildRunning) ShowPending();
  // Painted together with everything else that changed, in one pass.
  L_Results->update();
  StatusBar1->update();
  if (BuildRunning) ShowElapsed();
  QApplication::processEvents();
}

void TF_MainForm::ShowBuildStatus(const QString& text) {
  // A status bar paints a new message at once; during a build it is shown
  // with the rest at the next refresh.
  if (BuildRunning)
    PendingStatus = text;
  else
    StatusBar1->showMessage(text);
}

void TF_MainForm::Say(const QString& text) {
  PendingStatus.reset();
  StatusBar1->showMessage(text);
}

void TF_MainForm::ShowPending() {
  if (PendingHeading) {
    SetHeading(PendingHeading());
    // During a build the heading keeps the tallest height it has had: the
    // output below it does not jump at every file, and the window is not
    // laid out and painted anew whole at each refresh.
    if (const int tall = L_Results->heightForWidth(L_Results->width()); tall > L_Results->minimumHeight())
      L_Results->setMinimumHeight(tall);
  }
  if (PendingStatus) StatusBar1->showMessage(*std::exchange(PendingStatus, std::nullopt));
  if (PendingRow) {
    LB_Files->setCurrentRow(*PendingRow);
    if (*PendingRow < 0) LB_Files->clearSelection();
    PendingRow.reset();
  }
  FlushLive();
  if (ProgressStale) ShowProgress(true);
}

void TF_MainForm::ShowWorkingIn() {
  setWindowTitle(
      ToQ("Tesmar working in " + CurrentProjectDir + ", " + std::to_string(BuildRun->FileList().Count()) + " files"));
}

// --- the results views ----------------------------------------------------------

void TF_MainForm::ShowResultsView() {
  b_ideLibPath->SetAction(A_summaryDisplay);
  b_save->SetAction(A_EventLogDisplay);
  b_cancelEditwindow->SetAction(A_compileResultsDisplay);
  for (QAction* action : {A_summaryDisplay, A_EventLogDisplay, A_compileResultsDisplay}) {
    action->setEnabled(true);
    action->setVisible(true);
  }
  A_summaryDisplayExecute();
  SetResultsButtonsHeight(73);
}

void TF_MainForm::A_retrieveLastDumpExecute() {
  SetHeading("Loading last compile summary");
  ShowResultsView();
}

void TF_MainForm::LoadLog(const char* fileName) {
  LoadMemoFromFile(PathJoin(BuildRun->ProjectDir, fileName));
}

void TF_MainForm::A_summaryDisplayExecute() {
  LoadLog(SummaryLogName);
  SetHeading("Summary\r\n" + FromQ(MemoLastLine()) + (StoppedText.empty() ? "" : "\r\n" + StoppedText));
  A_summaryDisplay->setEnabled(false);
  A_compileResultsDisplay->setEnabled(true);
  A_EventLogDisplay->setEnabled(true);
  for (QPushButton* button : {b_hints, b_warnings, b_errors}) button->setEnabled(true);
}

void TF_MainForm::A_EventLogDisplayExecute() {
  LoadLog(EventsLogName);
  SetHeading("Event Log");
  A_EventLogDisplay->setEnabled(false);
  A_summaryDisplay->setEnabled(true);
  A_compileResultsDisplay->setEnabled(true);
  for (QPushButton* button : {b_hints, b_warnings, b_errors}) button->setEnabled(true);
}

void TF_MainForm::A_compileResultsDisplayExecute() {
  LoadLog(CompileLogName);
  MemoView = mvCompileLog;
  SetHeading("Compile Log");
  A_compileResultsDisplay->setEnabled(false);
  A_summaryDisplay->setEnabled(true);
  A_EventLogDisplay->setEnabled(true);
  for (QPushButton* button : {b_hints, b_warnings, b_errors}) button->setEnabled(true);
}

void TF_MainForm::ShowMessageLog(const char* fileName, QPushButton* disabled, const char* failure, const char* noun) {
  Memo1->clear();
  std::string bytes;
  int count = 0;
  try {
    bytes = platform::ReadFileBytes(PathJoin(BuildRun->ProjectDir, fileName));
    count = static_cast<int>(platform::SplitLineViews(bytes).size());
    ShowMemoGroupedMessages(bytes);
  } catch (const std::exception& e) {
    Memo1->setPlainText(ToQ(std::string(failure) + e.what()));
    count = MemoLineCount();
  }
  // The count of messages, without the names of the entries above them.
  SetHeading(std::to_string(count) + noun);
  for (QAction* action : {A_summaryDisplay, A_EventLogDisplay, A_compileResultsDisplay}) action->setEnabled(true);
  for (QPushButton* button : {b_hints, b_warnings, b_errors}) button->setEnabled(button != disabled);
}

void TF_MainForm::b_errorsClick() {
  ShowMessageLog(ErrorLogName, b_errors, "Error opening error log, probably because no errors present :)  ",
                 " Errors.");
}

void TF_MainForm::b_warningsClick() {
  ShowMessageLog(WarningLogName, b_warnings, "Error opening warnings log, probably because no warnings present :)  ",
                 " Warnings.");
}

void TF_MainForm::b_hintsClick() {
  ShowMessageLog(HintLogName, b_hints, "Error opening hints log, probably because no hints present :)  ", " Hints.");
}
