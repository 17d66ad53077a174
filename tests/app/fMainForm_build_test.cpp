#include <QElapsedTimer>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "app/uStatusBar.h"
#include "platform/Signals.h"
#include "support/Faults.h"
#include "support/Scenario.h"

namespace {

// Keeps every text the results heading was painted with, and plays the user
// once a heading holding a given text has been shown.
class THeadingRecorder : public QObject {
 public:
  explicit THeadingRecorder(QLabel* label) : Label(label) { label->installEventFilter(this); }
  QStringList Seen;
  QString Trigger;
  std::function<void()> Then;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Paint || (!Seen.isEmpty() && Seen.back() == Label->text())) return false;
    Seen << Label->text();
    if (Then && !Trigger.isEmpty() && Label->text().contains(Trigger)) std::exchange(Then, nullptr)();
    return false;
  }

 private:
  QLabel* Label;
};

class BuildWindowTest : public TScenarioTest {
 protected:
  // The window, shown, on a project of programs App1..AppN (each with its
  // local version file, so that only real failures halt), the listed ones
  // broken.
  TF_MainForm& ShowProject(int count, const std::vector<int>& broken, const std::vector<std::string>& options,
                           const std::vector<std::string>& more = {}) {
    WriteProgram("App");
    WriteBytes("src/app.ico", ReadBytes(SourceDir() + "/examples/demo/src/demo.ico"));
    std::vector<std::string> entries;
    for (int i = 1; i <= count; ++i) {
      const std::string name = "App" + std::to_string(i);
      if (std::find(broken.begin(), broken.end(), i) != broken.end())
        WriteBrokenProgram(name);
      else
        WriteBytes("src/" + name + ".dpr", ReadBytes("src/App.dpr"));
      WriteBytes("src/" + name + ".ver",
                 CrLf({"[version]", "Major=1", "Build=" + std::to_string(i), "IconFileName=" + Path("src/app.ico")}));
      entries.push_back(Entry(name + ".EXE", name + ".dpr"));
    }
    TF_MainForm& form = OpenProject(options, entries, more);
    form.show();
    return form;
  }
  QStringList Statuses;
  void RecordStatus(TF_MainForm& form) {
    QObject::connect(form.StatusBar1, &QStatusBar::messageChanged, &form, [this](const QString& text) {
      if (!text.isEmpty()) Statuses << text;
    });
  }
  QString Heading() { return Find<QLabel>("L_Results")->text(); }
  // The stand-in compiler names its target after the source.
  bool Built(const std::string& name) { return Exists("out/" + name + ".exe"); }
  // Plays act once, the first time when() holds, while a build runs.
  void During(std::function<bool()> when, std::function<void()> act) {
    auto* timer = new QTimer(Form.get());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, when, act] {
      if (!when()) return;
      timer->stop();
      act();
    });
    timer->start(20);
  }
  // Plays act after the window has handled a build event.
  template <typename... TArgs>
  static void After(std::function<void(TArgs...)>& event, std::function<void()> act) {
    event = [inner = event, act](TArgs... args) {
      inner(args...);
      act();
    };
  }
  void ForgetOutputs() {
    Form.reset();
    std::filesystem::remove_all(Path("out"));
  }
};

}  // namespace

