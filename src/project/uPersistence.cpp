#include "project/uPersistence.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "ide/IDELibPath.h"
#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/ProfileCache.h"
#include "platform/TextFile.h"

namespace {

const char* const OptionsSection = "options";
const char* const FileListSection = "FileList";
const char* const VersionSection = "version";

// Keys of [options] with the flag each stores, in the order they are written.
struct TOptionKey {
  const char* Key;
  TProjectOptionIndex Flag;
  bool Default;
};
const std::array<TOptionKey, 8>& OptionKeysInWriteOrder() {
  static const std::array<TOptionKey, 8> keys{{
      {"AutoFileIncrement", poAutoFileIncrement, false},
      {"AutoProdIncrement", poAutoProdIncrement, false},
      {"CheckVersion", poCheckVersion, true},
      {"MinimizeOnBuild", poMinimizeOnBuild, false},
      {"ReplaceReadOnlyCFGRESVER", poIgnoreResFileErrors, false},
      {"HaltOnError", poHaltOnError, true},
      {"AutoResFileCreate", poAutoResFileCreate, true},
      {"DisplayMsgOnDone", poDisplayMsgOnDone, false},
  }};
  return keys;
}

bool IsResourceRelated(TsettingsTypeEnum kind) {
  return kind == stConfigFile || kind == stConfigWithPath || kind == stLocalVerInfo || kind == stGroupVerInfo ||
         kind == stRCMask;
}

// The key under which each kind is stored in a source's section, in the order
// the keys are written.
const std::array<TsettingsTypeEnum, 9>& StoredKindsInWriteOrder() {
  static const std::array<TsettingsTypeEnum, 9> kinds{stDestFile,  stLibraryPath,   stConfigFile,
                                                      stDPKConfig, stGroupVerInfo,  stLocalVerInfo,
                                                      stRCMask,    stPreProcessing, stPostProcessing};
  return kinds;
}

}  // namespace

const std::array<TDefaultFile, 8>& DefaultFiles() {
  static const std::array<TDefaultFile, 8> files{{
      {"Files.ini", "Default.Files"},
      {"Default.config", "Default.config"},
      {"Default.path", "Default.path"},
      {"Default.ver", "Default.ver"},
      {"Default.DPKConfig", "Default.DPKConfig"},
      {"Default.mask", "Default.mask"},
      {"Default.before", "Default.before"},
      {"Default.after", "Default.after"},
  }};
  return files;
}

std::vector<std::string> BuiltInDefaultContent(const std::string& projectFile) {
  if (projectFile == "Files.ini")
    return {"[options]",           "CheckVersion=1",      "MinimizeOnBuild=0",  "AutoResFileCreate=1",
            "AutoFileIncrement=1", "AutoProdIncrement=0", "DisplayMsgOnDone=0", "ReplaceReadOnlyCFGRESVER=0",
            "HaltOnError=1"};
  if (projectFile == "Default.config") return {"-W+", "-B", "-$M16384,1048576", "-K$00400000", ""};
  if (projectFile == "Default.ver")
    return {"[version]",
            "Major=0",
            "Minor=0",
            "Release=0",
            "Build=0",
            "Company=",
            "Comments=",
            "LegalCopyright=",
            "LegalTrademarks=",
            "IconFileName=",
            "Description=",
            "InternalName=",
            "OriginalFilename=",
            "ProductName=",
            "ProductMajor=",
            "ProductMinor=",
            "ProductRelease=",
            "ProductBuild=0",
            ""};
  if (projectFile == "Default.DPKConfig")
    return {"$ALIGN ON",          "$ASSERTIONS ON",      "$BOOLEVAL OFF",      "$DEBUGINFO ON",
            "$EXTENDEDSYNTAX ON", "$IMPORTEDDATA ON",    "$IOCHECKS ON",       "$LOCALSYMBOLS ON",
            "$LONGSTRINGS ON",    "$OPENSTRINGS ON",     "$OPTIMIZATION ON",   "$OVERFLOWCHECKS OFF",
            "$RANGECHECKS OFF",   "$REFERENCEINFO ON",   "$SAFEDIVIDE OFF",    "$STACKFRAMES OFF",
            "$TYPEDADDRESS OFF",  "$VARSTRINGCHECKS ON", "$WRITEABLECONST ON", "$MINENUMSIZE 1",
            "$IMAGEBASE $400000", "$IMPLICITBUILD OFF"};
  if (projectFile == "Default.mask") {
    const char* const valueIndent = "   VALUE ";
    return {"/" + std::string(76, '*'),
            "Resourcemask.rc",
            "",
            std::string(77, '*') + "/",
            "",
            "LANGUAGE LANG_ENGLISH,SUBLANG_ENGLISH_US",
            "",
            "MAINICON ICON LOADONCALL MOVEABLE DISCARDABLE IMPURE",
            "{",
            " #ICONDATA#",
            "}",
            "",
            "1 VERSIONINFO LOADONCALL MOVEABLE DISCARDABLE IMPURE",
            "FILEVERSION #Major#, #Minor#, #Release#, #Build#",
            "PRODUCTVERSION #ProductMajor#, #ProductMinor#, #ProductRelease#, #ProductBuild#",
            "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK",
            "FILEOS VOS__WINDOWS32",
            "FILETYPE VFT_APP",
            "{",
            " BLOCK \"StringFileInfo\"",
            " {",
            "  BLOCK \"040904E4\"",
            "  {",
            std::string(valueIndent) + "\"CompanyName\", \"#Company#\\000\"",
            std::string(valueIndent) + "\"FileDescription\", \"#Description#\\000\"",
            std::string(valueIndent) + "\"FileVersion\", \"#Major#.#Minor#.#Release#.#Build#\\000\"",
            std::string(valueIndent) + "\"InternalName\", \"#InternalName#\\000\"",
            std::string(valueIndent) + "\"LegalCopyright\", \"#LegalCopyright#\\000\"",
            std::string(valueIndent) + "\"LegalTrademarks\", \"#LegalTrademarks#\\000\"",
            std::string(valueIndent) + "\"OriginalFilename\", \"#OriginalFilename#\\000\"",
            std::string(valueIndent) + "\"ProductName\", \"#ProductName#\\000\"",
            std::string(valueIndent) +
                "\"ProductVersion\", \"#ProductMajor#.#ProductMinor#.#ProductRelease#.#ProductBuild#\\000\"",
            std::string(valueIndent) + "\"Comments\", \"#Comments#\\000\"",
            std::string(valueIndent) + "\"Appid\", \"#AppID#\\000\"",
            "  }",
            "",
            " }",
            "",
            " BLOCK \"VarFileInfo\"",
            " {",
            "  VALUE \"Translation\", 1033, 1252",
            " }",
            "}"};
  }
  if (projectFile == "Default.before" || projectFile == "Default.after") return {"none"};
  return {};
}

