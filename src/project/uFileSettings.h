#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "project/uGlobalConstants.h"

class TProjectList;
class TPersistenceObject;

// Everything about one source file of a project: the file name of each of its
// settings and the text of its setting files as currently edited.
class TProjectSettings {
 public:
  TProjectSettings(TProjectList* owner, const std::string& destFile, const std::string& sourceFile,
                   const std::string& projectPath);

  void ClearSettings();
  std::string GetSourceFile() const { return Paths[stSourceFile]; }
  void SetDestFile(const std::string& destFile) {
    Paths[stDestFile] = destFile;
    LoadedAt = 0;
  }

  std::string GetSettingPath(TsettingsTypeEnum kind);
  void SetSettingPath(TsettingsTypeEnum kind, const std::string& fileName);
  std::string GetSettingContent(TsettingsTypeEnum kind);
  void SetSettingContent(TsettingsTypeEnum kind, const std::string& text);
  void LoadSettingContent(TsettingsTypeEnum kind);
  void ReloadSetting(TsettingsTypeEnum kind);

  void LoadAll();
  void SaveAll();
  // The two halves of SaveAll: the file names into Files.ini, the texts into
  // their files.
  void SavePaths();
  void SaveTexts();
  void SaveSettingFile(TsettingsTypeEnum kind);

  // The version information a build will put into the target: the group
  // file's values, with the local file filling those the group leaves at "0"
  // or empty.
  std::string VersionSummary();
  // What the target file that a build will replace looks like now. Throws the
  // system's I/O error when the target exists but cannot be measured.
  std::string TargetSummary();

  // The first setting file that exists but cannot be read, as "Failed to
  // read " + name + ": " + reason; empty when every one can. A text that is
  // empty is read again first (the file may have become readable).
  std::string UnreadableSetting();

  // The store of the owning list (the shared store without an owner).
  TPersistenceObject& Store() const;

  TProjectList* Owner;
  TSettingsPathNameArray Paths;
  TSettingsInMemory Memory;
  std::string ProjectPath;

  // What the source builds (unknown for a source of any other kind), for the
  // library warning of the version summary and the choice of a target. Found
  // when first asked (a program's first line tells it from a library), so
  // that a load reads no source file.
  TTargetTypeEnum GetTargetType();
  void SetTargetType(TTargetTypeEnum kind) { TargetType = kind; }

 private:
  std::optional<TTargetTypeEnum> TargetType;
  // When LoadAll last read the settings (the file system's kept-facts
  // version) and for which project directory: a second load that would read
  // the same facts again is spared, unless the settings were changed since.
  std::uint64_t LoadedAt = 0;
  std::string LoadedFor;
};

// The -U, -I, -R and -O lines for a library path text, chunked when the joined
// path is too long for one switch.
std::string PathSwitches(const std::string& libraryPathText);

// The ordered file list of a project: lines target=source, each owning the
// settings of its source.
class TProjectList {
 public:
  // The settings of every entry are read and written through store (the
  // shared store when none is given).
  explicit TProjectList(std::string projectPath = "", TPersistenceObject* store = nullptr);
  ~TProjectList();
  TProjectList(const TProjectList&) = delete;
  TProjectList& operator=(const TProjectList&) = delete;

  // String-list operations.
  int Count() const { return static_cast<int>(Entries.size()); }
  const std::string& Strings(int index) const;
  // All lines, CR LF after each.
  std::string Text() const;
  void Clear();
  void Delete(int index);
  // Moves an entry (with its settings) to another place.
  void Move(int from, int to);

  void SetProjectPath(const std::string& projectPath) { ProjectPath = projectPath; }
  const std::string& GetProjectPath() const { return ProjectPath; }
  TPersistenceObject& GetStore() const { return *StoreObject; }

  void AddFileLine(const std::string& line);
  std::string DestOf(int index) const;
  std::string SourceOf(int index) const;
  TProjectSettings* SettingsAt(int index) const;
  int IndexOfSource(const std::string& sourceFile) const;
  TProjectSettings* SettingsOf(const std::string& sourceFile) const;
  int FindSource(const std::string& sourceFile) const;
  void SetDestFile(int index, const std::string& destFile);
  void LoadAllSettings(const std::string& projectPath);
  void SaveAllSettings();
  void SaveAllSettingPaths();
  void SaveAllSettingTexts();
  void ShareSettingContent(TsettingsTypeEnum kind, const std::string& fileName, const std::string& text);
  // A setting file was changed by the program itself (a build's new build
  // number): every entry whose text of it is the one the file held before
  // takes the new one; an entry holding an edit keeps it.
  void FollowFileChange(const std::string& fileName, const std::string& before, const std::string& after);
  // Whether a save would write a file: an entry has it as one of its setting
  // files with a text in memory other than the one on disk (none: missing).
  bool WouldWriteFile(const std::string& fileName, const std::optional<std::string>& onDisk) const;
  // Every entry that has the file as one of its setting files takes this text
  // (the file as another program left it, kept).
  void TakeFileText(const std::string& fileName, const std::string& text);

 private:
  struct TEntry {
    std::string Line;
    std::unique_ptr<TProjectSettings> Settings;
  };
  const TEntry& At(int index) const;

  std::string ProjectPath;
  TPersistenceObject* StoreObject;
  std::vector<TEntry> Entries;
  // The lines, lower-cased, with how often each stands in the list: a line
  // is added once whatever its letter case, without a look at every line.
  std::unordered_map<std::string, int> LineCounts;
  void CountLine(const std::string& line, int by);
  // The first entry of each target name (lower-cased), built when first asked
  // and dropped when the list changes: a build asks for every entry's source.
  mutable std::optional<std::unordered_map<std::string, std::size_t>> FirstOfTarget;
  const std::unordered_map<std::string, std::size_t>& FirstOfTargets() const;
};