// The first entry's start is painted at once; what later events say is
// painted at most a few times a second, and so is recorded as the window
// shows it when it is next painted.
TEST_F(BuildWindowTest, TheBuildEventsShowTheirTextsAndTheSummaryFollows) {
  TF_MainForm& form = ShowProject(2, {}, {"HaltOnError=0"});
  THeadingRecorder headings(form.L_Results);
  RecordStatus(form);
  QStringList shown;
  After(form.BuildRun->OnCompileEnd, [&] {
    form.RefreshResults(true);
    shown << form.L_Results->text();
  });
  Find<QAction>("A_DoBuild")->trigger();

  // Paths are shortened to the heading's width.
  const QRegularExpression start(
      "^Start compiling \n[^\n]*App1\\.dpr\n to [^\n]*App1\\.EXE\nApp1\\.dpr compile started \\w{3}, \\d\\d "
      "\\w{3} \\d{4}  \\d\\d:\\d\\d:\\d\\d$");
  const QRegularExpression done("^Done with compiling \n[^\n]*App1\\.dpr\n to [^\n]*App1\\.EXE\n12 lines, .*$");
  EXPECT_EQ(headings.Seen.filter(start).size(), 1) << headings.Seen.join("\n|").toStdString();
  EXPECT_EQ(shown.filter(done).size(), 1) << shown.join("\n|").toStdString();
  const QRegularExpression fileDone("^12 lines, .*  Lines: 12,  Hints: 1,  Warnings: 1,  Errors: 0,   Fatal: 0$");
  const QRegularExpression summary(
      "^Final result is 2 OK, 0 ERR\\.   Lines: \\d+,  Hints: 2,  Warnings: 2,  "
      "Errors: 0,   Fatal: 0$");
  EXPECT_EQ(Statuses.filter(fileDone).size(), 1) << Statuses.join("\n|").toStdString();
  EXPECT_TRUE(summary.match(Statuses.back()).hasMatch()) << Statuses.back().toStdString();

  // Then the results view: the summary, its last line in the heading, the
  // three log buttons and the three views on the lower row. A_SelectFile and
  // A_getConfig wait for a project to be chosen again.
  EXPECT_EQ(form.ResultsButtonsPanelHeight(), 73);
  EXPECT_EQ(form.Memo1->toPlainText(), ToQ(ReadBytes("proj/Summary.log")).replace("\r\n", "\n").chopped(1));
  Play(R"(expect L_Results =~ "^Summary\nFinal result is 2 OK, 0 ERR." ; expect b_errors shown ; expect b_halt disabled
          expect b_ideLibPath == Summary ; expect b_ideLibPath disabled ; expect b_save == "Event Log" ; expect A_DoBuild enabled
          expect b_cancelEditwindow == "Compile Log" ; expect b_cancelEditwindow enabled ; expect A_SelectFile disabled
          expect A_getConfig disabled ; click b_cancelEditwindow ; expect L_Results == "Compile Log"
          expect b_cancelEditwindow disabled ; click b_save ; expect L_Results == "Event Log" ; expect Memo1 =~ "^Build defined in "
          click b_hints ; expect L_Results == "2 Hints." ; expect b_hints disabled ; expect b_warnings enabled
          click b_errors ; expect L_Results == "0 Errors." ; expect Memo1 == "" ; expect A_summaryDisplay enabled)");
}

// Stop is heard at once: the file being built is finished, no other is
// started, and the run says what it did not build where its result is shown.
// The summary log keeps its text.
TEST_F(BuildWindowTest, StopIsHeardAtOnceAndTheStoppedRunSaysWhatItDidNotBuild) {
  TF_MainForm& form = ShowProject(5, {}, {"HaltOnError=0"});
  RecordStatus(form);
  QString heard, progress;
  After(form.BuildRun->OnCompileStart, [&] {
    if (form.BuildRun->OKCount != 1 || !heard.isEmpty()) return;  // at the second entry
    Find<QPushButton>("b_halt")->click();
    heard = Statuses.back() + " | " + form.b_halt->text() + (form.b_halt->isEnabled() ? " on" : " off");
    progress = Find<QLabel>("ProgressLabel")->text();
  });
  Find<TActionButton>("b_Build")->click();
  EXPECT_EQ(heard, "Stopping after the current file... | Stop &now on");
  EXPECT_EQ(progress, "Stopping after file 2 of 5: App2.dpr");
  EXPECT_TRUE(Built("App2"));
  EXPECT_FALSE(Built("App3"));
  EXPECT_TRUE(Statuses.back().startsWith("Stopped after 2 of 5 files: 2 OK, 0 ERR, 3 not built.   Lines: "))
      << Statuses.back().toStdString();
  Play(R"(expect L_Results =~ "^Summary\nFinal result is 2 OK, 0 ERR.   Lines: [0-9]+.*\nStopped after 2 of 5 files: "
          expect-file proj/Summary.log =~ "\r\nFinal result is 2 OK, 0 ERR.   Lines: [^\r]*\r\n$"
          expect LB_Files.descriptions == "built\nbuilt\nnot built\nnot built\nnot built"
          expect LB_Files.tips =~ "^OK: App1.EXE[^\n]*\nOK: App2.EXE[^\n]*\nNot built: the build stopped before it\n"
          expect b_halt == &Stop ; expect ProgressLabel hidden)");
}

