#include "cli/TesmarBuildMain.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/BuildReport.h"
#include "cli/JUnitReport.h"
#include "engine/BuildTimes.h"
#include "engine/DOSToMemo.h"
#include "engine/uBuildingObject.h"
#include "ide/IDELibPath.h"
#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/ProfileCache.h"
#include "platform/Signals.h"
#include "platform/TextFile.h"
#include "project/uCatalogue.h"
#include "project/uGlobalConstants.h"
#include "project/uPersistence.h"
#include "version/ProgramVersion.h"
#include "version/uVersionInformation.h"

namespace {

constexpr const char* ProgramName = "tesmar-build";

// Exit statuses.
constexpr int ExitAllOK = 0;
constexpr int ExitEntryFailed = 1;
constexpr int ExitNoRun = 2;

const char* const UsageLines[] = {
    "Usage: tesmar-build [--file SOURCE] [--halt-on-error] [--quiet] [--json FILE] [--junit FILE]",
    "                    [--tool-timeout SECONDS] [--no-wait] PROJECT",
    "       tesmar-build --version-of FILE",
    "       tesmar-build --version",
    "       tesmar-build --help",
    "",
    "Builds a Tesmar project without a window. PROJECT is a project directory, or",
    "else a text contained in a line name=directory of the project catalogue (the",
    "section \"Projects\" of the program's INI file): the first such line is built.",
    "",
    "  --file SOURCE      build only this source of the file list (its full path,",
    "                     or its name when no other source has that name)",
    "  --halt-on-error    stop before the next entry once an entry has failed",
    "  --quiet            print only the final result line and errors",
    "  --json FILE        write a report of the run to FILE, with the compiler's",
    "                     messages and the notes of each entry",
    "  --junit FILE       write a JUnit XML report of the run to FILE",
    "  --tool-timeout SECONDS",
    "                     end a tool or processing line that runs longer; its",
    "                     entry fails",
    "  --no-wait          fail at once (status 2) when another build of the",
    "                     project is running, rather than wait for it to end",
    "  --version-of FILE  print the version strings of an executable",
    "  --version          print the version strings of tesmar-build",
    "  -h, --help         print this text",
    "",
    "Each entry prints a progress line; halt reports and the entry's notes (summary",
    "notes, resource and store reports) go to standard error; the last line printed",
    "is the final result of the summary. On a terminal the entry being built and its",
    "time so far show on a line that is written over. SIGINT, SIGTERM or SIGHUP end",
    "the running tool and stop the run; its logs are written.",
    "",
    "Exit status: 0 every entry was built, 1 an entry failed, its version could not",
    "be stamped or a processing line of it failed, or the run was stopped or",
    "interrupted, 2 the command line was wrong, the project could not be loaded",
    "whole or the run ended by a failure (no logs written).",
};

class TUsageError : public TError {
 public:
  using TError::TError;
};

struct TCommandLine {
  bool Help = false;
  bool Version = false;
  std::optional<std::string> VersionOf;
  std::optional<std::string> Source;
  std::optional<std::string> JsonFile;
  std::optional<std::string> JUnitFile;
  bool HaltOnError = false;
  bool Quiet = false;
  bool NoWait = false;
  double ToolTimeout = 0;  // seconds; 0: no limit
  std::string Project;
};

// A time in seconds: a positive decimal number.
double ParseSeconds(const std::string& name, const std::string& text) {
  const std::optional<double> seconds = platform::ParseSeconds(text);
  if (!seconds) throw TUsageError(name + " needs a number of seconds greater than 0, not " + text);
  return *seconds;
}

TCommandLine ParseCommandLine(int argc, char** argv) {
  TCommandLine line;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> attached;  // --name=value
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      name = arg.substr(0, eq);
      attached = arg.substr(eq + 1);
    }
    auto value = [&]() {
      std::string v;
      if (attached)
        v = *attached;
      else if (i + 1 < argc && argv[i + 1])
        v = argv[++i];
      if (v.empty()) throw TUsageError(name + " needs a value");
      return v;
    };
    auto flag = [&](bool& target) {
      if (attached) throw TUsageError(name + " takes no value");
      target = true;
    };
    if (name == "-h" || name == "--help")
      flag(line.Help);
    else if (name == "-q" || name == "--quiet")
      flag(line.Quiet);
    else if (name == "--halt-on-error")
      flag(line.HaltOnError);
    else if (name == "--no-wait")
      flag(line.NoWait);
    else if (name == "--file")
      line.Source = value();
    else if (name == "--json")
      line.JsonFile = value();
    else if (name == "--junit")
      line.JUnitFile = value();
    else if (name == "--version")
      flag(line.Version);
    else if (name == "--version-of")
      line.VersionOf = value();
    else if (name == "--tool-timeout")
      line.ToolTimeout = ParseSeconds(name, value());
    else
      throw TUsageError("unknown option " + arg);
  }
  if (line.Help) return line;
  const bool buildOptions = line.Source || line.JsonFile || line.JUnitFile || line.HaltOnError || line.Quiet ||
                            line.NoWait || line.ToolTimeout > 0;
  if (line.VersionOf) {
    if (!positional.empty() || buildOptions || line.Version)
      throw TUsageError("--version-of takes no project and no other option");
    return line;
  }
  if (line.Version) {
    if (!positional.empty() || buildOptions) throw TUsageError("--version takes no project and no other option");
    return line;
  }
  if (line.JsonFile && line.JUnitFile && platform::SameFile(*line.JsonFile, *line.JUnitFile))
    throw TUsageError("--json and --junit name the same file");
  if (positional.empty()) throw TUsageError("no project named");
  if (positional.size() > 1) throw TUsageError("one project at a time: " + positional[1] + " is one too many");
  if (positional[0].empty()) throw TUsageError("the project name is empty");
  line.Project = positional[0];
  return line;
}

