#include "engine/uBuildingObject.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "engine/BuildTimes.h"
#include "engine/DOSToMemo.h"
#include "engine/DelphiTools.h"
#include "engine/PackageDirectives.h"
#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/ProfileCache.h"
#include "version/uVersionInformation.h"

namespace {

bool Contains(const std::string& text, const char* what) {
  return text.find(what) != std::string::npos;
}

bool IsCompilerKind(TTargetTypeEnum kind) {
  return kind == ttEXE || kind == ttDLL || kind == ttBPL;
}

using platform::TrimControls;
using platform::UpperAscii;

// Every occurrence of what, found without regard to (ASCII) case, replaced.
std::string ReplaceIgnoringCase(const std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return text;
  const std::string upperText = UpperAscii(text), upperWhat = UpperAscii(what);
  std::string out;
  std::size_t from = 0, at;
  while ((at = upperText.find(upperWhat, from)) != std::string::npos) {
    out.append(text, from, at - from);
    out += with;
    from = at + what.size();
  }
  out.append(text, from, std::string::npos);
  return out;
}

// A processing line with "#FullName#" and "#shortPathName#" (in any letter
// case) filled in with the file and its short form. Each goes into the
// arguments the line already has, which are then written again as one
// command line: a name holding blanks or quotes stays inside its argument.
std::string FillPlaceholders(const std::string& line, const std::string& file) {
  auto fill = [&file](const std::string& text) {
    return ReplaceIgnoringCase(ReplaceIgnoringCase(text, "#FullName#", file), "#shortPathName#",
                               platform::ShortPathName(file));
  };
  if (fill(line) == line) return line;
  std::vector<std::string> args = platform::SplitCommandLine(line);
  for (std::string& arg : args) arg = fill(arg);
  return platform::JoinCommandLine(args);
}

// A whole decimal integer, as the compiler's line count or a build number
// must be; anything else fails the way a conversion of text to a number does.
std::int32_t StrToInt(const std::string& text) {
  const std::string t = TrimControls(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  long long value = 0;
  if (i == t.size()) throw TError("'" + text + "' is not a valid integer value");
  for (; i < t.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) throw TError("'" + text + "' is not a valid integer value");
    value = value * 10 + (t[i] - '0');
    if (value > 2147483648LL) throw TError("'" + text + "' is not a valid integer value");
  }
  if (negative) value = -value;
  if (value > 2147483647LL) throw TError("'" + text + "' is not a valid integer value");
  return static_cast<std::int32_t>(value);
}

// Seconds of an elapsed time taken as a time of day: hours, minutes, seconds
// and milliseconds put together again (a day or more starts from nought).
double SecondsOfDay(std::int64_t milliseconds) {
  const std::int64_t ms = ((milliseconds % 86400000) + 86400000) % 86400000;
  return static_cast<double>(ms) / 1000.0;
}

std::string TimeText(double seconds) {
  return "   Time: " + platform::FormatFixed2(seconds) + " seconds";
}

std::string NowText() {
  return platform::FormatDateTime(LogTimeFormat, platform::Now().Seconds);
}

// A version group (file or product) as the resource script writes it: each
// part a number, blank ones 0.
std::string RenderedVersion(const TResourceHandler& handler, TResourceTypeEnum first) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const std::string value = TrimControls(handler.GetValue(static_cast<TResourceTypeEnum>(first + i)));
    if (i > 0) text += '.';
    text += value.empty() ? "0" : std::to_string(std::stoi(value));
  }
  return text;
}

// The compile log and the three logs of the messages in it, each item of the
// compile log followed by CR LF: "Error.log" takes every item holding
// "Error:" and every one holding "Fatal:" (one holding both twice),
// "Warning.log" those holding "Warning:", "Hint.log" those holding "Hint:".
class TRunLogs {
 public:
  explicit TRunLogs(const std::string& dir)
      : Compile(PathJoin(dir, CompileLogName)),
        Errors(PathJoin(dir, ErrorLogName)),
        Warnings(PathJoin(dir, WarningLogName)),
        Hints(PathJoin(dir, HintLogName)) {}
  void Add(const std::string& item) {
    auto write = [&item](platform::TFileWriter& log) {
      log.Write(item);
      log.Write("\r\n");
    };
    write(Compile);
    if (Contains(item, "Error:")) write(Errors);
    if (Contains(item, "Fatal:")) write(Errors);
    if (Contains(item, "Warning:")) write(Warnings);
    if (Contains(item, "Hint:")) write(Hints);
  }
  // The compile log first, then the message logs.
  void Commit() {
    for (platform::TFileWriter* log : {&Compile, &Errors, &Warnings, &Hints}) log->Commit();
  }

 private:
  platform::TFileWriter Compile, Errors, Warnings, Hints;
};

}  // namespace

// --- TCompileClass ------------------------------------------------------------

TCompileClass::TCompileClass(TResourceHandler* resourceHandler) : ResourceHandler(resourceHandler) {}

std::string TCompileClass::SourceName() const {
  return platform::ExtractFileName(SourceFile);
}

bool TCompileClass::StampsVersion() const {
  return AutoResource && IsCompilerKind(GlobalStuff().TargetKind(SourceFile));
}

