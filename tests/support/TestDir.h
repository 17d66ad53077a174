#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// A fresh directory for one test, entered on set-up and removed afterwards.
// Code under test changes the current directory on purpose, so every test
// starts from its own known place.
class TTestDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Absolute path of a name inside the test directory, in the system's own
  // separators ("sub/x.txt" is "C:\...\sub\x.txt" on Windows).
  std::string Path(const std::string& name) const;
  // Writes bytes exactly as given (no line-end translation); creates parents.
  void WriteBytes(const std::string& name, const std::string& bytes) const;
  // Reads a whole file as bytes; fails the test when it cannot.
  std::string ReadBytes(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // The names of a directory's entries as stored, sorted ("" is the test
  // directory): where Windows finds "dir" for "Dir", this tells them apart.
  std::vector<std::string> Listing(const std::string& dir = "") const;

  std::string Root;
  std::string StartDir;
};

// A program's file name as the system spells it: "tool" is "tool.exe" on Windows.
std::string ProgramName(const std::string& base);

// Where the built programs (tools, command-line front end) are.
std::string BinDir();
std::string TestDataDir();
std::string SourceDir();
// Lines joined with CR LF after each, the way the system writes text files.
std::string CrLf(const std::vector<std::string>& lines);

// Runs a shell command, standard error joined to standard output. Status is
// the exit status, -1 when the command could not be run or did not exit.
struct TCommandResult {
  int Status = -1;
  std::string Output;
};
TCommandResult RunShellCommand(const std::string& command);

// A path written with '/' in the system's own separator ('\' on Windows), for
// the expected values of name functions: "/p/App.dpr" is "\p\App.dpr" there.
std::string NativePath(std::string path);

// The environment of this process (and of the programs it starts).
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
// Puts a directory first on PATH, with the system's list separator.
void PrependToPath(const std::string& dir);

// tesmar-test-child, the program the tests start instead of a shell (see
// TestChild.cpp for its commands): its full name, and a command line that
// runs it with the given arguments.
std::string ChildProgram();
std::string ChildCommand(const std::string& arguments);
// Whether a running program holds the file that its "hold" command locked:
// false once the program has ended (and before it took the lock).
bool ChildHolds(const std::string& file);

// What a program printed (standard output and error together, split into
// lines without their LF or CR LF) and its exit code; -1 when it could not be
// started.
struct TCommandRun {
  int ExitCode = -1;
  std::vector<std::string> Lines;
  const std::string& Last() const { return Lines.empty() ? None : Lines.back(); }  // "" when nothing was printed
  bool Has(const std::string& line) const { return std::find(Lines.begin(), Lines.end(), line) != Lines.end(); }
  static inline const std::string None;
};
// Runs a command line in the current directory without a shell, the way the
// system starts every tool.
TCommandRun RunCommandLine(const std::string& commandLine);
