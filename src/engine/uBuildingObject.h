#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Format.h"
#include "platform/TextFile.h"
#include "project/uFileSettings.h"
#include "project/uPersistence.h"
#include "version/uRCBuilder.h"

// The build events. Each is a callback bound to its receiver; an unset one is
// not raised.
using TCompileNotify = std::function<void(const std::string& aSourcefile, const std::string& Info)>;
using TCompileStartNotify =
    std::function<void(const std::string& aSourceFile, const std::string& aDestFile, const std::string& aErrMsg)>;
using TCompileEndNotify =
    std::function<void(const std::string& aSourceFile, const std::string& aDestFile, const std::string& aErrMsg,
                       bool aSuccess, int alines, int ahints, int awarnings, int aerrors, int afatal)>;
using TProjectNotify = std::function<void(const std::string& aProjectName, int aOK, int aErr, int alines, int ahints,
                                          int awarnings, int aerrors, int afatal)>;

// The pattern of every time stamp in the logs.
inline constexpr const char* LogTimeFormat = "ddd, dd mmm yyyy  hh:nn:ss";

// Compiles one entry of a project's file list: configuration file, resources
// (merged version information, build numbers, generated resource script),
// pre-processing lines, the tool, post-processing lines, and the judged,
// filtered and counted output. The build run loads each entry into it.
class TCompileClass {
 public:
  explicit TCompileClass(TResourceHandler* resourceHandler);

  // False only when a change of directory failed and the entry was not
  // compiled; the tool's outcome is in Success.
  bool Compile();
  void SetProjectSettings(TProjectSettings* settings);
  void CompileNotify(const std::string& message);

  // The steps of Compile, open for the tests.
  void WriteConfigFile();
  void PrepareResources();
  bool CheckReadOnlyRes(const std::string& scriptName);
  void AutoIncrement(const std::string& localVersionFile);
  // Whether the target carries the version resource this compile generated
  // for it, as VersionStamped; when not, why, in Notes. The shared version
  // reader must hold the target, loaded or not.
  void CheckStamp();
  void MergePackageDirectives(const std::string& packageFile);
  void RunBatchSetting(const std::string& label, const std::string& file, TsettingsTypeEnum kind);
  void ParseOutput();
  void FilterOutput();
  // Whether FilterOutput drops this line.
  bool FilteredOut(std::string_view line) const;
  // A note of the summary: into SummaryLines and Notes, and passed to
  // CompileNotify.
  void SummaryNote(const std::string& message);

  // The source file's name without its directory.
  std::string SourceName() const;
  // Whether this entry makes its own version resource (a compiler entry with
  // AutoResource), so that VersionStamped tells something.
  bool StampsVersion() const;

  TProjectSettings* Settings = nullptr;
  TResourceHandler* ResourceHandler;
  TTargetTypeEnum Kind = ttUnknown;
  std::string ProjectPath;
  std::string InputFile;
  std::string OutputFile;
  std::string LastLine;
  std::string CommandLine;
  bool Success = false;
  std::int32_t Lines = 0, Hints = 0, Warnings = 0, Errors = 0, Fatal = 0;
  platform::TDateTime EndTime, StartTime;
  platform::TStringList Results;
  // The lines of the tool's output of the last Compile that name a message
  // of the compiler (a hint, warning, error or fatal error), as captured,
  // before any filtering (none when the entry did not reach its tool), when
  // CollectToolMessages asks for them.
  platform::TStringList ToolMessages;
  bool CollectToolMessages = false;
  platform::TStringList SummaryLines;
  // Problems met while the entry was compiled, besides its own result: its
  // summary notes (configuration file, resources, RES file, a resource script
  // that failed) and the resource errors and store reports raised meanwhile.
  platform::TStringList Notes;
  // Whether the target carries the version resource made afresh by this
  // compile: build numbers stored, resource script written and compiled
  // without a resource error on the way, and the target's own version the one
  // generated. False for an entry that makes none.
  bool VersionStamped = false;
  // The file and product versions the generated resource script carries
  // ("1.2.0.42"); empty when no script was generated and compiled.
  std::string ScriptFileVersion, ScriptProductVersion;
  // The last line of a pre- or post-processing command that had to be ended
  // (time limit, stop): such an entry fails with it.
  std::string EndedLine;
  // The tool or a processing line of the last Compile had to be ended (a
  // time limit, a stop) before it finished.
  bool Ended = false;
  // How many pre- and post-processing lines of the last Compile could not be
  // started or ended with an exit code other than 0 (each also in Notes).
  int FailedProcessingLines = 0;
  platform::TStringList PackageDirectives;
  platform::TStringList PackageSource;
  TCompileNotify OnCompileNotify;
  std::string SourceFile;
  std::string DestFile;
  std::uint16_t ElapsedMilliseconds = 0, ElapsedSeconds = 0, ElapsedMinutes = 0, ElapsedHours = 0;
  TProjectOptions Options;
  bool AutoResource = false;
  bool AutoResourceRun = false;
  bool FirstOfRun = false;
  std::string CompilerDir;

 private:
  std::string VersionFileOf(const std::string& name) const;
  // The build numbers stored in this run, by version file and key: a file
  // that several entries share moves on once a run.
  std::unordered_map<std::string, std::string> RunNumbers;
};

