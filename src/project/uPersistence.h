#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "project/uGlobalConstants.h"

class TLibraryPathPrompt;
namespace platform {
class TProfileFile;
}

// The project option flags, addressed by index 0 to 8.
enum TProjectOptionIndex {
  poAutoFileIncrement,
  poAutoProdIncrement,
  poMinimizeOnBuild,
  poCheckVersion,
  poAutoResFileCreate,
  poIgnoreResFileErrors,
  poReplaceReadOnly,
  poHaltOnError,
  poDisplayMsgOnDone
};
inline constexpr std::size_t ProjectOptionCount = poDisplayMsgOnDone + 1;

struct TProjectOptions {
  std::array<bool, ProjectOptionCount> Flags{};  // all off, as a fresh record

  bool& operator[](std::size_t index) { return Flags.at(index); }
  bool operator[](std::size_t index) const { return Flags.at(index); }
  bool operator==(const TProjectOptions&) const = default;

  bool AutoFileIncrement() const { return Flags[poAutoFileIncrement]; }
  bool AutoProdIncrement() const { return Flags[poAutoProdIncrement]; }
  bool MinimizeOnBuild() const { return Flags[poMinimizeOnBuild]; }
  bool CheckVersion() const { return Flags[poCheckVersion]; }
  bool AutoResFileCreate() const { return Flags[poAutoResFileCreate]; }
  bool IgnoreResFileErrors() const { return Flags[poIgnoreResFileErrors]; }
  bool ReplaceReadOnly() const { return Flags[poReplaceReadOnly]; }
  bool HaltOnError() const { return Flags[poHaltOnError]; }
  bool DisplayMsgOnDone() const { return Flags[poDisplayMsgOnDone]; }
};

// The backup name of a file: its extension replaced by ".~" and the first
// seven characters of the old one (Default.config gives Default.~config,
// App.DPKConfig gives App.~DPKConf).
std::string BackupFileName(const std::string& fileName);

// The project store: the only part of the system that reads and writes
// Files.ini and the setting files. Problems are reported through OnError and
// kept in LastError; apart from a few documented errors nothing is raised.
class TPersistenceObject {
 public:
  using TErrorEvent = std::function<void(const std::string& message)>;

  // Whole-project operations.
  bool SetupProjectDir(const std::string& projectPath);
  bool LoadOptions(const std::string& projectPath, TProjectOptions& options, std::string& dccPath);
  bool SaveOptions(const std::string& projectPath, const TProjectOptions& options, const std::string& dccPath);
  bool LoadFileList(const std::string& projectPath, std::string& fileListText);
  bool SaveFileList(const std::string& projectPath, const std::string& fileListText);
  bool PrepareFilesIniForSave(const std::string& projectPath);
  // Replaces Files.ini by a whole new text at once: the old file stays as it
  // was until the new one is complete (a full disk or a kill leaves one or
  // the other, never a part). Reports "Failed to store project filelist "
  // + directory + ": " + reason.
  bool StoreFilesIniText(const std::string& projectPath, const std::string& text);

  // A save rehearsed in memory. While it lasts, WriteSettingPaths,
  // SaveOptions and SaveFileList rebuild the text of Files.ini in memory, as
  // a save builds the file from nothing (with the [version] section that
  // PrepareFilesIniForSave would carry over), and report nothing. The end
  // gives that text; false when anything failed on the way. A project save
  // that would write Files.ini as it is writes nothing.
  // With recordOnly, the writes are only recorded, in order, with their
  // sections, keys and values (and the [version] lines to carry over), and
  // the end gives a digest of that record (16 bytes): far cheaper for a
  // large project than the text, which depends on nothing else.
  void BeginSaveRehearsal(const std::string& projectPath, bool recordOnly = false);
  bool EndSaveRehearsal(std::string& filesIniText);
  // The first report that a rehearsal kept to itself (empty when none).
  std::string RehearsalError;

  // Per-file operations.
  void ReadSettingPaths(const std::string& projectPath, const std::string& section, TSettingsPathNameArray& paths);
  void WriteSettingPaths(const std::string& projectPath, const std::string& section,
                         const TSettingsPathNameArray& paths);
  // The text of a file; empty for a missing one. One that exists but cannot
  // be read is reported ("Failed to read " + name + ": " + reason) and gives
  // the empty text too.
  std::string ReadFileContent(const std::string& fileName);
  // The same text, one copy of it for every caller while nothing changes.
  // With asKnown, the text is read into memory: what the file holds, as it
  // was found, is what the project knows of it (see ChangedOutside).
  TSettingsInMemory::TText ReadSharedContent(const std::string& fileName, bool asKnown = false);
  void WriteFileContent(const std::string& fileName, const std::string& text);
  void ReadSettingsIntoMemory(const TSettingsPathNameArray& paths, TSettingsInMemory& memory);
  void WriteSettingsFromMemory(const TSettingsPathNameArray& paths, const TSettingsInMemory& memory);
  void BackupAndRemove(const std::string& fileName);