std::string SettingExtension(TsettingsTypeEnum kind) {
  switch (kind) {
    case stLibraryPath:
      return ".path";
    case stConfigFile:
      return ".config";
    case stConfigWithPath:
      return ".CFG";
    case stDPKConfig:
      return ".DPKConfig";
    case stLocalVerInfo:
      return ".ver";
    case stGroupVerInfo:
      return ".ver";
    case stRCMask:
      return ".mask";
    case stPreProcessing:
      return ".before";
    case stPostProcessing:
      return ".after";
    default:
      return "";
  }
}

TPersistenceObject& Persistence() {
  static TPersistenceObject store;
  return store;
}

void TPersistenceObject::ReportError(const std::string& message) {
  if (Rehearsal || Record) {
    if (!RehearsalFailed) RehearsalError = message;
    RehearsalFailed = true;
    return;
  }
  LastError = message;
  if (OnError) OnError(message);
}

std::shared_ptr<platform::TProfileFile> TPersistenceObject::FilesIniForSave() {
  if (Record) return nullptr;
  return Rehearsal ? Rehearsal : platform::OpenSharedProfile(FilesIniPath());
}

void TPersistenceObject::StoreFilesIni(const std::shared_ptr<platform::TProfileFile>& ini) {
  if (!Rehearsal && ini) platform::UpdateSharedProfile(ini);
}

namespace {

// Whether a section is [version] as a profile knows it: without the blanks
// around it, in any case.
bool IsVersionSection(std::string_view section) {
  while (!section.empty() && (section.front() == ' ' || section.front() == '\t')) section.remove_prefix(1);
  while (!section.empty() && (section.back() == ' ' || section.back() == '\t')) section.remove_suffix(1);
  return platform::SameTextAscii(section, VersionSection);
}

}  // namespace

void TPersistenceObject::TRecordDigest::AddWord(std::uint64_t word) {
  // For a given state, a different word gives a different next state in
  // each lane: xor or add, multiplication by an odd number and a shift of the
  // high half into the low one can each be undone.
  A = (A ^ word) * 0x9E3779B97F4A7C15ull;
  A ^= A >> 32;
  B = (B + word) * 0xC2B2AE3D27D4EB4Full;
  B ^= B >> 29;
}

// The length first, so that no two different sequences of fields give the
// same words.
void TPersistenceObject::TRecordDigest::Add(std::string_view field) {
  AddWord(field.size());
  for (std::size_t at = 0; at < field.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, field.data() + at, std::min<std::size_t>(8, field.size() - at));
    AddWord(word);
  }
}

void TPersistenceObject::AddToRecord(char operation, std::initializer_list<std::string_view> fields) {
  Record->AddWord(static_cast<unsigned char>(operation));
  for (std::string_view field : fields) Record->Add(field);
}

void TPersistenceObject::SaveString(platform::TProfileFile* ini, const std::string& section, std::string_view key,
                                    std::string_view value) {
  if (ini) {
    ini->WriteString(section, std::string(key), std::string(value));
    return;
  }
  // A section's keys are written one after another: its name goes into the
  // record once, before them, and each key is written to the section named
  // last.
  if (section != LastRecordedSection) {
    AddToRecord('S', {section});
    if (IsVersionSection(section)) VersionRecorded = true;
    LastRecordedSection = section;
  }
  AddToRecord('W', {key, value});
}

void TPersistenceObject::EraseSavedSection(platform::TProfileFile* ini, const std::string& section) {
  if (ini) {
    ini->EraseSection(section);
    return;
  }
  AddToRecord('E', {section});
  if (IsVersionSection(section)) VersionRecorded = false;
  LastRecordedSection.clear();
}

