#pragma once

// Window cases as lists of steps and expectations, read by one runner:
//
//   select LB_Files 1 ; key LB_Files Down ; expect e_SourceFile ~ Solo.rc
//   focus e_configuration ; type Memo1 "-$D-" ; select LB_Files 0 ; answer Save
//   expect-file proj/Default.config == "-$D-\r\n"
//
// A step ends at ';' or at a line break not after a '\'; one that begins
// with '#' is a comment. Words are separated by blanks; a quoted word may
// hold blanks and the escapes \r \n \t \" \\ \@ \xNN; '@' is the test
// directory and a separator. Objects go by their names, "form" is the window.
//
// Set-up:   program NAME | write FILE BYTES | lines FILE LINE... | chmod FILE MODE
//           catalogue LINE... | open [ARGUMENT] | restart (closed, opened again)
// The user: select LIST-OR-BOX INDEX | click WIDGET [LINE] | double-click WIDGET [LINE]
//           (LINE: of a memo) | key WIDGET KEY... | focus WIDGET
//           type WIDGET TEXT (replacing its text) | append WIDGET TEXT | trigger ACTION
//           clipboard TEXT
// Answers to what the step before asks, in order:
//           answer Yes|No (a confirmation) | answer Save|Discard|Cancel (a save question)
//           answer changed Overwrite|Keep|Cancel [all] (a file changed on disk; all: the same
//           for the other changed files)
//           answer dir PATH|cancel | answer file PATH...|cancel
//           answer window CHILD[=TEXT]... (in the next modal window each child is clicked
//           or given the text) | answer window { STEPS } (played in the next modal window,
//           whose children are found first; "window" is the window itself)
// Checks:   expect WIDGET[.PROPERTY] ==|~|!~|=~ VALUE  (~ contains, =~ a pattern)
//           expect WIDGET enabled|disabled|shown|hidden
//           expect-file FILE ==|~|!~ BYTES | expect-file FILE missing|exists
// A widget's value is its text (plain, current, or its items one a line) or
// a Qt property (currentRow, toolTip, ...); "base" and "textRole" are the
// palette roles of its background and text, "bold" and "italic" its font's,
// "tips" and "descriptions" a list's items' tooltips and accessible
// descriptions, one a line.
// "asked" holds what the dialogs were asked, one a line: "message: TEXT",
// "confirm: TEXT", "save: TEXT", "changed: TEXT", "window: NAME", "directory: CAPTION | START
// | OPTIONS", "open: TITLE | FILTER | START | EXTENSION[ | several][ | existing]".
// After every step the list box must show the project's file list.
#include <string>
#include <vector>

#include "support/GuiTest.h"

class TScenarioTest : public TGuiTest {
 protected:
  void Play(const std::string& steps);

 private:
  void Step(const std::vector<std::string>& words);
  void Answer(const std::vector<std::string>& words);
  void Expect(const std::vector<std::string>& words);
  QObject* Named(const std::string& name);
  // The modal window whose steps are played.
  QDialog* Scope = nullptr;
};

// A table of scenarios, each named for the behaviour it guards.
struct TScenario {
  const char* Name;
  const char* Steps;
};
inline void PrintTo(const TScenario& scenario, std::ostream* out) {
  *out << scenario.Name;
}

// A test suite of a table: one test per scenario, each after the same
// prelude of steps.
#define TESMAR_SCENARIOS(Suite, prelude, table)                                           \
  class Suite : public TScenarioTest, public ::testing::WithParamInterface<TScenario> {}; \
  TEST_P(Suite, Plays) {                                                                  \
    Play(std::string(prelude) + "\n" + GetParam().Steps);                                 \
  }                                                                                       \
  INSTANTIATE_TEST_SUITE_P(Window, Suite, ::testing::ValuesIn(table),                     \
                           [](const auto& info) { return std::string(info.param.Name); })