  // Changes that another program made on disk. The store knows what each
  // setting file held when it was last read into memory or written, and what
  // Files.ini held when the project was loaded or saved: a save that would
  // write over a change made since is asked about first.

  // Whether a setting file changed on disk since it was last read into
  // memory or written: another identity and another text, or a file made or
  // removed since. False for a file of which nothing is known.
  bool ChangedOutside(const std::string& fileName);
  // The setting files known that changed on disk since, sorted.
  std::vector<std::string> SettingFilesChangedOutside();
  // The text a setting file holds now, known from now on: the other version,
  // kept. None when it cannot be read (reported; nothing new is known).
  std::optional<std::string> AdoptFileText(const std::string& fileName);
  // The program itself changed a setting file from the text before to the
  // text after (a build's new number): known from now on when before is the
  // text known; otherwise the change that another program made first stays
  // to be seen.
  void FollowOwnWrite(const std::string& fileName, const std::string& before, const std::string& after);
  // Nothing is known of any file (a project is loaded anew).
  void ForgetKnownFiles();
  // Files.ini as a project is loaded from it now.
  void NoteFilesIniLoaded(const std::string& projectPath);
  // Whether Files.ini changed on disk since the project was loaded or saved,
  // in anything that a save writes anew: [version], which a save carries
  // over, does not count, nor do comments. False when nothing is known.
  bool FilesIniChangedOutside(const std::string& projectPath);
  // Setting files that the save in progress leaves as they are on disk (the
  // other version kept): WriteFileContent writes none of them.
  std::vector<std::string> KeptOnDisk;

  // Resource support.
  bool CheckIconFile(const std::string& sourceFile, std::string& iconFile);
  bool GetIconData(const std::string& sourceFile, std::string iconFile, std::string& text);

  void ReportError(const std::string& message);

  // The directories searched for master copies of the default files, in
  // order. Empty means: beside the program, then the installed data directory.
  std::vector<std::string> MasterCopyDirs;
  // The front end's answer to the Delphi version question of a new project's
  // Default.path; without one the extraction counts as cancelled.
  TLibraryPathPrompt* LibraryPathPrompt = nullptr;

  std::string ProjectPath;
  TErrorEvent OnError;
  std::string LastError;
  bool IgnoreResFileErrors = false;
  bool ReplaceReadOnly = false;

 private:
  std::string FilesIniPath() const;
  // Files.ini as the saving operations change it: the shared copy, or the
  // rehearsal's text in memory; StoreFilesIni writes what changed (not
  // during a rehearsal).
  std::shared_ptr<platform::TProfileFile> FilesIniForSave();
  void StoreFilesIni(const std::shared_ptr<platform::TProfileFile>& ini);
  std::vector<std::string> MasterDirs() const;
  std::vector<std::string> DefaultFileLines(std::size_t index);

  // The [version] section of a Files.ini moved aside by the last
  // PrepareFilesIniForSave, to be carried into the rebuilt file.
  std::string PendingVersionDir;
  std::vector<std::pair<std::string, std::string>> PendingVersion;

  // What is known of setting files while the file system keeps its facts: a
  // load reads, and a save checks, the same default files for every entry.
  // The texts ReadFileContent gave, and those that WriteFileContent found
  // its file (writable) holding already. Good while the kept facts stay as
  // they were (KnownAt is their version).
  struct TReadContent {
    TSettingsInMemory::TText Text;
    platform::TFileIdentity Identity;  // as found before the bytes were read
    bool Settled, Known;
  };
  std::unordered_map<std::string, TReadContent> ReadContents;
  std::unordered_map<std::string, std::string> WrittenContents;
  // Hashes of the names written while the kept facts stay as they are. A name
  // goes into WrittenContents, with a copy of it and of its text, only when it
  // is written a second time: an entry's own files are written once a save,
  // the default files that entries share once for each of them.
  class TWrittenNames {
   public:
    // Whether the hash was noted already; notes it otherwise.
    bool NotedBefore(std::size_t hash);
    void Forget() { std::vector<std::size_t>().swap(Slots), Count = 0; }

