// Following a build as it runs: the running command's output, which file of
// how many and the time left, Stop and "stop now", the marks of the entries,
// requests to stop from outside and the time limit of the tools.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <string_view>

#include "app/fMainForm.h"
#include "app/uStatusBar.h"
#include "dialogs/uUserDialogs.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Process.h"
#include "platform/Signals.h"
#include "project/uCatalogue.h"

namespace {

// The lines of a running command kept on screen, and how often they are
// brought up to date.
constexpr int LiveTailLines = 1000;
// The most lines of them shown at one paint.
constexpr int LiveFlushLines = 100;
static_assert(LiveTailLines >= static_cast<int>(TLiveOutput::MaxLines));

// Output bytes as memo lines, still undecoded: every line end a line break,
// none after the last.
std::string LiveLines(std::string bytes) {
  std::size_t to = 0;
  for (std::size_t from = 0; from < bytes.size(); ++from) {
    const char c = bytes[from];
    if (c == '\r' && from + 1 < bytes.size() && bytes[from + 1] == '\n') continue;
    bytes[to++] = c == '\r' ? '\n' : c;
  }
  bytes.resize(to);
  if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
  return bytes;
}

int LinesIn(const std::string& chunk) {
  return static_cast<int>(std::count(chunk.begin(), chunk.end(), '\n')) + 1;
}

}  // namespace

// --- the build followed ---------------------------------------------------------

void TF_MainForm::StartFollowing(bool single) {
  const TProjectList& files = BuildRun->FileList();
  RunEntries.clear();
  if (!single) {
    for (int i = 0; i < files.Count(); ++i) RunEntries.push_back(i);
  } else if (BuildRun->SingleIndex >= 0 && BuildRun->SingleIndex < files.Count()) {
    RunEntries.push_back(BuildRun->SingleIndex);
  }
  RunPosition = -1;
  RunDone = 0;
  LastTimes = TBuildTimes::Load(BuildRun->ProjectDir);
  StopAsked = false;
  EndNowReason.clear();
  StoppedText.clear();
  WaitSaid = false;
  ClearEntryMarks();
  MemoView = mvLive;
  Memo1->setMaximumBlockCount(LiveTailLines);
  LiveOutput.Close();
  LiveClock.start();
  PendingLive.clear();
  PendingLiveBytes = 0;
  PendingLiveSkipped = 0;
  RefreshClock.invalidate();  // the start is due at once, painted beside the first tool
  ProgressBar->setRange(0, std::max<int>(1, static_cast<int>(RunEntries.size())));
  ProgressBar->setValue(0);
  ProgressBar->show();
  ProgressLabel->show();
  ShowProgress(true);
}

void TF_MainForm::EndFollowing() {
  // What waits to be shown is painted with the rest of the build's end.
  ShowPending();
  PendingLive.clear();
  PendingLiveBytes = 0;
  PendingLiveSkipped = 0;
  LiveOutput.Close();
  Memo1->setMaximumBlockCount(0);
  if (MemoView == mvLive) MemoView = mvOther;
  ProgressBar->hide();
  ProgressLabel->hide();
  ProgressLabel->clear();
  ProgressLabel->setMinimumWidth(0);
  L_Results->setMinimumHeight(0);
  b_halt->setText("&Stop");
  b_halt->setToolTip(QString());
  StopAsked = false;
  EndNowReason.clear();
}

void TF_MainForm::FollowEntryStart(const std::string& source, const std::string& dest) {
  ++RunPosition;
  OKBeforeEntry = BuildRun->OKCount;
  EntryClock.start();
  if (MemoView == mvLive) {
    const std::string heading = "=== File " + std::to_string(RunPosition + 1) + " of " +
                                std::to_string(RunEntries.size()) + ": " + platform::ExtractFileName(source) + " -> " +
                                platform::ExtractFileName(dest) + " ===";
    // A blank line before each heading but a first one on an empty view.
    const bool first = RunPosition == 0 && PendingLive.empty() && Memo1->document()->isEmpty();
    AddLive(first ? heading : "\n" + heading);
  }
  ShowProgress();
}

void TF_MainForm::FollowEntryEnd(bool ok) {
  if (RunPosition >= 0 && RunPosition < static_cast<int>(RunEntries.size())) {
    // The entry's result line of the summary (its notes come before it), or
    // its last line when it made none.
    std::string tip;
    for (const std::string& line : BuildRun->CompileStep().SummaryLines)
      if (line.starts_with("OK") || line.starts_with("ERR")) tip = platform::TrimControls(line);
    if (tip.empty()) tip = (ok ? "OK: " : "ERR: ") + platform::TrimControls(BuildRun->CompileStep().LastLine);
    MarkEntry(RunEntries[static_cast<std::size_t>(RunPosition)], ok ? erBuilt : erFailed, tip);
  }
  ++RunDone;
  ShowProgress();
}

