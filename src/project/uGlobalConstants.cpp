#include "project/uGlobalConstants.h"

#include <exception>

#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

namespace {

constexpr const char* SettingNames[SettingKindCount] = {
    "SourceFile",   "DestFile",     "LibraryPath", "ConfigFile",    "ConfigWithPath", "DPKConfig",
    "LocalVerInfo", "GroupVerInfo", "RCMask",      "PreProcessing", "PostProcessing"};

constexpr const char* ResourceTypeNames[ResourceTypeCount] = {
    "Major",          "Minor",          "Release",         "Build",       "ProductMajor",     "ProductMinor",
    "ProductRelease", "ProductBuild",   "Appid",           "Description", "Company",          "Comments",
    "InternalName",   "LegalCopyright", "LegalTrademarks", "ProductName", "OriginalFilename", "IconFileName"};

constexpr const char* TargetExtensions[] = {".unk", ".RC", ".EXE", ".DLL", ".BPL"};

using platform::UpperAscii;

template <typename TEnum, std::size_t N>
constexpr std::array<TEnum, N> Sequence(int first) {
  std::array<TEnum, N> result{};
  for (std::size_t i = 0; i < N; ++i) result[i] = static_cast<TEnum>(first + static_cast<int>(i));
  return result;
}

}  // namespace

const std::array<TsettingsTypeEnum, SettingKindCount>& AllSettingKinds() {
  static constexpr auto kinds = Sequence<TsettingsTypeEnum, SettingKindCount>(stSourceFile);
  return kinds;
}

const std::array<TsettingsTypeEnum, InMemoryKindCount>& InMemorySettingKinds() {
  static constexpr auto kinds = Sequence<TsettingsTypeEnum, InMemoryKindCount>(FirstInMemoryKind);
  return kinds;
}

const std::array<TResourceTypeEnum, ResourceTypeCount>& AllResourceTypes() {
  static constexpr auto fields = Sequence<TResourceTypeEnum, ResourceTypeCount>(reMajor);
  return fields;
}

const std::string& TSettingsInMemory::operator[](TsettingsTypeEnum kind) const {
  static const std::string none;
  const TText& text = Texts[Slot(kind)];
  return text ? *text : none;
}

void TSettingsInMemory::Set(TsettingsTypeEnum kind, std::string text) {
  TText& slot = Texts[Slot(kind)];
  if (text.empty())
    slot.reset();
  else
    slot = std::make_shared<const std::string>(std::move(text));
}

void TSettingsInMemory::Share(TsettingsTypeEnum kind, TText text) {
  Texts[Slot(kind)] = text && !text->empty() ? std::move(text) : nullptr;
}

bool TSettingsInMemory::operator==(const TSettingsInMemory& other) const {
  for (TsettingsTypeEnum kind : InMemorySettingKinds())
    if ((*this)[kind] != other[kind]) return false;
  return true;
}

std::size_t TSettingsInMemory::Slot(TsettingsTypeEnum kind) {
  auto k = static_cast<std::size_t>(kind);
  if (k < FirstInMemoryKind || k >= SettingKindCount) {
    std::string name = k < SettingKindCount ? SettingNames[k] : std::to_string(k);
    throw TError("The setting " + name + " has no text in memory.");
  }
  return k - FirstInMemoryKind;
}

std::string PathJoin(const std::string& dir, const std::string& name) {
  if (platform::AllBlank(dir)) return name;
  std::string path;
  path.reserve(dir.size() + 1 + name.size());
  path.append(dir);
  if (dir.back() != platform::PathDelim) path += platform::PathDelim;
  return path.append(name);
}

std::int64_t FileSizeInRecords(const std::string& fileName) {
  return static_cast<std::int64_t>(platform::FileSize(fileName) / 128);
}

void TGlobalStuff::ChangeDir(const std::string& dir) const {
  try {
    platform::ForceDirectories(dir);
    platform::SetCurrentDir(dir);
  } catch (const std::exception& e) {
    throw TError("chdir to " + dir + " failed: \r\n" + e.what());
  }
}

std::string TGlobalStuff::SettingName(TsettingsTypeEnum kind) const {
  auto k = static_cast<std::size_t>(kind);
  return k < SettingKindCount ? SettingNames[k] : std::string();
}

std::string TGlobalStuff::ResourceTypeName(TResourceTypeEnum field) const {
  auto f = static_cast<std::size_t>(field);
  return f < ResourceTypeCount ? ResourceTypeNames[f] : std::string();
}

std::string TGlobalStuff::ShortenPath(const std::string& path, int maxWidth, const TTextWidthFunc& textWidth) const {
  std::string result = path;
  if (textWidth(result) <= maxWidth) return result;
  const char delim = platform::PathDelim;
  std::size_t first = path.find(delim);
  std::string head = first == std::string::npos ? std::string() : path.substr(0, first + 1);
  // The whole tail is kept, so a long path never loses its file name.
  std::string tail = first == std::string::npos ? path : path.substr(first + 1);
  const std::string ellipsis = std::string("...") + delim;
  for (;;) {
    std::size_t next = tail.find(delim);
    if (next == std::string::npos) break;
    tail.erase(0, next + 1);
    result = head + ellipsis + tail;
    if (textWidth(result) <= maxWidth) break;
  }
  return result;
}

TTargetTypeEnum TGlobalStuff::TargetKind(const std::string& sourceFile) const {
  if (platform::AllBlank(sourceFile)) return ttUnknown;
  std::size_t dot = sourceFile.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : UpperAscii(sourceFile.substr(dot + 1, 20));
  if (dot != std::string::npos) {
    if (ext == "RC") return ttRC;
    if (ext == "DPK") return ttBPL;
    if (ext == "DPR") {
      platform::TStringList lines = platform::ReadTextLines(sourceFile);
      if (lines.empty()) throw TError("Cannot read the first line of " + sourceFile + ": the file is empty");
      return UpperAscii(lines.front()).find("LIBRARY") != std::string::npos ? ttDLL : ttEXE;
    }
  }
  throw TError(sourceFile + " is not rc, dpr or dpk.");
}

std::string TGlobalStuff::TargetExtension(TTargetTypeEnum kind) const {
  auto k = static_cast<std::size_t>(kind);
  return k <= ttBPL ? TargetExtensions[k] : TargetExtensions[ttUnknown];
}

TGlobalStuff& GlobalStuff() {
  static TGlobalStuff instance;
  return instance;
}