void TCompileClass::SummaryNote(const std::string& message) {
  SummaryLines.push_back(message);
  Notes.push_back(message);
  CompileNotify(message);
}

void TCompileClass::SetProjectSettings(TProjectSettings* settings) {
  Settings = settings;
  if (!settings) CompileNotify("Project settings are nil");
}

void TCompileClass::CompileNotify(const std::string& message) {
  Results.push_back("Compile Notify: " + message);
  if (OnCompileNotify) OnCompileNotify(SourceFile, message);
}

bool TCompileClass::Compile() {
  Results.clear();
  ToolMessages.clear();
  SummaryLines.clear();
  Notes.clear();
  VersionStamped = false;
  ScriptFileVersion.clear();
  ScriptProductVersion.clear();
  EndedLine.clear();
  Ended = false;
  FailedProcessingLines = 0;
  Lines = Hints = Warnings = Errors = Fatal = 0;

  try {
    platform::SetCurrentDir(ProjectPath);
  } catch (const std::exception& e) {
    CompileNotify("chdir to project path, " + ProjectPath + " failed: " + e.what());
    return false;
  }
  platform::ForceDirectories(platform::ExtractFileDir(DestFile));
  try {
    platform::SetCurrentDir(platform::ExtractFileDir(SourceFile));
  } catch (const std::exception& e) {
    CompileNotify("chdir to " + SourceFile + "failed: \r\n" + e.what());
    return false;
  }

  // Built without a setting that cannot be read, the entry would silently
  // lose switches, a library path or its processing lines.
  if (const std::string unread = Settings ? Settings->UnreadableSetting() : std::string(); !unread.empty()) {
    SummaryNote(unread);
    Success = false;
    LastLine = unread;
    SummaryLines.push_back("ERR: " + platform::ExtractFileName(DestFile) + " " + unread);
    Results.push_back("Done: " + SourceName());
    platform::SetCurrentDir(ProjectPath);
    return true;
  }
  WriteConfigFile();
  PrepareResources();
  RunBatchSetting("Before Compile ", SourceFile, stPreProcessing);

  if (Kind == ttRC)
    CommandLine = ResourceEntryCommandLine(CompilerDir, SourceFile);
  else if (IsCompilerKind(Kind))
    CommandLine = CompilerCommandLine(CompilerDir, SourceFile, DestFile);

  StartTime = platform::Now();
  bool toolEnded = false;
  Success = RunDosRedirected(CommandLine, InputFile, OutputFile, LastLine, &toolEnded);
  RunBatchSetting("After Compile ", DestFile, stPostProcessing);
  ParseOutput();
  EndTime = platform::Now();
  Ended = toolEnded || !EndedLine.empty();

  const std::int64_t elapsed = platform::MillisecondsBetween(StartTime, EndTime);
  const std::int64_t ofDay = ((elapsed % 86400000) + 86400000) % 86400000;
  ElapsedHours = static_cast<std::uint16_t>(ofDay / 3600000);
  ElapsedMinutes = static_cast<std::uint16_t>(ofDay / 60000 % 60);
  ElapsedSeconds = static_cast<std::uint16_t>(ofDay / 1000 % 60);
  ElapsedMilliseconds = static_cast<std::uint16_t>(ofDay % 1000);
  Results.push_back(TimeText(SecondsOfDay(elapsed)));
  Results.push_back("Done: " + SourceName());

  platform::SetCurrentDir(ProjectPath);  // a failure here ends the run
  return true;
}

void TCompileClass::WriteConfigFile() {
  const std::string name = platform::ChangeFileExt(SourceName(), ".cfg");
  try {
    const std::string text = Settings ? Settings->GetSettingContent(stConfigWithPath) : std::string();
    const std::string bytes = platform::JoinLines(platform::SplitLines(text));
    // A configuration of the project's own (switches tuned by hand) is kept
    // the first time the build writes another one in its place.
    std::string before;
    if (platform::FileExists(name)) {
      const std::string current = platform::ReadFileBytes(name);
      const std::string backup = BackupFileName(name);
      if (current != bytes && !platform::FileExists(backup)) {
        platform::WriteFileBytes(backup, current);
        CompileNotify("kept the previous " + name + " as " + platform::ExtractFileName(backup));
      }
      before = platform::NormalizeLineEnds(current);
    }
    platform::WriteFileBytes(name, bytes);
    // The entry's text of the file, and what the project knows of it, follow
    // the build's own write: a save then leaves the file as the build left it.
    if (Settings) {
      if (Settings->Memory[stConfigWithPath] == before) Settings->Memory.Set(stConfigWithPath, bytes);
      Settings->Store().FollowOwnWrite(Settings->Paths[stConfigWithPath], before, bytes);
    }
  } catch (const std::exception& e) {
    SummaryNote("Failed to save " + name + ": " + e.what());
  }
}