void TF_MainForm::FollowOutput(bool final) {
  if (!BuildRunning) return;
  const bool due = !LiveClock.isValid() || LiveClock.elapsed() >= BuildRefreshMs;
  // What a command that has ended wrote is read now: its file is the next
  // command's.
  if (!final && !due) return;
  const std::string file = RunningOutputFile();
  if (!file.empty()) {
    // While the command runs, its file may hold the end of an earlier run's
    // output beyond what it has written.
    const TLiveOutput::TChunk chunk = LiveOutput.Read(file, final, platform::ChildOutput());
    if (MemoView == mvLive && (!chunk.Text.empty() || chunk.Skipped != 0)) {
      const std::string skipped = chunk.Skipped == 0 ? std::string()
                                                     : "... " + std::to_string(chunk.Skipped) +
                                                           " bytes passed over here; the whole output is in the logs\n";
      AddLive(skipped + LiveLines(chunk.Text));
    }
  }
  // Shown with the next refresh, which comes while a tool runs: laid out
  // here, the lines would hold up the next tool.
  if (due) LiveClock.start();
}

void TF_MainForm::AddLive(std::string lines) {
  PendingLiveBytes += lines.size();
  PendingLive.push_back(std::move(lines));
  // What waits is not let grow without end (a flood between two paints).
  while (PendingLiveBytes > 4 * TLiveOutput::MaxChunk && PendingLive.size() > 1) {
    PendingLiveSkipped += LinesIn(PendingLive.front());
    PendingLiveBytes -= PendingLive.front().size();
    PendingLive.pop_front();
  }
}

void TF_MainForm::FlushLive() {
  if (PendingLive.empty() || MemoView != mvLive) return;
  // Of what was written since the last paint, as much as a screen shows: a
  // build of many quick entries would otherwise spend its time decoding and
  // laying out lines that scroll by unseen. The whole output is in the logs.
  std::size_t first = PendingLive.size();
  int lines = 0;
  while (first > 0 && lines < LiveFlushLines) lines += LinesIn(PendingLive[--first]);
  for (std::size_t i = 0; i < first; ++i) PendingLiveSkipped += LinesIn(PendingLive[i]);
  std::string_view head = PendingLive[first];
  for (; lines > LiveFlushLines; --lines, ++PendingLiveSkipped) head.remove_prefix(head.find('\n') + 1);
  // Each piece decoded on its own: a tool's output and a file name may come
  // in different encodings.
  QString text =
      PendingLiveSkipped == 0
          ? QString()
          : QString("... %1 lines passed over here; the whole output is in the logs\n").arg(PendingLiveSkipped);
  text += DecodeText(head);
  for (std::size_t i = first + 1; i < PendingLive.size(); ++i) text += '\n' + DecodeText(PendingLive[i]);
  Memo1->appendPlainText(text);
  PendingLive.clear();
  PendingLiveBytes = 0;
  PendingLiveSkipped = 0;
}

void TF_MainForm::ShowProgress(bool now) {
  // A progress bar paints itself at once when its value changes.
  if (!now && ProgressClock.isValid() && ProgressClock.elapsed() < BuildRefreshMs) {
    ProgressStale = true;
    return;
  }
  ProgressClock.start();
  ProgressStale = false;
  const int count = static_cast<int>(RunEntries.size());
  // A progress bar, too, paints a new value at once.
  ProgressBar->setUpdatesEnabled(false);
  ProgressBar->setValue(std::min(RunDone, count));
  ProgressBar->setUpdatesEnabled(true);
  QString text;
  if (RunPosition >= 0 && RunPosition < count) {
    const int entry = RunEntries[static_cast<std::size_t>(RunPosition)];
    const QString name = ToQ(platform::ExtractFileName(BuildRun->FileList().SourceOf(entry)));
    text = QString(StopAsked ? "Stopping after file %1 of %2: %3" : "File %1 of %2: %3")
               .arg(RunPosition + 1)
               .arg(count)
               .arg(name);
    // What the entries still to come took last time, and what is left of
    // the running one's.
    std::vector<std::string> toCome;
    if (!StopAsked)
      for (int i = RunPosition + 1; i < count; ++i)
        toCome.push_back(BuildRun->FileList().Strings(RunEntries[static_cast<std::size_t>(i)]));
    const std::string running = RunDone <= RunPosition ? BuildRun->FileList().Strings(entry) : std::string();
    if (const auto left =
            EstimateSecondsLeft(LastTimes, toCome, running, static_cast<double>(EntryClock.elapsed()) / 1000.0))
      text += ToQ(", about " + platform::FormatDuration(std::ceil(*left)) + " left");
  }
  ProgressLabel->setText(text);
  // Its room only grows during a build: the status bar is not laid out anew
  // at each file.
  if (const int wide = ProgressLabel->sizeHint().width(); wide > ProgressLabel->minimumWidth())
    ProgressLabel->setMinimumWidth(wide);
}

