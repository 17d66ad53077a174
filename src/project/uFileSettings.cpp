#include "project/uFileSettings.h"

#include <algorithm>
#include <map>

#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/TextFile.h"
#include "project/uPersistence.h"
#include "version/uVersionInformation.h"

namespace {

using platform::LowerAscii;
using platform::SameTextAscii;

bool HasText(TsettingsTypeEnum kind) {
  return kind >= stLibraryPath && kind <= stPostProcessing;
}

std::string NameOf(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}
std::string ValueOf(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

// The value of the first line whose name matches without regard to case, as a
// string list's Values[] gives it.
std::string ValueByName(const std::vector<std::string>& lines, const std::string& name) {
  const std::string wanted = LowerAscii(name);
  for (const std::string& line : lines)
    if (line.find('=') != std::string::npos && LowerAscii(NameOf(line)) == wanted) return ValueOf(line);
  return "";
}

}  // namespace

// --- TProjectSettings ---------------------------------------------------------

TProjectSettings::TProjectSettings(TProjectList* owner, const std::string& destFile, const std::string& sourceFile,
                                   const std::string& projectPath)
    : Owner(owner), ProjectPath(projectPath) {
  Paths[stSourceFile] = sourceFile;
  Paths[stDestFile] = destFile;
  ClearSettings();
}

TPersistenceObject& TProjectSettings::Store() const {
  return Owner ? Owner->GetStore() : Persistence();
}

void TProjectSettings::ClearSettings() {
  LoadedAt = 0;
  for (TsettingsTypeEnum kind : InMemorySettingKinds()) {
    Paths[kind].clear();
    Memory.Clear(kind);
  }
  TargetType.reset();
}

std::string TProjectSettings::GetSettingPath(TsettingsTypeEnum kind) {
  if (kind == stSourceFile || kind == stDestFile) return Paths[kind];
  if (Paths[kind].empty()) Store().ReadSettingPaths(ProjectPath, GetSourceFile(), Paths);
  if (Paths[kind].empty()) Paths[kind] = PathJoin(ProjectPath, "Default" + SettingExtension(kind));
  return Paths[kind];
}

void TProjectSettings::SetSettingPath(TsettingsTypeEnum kind, const std::string& fileName) {
  LoadedAt = 0;
  if (kind == stSourceFile || kind == stDestFile || !fileName.empty())
    Paths[kind] = fileName;
  else
    Paths[kind] = PathJoin(ProjectPath, "Default" + SettingExtension(kind));
}

std::string TProjectSettings::GetSettingContent(TsettingsTypeEnum kind) {
  switch (kind) {
    case stSourceFile: {
      const std::string& source = Paths[stSourceFile];
      if (source.empty() || !platform::FileExists(source)) return "";
      return platform::JoinLines(platform::ReadTextLines(source));
    }
    case stDestFile: {
      const std::string& target = Paths[stDestFile];
      if (target.empty() || !platform::FileExists(target)) return "";
      return TargetSummary();
    }
    case stConfigWithPath:
      return Memory[stConfigFile] + PathSwitches(Memory[stLibraryPath]);
    default:
      if (Memory[kind].empty()) GetSettingPath(kind);
      return Memory[kind];
  }
}

void TProjectSettings::SetSettingContent(TsettingsTypeEnum kind, const std::string& text) {
  LoadedAt = 0;
  if (HasText(kind) && kind != stConfigWithPath) Memory.Set(kind, text);
}

void TProjectSettings::LoadSettingContent(TsettingsTypeEnum kind) {
  if (!HasText(kind)) return;
  if (!GetSettingContent(kind).empty()) return;
  const TSettingsInMemory::TText text = Store().ReadSharedContent(Paths[kind], true);
  SetSettingContent(kind, text ? *text : std::string());
}

void TProjectSettings::ReloadSetting(TsettingsTypeEnum kind) {
  SetSettingContent(kind, "");
  LoadSettingContent(kind);
}

void TProjectSettings::LoadAll() {
  // A project load reads every entry's settings twice (when the line is
  // added and when all are loaded); nothing changed in between.
  const std::uint64_t version = platform::KeptFactsVersion();
  if (version != 0 && version == LoadedAt && LoadedFor == ProjectPath) return;
  ClearSettings();
  Store().ReadSettingPaths(ProjectPath, GetSourceFile(), Paths);
  Store().ReadSettingsIntoMemory(Paths, Memory);
  LoadedAt = platform::KeptFactsVersion();
  LoadedFor = ProjectPath;
}

std::string TProjectSettings::UnreadableSetting() {
  // A source that Files.ini cannot name a section by has no settings to read.
  if (GetSourceFile().find(']') != std::string::npos) return FileListEntryProblem(Paths[stDestFile], GetSourceFile());
  for (TsettingsTypeEnum kind : InMemorySettingKinds()) {
    // The configuration beside the source is the build's own to write.
    if (kind == stConfigWithPath || !Memory[kind].empty() || Paths[kind].empty()) continue;
    if (!platform::FileState(Paths[kind]).IsFile) continue;
    try {
      Memory.Set(kind, platform::NormalizeLineEnds(platform::ReadFileBytes(Paths[kind])));
    } catch (const std::exception& e) {
      return "Failed to read " + Paths[kind] + ": " + e.what();
    }
  }
  return "";
}

TTargetTypeEnum TProjectSettings::GetTargetType() {
  if (!TargetType) {
    try {
      TargetType = GlobalStuff().TargetKind(GetSourceFile());
    } catch (const std::exception&) {
      TargetType = ttUnknown;
    }
  }
  return *TargetType;
}

void TProjectSettings::SaveAll() {
  SavePaths();
  SaveTexts();
}

void TProjectSettings::SavePaths() {
  Store().WriteSettingPaths(ProjectPath, Paths[stSourceFile], Paths);
}

void TProjectSettings::SaveTexts() {
  Store().WriteSettingsFromMemory(Paths, Memory);
}

void TProjectSettings::SaveSettingFile(TsettingsTypeEnum kind) {
  if (!HasText(kind)) return;
  if (Memory[kind].empty())
    Store().BackupAndRemove(Paths[kind]);
  else
    Store().WriteFileContent(Paths[kind], Memory[kind]);
}

std::string TProjectSettings::TargetSummary() {
  const std::string& target = Paths[stDestFile];
  std::string text = "Will replace " + platform::ExpandUNCFileName(target) + "\r\n";
  text += "File date = " + platform::FormatDateTime("dd mmm yyyy hh:mm", platform::LastWriteTime(target)) + "\r\n";
  text += "File size = " + platform::FormatThousands(FileSizeInRecords(target), 12) + "\r\n";
  TVersionInformation& reader = VersionInformation();
  reader.LoadVersionInfo(target);
  static const tMSResourceNameEnum order[] = {msFileVersion, msProductVersion,  msFileDescription, msCompanyName,
                                              msComments,    msInternalName,    msLegalCopyright,  msLegalTrademarks,
                                              msProductName, msOriginalFilename};
  for (tMSResourceNameEnum name : order) {
    const std::string key = TVersionInformation::ResourceName(name);
    text += key + " = " + reader.GetVersionString(key) + "\r\n";
  }
  return text;
}

std::string TProjectSettings::VersionSummary() {
  std::vector<std::string> group = platform::SplitLines(Memory[stGroupVerInfo]);
  std::vector<std::string> local = platform::SplitLines(Memory[stLocalVerInfo]);
  if (group.empty()) return "";
  group.erase(group.begin());
  if (!local.empty()) {
    local.erase(local.begin());
    for (std::string& g : group) {
      if (g.find('=') == std::string::npos) continue;
      const std::string value = ValueOf(g);
      if (value != "0" && !value.empty()) continue;
      for (const std::string& l : local) {
        if (l.find('=') != std::string::npos && NameOf(l) == NameOf(g)) {
          g = l;
          break;
        }
      }
    }
  }
  std::string text;
  if (GetTargetType() == ttDLL && GetSettingContent(stSourceFile).find("{$R *.RES}") == std::string::npos)
    text +=
        "Version information will not appear in this .dll\r\nunless the line\r\n{$R *.RES}\r\nis added to the "
        "implementation section\r\n";
  auto value = [&](const char* name) { return ValueByName(group, name); };
  text += "File Version = " + value("Major") + "." + value("Minor") + "." + value("Release") + "." + value("Build") +
          "\r\n";
  text += "Product Version = " + value("ProductMajor") + "." + value("ProductMinor") + "." + value("ProductRelease") +
          "." + value("ProductBuild") + "\r\n";
  for (TResourceTypeEnum field : AllResourceTypes()) {
    if (field < reAppid) continue;
    const std::string name = GlobalStuff().ResourceTypeName(field);
    text += name + " = " + ValueByName(group, name) + "\r\n";
  }
  return text;
}

// --- Path switches --------------------------------------------------------------

std::string PathSwitches(const std::string& libraryPathText) {
  // Every line break becomes ';', so a text ending in a line break gives a
  // path ending in ';'.
  std::string s;
  s.reserve(libraryPathText.size());
  for (std::size_t i = 0; i < libraryPathText.size(); ++i) {
    const char c = libraryPathText[i];
    if (c == '\r') {
      if (i + 1 < libraryPathText.size() && libraryPathText[i + 1] == '\n') ++i;
      s += ';';
    } else if (c == '\n') {
      s += ';';
    } else {
      s += c;
    }
  }
  auto fourLines = [](const std::string& path) {
    std::string out;
    for (const char* sw : {"-U", "-I", "-R", "-O"}) out += std::string(sw) + "\"" + path + "\"\r\n";
    return out;
  };
  if (s.size() < 1023) return fourLines(s);

  std::string out;
  while (!s.empty()) {
    const std::string head = s.substr(0, 1000);
    const auto semicolon = head.rfind(';');
    std::string chunk;
    if (semicolon != std::string::npos) {
      chunk = s.substr(0, semicolon);
      s.erase(0, semicolon + 1);
    } else {
      // One directory of 1000 characters or more: cut it where the chunk ends.
      chunk = head;
      s.erase(0, head.size());
    }
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && s.find_last_not_of(" \t\r\n") == first && s[first] == ';') s.clear();
    out += fourLines(chunk);
  }
  return out;
}