void TCompileClass::PrepareResources() {
  Kind = GlobalStuff().TargetKind(SourceFile);
  if (!IsCompilerKind(Kind)) return;
  const TTargetTypeEnum remembered = Kind;
  std::string handling;  // the file being handled, for the failure note
  try {
    if (AutoResource) {
      const int reportsBefore = ResourceHandler->ErrorCount;
      ResourceHandler->SettingsDir = ProjectPath;
      ResourceHandler->ExeFileName = SourceFile;
      const std::string localFile = Settings->GetSettingPath(stLocalVerInfo);
      const std::string script = platform::ChangeFileExt(SourceName(), ".RC");
      ResourceHandler->RCFileName = script;
      ResourceHandler->LoadMergedVersion(localFile, Settings->GetSettingPath(stGroupVerInfo));
      // A version that no script can carry (reported) moves no build number on.
      const bool partsValid = ResourceHandler->CheckVersionParts();
      if (partsValid && (Options.AutoFileIncrement() || Options.AutoProdIncrement())) AutoIncrement(localFile);
      ResourceHandler->Mask = platform::SplitLines(Settings->GetSettingContent(stRCMask));
      handling = script;
      // A script that could not be written (reported) is not compiled: the
      // one of an earlier build would pass for this build's.
      if (partsValid && ResourceHandler->GenerateResourceScript()) {
        CommandLine = ScriptCommandLine(script);
        if (Options.IgnoreResFileErrors() && CheckReadOnlyRes(script))
          Success = false;
        else
          Success = RunDosRedirected(CommandLine, InputFile, OutputFile, LastLine);
        Kind = ttRC;
        AutoResourceRun = true;
        ParseOutput();
        AutoResourceRun = false;
        Kind = remembered;
        // Whether the target carries it is known once the target is built.
        if (Success && ResourceHandler->ErrorCount == reportsBefore) {
          ScriptFileVersion = RenderedVersion(*ResourceHandler, reMajor);
          ScriptProductVersion = RenderedVersion(*ResourceHandler, reProductMajor);
        }
      }
    }
    const std::string resFile = platform::ChangeFileExt(SourceFile, ".res");
    handling = resFile;
    if (!platform::FileExists(resFile)) SummaryNote("RES file missing: " + resFile);
    if (Kind == ttBPL) {
      const std::string packageFile = platform::ChangeFileExt(SourceFile, ".dpk");
      handling = packageFile;
      MergePackageDirectives(packageFile);
    }
  } catch (const std::exception& e) {
    AutoResourceRun = false;
    Kind = remembered;
    ScriptFileVersion.clear();
    ScriptProductVersion.clear();
    SummaryNote("Failed to replace " + handling + " " + e.what());
  }
}

bool TCompileClass::CheckReadOnlyRes(const std::string& scriptName) {
  const std::string resFile = platform::ChangeFileExt(scriptName, ".RES");
  if (!platform::FileExists(resFile) || !platform::IsReadOnly(resFile)) return false;
  platform::WriteTextLines(OutputFile, {resFile + " is read only, was not replaced."});
  return true;
}

// The file a version file name stands for, as LoadVersionFile reads it: a
// bare "Default.ver" lies in the settings directory.
std::string TCompileClass::VersionFileOf(const std::string& name) const {
  const std::string file = name == "Default.ver" ? PathJoin(ResourceHandler->SettingsDir, name) : name;
  return platform::ExpandFileName(platform::ResolvePath(file));
}

void TCompileClass::AutoIncrement(const std::string& localVersionFile) {
  if (FirstOfRun) {
    RunNumbers.clear();
    FirstOfRun = false;
  }
  const std::string groupFile = Settings->GetSettingPath(stGroupVerInfo);
  struct TNumber {
    TResourceTypeEnum Field;
    bool On;
    const char* Key;
    const char* Name;
  };
  const TNumber numbers[] = {{reBuild, Options.AutoFileIncrement(), "Build", "build number"},
                             {reProductBuild, Options.AutoProdIncrement(), "ProductBuild", "product build number"}};
  // Each number goes back into the file it was read from, once a run: the
  // entries that share that file carry the number its first entry gave it.
  struct TStep {
    const TNumber* Number;
    std::string File;     // none for a number that came from no file
    std::string Setting;  // the file as this entry names it
    std::string Value;
    bool Write;
  };
  std::vector<TStep> steps;
  for (const TNumber& n : numbers) {
    if (!n.On) continue;
    const TVersionSource source = ResourceHandler->GetSource(n.Field);
    TStep step{&n, "", "", "", true};
    if (source == vsGroupFile) step.Setting = groupFile;
    if (source == vsLocalFile) step.Setting = localVersionFile;
    if (!step.Setting.empty()) step.File = VersionFileOf(step.Setting);
    const auto stored = step.File.empty() ? RunNumbers.end() : RunNumbers.find(step.File + '\n' + n.Key);
    if (stored != RunNumbers.end()) {
      step.Value = stored->second;
      step.Write = false;
    } else {
      const std::int32_t value = StrToInt(ResourceHandler->GetValue(n.Field));
      // A version resource holds each part in 16 bits: a number that would
      // leave them fails the step before anything is changed, never wraps.
      if (value < 0 || value >= MaxVersionPart)
        throw TError("the " + std::string(n.Name) + " " + std::to_string(value) +
                     " cannot be incremented: a version part is a whole number from 0 to " +
                     std::to_string(MaxVersionPart));
      step.Value = std::to_string(value + 1);
    }
    steps.push_back(step);
  }
  for (const TStep& step : steps) ResourceHandler->SetValue(step.Number->Field, step.Value);

  try {
    for (const TStep& step : steps) {
      if (step.File.empty() || !step.Write) continue;
      const std::string before = Settings->Store().ReadFileContent(step.File);
      auto ini = platform::OpenSharedProfile(step.File);
      ini->WriteString("version", step.Number->Key, step.Value);
      platform::UpdateSharedProfile(ini);
      RunNumbers[step.File + '\n' + step.Number->Key] = step.Value;
      // The settings that show this file follow it, unless they hold an
      // edit; so does what the project knows of it: the build's own change
      // is no other program's.
      const std::string after = Settings->Store().ReadFileContent(step.File);
      Settings->Store().FollowOwnWrite(step.Setting, before, after);
      if (Settings->Owner) Settings->Owner->FollowFileChange(step.File, before, after);
    }
    ResourceHandler->LoadMergedVersion(localVersionFile, groupFile);
  } catch (const std::exception& e) {
    ResourceHandler->RaiseResourceError(localVersionFile, std::string("AutoIncrement failed: ") + e.what());
  }
}

