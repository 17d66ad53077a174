#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "project/uGlobalConstants.h"

// Version information of one build target and the resource script made from
// it: the eighteen version fields with where each value came from, the version
// files (.ver) they are kept in, and the script written from an RC mask.

// The largest value of one part of a version number (Major, Build, ...): a
// version resource holds each in 16 bits.
inline constexpr int MaxVersionPart = 65535;

// Which layer a version value was last taken from.
enum TVersionSource { vsNone, vsGroupFile, vsLocalFile, vsExecutable };

struct TVersionValue {
  std::string Value;
  TVersionSource Source = vsNone;
};

// The error event: the file concerned and what went wrong.
using TResourceHandlerMissingFileNotify = std::function<void(const std::string& filename, const std::string& info)>;

class TPersistenceObject;

class TResourceHandler {
 public:
  // Eighteen empty values marked vsNone, an empty mask.
  TResourceHandler();

  // Indexed by TResourceTypeEnum.
  std::array<TVersionValue, ResourceTypeCount> Values;
  // Every problem of loading, saving and script generation; none is raised.
  TResourceHandlerMissingFileNotify OnResourceError;
  // How many problems have been raised through OnResourceError so far, not
  // counting what the fallback for a missing local version file meets.
  int ErrorCount = 0;
  // The resource script that GenerateResourceScript writes.
  std::string RCFileName;
  // The lines of the RC mask the script is made from.
  std::vector<std::string> Mask;
  // Where a bare "Default.ver" is found.
  std::string SettingsDir;
  // Read for its version resource when the local version file is missing.
  std::string ExeFileName;
  // The store that reads icon files and reports their problems; the shared
  // store when none is set.
  TPersistenceObject* Store = nullptr;

  // Numeric fields "0", text fields empty, every mark vsNone.
  void ClearValues();
  // The stored value; an empty build number (file or product) reads as "0".
  std::string GetValue(TResourceTypeEnum field) const;
  // Keeps the field's mark.
  void SetValue(TResourceTypeEnum field, const std::string& text);
  TVersionSource GetSource(TResourceTypeEnum field) const;
  void SetValueAndSource(TResourceTypeEnum field, const std::string& text, TVersionSource source);

  // Fills every field that is still unset ("0" or empty, whatever its kind)
  // from section "Version" of the file, marking it with source even when the
  // file lacks its key. A bare "Default.ver" is taken from SettingsDir. A
  // missing local file falls back to ExeFileName's version resource; a
  // missing group file is passed over. A file that exists but is no profile
  // file raises its error.
  void LoadVersionFile(const std::string& fileName, TVersionSource source);
  // Clears, then the group file, then the local file: a value the group file
  // sets wins.
  void LoadMergedVersion(const std::string& localFile, const std::string& groupFile);
  // Writes all eighteen keys into the section; the name is used as given.
  void SaveVersionFile(const std::string& fileName, const std::string& section);
  // Overwrites every field but the icon with the values of the file's version
  // resource, marked vsExecutable; a file without one only raises the event.
  void ReadFromExecutable(const std::string& fileName);

  // The 1st to 4th number of a dotted version text ("1.2.3.4"). A text with
  // too few dots loses only its first character where the missing prefix
  // would go, so 10.0 gives 10, 0, 0, 0 and 7 gives 7 and three empty parts.
  static std::string ExtractVersionPart(int part, const std::string& versionText);

  // The heading, both version groups and the other ten fields, one a line,
  // each line ending in CR LF.
  std::string VersionSummaryText(const std::string& heading) const;
  // "VerInfo: 1.2.3.4; 5.6.7.8; " and fields Appid to OriginalFilename each
  // followed by "; ".
  std::string VersionShortText() const;

  // Writes RCFileName from Mask: the icon's bytes in place of the first
  // "#ICONDATA#" (or, without an icon, the mask's MAINICON section left out)
  // and the version values in place of their placeholders. Each of the eight
  // version parts must be a whole number from 0 to MaxVersionPart (blank
  // counts as 0): a resource compiler would cut a larger one to 16 bits. True
  // when the script was written; problems are reported through
  // OnResourceError, and only an icon file that exists but cannot be read
  // raises its error.
  bool GenerateResourceScript();
  // Whether each of the eight version parts is a whole number from 0 to
  // MaxVersionPart (blank counts as 0); the first that is not is reported
  // (for RCFileName).
  bool CheckVersionParts();

  // Counts the problem and raises OnResourceError with it.
  void RaiseResourceError(const std::string& filename, const std::string& info);

 private:
  bool InFallback = false;
};