using platform::LowerAscii;

// A full path without a trailing separator (a root stays as it is).
std::string FullDirectory(const std::string& dir) {
  std::string full = platform::ExpandFileName(platform::ResolvePath(dir));
  while (full.size() > 1 && platform::IsPathDelim(full.back()) && full[full.size() - 2] != ':') full.pop_back();
  return full;
}

struct TProjectChoice {
  std::string Directory;
  std::string Name;
};

// An existing directory is the project; anything else is looked up in the
// catalogue the way the GUI matches its command-line argument.
TProjectChoice ChooseProject(const std::string& argument) {
  if (platform::DirectoryExists(argument)) {
    const std::string dir = FullDirectory(argument);
    return {dir, platform::ExtractFileName(dir)};
  }
  const std::string iniFile = ProgramIniFile();
  const TCatalogue catalogue = ReadCatalogue(iniFile);
  if (const int index = FindCatalogueEntry(catalogue, argument); index >= 0) {
    const TCatalogueEntry& entry = catalogue[static_cast<std::size_t>(index)];
    return {FullDirectory(entry.Directory), entry.Name};
  }
  if (platform::PathExists(argument)) throw TError(argument + " is not a directory");
  throw TError("no project directory " + argument + " and no line of the catalogue " + iniFile + " contains it");
}

// A line of the file list, "target=source".
TPlannedEntry PlannedEntry(const std::string& fileListLine) {
  const auto eq = fileListLine.find('=');
  if (eq == std::string::npos) return {fileListLine, std::string()};
  return {fileListLine.substr(eq + 1), fileListLine.substr(0, eq)};
}

// The entry of --file: the source as the file list holds it (letter case
// aside), its full path as seen from where the program was started, or a bare
// name that only one source of the list has. -1 when none matches.
int FindEntry(const TProjectList& list, const std::string& given, const std::string& fullPath) {
  if (const int index = list.FindSource(given); index >= 0) return index;
  if (const int index = list.FindSource(fullPath); index >= 0) return index;
  if (platform::ExtractFileName(given) != given) return -1;
  int found = -1;
  for (int i = 0; i < list.Count(); ++i) {
    const std::string source = PlannedEntry(list.Strings(i)).Source;
    if (LowerAscii(platform::ExtractFileName(source)) != LowerAscii(given)) continue;
    if (found >= 0) throw TError(given + " names more than one source of the file list; give its full path");
    found = i;
  }
  return found;
}