void TCompileClass::CheckStamp() {
  VersionStamped = false;
  if (!StampsVersion() || ScriptFileVersion.empty()) return;
  const std::string target = platform::ExtractFileName(DestFile);
  TVersionInformation& reader = VersionInformation();
  if (!reader.Loaded) {
    Notes.push_back("version not stamped: " + target + " carries no version resource (" + reader.ErrorText +
                    "); the program may not link the generated resource: does " + SourceName() + " hold {$R *.RES}?");
    return;
  }
  std::string fileVersion, productVersion;
  if (!reader.GetFixedVersions(fileVersion, productVersion)) {
    fileVersion = reader.GetVersionString("FileVersion");
    productVersion = reader.GetVersionString("ProductVersion");
  }
  if (fileVersion == ScriptFileVersion && productVersion == ScriptProductVersion) {
    VersionStamped = true;
    return;
  }
  Notes.push_back("version not stamped: " + target + " carries file version " + fileVersion + ", product version " +
                  productVersion + "; this build generated " + ScriptFileVersion + ", " + ScriptProductVersion);
}

void TCompileClass::MergePackageDirectives(const std::string& packageFile) {
  PackageDirectives = platform::SplitLines(Settings->GetSettingContent(stDPKConfig));
  const std::string original = platform::ReadFileBytes(packageFile);
  const TPackageMerge merge = MergeDirectivesIntoPackage(original, PackageDirectives);
  for (const std::string& note : merge.Notes) SummaryNote("Package directive for " + SourceName() + " " + note);
  PackageSource = platform::SplitLines(merge.Text);
  // A package that already holds every directive as given is left alone.
  if (merge.Text != original) platform::WriteFileBytes(packageFile, merge.Text);
}

void TCompileClass::RunBatchSetting(const std::string& label, const std::string& file, TsettingsTypeEnum kind) {
  if (!Settings) return;
  const std::string text = Settings->GetSettingContent(kind);
  if (text.rfind("none", 0) == 0) return;
  const std::string input = Settings->GetSettingPath(kind);
  const std::string capture = platform::ChangeFileExt(SourceFile, ".extraResults");
  const platform::TStringList lines = platform::SplitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string line = FillPlaceholders(lines[i], file);
    std::string error;
    platform::TStringList taken;
    bool ended = false;
    int exitCode = 0;
    const std::string what = "  " + label + " line " + std::to_string(i) + " failed: " + line;
    if (RunDosRedirected(line, input, capture, error, &ended, &exitCode)) {
      taken = platform::ReadTextLines(capture);
      if (ended && !taken.empty()) EndedLine = taken.back();
      // A line that ran and failed fails no entry, but is not passed over.
      if (!ended && exitCode != 0) {
        taken.push_back(what + "   Exit Code " + std::to_string(exitCode));
        ++FailedProcessingLines;
        Notes.push_back(TrimControls(taken.back()));
      }
    } else {
      taken = {what + "   Error Code " + std::to_string(platform::LastOSErrorCode()) + ": " + error};
      ++FailedProcessingLines;
      Notes.push_back(TrimControls(taken.back()));
    }
    CompileNotify(platform::JoinLines(taken));
  }
}