// Stop pressed again, closing the window, or a request from outside (SIGTERM)
// during a build ends the running tool with everything it started, once the
// user agrees (a signal asks no one): its file fails, the logs are written,
// and but for Stop the window closes.
TEST_F(BuildWindowTest, StopAgainCloseOrASignalEndsTheRunningTool) {
  std::vector<std::string> ways = {"stop", "close"};
#ifndef _WIN32
  ways.push_back("SIGTERM");  // Windows sends its console's events instead
#endif
  for (const std::string& how : ways) {
    SCOPED_TRACE(how);
    const platform::TStopSignals stopSignals;
    Start.Signals = how == "SIGTERM" ? &stopSignals : nullptr;
    WriteBytes("src/App2.before", CrLf({ChildCommand("spawn " + Path("sleeper") + " sleep 60000")}));
    TF_MainForm& form = ShowProject(3, {}, {"HaltOnError=1"},
                                    {"[" + Path("src/App2.dpr") + "]", "PreProcessing=" + Path("src/App2.before")});
    bool declinedGoesOn = false;
    During([&] { return Exists("sleeper"); },
           [&] {
             Dialogs.Confirms = {false, true};
             if (how == "stop") {
               form.b_halt->click();
               form.b_halt->click();  // declined
               declinedGoesOn = form.Building() && form.b_halt->isEnabled();
               form.b_halt->click();
             } else if (how == "close") {
               form.close();
               declinedGoesOn = form.Building() && form.isVisible();
               form.close();
             } else {
               Dialogs.Confirms.clear();
               declinedGoesOn = true;
               std::raise(SIGTERM);
             }
           });
    Find<TActionButton>("b_Build")->click();
    EXPECT_TRUE(declinedGoesOn);
    EXPECT_TRUE(EndsSoon(std::stol(ReadBytes("sleeper"))));
    const std::string reason = how == "stop"    ? "stopped by the user"
                               : how == "close" ? "the window was closed"
                                                : "the build was interrupted (SIGTERM)";
    EXPECT_EQ(form.BuildRun->CompileStep().LastLine, ProgramName("tesmar-test-child") + " was ended: " + reason);
    EXPECT_TRUE(CrLfLines(ReadBytes("proj/Summary.log")).back().starts_with("Final result is 1 OK, 1 ERR."));
    EXPECT_FALSE(Built("App3"));
    EXPECT_EQ(Dialogs.Texts("confirm").size(), how == "SIGTERM" ? 0 : 2);
    EXPECT_FALSE(Dialogs.Texts("confirm").join("|").contains("halt the build"));
    QApplication::processEvents();
    EXPECT_EQ(form.isVisible(), how == "stop");
    EXPECT_EQ(form.InterruptedBy(), how == "SIGTERM" ? "SIGTERM" : "");
    Dialogs.Asked.clear();
    std::filesystem::remove(Path("sleeper"));
    ForgetOutputs();
  }
}