// Puts the process back where it was started (loading and building change the
// current directory on purpose).
class TCurrentDirGuard {
 public:
  TCurrentDirGuard() : Dir(platform::GetCurrentDir()) {}
  ~TCurrentDirGuard() {
    try {
      platform::SetCurrentDir(Dir);
    } catch (const std::exception&) {
      // The start directory has gone; there is nothing to return to.
    }
  }
  TCurrentDirGuard(const TCurrentDirGuard&) = delete;
  TCurrentDirGuard& operator=(const TCurrentDirGuard&) = delete;

 private:
  std::string Dir;
};

int ListVersionStrings(const std::string& file, std::ostream& out, std::ostream& err) {
  TVersionInformation info;
  info.LoadVersionInfo(file);
  for (std::size_t i = 0; i < MSResourceNameCount; ++i) {
    const std::string name = TVersionInformation::ResourceName(static_cast<tMSResourceNameEnum>(i));
    out << name << " = " << (info.Loaded ? info.GetVersionString(name) : std::string()) << '\n';
  }
  if (info.Loaded) return ExitAllOK;
  err << info.ErrorText << '\n';
  return ExitEntryFailed;
}

// A report goes into an existing device or pipe as it is (/dev/stdout), and
// replaces a regular file whole.
void WriteReport(const std::string& file, const std::string& text) {
  try {
    if (!platform::IsSpecialFile(file)) {
      platform::WriteFileBytes(file, text);
      return;
    }
    std::FILE* f = std::fopen(file.c_str(), "wb");
    const bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = f && std::fclose(f) == 0;
    if (!written || !closed) throw TError(SystemErrorText(LastLibraryErrorCode(EIO)));
  } catch (const std::exception& e) {
    throw TError("Could not write the report " + file + ": " + e.what());
  }
}

// The files of a loaded project that a report must not replace, each with
// what it is: Files.ini and its backup, every entry's source, target, setting
// files and what the build writes beside the source, the logs and working
// files.
std::vector<std::pair<std::string, std::string>> OwnFiles(TBuilderClass& builder) {
  const std::string& dir = builder.ProjectDir;
  std::vector<std::pair<std::string, std::string>> files = {{PathJoin(dir, "Files.ini"), "its Files.ini"},
                                                            {PathJoin(dir, "Files.~ni"), "the backup of its Files.ini"},
                                                            {PathJoin(dir, "started.dat"), "a working file"},
                                                            {PathJoin(dir, "TmpResults.dat"), "a working file"},
                                                            {PathJoin(dir, BuildTimesName), "a working file"}};
  for (const char* log : {CompileLogName, SummaryLogName, EventsLogName, ErrorLogName, WarningLogName, HintLogName})
    files.emplace_back(PathJoin(dir, log), "a log");
  TProjectList& list = builder.FileList();
  for (int i = 0; i < list.Count(); ++i) {
    TProjectSettings& settings = *list.SettingsAt(i);
    const std::string source = list.SourceOf(i);
    files.emplace_back(source, "the source " + platform::ExtractFileName(source));
    files.emplace_back(list.DestOf(i), "the target of " + platform::ExtractFileName(source));
    for (const char* ext : {".RC", ".RES", ".extraResults"})
      files.emplace_back(platform::ChangeFileExt(source, ext),
                         "a file built beside " + platform::ExtractFileName(source));
    for (int kind = stLibraryPath; kind <= stPostProcessing; ++kind) {
      const auto k = static_cast<TsettingsTypeEnum>(kind);
      files.emplace_back(settings.GetSettingPath(k),
                         "the " + GlobalStuff().SettingName(k) + " setting of " + platform::ExtractFileName(source));
    }
  }
  return files;
}

// While a build runs: the time limit of its tools, and what a stop signal
// does (the running tool is ended with what it started, no other starts).
class TRunControls {
 public:
  TRunControls(double toolTimeout, const platform::TStopSignals& signals)
      : OldLimit(SetRunTimeLimit(toolTimeout)), OldCheck(SetRunStopCheck([&signals] {
          const std::string received = signals.Received();
          return received.empty() ? received : "the build was interrupted (" + received + ")";
        })) {}
  ~TRunControls() {
    SetRunTimeLimit(OldLimit);
    SetRunStopCheck(std::move(OldCheck));
  }
  TRunControls(const TRunControls&) = delete;
  TRunControls& operator=(const TRunControls&) = delete;