void TCompileClass::ParseOutput() {
  const std::string runnerMessage = LastLine;
  Results.clear();
  LastLine.clear();
  // Read as it comes: a tool may print far more than is kept of it (its
  // progress lines). A tool that was not started keeps every line of its
  // capture, which says why.
  // A large capture takes a while: the window goes on answering meanwhile.
  TRunIdleTicks idle;
  platform::ForEachFileLine(OutputFile, [&](std::string_view line) {
    idle.Tick();
    LastLine.assign(line);
    if (CollectToolMessages && (Contains(LastLine, "Hint:") || Contains(LastLine, "Warning:") ||
                                Contains(LastLine, "Error:") || Contains(LastLine, "Fatal:")))
      ToolMessages.push_back(LastLine);
    if (!Success || !FilteredOut(line)) Results.push_back(LastLine);
  });
  if (!Success) {
    // A tool that could not be started leaves no output: its reason is the
    // runner's message, which would otherwise be lost.
    if (Results.empty()) LastLine = runnerMessage;
    Results.insert(Results.begin(), "xxxxx>\r\nCompile Failed: " + CommandLine + "   Error Code " +
                                        std::to_string(platform::LastOSErrorCode()) + ": " + LastLine);
    // A processing command ended before the tool (a stop) is why it failed.
    if (!AutoResourceRun && !EndedLine.empty()) LastLine = EndedLine;
    return;
  }
  if (!FilteredOut(CommandLine)) Results.insert(Results.begin(), CommandLine);
  if (Kind == ttRC) {
    Success = Contains(LastLine, "New File:");
    if (Success) Lines = 1;
  } else if (IsCompilerKind(Kind)) {
    if (Contains(LastLine, " lines, ")) {
      Lines = StrToInt(TrimControls(LastLine.substr(0, LastLine.find(" lines"))));
      Success = true;
    } else if (LastLine.rfind("Error: ", 0) == 0) {
      Success = Contains(LastLine, "RES");
    } else {
      Success = false;
    }
  }
  // A processing command that had to be ended leaves the entry unfinished.
  if (!AutoResourceRun && !EndedLine.empty()) {
    Success = false;
    LastLine = EndedLine;
  }
  Results.push_back(LastLine);

  std::string line;
  if (IsCompilerKind(Kind)) {
    TRunIdleTicks idle;
    for (const std::string& result : Results) {
      idle.Tick();
      if (Contains(result, "Hint:")) ++Hints;
      if (Contains(result, "Warning:")) ++Warnings;
      if (Contains(result, "Error:")) ++Errors;
      if (Contains(result, "Fatal:")) ++Fatal;
    }
    line = platform::ExtractFileName(DestFile) + " " + "Lines: " + std::to_string(Lines) +
           ",  Hints: " + std::to_string(Hints) + ",  Warnings: " + std::to_string(Warnings) +
           ",  Errors: " + std::to_string(Errors) + ",   Fatal: " + std::to_string(Fatal);
    line = Success ? "OK: " + line + " " + ResourceHandler->VersionShortText() + "\r\n"
                   : "ERR: " + line + " " + LastLine + "\r\n";
  } else {
    const std::string name = platform::ChangeFileExt(platform::ExtractFileName(DestFile), ".RES");
    line = Success ? "OK: " + name : "ERR: " + name + " " + LastLine;
    if (AutoResource && AutoResourceRun) {
      line = "  auto res file creation " + line;
      if (!Success) Notes.push_back(TrimControls(line));
    }
  }
  SummaryLines.push_back(line);
}

bool TCompileClass::FilteredOut(std::string_view line) const {
  if (Kind == ttRC) return line.starts_with("Lines:") || line.starts_with("New File:");
  const std::string_view t = platform::TrimControlsView(line);
  return t.empty() || (t.size() >= 2 && t.back() == ')' && std::isdigit(static_cast<unsigned char>(t[t.size() - 2])));
}

void TCompileClass::FilterOutput() {
  Results.erase(std::remove_if(Results.begin(), Results.end(), [this](const std::string& l) { return FilteredOut(l); }),
                Results.end());
}

// --- TBuilderClass --------------------------------------------------------------

TBuilderClass::TBuilderClass()
    : ProjectStore(std::make_unique<TPersistenceObject>()),
      ResourceHandler(std::make_unique<TResourceHandler>()),
      Compiler(std::make_unique<TCompileClass>(ResourceHandler.get())),
      Files(std::make_unique<TProjectList>("", ProjectStore.get())) {
  // Where master copies are found and who answers the Delphi version question
  // are the program's, kept in the shared store; reports stay with this run.
  ProjectStore->MasterCopyDirs = Persistence().MasterCopyDirs;
  ProjectStore->LibraryPathPrompt = Persistence().LibraryPathPrompt;
  ResourceHandler->Store = ProjectStore.get();
  ResourceHandler->OnResourceError = [this](const std::string& file, const std::string& info) {
    ResourceError(file, info);
  };
  ProjectStore->OnError = [this](const std::string& message) {
    if (Running) Compiler->Notes.push_back(message);
    ProjectHalt(message);
  };
}

TBuilderClass::~TBuilderClass() = default;

bool TBuilderClass::GetOption(int index) const {
  return Options[static_cast<std::size_t>(index)];
}

void TBuilderClass::SetOption(int index, bool value) {
  Options[static_cast<std::size_t>(index)] = value;
}

int TBuilderClass::RunStatus(bool completed) const {
  if (LoadReports > 0 || !completed) return 2;
  return ErrCount > 0 || NotStamped > 0 || FailedLines > 0 || Reached < Planned ? 1 : 0;
}

bool TBuilderClass::LoadProject(const std::string& directory) {
  struct TLoading {
    bool& Flag;
    explicit TLoading(bool& flag) : Flag(flag) { Flag = true; }
    ~TLoading() { Flag = false; }
  } loading(Loading);
  LoadReports = 0;
  Events.clear();
  ProjectDir = directory;
  try {
    GlobalStuff().ChangeDir(directory);
  } catch (const std::exception& e) {
    ProjectHalt("chdir to project path, " + directory + " failed: " + e.what());
    if (OnProjectDone)
      OnProjectDone(ProjectName, OKCount, ErrCount, TotalLines, TotalHints, TotalWarnings, TotalErrors, TotalFatal);
    return false;
  }
  return ReadProject();
}

