#pragma once

#include <string>
#include <vector>

#include "ide/IDELibPath.h"
#include "support/TestDir.h"
#include "support/ToolsTest.h"

// A test directory holding a project in proj/, its sources in src/ and its
// targets in out/, built with the stand-in tools found first on the PATH.
// The shared store makes new projects from its built-in defaults, answers
// the Delphi version question with "5" and reports into Reports.
class TProjectTest : public TTestDir {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A program (name.dpr) using Unit1, which carries one hint and one warning.
  void WriteProgram(const std::string& name = "App");
  // A program that does not compile: an error in its unit.
  void WriteBrokenProgram(const std::string& name);
  // proj/Files.ini with option lines, file list lines (target=source) and
  // further lines after the file list.
  void WriteFilesIni(const std::vector<std::string>& options, const std::vector<std::string>& entries,
                     const std::vector<std::string>& more = {});
  // A file list line: out/target=src/source.
  std::string Entry(const std::string& target, const std::string& source) const;

  TFixedLibraryPathPrompt Prompt{std::string("5")};
  std::string Project;
  std::vector<std::string> Reports;

 private:
  // The environment as it was, put back when the test ends.
  TEnvScope SavedPath{"PATH"};
  TEnvScope SavedWinePrefix{"WINEPREFIX"};
};

// The lines of a text written with CR LF.
std::vector<std::string> CrLfLines(const std::string& bytes);