// --- the marks of the entries ---------------------------------------------------

void TF_MainForm::MarkEntry(int index, TEntryResult result, const std::string& tip) {
  static const char* const words[] = {"built", "failed", "not built"};
  if (EntryIcons.empty())
    for (const QStyle::StandardPixmap icon :
         {QStyle::SP_DialogApplyButton, QStyle::SP_MessageBoxCritical, QStyle::SP_MediaPause})
      EntryIcons.push_back(style()->standardIcon(icon));
  const std::string& line = BuildRun->FileList().Strings(index);
  const TFileListBox::TMark& mark = EntryMarks[line] =
      TFileListBox::TMark{EntryIcons[static_cast<std::size_t>(result)], tip, words[result]};
  if (LB_Files->LineAt(index) == line)
    LB_Files->SetMark(index, &mark);
  else
    for (int row = 0; row < LB_Files->count(); ++row)
      if (LB_Files->LineAt(row) == line) LB_Files->SetMark(row, &mark);
}

void TF_MainForm::ApplyEntryMarks() {
  for (int row = 0; row < LB_Files->count(); ++row) {
    const auto found = EntryMarks.find(LB_Files->LineAt(row));
    LB_Files->SetMark(row, found == EntryMarks.end() ? nullptr : &found->second);
  }
}

void TF_MainForm::ClearEntryMarks() {
  EntryMarks.clear();
  ApplyEntryMarks();
}

std::string TF_MainForm::StoppedRunText(int ok, int err) const {
  const int planned = BuildRun->Planned, reached = BuildRun->Reached;
  if (reached >= planned) return "";
  return "Stopped after " + std::to_string(reached) + " of " + std::to_string(planned) +
         " files: " + std::to_string(ok) + " OK, " + std::to_string(err) + " ERR, " +
         std::to_string(planned - reached) + " not built";
}

// --- stopping -------------------------------------------------------------------

void TF_MainForm::b_haltClick() {
  if (!BuildRun || !BuildRunning) return;
  if (!StopAsked) {
    // Heard at once; the file being built is finished. Pressed again, Stop
    // ends the running tool.
    StopAsked = true;
    BuildRun->HaltRequest = true;
    b_halt->setText("Stop &now");
    b_halt->setToolTip("End the running tool at once");
    Say("Stopping after the current file...");
    ShowProgress(true);
    RefreshResults(true);
    return;
  }
  if (Dialogs.Confirm(this, "End the running tool now?\nThe file being built fails; the logs are written."))
    EndToolNow("stopped by the user");
}

void TF_MainForm::EndToolNow(const std::string& reason) {
  if (!BuildRunning) return;
  StopAsked = true;
  EndNowReason = reason;
  BuildRun->HaltRequest = true;
  b_halt->setEnabled(false);
  Say(ToQ("Ending the running tool: " + reason + "..."));
}

std::string TF_MainForm::StopReason() {
  if (Signals && Interruption.empty()) Interruption = Signals->Received();
  if (!Interruption.empty()) {
    if (BuildRunning && BuildRun) {
      BuildRun->HaltRequest = true;
      StopAsked = true;
      // A window that a request from outside stopped closes afterwards.
      if (!Unattended) CloseAfterBuild = true;
    }
    return "the build was interrupted (" + Interruption + ")";
  }
  return EndNowReason;
}

void TF_MainForm::CheckStopSignals() {
  if (!Signals || !Interruption.empty() || Signals->Received().empty()) return;
  StopReason();
  // Outside a build there is nothing to end or to write: the window closes
  // without a question, as it would have ended without listening.
  if (!BuildRunning && !Unattended) close();
}

bool TF_MainForm::WaitForProject(const std::string& holder) {
  const std::string text = "Waiting for the other build of " + BuildRun->ProjectDir +
                           (holder.empty() ? std::string() : " (process " + holder + ")") + " to end...";
  if (!WaitSaid) {
    WaitSaid = true;
    Say(ToQ(text));
    SetHeading(text);
    if (Unattended) std::cerr << "tesmar: " << text << std::endl;
  }
  ShowElapsed();
  QApplication::processEvents();
  if (!StopAsked && StopReason().empty()) return true;
  Say("Not built: another build of this project is running.");
  return false;
}

double TF_MainForm::ToolTimeoutSeconds() const {
  if (SessionToolTimeout > 0) return SessionToolTimeout;
  try {
    return platform::ParseSeconds(ReadProgramSetting(IniFile, ToolTimeoutKey)).value_or(0);
  } catch (const std::exception&) {
    return 0;  // a catalogue that cannot be read was told at start
  }
}