// --- TProjectList ---------------------------------------------------------------

TProjectList::TProjectList(std::string projectPath, TPersistenceObject* store)
    : ProjectPath(std::move(projectPath)), StoreObject(store ? store : &Persistence()) {}

TProjectList::~TProjectList() {
  Clear();
}

const TProjectList::TEntry& TProjectList::At(int index) const {
  if (index < 0 || index >= Count()) throw TError("List index out of bounds (" + std::to_string(index) + ")");
  return Entries[static_cast<std::size_t>(index)];
}

const std::string& TProjectList::Strings(int index) const {
  return At(index).Line;
}

std::string TProjectList::Text() const {
  std::size_t size = 0;
  for (const TEntry& e : Entries) size += e.Line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const TEntry& e : Entries) text.append(e.Line).append("\r\n");
  return text;
}

void TProjectList::Clear() {
  FirstOfTarget.reset();
  Entries.clear();
  LineCounts.clear();
}

void TProjectList::Delete(int index) {
  CountLine(At(index).Line, -1);
  FirstOfTarget.reset();
  Entries.erase(Entries.begin() + index);
}

void TProjectList::Move(int from, int to) {
  At(from);
  At(to);
  FirstOfTarget.reset();
  TEntry entry = std::move(Entries[static_cast<std::size_t>(from)]);
  Entries.erase(Entries.begin() + from);
  Entries.insert(Entries.begin() + to, std::move(entry));
}