   private:
    std::vector<std::size_t> Slots;  // open addressing; 0 is a free slot
    std::size_t Count = 0;
  };
  TWrittenNames WrittenNames;
  std::uint64_t KnownAt = 0;
  // Drops what is known when the kept facts changed; their version.
  std::uint64_t KnownContentsVersion();
  // Setting file texts known from one operation to the next: a file whose
  // identity is still the one it had when its bytes were read, or found to
  // hold a text, and which had settled by then, still holds those bytes. Only
  // where file facts are kept (Windows gives too coarse an identity), and
  // only for files whose bytes are their text (normal line ends).
  struct TSettledText {
    platform::TFileIdentity Identity;
    TSettingsInMemory::TText Text;
  };
  std::unordered_map<std::string, TSettledText> SettledTexts;
  // Whether a file, found with this identity, holds these bytes (its size
  // checked already).
  bool Holds(const std::string& fileName, std::string_view bytes, const platform::TFileIdentity& found);
  // The settled text of a file as it is now, nullptr when it is not known.
  TSettingsInMemory::TText SettledText(const std::string& fileName, const platform::TFileIdentity& now) const;
  // Keeps the text of a file whose identity had settled before it was read.
  void NoteSettledText(const std::string& fileName, const platform::TFileIdentity& identity, bool settled,
                       const TSettingsInMemory::TText& text);

  // What the project knows of a setting file: its identity and text when it
  // was last read into memory or written (neither when there was no file),
  // and whether that identity had settled then (a change later gives
  // another one for certain).
  struct TKnownFile {
    platform::TFileIdentity Identity;
    TSettingsInMemory::TText Text;
    bool Settled = false;
  };
  std::unordered_map<std::string, TKnownFile> KnownFiles;
  void NoteKnown(const std::string& fileName, const platform::TFileIdentity& identity, bool settled,
                 TSettingsInMemory::TText text);
  // And of Files.ini: its identity when the project was loaded or saved, and
  // what it held: the profile read then, or the text written.
  struct TKnownFilesIni {
    std::string Path;
    platform::TFileIdentity Identity;
    bool Settled = false;
    std::shared_ptr<platform::TProfileFile> Profile;
    std::string Text;
  };
  TKnownFilesIni KnownFilesIni;

  std::shared_ptr<platform::TProfileFile> Rehearsal;
  // The record of a rehearsal that only records, kept as a digest: two 64-bit
  // lanes that each word of the record moves on by a step that another word
  // would always take elsewhere, so that records that differ in one word never
  // agree, and others only by chance (once in about 2^128). And whether it
  // wrote to [version] since that was last erased.
  struct TRecordDigest {
    // Constructed, not default-initialised in place: a nested class's member
    // initialisers are not yet usable in the enclosing class's own members.
    TRecordDigest() : A(0x243F6A8885A308D3ull), B(0x13198A2E03707344ull) {}
    std::uint64_t A, B;
    void AddWord(std::uint64_t word);
    void Add(std::string_view field);
  };
  std::optional<TRecordDigest> Record;
  bool VersionRecorded = false;
  std::string LastRecordedSection;
  void AddToRecord(char operation, std::initializer_list<std::string_view> fields);
  // The saving operations' changes to Files.ini: to the profile that
  // FilesIniForSave gave, or to the record when it gave none.
  void SaveString(platform::TProfileFile* ini, const std::string& section, std::string_view key,
                  std::string_view value);
  void EraseSavedSection(platform::TProfileFile* ini, const std::string& section);
  bool SavedVersionSectionExists(const platform::TProfileFile* ini) const;
  bool RehearsalFailed = false;
  std::string SavedPendingVersionDir;
  std::vector<std::pair<std::string, std::string>> SavedPendingVersion;
};

// The one store of the program, created at first use.
TPersistenceObject& Persistence();

// The default files of a project directory, in the order they are put in
// place: the file in the project directory and its master copy's name.
struct TDefaultFile {
  const char* ProjectFile;
  const char* MasterFile;
};
const std::array<TDefaultFile, 8>& DefaultFiles();
// The built-in content of a default file (all but Default.path), one entry a line.
std::vector<std::string> BuiltInDefaultContent(const std::string& projectFile);

// Why Files.ini cannot keep an entry of this target and source so that it
// reads back the same, as its own file list line target=source and the
// section of its settings named by the source (a '=' in the target, a ']' in
// the source, ...); empty when it can. Other programs and older versions read
// the file: a name that it cannot keep is refused, never written otherwise.
std::string FileListEntryProblem(const std::string& target, const std::string& source);

// The extension of a setting kind's default file (".path", ".config", ...),
// used when a setting's file name is empty.
std::string SettingExtension(TsettingsTypeEnum kind);