bool TPersistenceObject::SavedVersionSectionExists(const platform::TProfileFile* ini) const {
  return ini ? ini->SectionExists(VersionSection) : VersionRecorded;
}

void TPersistenceObject::BeginSaveRehearsal(const std::string& projectPath, bool recordOnly) {
  if (recordOnly) {
    Rehearsal.reset();
    Record.emplace();
    VersionRecorded = false;
    LastRecordedSection.clear();
  } else {
    Rehearsal = platform::TProfileFile::FromText(PathJoin(projectPath, "Files.ini"), "");
    Record.reset();
  }
  RehearsalFailed = false;
  RehearsalError.clear();
  SavedPendingVersionDir = PendingVersionDir;
  SavedPendingVersion = PendingVersion;
  try {
    auto current = platform::OpenSharedProfile(PathJoin(projectPath, "Files.ini"));
    auto version = current->ReadSectionValues(VersionSection);
    if (!version.empty() || PendingVersionDir != projectPath) {
      PendingVersion = std::move(version);
      PendingVersionDir = projectPath;
    }
  } catch (const std::exception&) {
    RehearsalFailed = true;
  }
  // What the file list's save may carry over, whether it does or not.
  if (Record) {
    AddToRecord('P', {projectPath, PendingVersionDir});
    for (const auto& [key, value] : PendingVersion) AddToRecord('V', {key, value});
  }
}

bool TPersistenceObject::EndSaveRehearsal(std::string& filesIniText) {
  if (Record) {
    filesIniText.assign(reinterpret_cast<const char*>(&Record->A), sizeof Record->A)
        .append(reinterpret_cast<const char*>(&Record->B), sizeof Record->B);
    Record.reset();
    VersionRecorded = false;
  } else {
    filesIniText = Rehearsal ? Rehearsal->Text() : std::string();
  }
  Rehearsal.reset();
  PendingVersionDir = std::move(SavedPendingVersionDir);
  PendingVersion = std::move(SavedPendingVersion);
  return !RehearsalFailed;
}

std::string TPersistenceObject::FilesIniPath() const {
  return PathJoin(ProjectPath, "Files.ini");
}

std::vector<std::string> TPersistenceObject::MasterDirs() const {
  if (!MasterCopyDirs.empty()) return MasterCopyDirs;
  std::vector<std::string> dirs{platform::ProgramDir()};
  const std::string data = platform::InstalledDataDir();
  if (!data.empty() && data != dirs.front()) dirs.push_back(data);
  return dirs;
}

// --- Project directory set-up ---------------------------------------------

bool TPersistenceObject::SetupProjectDir(const std::string& projectPath) {
  try {
    GlobalStuff().ChangeDir(projectPath);
    ProjectPath = projectPath;
    for (const TDefaultFile& file : DefaultFiles()) {
      const std::string target = PathJoin(projectPath, file.ProjectFile);
      if (platform::FileExists(target)) continue;
      std::vector<std::string> lines;
      bool fromMaster = false;
      for (const std::string& dir : MasterDirs()) {
        try {
          lines = platform::ReadTextLines(PathJoin(dir, file.MasterFile));
          fromMaster = true;
          break;
        } catch (const std::exception&) {
          lines.clear();  // missing or unreadable: the next place, or the built-in content
        }
      }
      if (!fromMaster) {
        if (std::string(file.ProjectFile) == "Default.path") {
          std::optional<std::vector<std::string>> libraryPath;
          if (LibraryPathPrompt) libraryPath = GetDelphiLibraryPath("5", *LibraryPathPrompt);
          if (!libraryPath) throw TError("no Delphi library path was chosen for " + target);
          lines = std::move(*libraryPath);
          lines.push_back(" ");
        } else {
          lines = BuiltInDefaultContent(file.ProjectFile);
        }
      }
      platform::WriteTextLines(target, lines);
    }
    return true;
  } catch (const std::exception& e) {
    ReportError("Could not set up storage area for " + projectPath + ": " + e.what());
    return false;
  }
}

// --- Options ----------------------------------------------------------------

bool TPersistenceObject::LoadOptions(const std::string& projectPath, TProjectOptions& options, std::string& dccPath) {
  try {
    if (!platform::FileExists("Files.ini")) {
      ReportError("Could not find " + PathJoin(projectPath, "Files.ini"));
      return false;
    }
    try {
      auto ini = platform::OpenSharedProfile(FilesIniPath());
      TProjectOptions read = options;
      for (const TOptionKey& key : OptionKeysInWriteOrder())
        read[key.Flag] = ini->ReadBool(OptionsSection, key.Key, key.Default);
      std::string path = ini->ReadString(OptionsSection, "DCCPath", "");
      options = read;
      dccPath = path;
      return true;
    } catch (const std::exception& e) {
      throw TError("Could not open " + PathJoin(projectPath, "Files.ini") + ": " + e.what());
    }
  } catch (const std::exception& e) {
    ReportError("Failed to retrieve project options for " + projectPath + ": " + e.what());
    return false;
  }
}