// While a tool or a processing line runs, the results area follows what it
// prints, under the entry's heading, and the status bar says which file of
// how many it is and, once the project was built before, about how long the
// run has still to go.
TEST_F(BuildWindowTest, TheRunningCommandsOutputAndTheProgressShowAsTheyCome) {
  WriteBytes("src/App1.before", CrLf({ChildCommand("out first sleep 1500 out second")}));
  TF_MainForm& form = ShowProject(2, {}, {"HaltOnError=0"},
                                  {"[" + Path("src/App1.dpr") + "]", "PreProcessing=" + Path("src/App1.before")});
  for (const QString estimate : {"$", ", about 0:0\\d left$"}) {
    QString memo, progress;
    During([&] { return form.Memo1->toPlainText().contains("first"); },
           [&] {
             memo = form.Memo1->toPlainText();
             progress = Find<QLabel>("ProgressLabel")->text() + " " + Find<QProgressBar>("ProgressBar")->text();
           });
    Find<TActionButton>("b_Build")->click();
    EXPECT_TRUE(memo.startsWith("=== File 1 of 2: App1.dpr -> App1.EXE ===\n")) << memo.toStdString();
    EXPECT_TRUE(memo.endsWith("\nfirst")) << memo.toStdString();
    EXPECT_TRUE(
        QRegularExpression("^File 1 of 2: App1.dpr" + estimate.chopped(1) + " 0 / 2$").match(progress).hasMatch())
        << progress.toStdString();
    EXPECT_TRUE(Exists("proj/BuildTimes.dat"));
  }
  Play("expect ProgressBar hidden ; expect ProgressLabel hidden");

  // Of a flood, the last lines, and how much was passed over.
  WriteBytes("src/App1.before", CrLf({ChildCommand("flood 300000 x out last sleep 800")}));
  TF_MainForm& again = ShowProject(2, {}, {"HaltOnError=0"},
                                   {"[" + Path("src/App1.dpr") + "]", "PreProcessing=" + Path("src/App1.before")});
  QString flood;
  int lines = 0;
  During([&] { return again.Memo1->toPlainText().endsWith("\nlast"); },
         [&] {
           flood = again.Memo1->toPlainText();
           lines = again.Memo1->document()->blockCount();
         });
  Find<TActionButton>("b_Build")->click();
  EXPECT_TRUE(flood.contains("passed over here; the whole output is in the logs\nx\n")) << flood.toStdString();
  EXPECT_LE(lines, 200);
}

// The previous file's result line, longer than the room the progress leaves
// it, ends in an ellipsis before the progress instead of running under it;
// the closed rows show no selected text.
TEST_F(BuildWindowTest, TheStatusLineMakesRoomForTheProgress) {
  WriteBytes("src/App2.before", CrLf({ChildCommand("sleep 1000")}));
  TF_MainForm& form = ShowProject(2, {}, {"HaltOnError=0"},
                                  {"[" + Path("src/App2.dpr") + "]", "PreProcessing=" + Path("src/App2.before")});
  form.resize(form.minimumSizeHint());
  // A row that has the focus when the build closes the panel.
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.LB_Files->setCurrentRow(0);
  form.LB_FilesClick();
  form.e_libraryPath->setFocus();
  QApplication::processEvents();
  QString message, shown;
  QRect room;
  int progress = 0;
  QStringList selected;
  During([&] { return Find<QLabel>("ProgressLabel")->text().startsWith("File 2 of 2"); },
         [&] {
           message = form.StatusBar1->currentMessage();
           shown = form.StatusBar1->ShownMessage();
           room = form.StatusBar1->MessageRect();
           progress = Find<QLabel>("ProgressLabel")->x();
           for (const auto& row : form.SettingRows)
             if (row.Edit->hasSelectedText()) selected << row.Edit->objectName();
         });
  Find<TActionButton>("b_Build")->click();
  EXPECT_TRUE(message.contains("Lines: ")) << message.toStdString();
  EXPECT_TRUE(shown.endsWith(QChar(0x2026)) && message.startsWith(shown.chopped(1))) << shown.toStdString();
  EXPECT_LE(form.StatusBar1->fontMetrics().horizontalAdvance(shown), room.width());
  EXPECT_LT(room.right(), progress);
  EXPECT_EQ(selected.join(" ").toStdString(), "");
}