// A file that a save would write and that another program changed on disk
// since the project read or wrote it.
struct TChangedFile {
  std::string Name;
  bool FilesIni = false;   // the project's Files.ini itself
  bool Overwrite = false;  // the answer: written over; otherwise kept as it is
};

// One loaded project and its builds: for each entry of the file list, in
// order, the entry is loaded into the compile step and compiled; results are
// added up, the logs written and everything reported through the events.
class TBuilderClass {
 public:
  TBuilderClass();
  ~TBuilderClass();
  TBuilderClass(const TBuilderClass&) = delete;
  TBuilderClass& operator=(const TBuilderClass&) = delete;

  bool LoadProject(const std::string& directory);
  bool ReadProject();
  // False when something could not be saved (reported), or when the save
  // was cancelled over files changed on disk (nothing written).
  bool SaveProject();
  // The files that a save would write over and that changed on disk since
  // the project read or wrote them; Files.ini only when filesIniWritten.
  std::vector<TChangedFile> FilesChangedOutside(bool filesIniWritten);
  // Whether a save would write Files.ini exactly as it stands (rehearsed in
  // memory, or known from the last save that was).
  bool SaveLeavesFilesIniAsItIs();
  // False when the run ended by a failure.
  bool RunBuild();

  bool GetOption(int index) const;
  void SetOption(int index, bool value);

  void PrepareFile(int index);
  bool UniqueBaseName(const std::string& sourceFile) const;
  void CompileEvent(const std::string& file, const std::string& text);
  void ProjectHalt(const std::string& message);
  void ResourceError(const std::string& file, const std::string& information);
  std::string ElapsedText() const;

  // The store of this build run: its reports reach this object alone.
  TPersistenceObject& Store() { return *ProjectStore; }
  TResourceHandler& GetResourceHandler() { return *ResourceHandler; }
  TProjectList& FileList() { return *Files; }
  TCompileClass& CompileStep() { return *Compiler; }

  bool HaltRequest = false;
  std::string ProjectDir;
  std::string ProjectName;
  std::string DCCPath;
  TProjectOptions Options;
  bool SingleFile = false;
  int SingleIndex = 0;
  std::string SelectedSource;

  TCompileEndNotify OnCompileEnd;
  TCompileStartNotify OnCompileStart;
  TCompileNotify OnCompileEvent;
  TProjectNotify OnProjectDone;
  TCompileNotify OnProjectStart;
  TCompileNotify OnProjectHalt;
  // Asked again and again, a tenth of a second apart, while another run of
  // this project (another process) holds it, with that process's id ("" when
  // unknown): true to go on waiting. Unset, a run does not wait: it ends by a
  // failure at once.
  std::function<bool(const std::string& holder)> OnWaitForProject;
  // Asked before a save writes anything, when files that it would write
  // changed on disk since the project read or wrote them (another program's
  // work): set Overwrite on a file to write over the change, leave it to
  // keep the other version; false cancels the save, which then writes
  // nothing. The project takes the text of a setting file kept; a Files.ini
  // kept is not written, and a front end shows the project as the other
  // program left it by loading it again. Unset, such a save writes nothing
  // and reports the files.
  std::function<bool(std::vector<TChangedFile>& files)> OnChangedOutside;

  platform::TStringList Summary;
  platform::TStringList Events;

  std::int32_t TotalFatal = 0, TotalHints = 0, TotalLines = 0, TotalWarnings = 0, TotalErrors = 0;
  std::int32_t OKCount = 0, ErrCount = 0;
  platform::TDateTime RunStart;

  // What the last run came to, beside its totals: entries it was to build
  // and reached, targets built without the version generated for them,
  // processing lines that failed; and the reports made while the project was
  // last loaded (a setting that could not be read, say).
  int Planned = 0, Reached = 0, NotStamped = 0, FailedLines = 0, LoadReports = 0;
  // The status a front end ends with after the last run, RunBuild's result
  // given: 0 every entry built and stamped, its processing lines fine; 1 one
  // failed, was not stamped or had a processing line fail, or the run stopped
  // before its last entry; 2 the project was not loaded whole or the run
  // ended by a failure.
  int RunStatus(bool completed) const;

 private:
  std::unique_ptr<TPersistenceObject> ProjectStore;
  // The record of the last save found to leave Files.ini as it was, and the
  // identity that Files.ini had then (settled by then, or none is kept):
  // while both stay the same, so does the outcome.
  std::string UnchangingSaveRecord;
  platform::TFileIdentity UnchangedFilesIni;
  std::unique_ptr<TResourceHandler> ResourceHandler;
  std::unique_ptr<TCompileClass> Compiler;
  std::unique_ptr<TProjectList> Files;
  bool Running = false;
  bool Loading = false;
  // The resource messages reported for the entry in progress: each once.
  std::vector<std::string> EntryResourceMessages;
  // The sources' names without extension, upper-cased, and how often each
  // stands in the list, while a build runs.
  std::unordered_map<std::string, int> RunBaseNames;
};

// Log file names in the project directory.
inline constexpr const char* CompileLogName = "Compile.log";
inline constexpr const char* SummaryLogName = "Summary.log.";  // the file system drops the dot
inline constexpr const char* EventsLogName = "Events.log";
inline constexpr const char* ErrorLogName = "Error.log";
inline constexpr const char* WarningLogName = "Warning.log";
inline constexpr const char* HintLogName = "Hint.log";
// Held by a run for as long as it lasts: one run of a project at a time.
inline constexpr const char* ProjectLockName = "Files.lock";
