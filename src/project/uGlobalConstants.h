#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The vocabulary every part of the system uses for a project's files: the
// kinds of per-file setting, the version-information fields, what a source
// builds, and the small shared path helpers.

// The kind of a per-file setting. Each source file has one setting of each kind.
enum TsettingsTypeEnum {
  stSourceFile,
  stDestFile,
  stLibraryPath,
  stConfigFile,
  stConfigWithPath,
  stDPKConfig,
  stLocalVerInfo,
  stGroupVerInfo,
  stRCMask,
  stPreProcessing,
  stPostProcessing
};

inline constexpr std::size_t SettingKindCount = stPostProcessing + 1;
// The kinds whose setting file text is also kept in memory.
inline constexpr TsettingsTypeEnum FirstInMemoryKind = stLibraryPath;
inline constexpr std::size_t InMemoryKindCount = stPostProcessing - stLibraryPath + 1;

// The fields of version information, in file order.
enum TResourceTypeEnum {
  reMajor,
  reMinor,
  reRelease,
  reBuild,
  reProductMajor,
  reProductMinor,
  reProductRelease,
  reProductBuild,
  reAppid,
  reDescription,
  reCompany,
  reComments,
  reInternalName,
  reLegalCopyright,
  reLegalTrademarks,
  reProductName,
  reOriginalFilename,
  reIconFileName
};

inline constexpr std::size_t ResourceTypeCount = reIconFileName + 1;

// What a source file builds.
enum TTargetTypeEnum { ttUnknown, ttRC, ttEXE, ttDLL, ttBPL };

// Every kind in order, for range-for loops: for (auto kind : AllSettingKinds()).
const std::array<TsettingsTypeEnum, SettingKindCount>& AllSettingKinds();
// stLibraryPath to stPostProcessing: the kinds that have a text in memory.
const std::array<TsettingsTypeEnum, InMemoryKindCount>& InMemorySettingKinds();
const std::array<TResourceTypeEnum, ResourceTypeCount>& AllResourceTypes();

// The file name of each setting of one source file, indexed by kind
// (names[stRCMask]).
using TSettingsPathNameArray = std::array<std::string, SettingKindCount>;

// The text of each setting file of one source file, for the kinds
// stLibraryPath to stPostProcessing. Indexing with stSourceFile or stDestFile
// throws TError: those kinds have no text.
//
// A text is never changed in place, so that the entries of a project that
// use the same default file hold one copy of its text (Share) rather than a
// copy each; Set gives an entry a text of its own.
class TSettingsInMemory {
 public:
  using TText = std::shared_ptr<const std::string>;
  const std::string& operator[](TsettingsTypeEnum kind) const;
  void Set(TsettingsTypeEnum kind, std::string text);
  void Share(TsettingsTypeEnum kind, TText text);
  void Clear(TsettingsTypeEnum kind) { Texts[Slot(kind)].reset(); }
  // Equal texts, whether shared or not.
  bool operator==(const TSettingsInMemory& other) const;

 private:
  static std::size_t Slot(TsettingsTypeEnum kind);
  std::array<TText, InMemoryKindCount> Texts;
};

// The directory and the name joined with the native separator. A directory
// that is blank (only blanks and control characters) gives the name alone; a
// directory that already ends in the separator gets none added. Nothing else is
// normalised.
std::string PathJoin(const std::string& dir, const std::string& name);

// The length of a file in whole 128-byte records (rounded down). Throws
// TOSError when the file cannot be opened.
std::int64_t FileSizeInRecords(const std::string& fileName);

// Drawn width of a text in pixels, in whatever font the caller measures with.
using TTextWidthFunc = std::function<int(const std::string&)>;

// The stateless shared operations; one instance, GlobalStuff().
class TGlobalStuff {
 public:
  // Creates the directory with all missing parents and makes it the current
  // directory. Throws TError("chdir to <dir> failed: \r\n<reason>").
  void ChangeDir(const std::string& dir) const;
  // The stored name of a kind: the member name without "st".
  std::string SettingName(TsettingsTypeEnum kind) const;
  // The key of a version field: the member name without "re".
  std::string ResourceTypeName(TResourceTypeEnum field) const;
  // The path with directories after the first separator replaced, one at a
  // time from the left, by "..." until its width fits maxWidth. The file name
  // is never cut: when only the head, "..." and the file name are left, that is
  // returned even if it is still too wide.
  std::string ShortenPath(const std::string& path, int maxWidth, const TTextWidthFunc& textWidth) const;
  // What a source file builds, from its extension (and for a .dpr, from its
  // first line). Throws TError("<name> is not rc, dpr or dpk.") for any other
  // extension, and the reading error for a .dpr that cannot be read.
  TTargetTypeEnum TargetKind(const std::string& sourceFile) const;
  std::string TargetExtension(TTargetTypeEnum kind) const;
};

// The one shared instance, created at first use.
TGlobalStuff& GlobalStuff();
