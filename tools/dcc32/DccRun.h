#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "common/ResReader.h"
#include "dcc32/DccOptions.h"
#include "dcc32/PascalScanner.h"

namespace tesmar_tools {

// Thrown once a Fatal line has been printed: the run ends there.
struct TDccFatalStop {};

enum class TDccTarget { None, Program, Library, Package, Unit };

// One compiler run: the files it has compiled, the resources it links, the
// messages it has printed.
class TDccRun {
 public:
  explicit TDccRun(std::ostream& out) : Out(out) {}
  int Run(const std::vector<std::string>& args);

  // Used while walking a file.
  const TDccOptions& Options() const { return Opts; }
  void Print(const std::string& line);
  // Kind is "Hint", "Warning", "Error" or "Fatal"; a Fatal throws TDccFatalStop.
  void Message(const std::string& display, int line, const std::string& kind, const std::string& text);
  // A unit named in a uses or contains clause, compiled now unless it was already.
  void UseUnit(const std::string& name, const std::string& inPath, const std::string& display, int line);
  // A {$R name} directive in the file at path.
  void LinkResource(const std::string& argument, const std::string& path, const std::string& display, int line);
  void SetTarget(TDccTarget target) { Target = target; }
  void SetConsole(bool console) { Opts.Console = console; }

 private:
  int Compile(std::vector<std::string>& switches);
  void CompileFile(const std::string& path, const std::string& display, bool isMain);
  void NoteProjectPaths(const std::vector<TToken>& tokens);
  std::string FindUnit(const std::string& name, bool& precompiled) const;
  void WriteTarget(double seconds);

  std::ostream& Out;
  TDccOptions Opts;
  std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
  std::string MainPath;  // the source as found
  std::string MainDir;
  std::string TargetBase;  // the source's base name as given
  TDccTarget Target = TDccTarget::None;
  std::set<std::string> StartedUnits;               // upper-case unit names
  std::map<std::string, std::string> ProjectPaths;  // upper-case unit name -> path of its "in" clause
  std::set<std::string> LinkedFiles;
  std::vector<TResEntry> Resources;
  long long Lines = 0;
  bool HasErrors = false;
  std::string LastError;
  std::string LastPrinted;
};

}  // namespace tesmar_tools