bool TBuilderClass::ReadProject() {
  platform::TDirectoryListingScope listings;  // nothing else runs while a project loads
  TPersistenceObject& store = *ProjectStore;
  store.ForgetKnownFiles();
  store.SetupProjectDir(ProjectDir);
  store.NoteFilesIniLoaded(ProjectDir);
  store.LoadOptions(ProjectDir, Options, DCCPath);
  std::string text;
  if (!store.LoadFileList(ProjectDir, text)) return false;
  Files->Clear();
  Files->SetProjectPath(ProjectDir);
  for (const std::string& line : platform::SplitLines(text)) Files->AddFileLine(line);
  Files->LoadAllSettings(ProjectDir);
  // An entry whose settings Files.ini cannot hold would be built with the
  // defaults in their place.
  for (int i = 0; i < Files->Count(); ++i) {
    const TProjectSettings& settings = *Files->SettingsAt(i);
    const std::string problem = FileListEntryProblem(settings.Paths[stDestFile], settings.Paths[stSourceFile]);
    if (!problem.empty()) store.ReportError(problem);
  }
  return true;
}

bool TBuilderClass::SaveProject() {
  TPersistenceObject& store = *ProjectStore;
  store.IgnoreResFileErrors = Options.IgnoreResFileErrors();
  store.ReplaceReadOnly = Options.ReplaceReadOnly();
  platform::TDirectoryListingScope listings;
  const bool filesIniStays = SaveLeavesFilesIniAsItIs();
  // Nothing is written before the front end has said what becomes of the
  // changes that other programs made meanwhile.
  std::vector<TChangedFile> changed = FilesChangedOutside(!filesIniStays);
  bool keepFilesIni = false;
  if (!changed.empty()) {
    if (!OnChangedOutside) {
      std::string names;
      for (const TChangedFile& file : changed) names += "\r\n" + file.Name;
      store.ReportError("Not saved: changed on disk since the project read them:" + names);
      return false;
    }
    if (!OnChangedOutside(changed)) return false;
    for (const TChangedFile& file : changed) {
      if (file.Overwrite) continue;
      keepFilesIni = keepFilesIni || file.FilesIni;
      store.KeptOnDisk.push_back(file.Name);
      if (const std::optional<std::string> text = store.AdoptFileText(file.Name)) Files->TakeFileText(file.Name, *text);
    }
  }
  struct TKept {
    std::vector<std::string>& Names;
    ~TKept() { Names.clear(); }
  } kept{store.KeptOnDisk};
  // A save that would write Files.ini as it stands writes only the setting
  // files that changed (none, mostly): nothing is moved aside or rewritten.
  if (filesIniStays || keepFilesIni) {
    Files->SaveAllSettingTexts();
    return true;
  }
  if (!store.PrepareFilesIniForSave(ProjectDir)) return false;
  // The new Files.ini is made whole in memory, in the order of a save from
  // nothing, and then replaces the old one at once.
  std::string text;
  store.BeginSaveRehearsal(ProjectDir);
  Files->SaveAllSettingPaths();
  store.SaveOptions(ProjectDir, Options, DCCPath);
  store.SaveFileList(ProjectDir, Files->Text());
  const bool made = store.EndSaveRehearsal(text);
  Files->SaveAllSettingTexts();
  if (!made) {
    store.ReportError(store.RehearsalError.empty() ? "Failed to store project filelist " + ProjectDir
                                                   : store.RehearsalError);
    return false;
  }
  return store.StoreFilesIniText(ProjectDir, text);
}

std::vector<TChangedFile> TBuilderClass::FilesChangedOutside(bool filesIniWritten) {
  TPersistenceObject& store = *ProjectStore;
  std::vector<TChangedFile> changed;
  const std::string filesIni = PathJoin(ProjectDir, "Files.ini");
  if (filesIniWritten && store.FilesIniChangedOutside(ProjectDir)) changed.push_back({filesIni, true});
  for (const std::string& name : store.SettingFilesChangedOutside()) {
    if (!changed.empty() && changed.front().FilesIni && name == filesIni) continue;
    // A file that no entry would write over (its texts are those on disk,
    // or it is no longer used) loses nothing.
    std::optional<std::string> onDisk;
    try {
      if (platform::FileExists(name)) onDisk = platform::NormalizeLineEnds(platform::ReadFileBytes(name));
    } catch (const std::exception&) {
      // Unreadable: it is asked about.
    }
    if (Files->WouldWriteFile(name, onDisk)) changed.push_back({name, false});
  }
  return changed;
}