void TProjectList::CountLine(const std::string& line, int by) {
  const std::string key = LowerAscii(line);
  if ((LineCounts[key] += by) <= 0) LineCounts.erase(key);
}

void TProjectList::AddFileLine(const std::string& line) {
  if (LineCounts.contains(LowerAscii(line))) return;
  CountLine(line, 1);
  std::string source, target;
  const auto eq = line.find('=');
  if (eq == std::string::npos) {
    source = line.substr(0, 256);
  } else {
    target = line.substr(0, eq);
    source = line.substr(eq + 1, 256);
  }
  auto settings = std::make_unique<TProjectSettings>(this, target, source, ProjectPath);
  TProjectSettings* added = settings.get();
  Entries.push_back(TEntry{line, std::move(settings)});
  if (FirstOfTarget && eq != std::string::npos) FirstOfTarget->emplace(LowerAscii(target), Entries.size() - 1);
  added->LoadAll();
}

std::string TProjectList::DestOf(int index) const {
  const std::string& line = At(index).Line;
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

// The source of the first line with the entry's target name, as a string
// list's Values gives it.
std::string TProjectList::SourceOf(int index) const {
  const auto& first = FirstOfTargets();
  auto it = first.find(LowerAscii(DestOf(index)));
  if (it == first.end()) return "";
  const std::string& line = Entries[it->second].Line;
  return line.substr(line.find('=') + 1);
}

const std::unordered_map<std::string, std::size_t>& TProjectList::FirstOfTargets() const {
  if (!FirstOfTarget) {
    FirstOfTarget.emplace();
    for (std::size_t i = 0; i < Entries.size(); ++i) {
      const auto eq = Entries[i].Line.find('=');
      if (eq != std::string::npos) FirstOfTarget->emplace(LowerAscii(Entries[i].Line.substr(0, eq)), i);
    }
  }
  return *FirstOfTarget;
}

TProjectSettings* TProjectList::SettingsAt(int index) const {
  return At(index).Settings.get();
}

int TProjectList::IndexOfSource(const std::string& sourceFile) const {
  const std::string key = platform::ChangeFileExt(sourceFile, ".");
  for (int i = 0; i < Count(); ++i)
    if (SourceOf(i).find(key) != std::string::npos) return i;
  throw TError(sourceFile + " does not exist in this project list: " + ProjectPath);
}

TProjectSettings* TProjectList::SettingsOf(const std::string& sourceFile) const {
  return SettingsAt(IndexOfSource(sourceFile));
}

int TProjectList::FindSource(const std::string& sourceFile) const {
  const std::string wanted = LowerAscii(sourceFile);
  for (int i = 0; i < Count(); ++i) {
    const std::string& line = Entries[static_cast<std::size_t>(i)].Line;
    const auto eq = line.find('=');
    const std::string source = eq == std::string::npos ? line : line.substr(eq + 1);
    if (LowerAscii(source) == wanted) return i;
  }
  return -1;
}

void TProjectList::SetDestFile(int index, const std::string& destFile) {
  const TEntry& entry = At(index);
  const auto eq = entry.Line.find('=');
  const std::string rest = eq == std::string::npos ? std::string() : entry.Line.substr(eq);
  CountLine(Entries[static_cast<std::size_t>(index)].Line, -1);
  FirstOfTarget.reset();
  Entries[static_cast<std::size_t>(index)].Line = destFile + rest;
  CountLine(destFile + rest, 1);
  entry.Settings->SetDestFile(destFile);
}

void TProjectList::LoadAllSettings(const std::string& projectPath) {
  ProjectPath = projectPath;
  for (TEntry& e : Entries) e.Settings->LoadAll();
}

void TProjectList::SaveAllSettings() {
  for (TEntry& e : Entries) e.Settings->SaveAll();
}

void TProjectList::SaveAllSettingPaths() {
  for (TEntry& e : Entries) e.Settings->SavePaths();
}

void TProjectList::SaveAllSettingTexts() {
  for (TEntry& e : Entries) e.Settings->SaveTexts();
}

void TProjectList::FollowFileChange(const std::string& fileName, const std::string& before, const std::string& after) {
  if (before == after) return;
  const std::string wanted = platform::ExpandFileName(platform::ResolvePath(fileName));
  for (TEntry& e : Entries)
    for (TsettingsTypeEnum kind : InMemorySettingKinds()) {
      if (kind == stConfigWithPath || e.Settings->Memory[kind] != before) continue;
      const std::string& path = e.Settings->Paths[kind];
      if (!path.empty() && platform::ExpandFileName(platform::ResolvePath(path)) == wanted) {
        e.Settings->Memory.Set(kind, after);
        StoreObject->FollowOwnWrite(path, before, after);
      }
    }
}

bool TProjectList::WouldWriteFile(const std::string& fileName, const std::optional<std::string>& onDisk) const {
  for (const TEntry& e : Entries)
    for (TsettingsTypeEnum kind : InMemorySettingKinds())
      if (e.Settings->Paths[kind] == fileName && (!onDisk || e.Settings->Memory[kind] != *onDisk)) return true;
  return false;
}

void TProjectList::TakeFileText(const std::string& fileName, const std::string& text) {
  for (TEntry& e : Entries)
    for (TsettingsTypeEnum kind : InMemorySettingKinds())
      if (e.Settings->Paths[kind] == fileName) e.Settings->Memory.Set(kind, text);
}

void TProjectList::ShareSettingContent(TsettingsTypeEnum kind, const std::string& fileName, const std::string& text) {
  if (!HasText(kind) || kind == stConfigWithPath) return;
  for (TEntry& e : Entries)
    if (e.Settings->GetSettingPath(kind) == fileName) e.Settings->SetSettingContent(kind, text);
}
