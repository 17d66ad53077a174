#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A fresh directory for one test, entered on set-up and removed afterwards.
// Code under test changes the current directory on purpose, so every test
// starts from its own known place.
class TTestDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Absolute path of a name inside the test directory.
  std::string Path(const std::string& name) const;
  // Writes bytes exactly as given (no line-end translation); creates parents.
  void WriteBytes(const std::string& name, const std::string& bytes) const;
  // Reads a whole file as bytes; fails the test when it cannot.
  std::string ReadBytes(const std::string& name) const;
  bool Exists(const std::string& name) const;

  std::string Root;
  std::string StartDir;
};

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
