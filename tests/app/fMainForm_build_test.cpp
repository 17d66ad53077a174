#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <filesystem>

#include "support/GuiTest.h"

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

class BuildWindowTest : public TGuiTest {
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
      "^Start compiling \n/[^\n]*/App1\\.dpr\n to /[^\n]*/App1\\.EXE\nApp1\\.dpr compile started \\w{3}, \\d\\d "
      "\\w{3} \\d{4}  \\d\\d:\\d\\d:\\d\\d$");
  const QRegularExpression done("^Done with compiling \n/[^\n]*/App1\\.dpr\n to /[^\n]*/App1\\.EXE\n12 lines, .*$");
  EXPECT_EQ(headings.Seen.filter(start).size(), 1) << headings.Seen.join("\n|").toStdString();
  EXPECT_EQ(headings.Seen.filter(done).size(), 1) << headings.Seen.join("\n|").toStdString();
  const QRegularExpression fileDone("^12 lines, .*  Lines: 12,  Hints: 1,  Warnings: 1,  Errors: 0,   Fatal: 0$");
  const QRegularExpression summary(
      "^Final result is 2 OK, 0 ERR\\.   Lines: \\d+,  Hints: 2,  Warnings: 2,  "
      "Errors: 0,   Fatal: 0$");
  EXPECT_EQ(Statuses.filter(fileDone).size(), 1) << Statuses.join("\n|").toStdString();
  EXPECT_TRUE(summary.match(Statuses.back()).hasMatch()) << Statuses.back().toStdString();

  // Then the results view: the summary, its last line in the heading, the
  // three log buttons and the three views on the lower row.
  EXPECT_TRUE(Heading().startsWith("Summary\nFinal result is 2 OK, 0 ERR.")) << Heading().toStdString();
  EXPECT_EQ(form.ResultsButtonsPanelHeight(), 73);
  EXPECT_TRUE(Find<QPushButton>("b_errors")->isVisible());
  EXPECT_EQ(Find<TActionButton>("b_ideLibPath")->text(), "Summary");
  EXPECT_FALSE(Find<TActionButton>("b_ideLibPath")->isEnabled());
  EXPECT_EQ(Find<TActionButton>("b_save")->text(), "Event Log");
  EXPECT_EQ(Find<TActionButton>("b_cancelEditwindow")->text(), "Compile Log");
  EXPECT_TRUE(Find<TActionButton>("b_cancelEditwindow")->isEnabled());
  EXPECT_EQ(Find<QPlainTextEdit>("Memo1")->toPlainText().toStdString(),
            ToQ(ReadBytes("proj/Summary.log")).replace("\r\n", "\n").chopped(1).toStdString());
  EXPECT_FALSE(Find<QPushButton>("b_halt")->isEnabled());
  EXPECT_TRUE(Find<QAction>("A_DoBuild")->isEnabled());
  // A_SelectFile and A_getConfig wait for a project to be chosen again.
  EXPECT_FALSE(Find<QAction>("A_SelectFile")->isEnabled());
  EXPECT_FALSE(Find<QAction>("A_getConfig")->isEnabled());

  Find<TActionButton>("b_cancelEditwindow")->click();
  EXPECT_EQ(Heading(), "Compile Log");
  EXPECT_FALSE(Find<TActionButton>("b_cancelEditwindow")->isEnabled());
  Find<TActionButton>("b_save")->click();
  EXPECT_EQ(Heading(), "Event Log");
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->toPlainText().startsWith("Build defined in "));
  Find<QPushButton>("b_hints")->click();
  EXPECT_EQ(Heading(), "2 Hints.");
  EXPECT_FALSE(Find<QPushButton>("b_hints")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("b_warnings")->isEnabled());
  Find<QPushButton>("b_errors")->click();
  EXPECT_EQ(Heading(), "0 Errors.");
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
  EXPECT_TRUE(Find<QAction>("A_summaryDisplay")->isEnabled());
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

TEST_F(BuildWindowTest, TheHaltQuestionStopsOnYesAndGoesOnOnNo) {
  for (const bool halt : {true, false}) {
    SCOPED_TRACE(halt);
    TF_MainForm& form = ShowProject(3, {1}, {"HaltOnError=1"});
    Dialogs.Confirms = {halt};
    Find<QAction>("A_DoBuild")->trigger();
    const QStringList asked = Dialogs.Texts("confirm");
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith("Error: ")) << asked[0].toStdString();
    EXPECT_TRUE(asked[0].endsWith("\nDo you want to halt the build?"));
    EXPECT_EQ(Built("App2"), !halt);
    EXPECT_EQ(Built("App3"), !halt);
    EXPECT_EQ(form.BuildRun->ErrCount, 1);
    EXPECT_EQ(form.BuildRun->OKCount, halt ? 0 : 2);
    // A halted first run still leaves its logs.
    EXPECT_TRUE(Exists("proj/Summary.log"));
    EXPECT_TRUE(Exists("proj/Error.log"));
    Dialogs.Asked.clear();
    ForgetOutputs();
  }
}

TEST_F(BuildWindowTest, BuildOneHaltsOnAnUnlistedSourceAndBuildsAListedOneWhileTheWindowHandlesEvents) {
  WriteBytes("src/App2.before", CrLf({"sleep 1"}));
  TF_MainForm& form = ShowProject(2, {}, {"HaltOnError=0"},
                                  {"[" + Path("src/App2.dpr") + "]", "PreProcessing=" + Path("src/App2.before")});
  form.CurrentSource = Path("src/Elsewhere.dpr");
  Find<QPushButton>("b_buildOne")->click();
  EXPECT_EQ(Heading().toStdString(), "Tesmar Halted: \n\nException thrown in Tesmar: List index out of bounds (-1)");
  EXPECT_FALSE(Exists("proj/Compile.log"));
  EXPECT_FALSE(Exists("proj/Summary.log"));
  EXPECT_FALSE(form.BuildRun->SingleFile);
  // The error log of a project never built says why.
  Find<QPushButton>("b_errors")->click();
  const QString memo = Find<QPlainTextEdit>("Memo1")->toPlainText();
  EXPECT_TRUE(memo.startsWith("Error opening error log, probably because no errors present :)  Cannot open file"))
      << memo.toStdString();
  EXPECT_FALSE(memo.contains('\n'));
  EXPECT_EQ(Heading(), "1 Errors.");
  // The logs the views do not catch go to the window's message box.
  Find<QAction>("A_retrieveLastDump")->trigger();
  ASSERT_EQ(Dialogs.Texts("message").size(), 1);
  EXPECT_TRUE(Dialogs.Texts("message")[0].contains("Summary.log"));

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