 private:
  double OldLimit;
  TRunStopCheck OldCheck;
};

// On a terminal: the entry being built and how long it has taken so far, on
// one line that is written over as the time goes on and then by the entry's
// progress line. Elsewhere (a file, a pipe) nothing of it is written.
class TLiveStatus {
 public:
  TLiveStatus(std::ostream& out, bool on) : Out(out), On(on) {}
  void Start(const std::string& text) {
    Text = text;
    Started = std::chrono::steady_clock::now();
    Shown.clear();
    Update();
  }
  // Written again when the seconds have moved on.
  void Update() {
    if (!On || Text.empty()) return;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - Started).count();
    std::string line = Text + " " + platform::FormatDuration(static_cast<double>(seconds));
    if (line.size() > MaxWidth) line = "..." + line.substr(line.size() - (MaxWidth - 3));
    if (line == Shown) return;
    Out << '\r' << line << std::string(Shown.size() > line.size() ? Shown.size() - line.size() : 0, ' ') << std::flush;
    Shown = line;
  }
  // Before anything else is written, and when the entry is done.
  void Clear() {
    if (Shown.empty()) return;
    Out << '\r' << std::string(Shown.size(), ' ') << '\r' << std::flush;
    Shown.clear();
  }
  void Stop() {
    Clear();
    Text.clear();
  }

 private:
  // A line as wide as the narrowest terminal is never wrapped, and so can be
  // written over.
  static constexpr std::size_t MaxWidth = 79;
  std::ostream& Out;
  bool On;
  std::string Text, Shown;
  std::chrono::steady_clock::time_point Started;
};