// After a build each entry of the list shows how it went, with its summary
// line as its tooltip, and the last one built is current; another project
// has no marks.
TEST_F(BuildWindowTest, AfterABuildEachEntryShowsItsResult) {
  ShowProject(3, {2}, {"HaltOnError=0"});
  WriteBytes("other/Files.ini", CrLf({"[options]", "[FileList]", Entry("App1.EXE", "App1.dpr")}));
  WriteCatalogue({"proj=" + Project, "other=" + Path("other")});
  Play(R"(restart ; select cb_ProjectList 0 ; trigger A_DoBuild ; expect LB_Files.descriptions == "built\nfailed\nbuilt"
          expect LB_Files.currentRow == 2 ; expect e_SourceFile ~ App3.dpr
          expect LB_Files.tips =~ "^OK: App1.EXE .*\nERR: App2.EXE .*\nOK: App3.EXE "
          select cb_ProjectList 1 ; expect LB_Files.descriptions == "" ; select cb_ProjectList 0
          expect LB_Files.descriptions =~ "^\n*$")");
}

// A halted first run still leaves its logs.
TEST_F(BuildWindowTest, TheHaltQuestionStopsOnYesAndGoesOnOnNo) {
  for (const std::string answer : {"Yes", "No"}) {
    SCOPED_TRACE(answer);
    TF_MainForm& form = ShowProject(3, {1}, {"HaltOnError=1"});
    Play("trigger A_DoBuild ; answer " + answer + R"( ; expect asked =~ "^confirm: Error: [^\n]*\n[^\n]*build.\n$"
          expect asked ~ "\nDo you want to halt the build?" ; expect-file proj/Summary.log exists
          expect-file proj/Error.log exists)");
    EXPECT_EQ(Built("App2"), answer == "No");
    EXPECT_EQ(Built("App3"), answer == "No");
    EXPECT_EQ(form.BuildRun->ErrCount, 1);
    EXPECT_EQ(form.BuildRun->OKCount, answer == "Yes" ? 0 : 2);
    Dialogs.Asked.clear();
    ForgetOutputs();
  }
}

TEST_F(BuildWindowTest, BuildOneHaltsOnAnUnlistedSourceAndBuildsAListedOneWhileTheWindowHandlesEvents) {
  WriteBytes("src/App2.before", CrLf({ChildCommand("sleep 1000")}));
  TF_MainForm& form = ShowProject(2, {}, {"HaltOnError=0"},
                                  {"[" + Path("src/App2.dpr") + "]", "PreProcessing=" + Path("src/App2.before")});
  form.CurrentSource = Path("src/Elsewhere.dpr");
  // The error log of a project never built says why; the logs the views do
  // not catch go to the window's message box.
  Play(
      R"~(click b_buildOne ; expect L_Results == "Tesmar Halted: \n\nException thrown in Tesmar: List index out of bounds (-1)"
          expect-file proj/Compile.log missing ; expect-file proj/Summary.log missing ; click b_errors
          expect Memo1 ~ "Error opening error log, probably because no errors present :)  Cannot open file"
          expect Memo1 !~ "\n" ; expect L_Results == "1 Errors." ; trigger A_retrieveLastDump
          expect asked =~ "^message: [^\n]*Summary.log")~");
  EXPECT_FALSE(form.BuildRun->SingleFile);

  // The selected source alone is built. The window goes on handling its
  // events while a tool runs: a timer set before the build fires during its
  // one-second processing line.
  form.CurrentSource = Path("src/App2.dpr");
  bool firedDuringTheRun = false;
  QElapsedTimer clock;
  clock.start();
  QTimer::singleShot(200, &form, [&] { firedDuringTheRun = form.Building() && clock.elapsed() < 900; });
  // What the last event said is painted while the tool runs.
  QString heading;
  QTimer::singleShot(700, &form, [&] { heading = form.L_Results->text(); });
  Find<QPushButton>("b_buildOne")->click();
  EXPECT_TRUE(heading.contains("App2")) << heading.toStdString();
  EXPECT_GE(clock.elapsed(), 1000);
  EXPECT_TRUE(firedDuringTheRun) << ReadBytes("proj/Events.log");
  EXPECT_FALSE(Built("App1"));
  EXPECT_TRUE(Built("App2"));
  EXPECT_TRUE(Find<QLabel>("ElapsedLabel")->text().startsWith("Elapsed 0:0"));
}

