#include <QTextBlock>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <thread>

#include "project/uCatalogue.h"
#include "support/Scenario.h"

namespace {

// A program whose unit lies beside it (a hint and a warning) and one whose
// unit the compiler finds on the library path (an error), built once.
class MessagesTest : public TScenarioTest {
 protected:
  void SetUp() override {
    TScenarioTest::SetUp();
    UnsetEnv("VISUAL");
    WriteProgram("App");
    WriteBytes("src/Bad.dpr", CrLf({"program Bad;", "uses", "  Broken;", "begin", "end."}));
    WriteBytes("lib/Broken.pas",
               CrLf({"unit Broken;", "interface", "{$MESSAGE ERROR 'does not compile'}", "implementation", "end."}));
    OpenProject({"HaltOnError=0"}, {Entry("App.EXE", "App.dpr"), Entry("Bad.EXE", "Bad.dpr")}).show();
    Play("trigger A_DoBuild");
  }
  // The memo's first line that holds text.
  int LineOf(const QString& text) {
    for (QTextBlock block = Form->Memo1->document()->begin(); block.isValid(); block = block.next())
      if (block.text().contains(text)) return block.blockNumber();
    ADD_FAILURE() << "no line holds " << text.toStdString();
    return -1;
  }
  // What the editor was given, once it has written it; nothing when no
  // editor is expected to start.
  std::string Opened(bool expected) {
    for (int i = 0; i < (expected ? 500 : 10) && !Exists("opened.txt"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // written whole
    const std::string opened = Exists("opened.txt") ? ReadBytes("opened.txt") : "(nothing)";
    std::filesystem::remove(Path("opened.txt"));
    return opened;
  }
  TEnvScope Visual{"VISUAL"};
  TEnvScope Editor{"EDITOR"};
};

// The views of the compiler's messages group them under the entry that
// produced them; the heading counts the messages alone.
TEST_F(MessagesTest, TheMessageViewsGroupTheLinesUnderTheirEntries) {
  Play(
      R"(click b_warnings ; expect L_Results == "1 Warnings." ; expect Memo1 =~ "^App.dpr\n  [^\n]*Unit1.pas\\(5\\) Warn"
          click b_errors ; expect Memo1 =~ "^Bad.dpr\n  [^\n]*Broken.pas\\(3\\) Error: ")");
}

// A double-click or Enter on a message's line opens its file at its line:
// in the editor of the options, its #File# and #Line# filled in; else in
// $EDITOR as EDITOR +LINE FILE; else with the desktop's handler. A unit is
// found beside its entry's source, else on the entry's library path; a line
// that names no place opens nothing.
TEST_F(MessagesTest, AMessagesLineOpensItsFileAtItsLine) {
  const std::string child = ProgramName("tesmar-test-child") + " to " + Path("opened.txt") + " args";
  struct TCase {
    std::string Setting, Environment, View, Line, How, Opened;
  };
  const TCase cases[] = {
      {child + " #File# --line=#line#", "", "b_warnings", "Unit1.pas(5)", "double-click",
       "[" + Path("src/Unit1.pas") + "]\n[--line=5]\n"},
      {child, "", "b_errors", "Broken.pas(3)", "Enter", "[" + Path("lib/Broken.pas") + "]\n"},
      {"", child, "b_cancelEditwindow", "Unit1.pas(3) Hint", "double-click", "[+3]\n[" + Path("src/Unit1.pas") + "]\n"},
      {"", "", "b_hints", "Unit1.pas(3)", "Enter", "(nothing)"},
      {child + " #File#", "", "b_errors", "Bad.dpr", "double-click", "(nothing)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Setting + " | " + c.Environment + " | " + c.Line);
    WriteProgramSetting(IniFile, EditorKey, c.Setting);
    c.Environment.empty() ? UnsetEnv("EDITOR") : SetEnv("EDITOR", c.Environment);
    Play("click " + c.View);
    const std::string line = std::to_string(LineOf(ToQ(c.Line)));
    Play(c.How == "Enter" ? "click Memo1 " + line + " ; key Memo1 Return" : "double-click Memo1 " + line);
    EXPECT_EQ(Opened(c.Opened != "(nothing)"), c.Opened);
  }
  // Where neither is set, the desktop's handler opens the file.
  EXPECT_EQ(Dialogs.Texts("url"), QStringList{QUrl::fromLocalFile(ToQ(Path("src/Unit1.pas"))).toString()});

  // A compiler that names a unit of the library path by its name alone: it is
  // looked for there. One that is nowhere is said to be so.
  WriteProgramSetting(IniFile, EditorKey, child + " #File# #Line#");
  WriteBytes("proj/Compile.log", CrLf({"Broken.pas(3) Error: does not compile", "Done: Bad.dpr"}));
  WriteBytes("proj/Error.log", CrLf({"Broken.pas(3) Error: does not compile"}));
  Play(
      "click b_hints ; click b_errors ; expect Memo1 == \"Bad.dpr\n  Broken.pas(3) Error: does not compile\" ; "
      "click Memo1 1 ; key Memo1 Return");
  EXPECT_EQ(Opened(true), "[" + Path("lib/Broken.pas") + "]\n[3]\n");
  std::filesystem::remove(Path("lib/Broken.pas"));
  Play(
      R"(double-click Memo1 1 ; expect asked ~ "message: Broken.pas was not found beside Bad.dpr or on its library path.")");
}

}  // namespace