bool TBuilderClass::SaveLeavesFilesIniAsItIs() {
  const std::string filesIni = PathJoin(ProjectDir, "Files.ini");
  // A read-only Files.ini goes the whole way, which says so.
  if (!platform::FileExists(filesIni) || platform::IsReadOnly(filesIni)) return false;
  TPersistenceObject& store = *ProjectStore;
  const auto rehearse = [&](bool recordOnly, std::string& result) {
    store.BeginSaveRehearsal(ProjectDir, recordOnly);
    Files->SaveAllSettingPaths();
    store.SaveOptions(ProjectDir, Options, DCCPath);
    store.SaveFileList(ProjectDir, Files->Text());
    return store.EndSaveRehearsal(result);
  };
  // First the writes alone: the same writes to the same file as last time
  // leave it as they did, without the whole text made again and compared.
  // Only where what is kept of files tells one state of a file from another.
  const bool identities = platform::KeptFactsVersion() != 0;
  // Taken before the file is read: a change meanwhile gives another identity.
  const platform::TFileIdentity identity =
      identities ? platform::FileIdentity(platform::ResolvePath(filesIni)) : platform::TFileIdentity{};
  const bool settled = platform::IdentityIsSettled(identity);
  std::string record;
  const bool recorded = identities && rehearse(true, record);
  if (recorded && identity.Exists && identity == UnchangedFilesIni && record == UnchangingSaveRecord) return true;
  UnchangingSaveRecord.clear();
  UnchangedFilesIni = {};
  std::string current, rebuilt;
  try {
    current = platform::ReadFileBytes(filesIni);
  } catch (const std::exception&) {
    return false;
  }
  if (!rehearse(false, rebuilt) || rebuilt != current) return false;
  if (recorded && settled) {
    UnchangingSaveRecord = std::move(record);
    UnchangedFilesIni = identity;
  }
  return true;
}