bool TPersistenceObject::SaveOptions(const std::string& projectPath, const TProjectOptions& options,
                                     const std::string& dccPath) {
  try {
    ProjectPath = projectPath;
    GlobalStuff().ChangeDir(projectPath);
    auto ini = FilesIniForSave();
    for (const TOptionKey& key : OptionKeysInWriteOrder())
      SaveString(ini.get(), OptionsSection, key.Key, options[key.Flag] ? "1" : "0");
    SaveString(ini.get(), OptionsSection, "DCCPath", dccPath);
    StoreFilesIni(ini);
    return true;
  } catch (const std::exception& e) {
    ReportError("Failed to save project options for " + projectPath + ": " + e.what());
    return false;
  }
}

// --- File list --------------------------------------------------------------

bool TPersistenceObject::LoadFileList(const std::string& projectPath, std::string& fileListText) {
  const bool result = SetupProjectDir(projectPath);
  if (!result) return false;
  try {
    if (!platform::FileExists("Files.ini")) {
      ReportError("Could not find " + PathJoin(projectPath, "Files.ini"));
      return result;
    }
    try {
      auto ini = platform::OpenSharedProfile(FilesIniPath());
      std::string text;
      for (const auto& [key, value] : ini->ReadSectionValues(FileListSection))
        if (!value.empty()) text += key + "=" + value + "\r\n";
      fileListText = text;
    } catch (const std::exception& e) {
      throw TError("Could not retrieve project file list " + PathJoin(projectPath, "Files.ini") + ": " + e.what());
    }
  } catch (const std::exception& e) {
    ReportError("Failed to retrieve project file list for " + projectPath + ": " + e.what());
  }
  return result;
}

namespace {

struct TFileListLine {
  std::string_view Name, Value;
  std::size_t First;  // the first line of the same name, in any letter case
};

// The lines of a file list text. The value the text holds for a name is that
// of its first line.
std::vector<TFileListLine> FileListLines(std::string_view text) {
  const std::vector<std::string_view> views = platform::SplitLineViews(text);
  std::vector<TFileListLine> lines;
  std::vector<std::pair<std::size_t, std::size_t>> byHash;  // (hash of the lower-cased name, line)
  lines.reserve(views.size());
  byHash.reserve(views.size());
  std::string lower;
  for (std::string_view line : views) {
    const auto eq = line.find('=');
    const std::string_view name = line.substr(0, eq);
    lower.resize(name.size());
    std::transform(name.begin(), name.end(), lower.begin(), [](char c) { return platform::LowerAscii(c); });
    byHash.emplace_back(std::hash<std::string>()(lower), lines.size());
    lines.push_back({name, eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1), lines.size()});
  }
  // Lines of one name are neighbours, in their order, among those of one hash.
  std::sort(byHash.begin(), byHash.end());
  for (std::size_t run = 0; run < byHash.size();) {
    std::size_t end = run + 1;
    while (end < byHash.size() && byHash[end].first == byHash[run].first) ++end;
    for (std::size_t i = run + 1; i < end; ++i) {
      TFileListLine& line = lines[byHash[i].second];
      for (std::size_t j = run; j < i; ++j)
        if (platform::SameTextAscii(lines[byHash[j].second].Name, line.Name)) {
          line.First = lines[byHash[j].second].First;
          break;
        }
    }
    run = end;
  }
  return lines;
}

}  // namespace

bool TPersistenceObject::SaveFileList(const std::string& projectPath, const std::string& fileListText) {
  if (!SetupProjectDir(projectPath)) return false;
  try {
    GlobalStuff().ChangeDir(projectPath);
    auto ini = FilesIniForSave();
    EraseSavedSection(ini.get(), FileListSection);
    const std::vector<TFileListLine> lines = FileListLines(fileListText);
    for (const TFileListLine& line : lines) SaveString(ini.get(), FileListSection, line.Name, lines[line.First].Value);
    // The build numbers and group version information that the old Files.ini
    // kept in [version] come after the file list of the rebuilt one.
    if (!PendingVersion.empty() && PendingVersionDir == projectPath) {
      if (!SavedVersionSectionExists(ini.get()))
        for (const auto& [key, value] : PendingVersion) SaveString(ini.get(), VersionSection, key, value);
      PendingVersion.clear();
      PendingVersionDir.clear();
    }
    StoreFilesIni(ini);
    return true;
  } catch (const std::exception& e) {
    ReportError("Failed to store project filelist " + projectPath + ": " + e.what());
    return false;
  }
}

bool TPersistenceObject::PrepareFilesIniForSave(const std::string& projectPath) {
  const std::string filesIni = PathJoin(projectPath, "Files.ini");
  const std::string backup = platform::ChangeFileExt(filesIni, ".~ni");
  try {
    if (platform::FileExists(filesIni)) {
      // Checked first: a save that cannot happen keeps the backup of before.
      if (platform::IsReadOnly(filesIni)) {
        ReportError("Files.ini is read only, cannot save file list.");
        return false;
      }
      auto ini = platform::OpenSharedProfile(filesIni);
      auto version = ini->ReadSectionValues(VersionSection);
      if (!version.empty() || PendingVersionDir != projectPath) {
        PendingVersion = std::move(version);
        PendingVersionDir = projectPath;
      }
      // A copy, not the file moved aside: Files.ini stays whole until the
      // new one replaces it in one step.
      platform::WriteFileBytes(backup, platform::ReadFileBytes(filesIni));
    } else if (platform::FileExists(backup)) {
      platform::DeleteFile(backup);
    }
    return true;
  } catch (const std::exception& e) {
    ReportError("Could not prepare " + filesIni + " for saving: " + e.what());
    return false;
  }
}