int BuildProject(const TCommandLine& line, std::ostream& out, std::ostream& err, bool terminal) {
  // Names given on the command line are relative to where the program was
  // started, which the load leaves.
  const std::string jsonFile = line.JsonFile ? platform::ExpandFileName(*line.JsonFile) : std::string();
  const std::string junitFile = line.JUnitFile ? platform::ExpandFileName(*line.JUnitFile) : std::string();
  const std::string sourcePath = line.Source ? platform::ExpandFileName(*line.Source) : std::string();
  const TProjectChoice project = ChooseProject(line.Project);
  // Only a project is built: a directory without one (a mistyped name) does
  // not become one here; that is what the window's New Project is for.
  const std::string filesIni = platform::ResolvePath(PathJoin(project.Directory, "Files.ini"));
  if (platform::IsDanglingLink(filesIni)) platform::FollowLinks(filesIni);  // says where it leads
  if (!platform::FileExists(filesIni)) throw TError("no Files.ini in " + project.Directory + ": not a project");
  bool holdsProject = true;
  try {
    const auto ini = platform::OpenSharedProfile(filesIni);
    holdsProject = ini->SectionExists("options") || ini->SectionExists("FileList");
  } catch (const TError&) {
    // Unreadable: the load says why, in the report too.
  }
  if (!holdsProject) throw TError(filesIni + " holds no project: neither [options] nor [FileList]");

  TRunReport report;
  report.ProjectDir = project.Directory;
  report.ProjectName = project.Name;
  auto finish = [&](int status) {
    report.ExitStatus = status;
    if (line.JsonFile) WriteReport(jsonFile, ReportJson(report));
    if (line.JUnitFile) WriteReport(junitFile, ReportJUnit(report));
    return status;
  };

  const platform::TStopSignals signals;
  const TRunControls controls(line.ToolTimeout, signals);
  TBuilderClass builder;
  // A new project's Default.path asks for the Delphi version; without a
  // window the proposed version is the answer.
  // The compiler's messages of each entry are for the reports alone.
  builder.CompileStep().CollectToolMessages = line.JsonFile || line.JUnitFile;
  TFixedLibraryPathPrompt prompt(std::string("5"));
  builder.Store().LibraryPathPrompt = &prompt;

  TLiveStatus status(out, terminal && !line.Quiet);
  const TRunIdleHook oldIdleHook = SetRunIdleHook([&status] { status.Update(); });
  struct TIdleHookBack {
    const TRunIdleHook& Old;
    ~TIdleHookBack() { SetRunIdleHook(Old); }
  } idleHookBack{oldIdleHook};
  int number = 0;
  int okBefore = 0;
  std::vector<std::string> entryHalts;  // halt reports of the entry in progress
  auto started = std::chrono::steady_clock::now();
  auto stopOnSignal = [&] {
    if (!signals.Received().empty()) builder.HaltRequest = true;
  };
  builder.OnProjectHalt = [&](const std::string&, const std::string& message) {
    report.Halts.push_back(message);
    entryHalts.push_back(message);
    status.Clear();
    err << "halt: " << message << '\n' << std::flush;
  };
  builder.OnProjectStart = [&](const std::string&, const std::string&) { stopOnSignal(); };
  bool waitSaid = false;
  builder.OnWaitForProject = [&](const std::string& holder) {
    if (line.NoWait || !signals.Received().empty()) return false;
    if (!waitSaid)
      status.Clear(), err << ProgramName << ": waiting for the other build of " << project.Directory
                          << (holder.empty() ? std::string() : " (process " + holder + ")") << " to end\n"
                          << std::flush;
    waitSaid = true;
    return true;
  };
  builder.OnCompileStart = [&](const std::string& source, const std::string& target, const std::string&) {
    ++number;
    okBefore = builder.OKCount;
    entryHalts.clear();
    started = std::chrono::steady_clock::now();
    status.Start("[" + std::to_string(number) + "/" + std::to_string(report.Planned) + "] " +
                 platform::ExtractFileName(source) + " -> " + platform::ExtractFileName(target) + ": building");
  };
  // The run has counted the entry when this is raised; its count tells the
  // outcome also for an entry that never reached its tool (whose success flag
  // is the previous entry's).
  builder.OnCompileEnd = [&](const std::string& source, const std::string& target, const std::string& lastLine, bool,
                             int lines, int hints, int warnings, int errors, int fatal) {
    const TCompileClass& step = builder.CompileStep();
    TEntryReport entry;
    entry.Source = source;
    entry.Target = target;
    entry.OK = builder.OKCount > okBefore;
    entry.Lines = lines;
    entry.Hints = hints;
    entry.Warnings = warnings;
    entry.Errors = errors;
    entry.Fatal = fatal;
    entry.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    entry.LastLine = lastLine;
    entry.Diagnostics = ParseDiagnostics(step.ToolMessages);
    // A target that failed to build carries nothing of this run.
    if (step.StampsVersion()) entry.VersionStamped = entry.OK && step.VersionStamped;
    entry.Notes = step.Notes;
    entry.FailedProcessingLines = step.FailedProcessingLines;
    status.Stop();
    // Every note on standard error, once: a store report was there already
    // as a halt report.
    for (const std::string& note : entry.Notes)
      if (std::find(entryHalts.begin(), entryHalts.end(), note) == entryHalts.end())
        err << "note: " << note << '\n' << std::flush;
    // Only a failed entry stops the run: the other halt reports (a local
    // version file that a layout leaves out, say) are notes.
    if (!entry.OK && line.HaltOnError) builder.HaltRequest = true;
    report.Entries.push_back(entry);
    if (!line.Quiet) out << ProgressLine(number, report.Planned, entry) << '\n' << std::flush;
    stopOnSignal();
  };

  // A report must not take the place of a file of the project: of the
  // project directory before it is loaded (a failed load writes the report),
  // of every entry too once it is.
  builder.ProjectDir = project.Directory;
  auto replacesOwnFile = [&] {
    for (const std::string* report : {&jsonFile, &junitFile}) {
      if (report->empty()) continue;
      for (const auto& [file, what] : OwnFiles(builder)) {
        if (file.empty() || !platform::SameFile(*report, platform::ApplyTrailingDotRule(file))) continue;
        err << ProgramName << ": the report " << *report << " would replace " << what << " (" << file
            << "); nothing was built\n";
        return true;
      }
    }
    return false;
  };
  if (replacesOwnFile()) return ExitNoRun;

  // A project whose Files.ini or setting files could not be read whole (the
  // store reported while loading) is not built: its options, entries or
  // switches would silently be others.
  report.Loaded = builder.LoadProject(project.Directory) && report.Halts.empty();
  if (!report.Loaded) {
    err << ProgramName << ": the project in " << project.Directory << " could not be loaded\n";
    return finish(ExitNoRun);
  }
  if (replacesOwnFile()) return ExitNoRun;
  builder.SetOption(poHaltOnError, line.HaltOnError);
  if (line.Source) {
    const int index = FindEntry(builder.FileList(), *line.Source, sourcePath);
    if (index < 0) {
      err << ProgramName << ": " << *line.Source << " is not in the file list of " << project.Directory << '\n';
      return finish(ExitNoRun);
    }
    builder.SingleFile = true;
    builder.SingleIndex = index;
  }
  report.Planned = line.Source ? 1 : builder.FileList().Count();

  report.Completed = builder.RunBuild();
  report.Interrupted = signals.Received();

  report.OK = builder.OKCount;
  report.Err = builder.ErrCount;
  report.Lines = builder.TotalLines;
  report.Hints = builder.TotalHints;
  report.Warnings = builder.TotalWarnings;
  report.Errors = builder.TotalErrors;
  report.Fatal = builder.TotalFatal;
  if (!report.Completed) {
    err << ProgramName << ": the run ended by a failure; no logs were written\n";
    return finish(ExitNoRun);
  }
  report.Stopped = static_cast<int>(report.Entries.size()) < report.Planned || !report.Interrupted.empty();
  if (report.Stopped && !line.Source)
    for (int i = static_cast<int>(report.Entries.size()); i < builder.FileList().Count(); ++i)
      report.NotReached.push_back(PlannedEntry(builder.FileList().Strings(i)));
  for (const auto& [kind, name] :
       {std::pair{"compile", CompileLogName}, std::pair{"summary", SummaryLogName}, std::pair{"events", EventsLogName},
        std::pair{"errors", ErrorLogName}, std::pair{"warnings", WarningLogName}, std::pair{"hints", HintLogName}})
    report.Logs.emplace_back(kind, platform::ApplyTrailingDotRule(PathJoin(builder.ProjectDir, name)));
  if (!builder.Summary.empty()) report.FinalLine = builder.Summary.back();
  out << report.FinalLine << '\n' << std::flush;
  const auto unstamped = std::count_if(report.Entries.begin(), report.Entries.end(),
                                       [](const TEntryReport& e) { return e.OK && e.VersionStamped == false; });
  if (unstamped > 0)
    err << ProgramName << ": " << unstamped << (unstamped == 1 ? " entry was" : " entries were")
        << " built without a freshly stamped version\n";
  int failedLines = 0;
  for (const TEntryReport& e : report.Entries) failedLines += e.FailedProcessingLines;
  if (failedLines > 0)
    err << ProgramName << ": " << failedLines
        << (failedLines == 1 ? " processing line failed\n" : " processing lines failed\n");
  if (!report.Interrupted.empty())
    err << ProgramName << ": interrupted (" << report.Interrupted << "); the run was stopped and its logs written\n";
  // The status the window's unattended build gives too; a signal stops a
  // run that would have ended well.
  return finish(
      std::max(builder.RunStatus(report.Completed), report.Interrupted.empty() ? ExitAllOK : ExitEntryFailed));
}

}  // namespace

int RunTesmarBuild(int argc, char** argv, std::ostream& out, std::ostream& err, bool terminal) {
  const TCurrentDirGuard currentDir;
  try {
    const TCommandLine line = ParseCommandLine(argc, argv);
    if (line.Help) {
      for (const char* text : UsageLines) out << text << '\n';
      return ExitAllOK;
    }
    if (line.VersionOf) return ListVersionStrings(*line.VersionOf, out, err);
    if (line.Version) {
      for (const TVersionString& s : ProgramVersionStrings(tpCommandLine)) out << s.Name << " = " << s.Value << '\n';
      return ExitAllOK;
    }
    return BuildProject(line, out, err, terminal);
  } catch (const TUsageError& e) {
    err << ProgramName << ": " << e.what() << '\n' << UsageLines[0] << '\n' << UsageLines[1] << '\n';
  } catch (const std::bad_alloc&) {
    err << ProgramName << ": out of memory\n";
  } catch (const std::exception& e) {
    err << ProgramName << ": " << e.what() << '\n';
  }
  return ExitNoRun;
}