// After a build a click or a key makes an entry current, and "build one"
// builds it; the configuration's choose button is off with its action.
TEST_F(BuildWindowTest, AfterABuildTheListChoosesTheEntryThatBuildOneBuilds) {
  ShowProject(2, {}, {"HaltOnError=0"});
  Play(
      R"(trigger A_DoBuild ; expect A_getConfig disabled ; expect b_configuration disabled ; expect b_LibraryPath enabled
          select LB_Files 0 ; expect e_SourceFile == @src/App1.dpr ; key LB_Files Down ; expect e_SourceFile == @src/App2.dpr
          click b_buildOne ; expect-file proj/Summary.log ~ "OK: App2.EXE" ; expect-file proj/Summary.log !~ App1)");
}

// A build of a project that another run holds waits for it, saying so, and
// builds once it has ended; Stop ends the wait, and the build does not start.
TEST_F(BuildWindowTest, ABuildWaitsForAnotherRunOfItsProject) {
  TF_MainForm& form = ShowProject(1, {}, {"HaltOnError=1"});
  RecordStatus(form);
  for (const bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stop" : "wait");
    platform::TFileLock other(Path("proj/Files.lock"));
    ASSERT_TRUE(other.TryLock());
    During([&] { return !Statuses.isEmpty() && Statuses.back().startsWith("Waiting for the other build of "); },
           [&] { stop ? form.b_halt->click() : other.Unlock(); });
    Find<TActionButton>("b_Build")->click();
    EXPECT_TRUE(
        Statuses
            .filter(QRegularExpression("^Waiting for the other build of " + QRegularExpression::escape(ToQ(Project)) +
                                       " \\(process \\d+\\) to end...$"))
            .size() == 1)
        << Statuses.join("\n|").toStdString();
    EXPECT_EQ(Built("App1"), !stop);
    if (stop) {
      const QString heading = form.L_Results->text();
      EXPECT_TRUE(QRegularExpression("^Tesmar Halted: \n[^\n]*\nAnother build of " +
                                     QRegularExpression::escape(ToQ(Project)) +
                                     " is running \\(process \\d+\\); this one did not start$")
                      .match(heading)
                      .hasMatch())
          << heading.toStdString();
      EXPECT_TRUE(Dialogs.Asked.empty());
      EXPECT_EQ(Statuses.back(), "Not built: another build of this project is running.");
    }
    Statuses.clear();
    std::filesystem::remove_all(Path("out"));
  }
}

// The tools' time-out is an option of the program, none at first: a tool or
// processing line that runs longer is ended and its file fails; the run goes on.
TEST_F(BuildWindowTest, TheToolTimeOutEndsACommandThatRunsTooLong) {
  WriteBytes("src/App1.before", CrLf({ChildCommand("spawn " + Path("sleeper") + " sleep 60000")}));
  ShowProject(2, {}, {"HaltOnError=0"}, {"[" + Path("src/App1.dpr") + "]", "PreProcessing=" + Path("src/App1.before")});
  Play(
      R"(trigger A_projectOptions ; answer window { expect se_toolTimeout == none ; type se_toolTimeout 1
          type e_editor "ed +#Line# #File#" ; click b_OK }
          expect-file tesmar.ini ~ "\r\n[Program]\r\nEditor=ed +#Line# #File#\r\nToolTimeout=1\r\n" ; trigger A_DoBuild
          expect-file proj/Summary.log ~ "was ended: it ran longer than 1 second" ; expect LB_Files.descriptions == "failed\nbuilt"
          trigger A_projectOptions ; answer window { expect se_toolTimeout == "1.0 s" ; type se_toolTimeout 0 ; click b_OK }
          expect-file tesmar.ini ~ "\r\nToolTimeout=\r\n")");
  EXPECT_TRUE(EndsSoon(std::stol(ReadBytes("sleeper"))));
}