bool TPersistenceObject::StoreFilesIniText(const std::string& projectPath, const std::string& text) {
  try {
    const std::string path = PathJoin(projectPath, "Files.ini");
    platform::WriteFileBytes(path, text);
    // What was carried over is in the file now.
    PendingVersion.clear();
    PendingVersionDir.clear();
    KnownFilesIni = {};
    KnownFilesIni.Path = path;
    KnownFilesIni.Identity = platform::FileIdentity(platform::ResolvePath(path));
    KnownFilesIni.Text = text;
    return true;
  } catch (const std::exception& e) {
    ReportError("Failed to store project filelist " + projectPath + ": " + e.what());
    return false;
  }
}

// --- Setting file names -----------------------------------------------------

void TPersistenceObject::ReadSettingPaths(const std::string& projectPath, const std::string& section,
                                          TSettingsPathNameArray& paths) {
  ProjectPath = projectPath;
  const std::string defaultSection = section.empty() ? PathJoin(ProjectPath, "DefaultSettings") : std::string();
  const std::string& name = section.empty() ? defaultSection : section;
  std::shared_ptr<platform::TProfileFile> ini;
  try {
    ini = platform::OpenSharedProfile(FilesIniPath());
  } catch (const std::exception&) {
    ini = platform::TProfileFile::FromText(FilesIniPath(), "");  // unreadable: every key missing
  }
  // A name that Files.ini gives goes into the room the entry has for it; a
  // default is made only where none is given. A missing target stays as it
  // was.
  auto read = [&](TsettingsTypeEnum kind, const auto& makeDefault) {
    if (!ini->ReadStringTo(name, GlobalStuff().SettingName(kind), paths[kind])) paths[kind] = makeDefault();
  };
  auto inProject = [this](const char* fileName) {
    return [this, fileName] { return PathJoin(ProjectPath, fileName); };
  };
  ini->ReadStringTo(name, GlobalStuff().SettingName(stDestFile), paths[stDestFile]);
  read(stLibraryPath, inProject("Default.path"));
  read(stConfigFile, inProject("Default.config"));
  paths[stConfigWithPath] = platform::ChangeFileExt(name, ".cfg");
  read(stDPKConfig, inProject("Default.DPKConfig"));
  read(stLocalVerInfo, [&name] { return platform::ChangeFileExt(name, ".ver"); });
  read(stGroupVerInfo, inProject("Default.ver"));
  read(stRCMask, inProject("Default.mask"));
  read(stPreProcessing, inProject("Default.before"));
  read(stPostProcessing, inProject("Default.after"));
}

void TPersistenceObject::WriteSettingPaths(const std::string& projectPath, const std::string& section,
                                           const TSettingsPathNameArray& paths) {
  ProjectPath = projectPath;
  const std::string name = section.empty() ? PathJoin(ProjectPath, "DefaultSettings") : section;
  try {
    auto ini = FilesIniForSave();
    for (TsettingsTypeEnum kind : StoredKindsInWriteOrder())
      SaveString(ini.get(), name, GlobalStuff().SettingName(kind), paths[kind]);
    StoreFilesIni(ini);
  } catch (const std::exception& e) {
    ReportError("Error persisting, " + std::string(e.what()));
  }
}

// --- Setting file texts -----------------------------------------------------

std::uint64_t TPersistenceObject::KnownContentsVersion() {
  const std::uint64_t version = platform::KeptFactsVersion();
  if (version != KnownAt) {
    // Swapped out rather than cleared: a clear sweeps every bucket that the
    // maps ever grew to, and the version changes with every file written.
    decltype(ReadContents)().swap(ReadContents);
    decltype(WrittenContents)().swap(WrittenContents);
    WrittenNames.Forget();
    KnownAt = version;
  }
  return version;
}

bool TPersistenceObject::TWrittenNames::NotedBefore(std::size_t hash) {
  if (hash == 0) hash = 1;
  if ((Count + 1) * 2 > Slots.size()) {
    std::vector<std::size_t> old(std::max<std::size_t>(16, Slots.size() * 2));
    old.swap(Slots);
    Count = 0;
    for (std::size_t noted : old)
      if (noted != 0) NotedBefore(noted);
  }
  const std::size_t mask = Slots.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    if (Slots[at] == hash) return true;
    if (Slots[at] == 0) {
      Slots[at] = hash;
      ++Count;
      return false;
    }
  }
}

std::string TPersistenceObject::ReadFileContent(const std::string& fileName) {
  const TSettingsInMemory::TText text = ReadSharedContent(fileName);
  return text ? *text : std::string();
}