bool TBuilderClass::RunBuild() {
  struct TRunning {
    bool& Flag;
    explicit TRunning(bool& flag) : Flag(flag) { Flag = true; }
    ~TRunning() { Flag = false; }
  } running(Running);
  // Between the tools' runs (each of which drops what is kept of files; the
  // listings see their directories change) only this program changes the
  // project's files, and it keeps what is kept up to date.
  platform::TDirectoryListingScope listings;
  RunBaseNames.clear();
  for (int i = 0; i < Files->Count(); ++i) ++RunBaseNames[UpperAscii(platform::ChangeFileExt(Files->SourceOf(i), "."))];
  // Two runs of one project would read and stamp the same build numbers.
  platform::TFileLock lock(PathJoin(ProjectDir, ProjectLockName));
  try {
    while (!lock.TryLock()) {
      const std::string holder = lock.Holder();
      if (!OnWaitForProject || !OnWaitForProject(holder)) {
        ProjectHalt("Another build of " + ProjectDir + " is running" +
                    (holder.empty() ? std::string() : " (process " + holder + ")") + "; this one did not start");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  } catch (const std::exception& e) {
    // A project where no lock can be made (a read-only share) is built
    // without one.
    Events.push_back("No lock on " + ProjectDir + ": " + e.what());
  }
  try {
    HaltRequest = false;
    Compiler->FirstOfRun = true;
    Summary.clear();

    const std::string startLine = "Build defined in " + ProjectDir + " started " + NowText() + "\r\n";
    RunStart = platform::Now();
    Events.push_back(startLine);
    if (OnProjectStart) OnProjectStart(startLine, "");

    platform::WriteTextLines(PathJoin(ProjectDir, "started.dat"), Summary);
    Compiler->InputFile = PathJoin(ProjectDir, "started.dat");
    Compiler->OutputFile = PathJoin(ProjectDir, "TmpResults.dat");
    Compiler->ProjectPath = ProjectDir;
    Compiler->OnCompileNotify = [this](const std::string& file, const std::string& text) { CompileEvent(file, text); };

    TotalFatal = TotalHints = TotalLines = TotalWarnings = TotalErrors = OKCount = ErrCount = 0;
    // The compile log and the message logs made of it are written as the run
    // goes, not held: a tool may print far more than is worth holding. They
    // take the place of the last run's only when this one ends well.
    TRunLogs logs(ProjectDir);
    Planned = SingleFile ? 1 : Files->Count();
    Reached = NotStamped = FailedLines = 0;

    // What each entry takes is kept for the next run's estimate.
    TBuildTimes times = TBuildTimes::Load(ProjectDir);
    const int first = SingleFile ? SingleIndex : 0;
    const int last = SingleFile ? SingleIndex : Files->Count() - 1;
    for (int index = first; index <= last; ++index) {
      if (HaltRequest) break;
      const auto entryStart = std::chrono::steady_clock::now();
      PrepareFile(index);
      TCompileClass& step = *Compiler;
      if (OnCompileStart) OnCompileStart(step.SourceFile, step.DestFile, step.LastLine);
      Events.push_back("\r\nStart: " + step.SourceFile + "\r\n  --> " + step.DestFile + "\r\n   --> " + step.LastLine);

      ++Reached;
      if (step.Compile()) {
        if (step.Success) {
          ++OKCount;
          if (IsCompilerKind(step.Kind)) {
            ResourceHandler->ClearValues();
            ResourceHandler->ReadFromExecutable(step.DestFile);
            step.CheckStamp();
            // What the target really carries, when the project asks to check.
            if (Options.CheckVersion())
              step.Results.push_back(ResourceHandler->VersionSummaryText(" from " + step.DestFile));
          }
        } else {
          ++ErrCount;
        }
        TotalLines += step.Lines;
        TotalHints += step.Hints;
        TotalWarnings += step.Warnings;
        TotalErrors += step.Errors;
        TotalFatal += step.Fatal;
      } else {
        ++ErrCount;
      }

      // An entry whose tool was ended took no time of its own.
      if (!step.Ended)
        times.Set(Files->Strings(index),
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - entryStart).count());
      if (step.Success && step.StampsVersion() && !step.VersionStamped) ++NotStamped;
      FailedLines += step.FailedProcessingLines;
      if (OnCompileEnd)
        OnCompileEnd(step.SourceFile, step.DestFile, step.LastLine, step.Success, step.Lines, step.Hints, step.Warnings,
                     step.Errors, step.Fatal);
      if (!step.Success) ProjectHalt(step.LastLine);

      TRunIdleTicks idle;
      for (const std::string& item : step.Results) {
        idle.Tick();
        logs.Add(item);
      }
      Summary.insert(Summary.end(), step.SummaryLines.begin(), step.SummaryLines.end());
      if (SingleFile) break;
    }

    logs.Commit();
    platform::WriteTextLines(PathJoin(ProjectDir, EventsLogName), Events);
    Summary.push_back("\r\nTesmar done: " + ElapsedText());
    Summary.push_back("Final result is " + std::to_string(OKCount) + " OK, " + std::to_string(ErrCount) +
                      " ERR.   Lines: " + std::to_string(TotalLines) + ",  Hints: " + std::to_string(TotalHints) +
                      ",  Warnings: " + std::to_string(TotalWarnings) + ",  Errors: " + std::to_string(TotalErrors) +
                      ",   Fatal: " + std::to_string(TotalFatal));
    platform::WriteTextLines(PathJoin(ProjectDir, SummaryLogName), Summary);
    try {
      std::vector<std::string> entries;
      for (int i = 0; i < Files->Count(); ++i) entries.push_back(Files->Strings(i));
      times.KeepOnly(entries);
      times.Save(ProjectDir);
    } catch (const std::exception&) {
      // Only the next run's estimate is the poorer for it.
    }

    if (OnProjectDone)
      OnProjectDone(ProjectName, OKCount, ErrCount, TotalLines, TotalHints, TotalWarnings, TotalErrors, TotalFatal);
    return true;
  } catch (const std::exception& e) {
    ProjectHalt(std::string("Exception thrown in Tesmar: ") + e.what());
    return false;
  }
}

void TBuilderClass::PrepareFile(int index) {
  TCompileClass& step = *Compiler;
  EntryResourceMessages.clear();
  step.DestFile = Files->DestOf(index);
  step.SourceFile = Files->SourceOf(index);
  step.SetProjectSettings(Files->SettingsAt(index));
  step.Kind = GlobalStuff().TargetKind(step.SourceFile);
  step.Options = Options;
  step.AutoResource = Options.AutoResFileCreate() ? true : UniqueBaseName(step.SourceFile);
  step.CompilerDir = DCCPath;
  step.LastLine = step.SourceName() + " compile started " + NowText();
}

bool TBuilderClass::UniqueBaseName(const std::string& sourceFile) const {
  const std::string wanted = UpperAscii(platform::ChangeFileExt(sourceFile, "."));
  // The list does not change while a build runs: its names are counted once.
  if (Running) {
    auto it = RunBaseNames.find(wanted);
    return it != RunBaseNames.end() && it->second == 1;
  }
  int count = 0;
  for (int i = 0; i < Files->Count(); ++i)
    if (UpperAscii(platform::ChangeFileExt(Files->SourceOf(i), ".")) == wanted) ++count;
  return count == 1;
}

void TBuilderClass::CompileEvent(const std::string& file, const std::string& text) {
  const std::string name = platform::AllBlank(file) ? Compiler->SourceName() : file;
  if (OnCompileEvent) OnCompileEvent(name, text);
  Events.push_back("Compile Event  " + name + " " + text);
}

void TBuilderClass::ProjectHalt(const std::string& message) {
  if (Loading) ++LoadReports;
  if (OnProjectHalt) OnProjectHalt(ProjectName, message);
  Events.push_back(ProjectName + " would have been halted: " + message);
  // The run is in fact being stopped: say so, with the time it took.
  if (Running && HaltRequest) {
    Events.push_back("\r\nProject Halted: " + ElapsedText());
    Events.push_back(ProjectName + " Halted: " + message);
  }
}

void TBuilderClass::ResourceError(const std::string& file, const std::string& information) {
  const std::string message = "Resource Error for " + file + ": " + information;
  if (Running) {
    // The version files are read twice for an entry (before and after its
    // build numbers move on): what the second reading finds was said.
    if (std::find(EntryResourceMessages.begin(), EntryResourceMessages.end(), message) != EntryResourceMessages.end())
      return;
    EntryResourceMessages.push_back(message);
    Compiler->Notes.push_back(message);
  }
  if (Options.IgnoreResFileErrors())
    Events.push_back(message);
  else
    ProjectHalt(message);
}

std::string TBuilderClass::ElapsedText() const {
  return TimeText(SecondsOfDay(platform::MillisecondsBetween(RunStart, platform::Now())));
}
