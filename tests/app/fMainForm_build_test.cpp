#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <filesystem>

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
  void ForgetOutputs() {
    Form.reset();
    std::filesystem::remove_all(Path("out"));
  }
};

}  // namespace

TEST_F(BuildWindowTest, TheBuildEventsShowTheirTextsAndTheSummaryFollows) {
  TF_MainForm& form = ShowProject(2, {}, {"HaltOnError=0"});
  THeadingRecorder headings(form.L_Results);
  RecordStatus(form);
  Find<QAction>("A_DoBuild")->trigger();

  // Paths are shortened to the heading's width.
  const QRegularExpression start(
      "^Start compiling \n[^\n]*App1\\.dpr\n to [^\n]*App1\\.EXE\nApp1\\.dpr compile started \\w{3}, \\d\\d "
      "\\w{3} \\d{4}  \\d\\d:\\d\\d:\\d\\d$");
  const QRegularExpression done("^Done with compiling \n[^\n]*App1\\.dpr\n to [^\n]*App1\\.EXE\n12 lines, .*$");
  EXPECT_EQ(headings.Seen.filter(start).size(), 1) << headings.Seen.join("\n|").toStdString();
  EXPECT_EQ(headings.Seen.filter(done).size(), 1) << headings.Seen.join("\n|").toStdString();
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

// Stop, or closing the window, while a file is being built: that file is
// finished, no other is started, the logs are written.
TEST_F(BuildWindowTest, StopOrCloseDuringABuildFinishesTheFileAndWritesTheLogs) {
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "stop");
    TF_MainForm& form = ShowProject(5, {}, {"HaltOnError=0"});
    RecordStatus(form);
    THeadingRecorder headings(form.L_Results);
    headings.Trigger = close ? "App1.dpr compile started" : "App2.dpr compile started";
    headings.Then = [&] { close ? void(form.close()) : Find<QPushButton>("b_halt")->click(); };
    EXPECT_FALSE(Find<QPushButton>("b_halt")->isEnabled());
    Find<TActionButton>("b_Build")->click();
    EXPECT_TRUE(Built("App1"));
    EXPECT_EQ(Built("App2"), !close);
    EXPECT_FALSE(Built("App3"));
    const std::string final = close ? "Final result is 1 OK, 0 ERR." : "Final result is 2 OK, 0 ERR.";
    EXPECT_TRUE(Statuses.back().startsWith(ToQ(final + "   Lines: "))) << Statuses.back().toStdString();
    EXPECT_TRUE(CrLfLines(ReadBytes("proj/Summary.log")).back().starts_with(final));
    EXPECT_TRUE(Exists("proj/Compile.log"));
    QApplication::processEvents();
    EXPECT_EQ(form.isVisible(), !close);
    Statuses.clear();
    ForgetOutputs();
  }
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
  Find<QPushButton>("b_buildOne")->click();
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