TSettingsInMemory::TText TPersistenceObject::SettledText(const std::string& fileName,
                                                         const platform::TFileIdentity& now) const {
  if (!now.Exists) return nullptr;
  const auto it = SettledTexts.find(fileName);
  return it != SettledTexts.end() && it->second.Identity == now ? it->second.Text : nullptr;
}

void TPersistenceObject::NoteSettledText(const std::string& fileName, const platform::TFileIdentity& identity,
                                         bool settled, const TSettingsInMemory::TText& text) {
  if (text && settled)
    SettledTexts[fileName] = TSettledText{identity, text};
  else
    SettledTexts.erase(fileName);
}

TSettingsInMemory::TText TPersistenceObject::ReadSharedContent(const std::string& fileName, bool asKnown) {
  if (fileName.empty()) return nullptr;
  const std::uint64_t version = KnownContentsVersion();
  if (version != 0)
    if (auto it = ReadContents.find(fileName); it != ReadContents.end()) {
      TReadContent& read = it->second;
      if (asKnown && !read.Known) {
        NoteKnown(fileName, read.Identity, read.Settled, read.Identity.Exists ? read.Text : nullptr);
        read.Known = true;
      }
      return read.Text;
    }
  TSettingsInMemory::TText shared;
  // Taken before the bytes: a change while they are read leaves the file
  // with another identity than the one noted with them.
  const platform::TFileState state = platform::FileState(fileName);
  const platform::TFileIdentity found = state.IsFile ? state.Identity : platform::TFileIdentity{};
  // Judged before the bytes are read, whose state a later change can then
  // not share.
  const bool settled = platform::IdentityIsSettled(found);
  if (state.IsFile) {
    // Only while file facts are kept does an identity tell one state of a
    // file from another from one operation to the next.
    const platform::TFileIdentity identity = version != 0 ? found : platform::TFileIdentity{};
    shared = SettledText(fileName, identity);
    if (!shared) {
      std::string text;
      try {
        text = platform::ReadFileBytes(fileName);
      } catch (const std::exception& e) {
        // Read as empty, the file would silently drop switches or lines. Not
        // kept: every entry that uses the file tells it.
        ReportError("Failed to read " + fileName + ": " + e.what());
        return nullptr;
      }
      const bool normal = platform::LineEndsAreNormal(text);
      shared = std::make_shared<const std::string>(normal ? std::move(text) : platform::NormalizeLineEnds(text));
      NoteSettledText(fileName, identity, settled && version != 0, normal ? shared : nullptr);
    }
  } else {
    shared = std::make_shared<const std::string>();
  }
  if (asKnown) NoteKnown(fileName, found, settled, state.IsFile ? shared : nullptr);
  if (version != 0 && version == KnownContentsVersion())
    ReadContents.emplace(fileName, TReadContent{shared, found, settled, asKnown});
  return shared;
}

// --- Changes made by other programs -----------------------------------------

namespace {

// Whether a file is in the state noted: the same file, size and
// modification time. A change of its attributes alone (a version control
// system making it writable) is no change of what it holds.
bool SameState(const platform::TFileIdentity& a, const platform::TFileIdentity& b) {
  return a.Exists == b.Exists && a.Device == b.Device && a.Inode == b.Inode && a.Size == b.Size &&
         a.MTimeSec == b.MTimeSec && a.MTimeNsec == b.MTimeNsec;
}

// Whether two profiles hold the same sections and values, [version] aside.
bool SameApartFromVersion(const platform::TProfileFile& a, const platform::TProfileFile& b) {
  auto sections = [](const platform::TProfileFile& profile) {
    std::vector<std::string> names = profile.ReadSections();
    std::erase_if(names, [](const std::string& name) { return IsVersionSection(name); });
    return names;
  };
  const std::vector<std::string> names = sections(a);
  if (names != sections(b)) return false;
  return std::all_of(names.begin(), names.end(),
                     [&](const std::string& name) { return a.ReadSectionValues(name) == b.ReadSectionValues(name); });
}

const std::string NoText;

}  // namespace

void TPersistenceObject::NoteKnown(const std::string& fileName, const platform::TFileIdentity& identity, bool settled,
                                   TSettingsInMemory::TText text) {
  TKnownFile& known = KnownFiles[fileName];
  known.Identity = identity;
  known.Text = std::move(text);
  known.Settled = settled;
}

bool TPersistenceObject::ChangedOutside(const std::string& fileName) {
  const auto it = KnownFiles.find(fileName);
  if (it == KnownFiles.end()) return false;
  TKnownFile& known = it->second;
  const platform::TFileState state = platform::FileState(fileName);
  const platform::TFileIdentity now = state.IsFile ? state.Identity : platform::TFileIdentity{};
  if (SameState(now, known.Identity) && (known.Settled || !now.Exists)) return false;
  if (!now.Exists) return true;  // removed since
  // Another identity, or one that may have changed within the tick of its
  // time stamp: what the file holds tells.
  const bool settled = platform::IdentityIsSettled(now);
  std::string text;
  try {
    text = platform::NormalizeLineEnds(platform::ReadFileBytes(fileName));
  } catch (const std::exception&) {
    return true;  // what it holds now cannot be told: not written over unasked
  }
  if (text != (known.Text ? *known.Text : NoText)) return true;
  known.Identity = now;  // touched, or written again as it was
  known.Settled = settled;
  return false;
}

std::vector<std::string> TPersistenceObject::SettingFilesChangedOutside() {
  std::vector<std::string> names;
  for (const auto& known : KnownFiles)
    if (ChangedOutside(known.first)) names.push_back(known.first);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> TPersistenceObject::AdoptFileText(const std::string& fileName) {
  ReadContents.erase(fileName);
  const TSettingsInMemory::TText text = ReadSharedContent(fileName, true);
  if (!text) return std::nullopt;
  return *text;
}

void TPersistenceObject::FollowOwnWrite(const std::string& fileName, const std::string& before,
                                        const std::string& after) {
  const auto it = KnownFiles.find(fileName);
  if (it == KnownFiles.end() || (it->second.Text ? *it->second.Text : NoText) != before) return;
  const platform::TFileState state = platform::FileState(fileName);
  NoteKnown(fileName, state.IsFile ? state.Identity : platform::TFileIdentity{}, false,
            std::make_shared<const std::string>(after));
}

void TPersistenceObject::ForgetKnownFiles() {
  decltype(KnownFiles)().swap(KnownFiles);
  KnownFilesIni = {};
}

void TPersistenceObject::NoteFilesIniLoaded(const std::string& projectPath) {
  KnownFilesIni = {};
  const std::string path = PathJoin(projectPath, "Files.ini");
  // Taken before it is read: a change meanwhile gives another identity.
  const platform::TFileIdentity identity = platform::FileIdentity(platform::ResolvePath(path));
  try {
    KnownFilesIni.Profile = platform::OpenSharedProfile(path);
  } catch (const std::exception&) {
    return;  // unreadable (the load says so): nothing is known
  }
  KnownFilesIni.Path = path;
  KnownFilesIni.Identity = identity;
  KnownFilesIni.Settled = platform::IdentityIsSettled(identity);
}

bool TPersistenceObject::FilesIniChangedOutside(const std::string& projectPath) {
  TKnownFilesIni& known = KnownFilesIni;
  const std::string path = PathJoin(projectPath, "Files.ini");
  if (known.Path != path) return false;
  const platform::TFileIdentity now = platform::FileIdentity(platform::ResolvePath(path));
  if (SameState(now, known.Identity) && (known.Settled || !now.Exists)) return false;
  if (!now.Exists) return true;
  const bool settled = platform::IdentityIsSettled(now);
  std::string bytes;
  try {
    bytes = platform::ReadFileBytes(path);
  } catch (const std::exception&) {
    return true;
  }
  bool same = !known.Text.empty() && bytes == known.Text;
  if (!same) {
    std::shared_ptr<const platform::TProfileFile> before = known.Profile;
    if (!before) before = platform::TProfileFile::FromText(path, known.Text);
    same = SameApartFromVersion(*before, *platform::TProfileFile::FromText(path, bytes));
  }
  if (!same) return true;
  known.Identity = now;
  known.Settled = settled;
  return false;
}

bool TPersistenceObject::Holds(const std::string& fileName, std::string_view bytes,
                               const platform::TFileIdentity& found) {
  // Only while file facts are kept does an identity tell one state of a file
  // from another.
  const platform::TFileIdentity identity = KnownContentsVersion() != 0 ? found : platform::TFileIdentity{};
  if (const TSettingsInMemory::TText known = SettledText(fileName, identity)) return *known == bytes;
  const bool settled = platform::IdentityIsSettled(identity);
  if (platform::ReadFileBytes(fileName) != bytes) return false;
  NoteSettledText(fileName, identity, settled, std::make_shared<const std::string>(bytes));
  return true;
}

void TPersistenceObject::WriteFileContent(const std::string& fileName, const std::string& text) {
  if (fileName.empty()) return;
  if (!KeptOnDisk.empty() && std::find(KeptOnDisk.begin(), KeptOnDisk.end(), fileName) != KeptOnDisk.end()) return;
  if (KnownContentsVersion() != 0 && !WrittenContents.empty())
    if (auto it = WrittenContents.find(fileName); it != WrittenContents.end() && it->second == text) return;
  try {
    // Texts in memory mostly have their line ends as written already.
    std::string normalized;
    std::string_view bytes = text;
    if (!platform::LineEndsAreNormal(text)) bytes = normalized = platform::NormalizeLineEnds(text);
    // A project save writes every shared setting file once per entry that
    // uses it; a file that already holds the text is left as it is. A
    // read-only file is still refused, as any write would be.
    const platform::TFileState state = platform::FileState(fileName);
    if (!state.IsFile || state.ReadOnly || state.Identity.Size != bytes.size() ||
        !Holds(fileName, bytes, state.Identity)) {
      platform::WriteFileBytes(fileName, bytes);
      SettledTexts.erase(fileName);
      // What the file holds now is the project's own.
      const platform::TFileState written = platform::FileState(fileName);
      NoteKnown(fileName, written.IsFile ? written.Identity : platform::TFileIdentity{}, false,
                std::make_shared<const std::string>(bytes));
    }
  } catch (const std::exception& e) {
    ReportError("Failed to save " + fileName + ": " + e.what());
    return;
  }
  if (const std::uint64_t version = KnownContentsVersion();
      version != 0 && WrittenNames.NotedBefore(std::hash<std::string>{}(fileName)))
    WrittenContents.emplace(fileName, text);
}

void TPersistenceObject::ReadSettingsIntoMemory(const TSettingsPathNameArray& paths, TSettingsInMemory& memory) {
  for (TsettingsTypeEnum kind : InMemorySettingKinds()) memory.Share(kind, ReadSharedContent(paths[kind], true));
}

void TPersistenceObject::WriteSettingsFromMemory(const TSettingsPathNameArray& paths, const TSettingsInMemory& memory) {
  for (TsettingsTypeEnum kind : InMemorySettingKinds()) {
    const bool resourceRelated = IsResourceRelated(kind);
    try {
      if (resourceRelated && ReplaceReadOnly && platform::FileExists(paths[kind]) && platform::IsReadOnly(paths[kind]))
        platform::ClearAttributes(paths[kind]);
      WriteFileContent(paths[kind], memory[kind]);
    } catch (const std::exception& e) {
      if (!(resourceRelated && IgnoreResFileErrors)) ReportError("Error persisting, " + std::string(e.what()));
    }
  }
}

std::string BackupFileName(const std::string& fileName) {
  const std::string ext = platform::ExtractFileExt(fileName);
  return platform::ChangeFileExt(fileName, ".~" + ext.substr(ext.empty() ? 0 : 1, 7));
}

void TPersistenceObject::BackupAndRemove(const std::string& fileName) {
  try {
    if (!fileName.empty() && platform::FileExists(fileName)) {
      const std::string backup = BackupFileName(fileName);
      if (platform::FileExists(backup)) platform::DeleteFile(backup);
      platform::RenameFile(fileName, backup);
    }
    if (!fileName.empty() && platform::FileExists(fileName)) platform::DeleteFile(fileName);
  } catch (const std::exception&) {
    // Backups are a courtesy; a failure is not reported.
  }
  if (!fileName.empty() && !platform::FileExists(fileName)) NoteKnown(fileName, {}, true, nullptr);
}

std::string FileListEntryProblem(const std::string& target, const std::string& source) {
  auto blankAtAnEnd = [](const std::string& name) {
    return !name.empty() && (name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t');
  };
  auto lineBreak = [](const std::string& name) { return name.find_first_of("\r\n") != std::string::npos; };
  auto cannotKeep = [](const char* what, const std::string& name, const char* why) {
    return std::string("Files.ini cannot keep the ") + what + " " + name + ": " + why;
  };
  if (source.empty()) return "The entry " + target + "= names no source: Files.ini keeps no entry without one.";
  if (source.find(']') != std::string::npos)
    return cannotKeep("source", source, "']' cannot stand in the name of the section that holds its settings.");
  if (lineBreak(source)) return cannotKeep("source", source, "a name cannot hold a line break.");
  if (blankAtAnEnd(source)) return cannotKeep("source", source, "blanks at the start or end of a name are lost.");
  if (source.size() >= 2 && (source.front() == '"' || source.front() == '\'') && source.back() == source.front())
    return cannotKeep("source", source, "quotes around a name are lost.");
  if (target.empty()) return "The entry " + source + " names no target: Files.ini keeps an entry as target=source.";
  if (target.find('=') != std::string::npos)
    return cannotKeep("target", target, "a '=' in it would part the line target=source there.");
  if (lineBreak(target)) return cannotKeep("target", target, "a name cannot hold a line break.");
  if (blankAtAnEnd(target)) return cannotKeep("target", target, "blanks at the start or end of a name are lost.");
  if (target.front() == ';' || target.front() == '[')
    return cannotKeep("target", target, "a line that starts with ';' or '[' is no entry of the file list.");
  return "";
}

// --- Icons ------------------------------------------------------------------

bool TPersistenceObject::CheckIconFile(const std::string& sourceFile, std::string& iconFile) {
  if (!iconFile.empty() && platform::FileExists(iconFile)) return true;
  iconFile = platform::ExtractFilePath(sourceFile) + iconFile;
  if (platform::ExtractFilePath(sourceFile).empty()) iconFile = std::string(1, platform::PathDelim) + iconFile;
  if (platform::FileExists(iconFile)) return true;
  ReportError(" Icon File for " + platform::ExtractFileName(sourceFile) + " not found. Will compile without icon.");
  return false;
}

bool TPersistenceObject::GetIconData(const std::string& sourceFile, std::string iconFile, std::string& text) {
  if (!CheckIconFile(sourceFile, iconFile)) return false;
  const std::string bytes = platform::ReadFileBytes(iconFile);
  static const char* const hex = "0123456789ABCDEF";
  std::string result, line;
  result.reserve(bytes.size() * 3 + bytes.size() / 16 * 4 + 4);
  std::size_t inLine = 0;
  for (unsigned char byte : bytes) {
    line += hex[byte >> 4];
    line += hex[byte & 15];
    line += ' ';
    if (++inLine == 16) {
      line.pop_back();
      result += "'" + line + "'\r\n";
      line.clear();
      inLine = 0;
    }
  }
  if (!line.empty()) line.pop_back();
  result += "'" + line + "'";
  text = std::move(result);
  return true;
}
