#include "version/uRCBuilder.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>

#include "platform/FileSystem.h"
#include "platform/ProfileCache.h"
#include "platform/TextFile.h"
#include "project/uPersistence.h"
#include "version/uVersionInformation.h"

namespace {

const char* const VersionSection = "Version";
const char* const DefaultVersionFile = "Default.ver";
const char* const IconDataPlaceholder = "#ICONDATA#";
const char* const IconSectionMarker = "MAINICON";
// The icon section is the MAINICON line and the three after it.
constexpr std::size_t IconSectionTailLines = 3;
// Cutting the tail of a version part stops after this many characters.
constexpr std::size_t MaxTailCut = 100;

bool IsNumericField(TResourceTypeEnum field) {
  return field <= reAppid;
}

struct TPlaceholder {
  const char* Text;
  TResourceTypeEnum Field;
};

// In the order they are replaced: a value holding a placeholder of a later
// row is filled in again by that row.
const std::array<TPlaceholder, 17>& Placeholders() {
  static const std::array<TPlaceholder, 17> rows{{
      {"#Major#", reMajor},
      {"#Minor#", reMinor},
      {"#Release#", reRelease},
      {"#Build#", reBuild},
      {"#AppID#", reAppid},
      {"#ProductMajor#", reProductMajor},
      {"#ProductMinor#", reProductMinor},
      {"#ProductRelease#", reProductRelease},
      {"#ProductBuild#", reProductBuild},
      {"#Company#", reCompany},
      {"#Description#", reDescription},
      {"#InternalName#", reInternalName},
      {"#LegalCopyright#", reLegalCopyright},
      {"#LegalTrademarks#", reLegalTrademarks},
      {"#OriginalFilename#", reOriginalFilename},
      {"#ProductName#", reProductName},
      {"#Comments#", reComments},
  }};
  return rows;
}

// Nothing but blanks and control characters (bytes up to the blank, and DEL).
bool IsBlank(const std::string& text) {
  for (unsigned char c : text)
    if (c > ' ' && c != 0x7F) return false;
  return true;
}

// Decimal digits (blanks around them allowed) of a value from 0 to
// MaxVersionPart.
bool IsVersionPart(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  const auto last = text.find_last_not_of(" \t");
  if (first == std::string::npos) return false;
  long value = 0;
  for (std::size_t i = first; i <= last; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > MaxVersionPart) return false;
  }
  return true;
}

// Every occurrence, left to right; inserted text is not searched again.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  std::string result;
  std::size_t start = 0;
  for (std::size_t found = text.find(from); found != std::string::npos; found = text.find(from, start)) {
    result.append(text, start, found - start);
    result += to;
    start = found + from.size();
  }
  result.append(text, start, std::string::npos);
  return result;
}

// The text from its first '.' on removed, at most MaxTailCut characters of it.
std::string CutTailAtDot(std::string text) {
  const std::size_t dot = text.find('.');
  if (dot != std::string::npos) text.erase(dot, MaxTailCut);
  return text;
}

// The text after its dots-th '.'; with fewer dots than that only the first
// character goes.
std::string DropPrefix(std::string text, int dots) {
  std::size_t pos = std::string::npos;
  for (int i = 0; i < dots; ++i) {
    pos = text.find('.', pos == std::string::npos ? 0 : pos + 1);
    if (pos == std::string::npos) break;
  }
  if (pos == std::string::npos)
    text.erase(0, 1);
  else
    text.erase(0, pos + 1);
  return text;
}

std::string JoinFields(const TResourceHandler& handler, TResourceTypeEnum first, TResourceTypeEnum last) {
  std::string result;
  for (int field = first; field <= last; ++field) {
    if (field != first) result += '.';
    result += handler.GetValue(static_cast<TResourceTypeEnum>(field));
  }
  return result;
}

}  // namespace

TResourceHandler::TResourceHandler() = default;

void TResourceHandler::RaiseResourceError(const std::string& filename, const std::string& info) {
  if (!InFallback) ++ErrorCount;
  if (OnResourceError) OnResourceError(filename, info);
}

void TResourceHandler::ClearValues() {
  for (auto field : AllResourceTypes()) SetValueAndSource(field, IsNumericField(field) ? "0" : "", vsNone);
}

std::string TResourceHandler::GetValue(TResourceTypeEnum field) const {
  const std::string& value = Values.at(field).Value;
  if (value.empty() && (field == reBuild || field == reProductBuild)) return "0";
  return value;
}

void TResourceHandler::SetValue(TResourceTypeEnum field, const std::string& text) {
  Values.at(field).Value = text;
}

TVersionSource TResourceHandler::GetSource(TResourceTypeEnum field) const {
  return Values.at(field).Source;
}

void TResourceHandler::SetValueAndSource(TResourceTypeEnum field, const std::string& text, TVersionSource source) {
  Values.at(field) = TVersionValue{text, source};
}

void TResourceHandler::LoadVersionFile(const std::string& fileName, TVersionSource source) {
  const std::string name = fileName == DefaultVersionFile ? PathJoin(SettingsDir, DefaultVersionFile) : fileName;
  if (platform::FileExists(name)) {
    const auto profile = platform::OpenSharedProfile(name);
    for (auto field : AllResourceTypes()) {
      const std::string current = GetValue(field);
      if (current != "0" && !current.empty()) continue;
      const std::string key = GlobalStuff().ResourceTypeName(field);
      SetValueAndSource(field, profile->ReadString(VersionSection, key, current), source);
    }
    return;
  }
  if (source != vsLocalFile) return;
  // No local file is a layout of its own (the group file's values alone):
  // what this fallback meets is said, but it is no fault of the version.
  struct TFallback {
    bool& Flag;
    const bool Was;
    explicit TFallback(bool& flag) : Flag(flag), Was(flag) { Flag = true; }
    ~TFallback() { Flag = Was; }
  } fallback(InFallback);
  RaiseResourceError(name, "Did not exist, trying to read version info from .exe");
  try {
    ReadFromExecutable(ExeFileName);
  } catch (const std::exception& e) {
    RaiseResourceError(ExeFileName, std::string("Unable to read version info from exe, ") + e.what());
  }
}

void TResourceHandler::LoadMergedVersion(const std::string& localFile, const std::string& groupFile) {
  ClearValues();
  LoadVersionFile(groupFile, vsGroupFile);
  LoadVersionFile(localFile, vsLocalFile);
}

void TResourceHandler::SaveVersionFile(const std::string& fileName, const std::string& section) {
  try {
    const auto profile = platform::OpenSharedProfile(fileName);
    for (auto field : AllResourceTypes())
      profile->WriteString(section, GlobalStuff().ResourceTypeName(field), GetValue(field));
    platform::UpdateSharedProfile(profile);
  } catch (const std::exception& e) {
    RaiseResourceError("Problem saving " + fileName, e.what());
  }
}

void TResourceHandler::ReadFromExecutable(const std::string& fileName) {
  TVersionInformation& reader = VersionInformation();
  reader.LoadVersionInfo(fileName);
  if (!reader.Loaded) {
    RaiseResourceError(fileName, reader.ErrorText);
    return;
  }
  const std::string fileVersion = reader.GetVersionString("FileVersion");
  const std::string productVersion = reader.GetVersionString("ProductVersion");
  for (int part = 1; part <= 4; ++part) {
    SetValueAndSource(static_cast<TResourceTypeEnum>(reMajor + part - 1), ExtractVersionPart(part, fileVersion),
                      vsExecutable);
    SetValueAndSource(static_cast<TResourceTypeEnum>(reProductMajor + part - 1),
                      ExtractVersionPart(part, productVersion), vsExecutable);
  }
  SetValueAndSource(reAppid, "AppID", vsExecutable);
  const struct {
    TResourceTypeEnum Field;
    const char* Name;
  } strings[] = {
      {reCompany, "CompanyName"},
      {reDescription, "FileDescription"},
      {reInternalName, "InternalName"},
      {reLegalCopyright, "LegalCopyright"},
      {reLegalTrademarks, "LegalTrademarks"},
      {reOriginalFilename, "OriginalFilename"},
      {reProductName, "ProductName"},
      {reComments, "Comments"},
  };
  for (const auto& s : strings) SetValueAndSource(s.Field, reader.GetVersionString(s.Name), vsExecutable);
}

std::string TResourceHandler::ExtractVersionPart(int part, const std::string& versionText) {
  switch (part) {
    case 1:
      return CutTailAtDot(versionText);
    case 2:
    case 3:
      return CutTailAtDot(DropPrefix(versionText, part - 1));
    case 4: {
      const std::size_t dot = versionText.rfind('.');
      if (dot == std::string::npos) return versionText.substr(versionText.empty() ? 0 : 1);
      return versionText.substr(dot + 1);
    }
    default:
      return "";
  }
}

std::string TResourceHandler::VersionSummaryText(const std::string& heading) const {
  std::string text = heading + "\r\n";
  text += "FileVersion = " + JoinFields(*this, reMajor, reBuild) + "\r\n";
  text += "ProductVersion = " + JoinFields(*this, reProductMajor, reProductBuild) + "\r\n";
  for (int field = reAppid; field <= reIconFileName; ++field) {
    const auto f = static_cast<TResourceTypeEnum>(field);
    text += GlobalStuff().ResourceTypeName(f) + " = " + GetValue(f) + "\r\n";
  }
  return text;
}

std::string TResourceHandler::VersionShortText() const {
  std::string text = "VerInfo: " + JoinFields(*this, reMajor, reBuild) + "; ";
  text += JoinFields(*this, reProductMajor, reProductBuild) + "; ";
  for (int field = reAppid; field <= reOriginalFilename; ++field)
    text += GetValue(static_cast<TResourceTypeEnum>(field)) + "; ";
  return text;
}

bool TResourceHandler::CheckVersionParts() {
  for (int field = reMajor; field <= reProductBuild; ++field) {
    const auto f = static_cast<TResourceTypeEnum>(field);
    const std::string value = GetValue(f);
    if (!IsBlank(value) && !IsVersionPart(value)) {
      RaiseResourceError(RCFileName, GlobalStuff().ResourceTypeName(f) + " is " + value +
                                         ": a version part is a whole number from 0 to " +
                                         std::to_string(MaxVersionPart) + ".");
      return false;
    }
  }
  return true;
}

bool TResourceHandler::GenerateResourceScript() {
  if (Mask.empty()) {
    RaiseResourceError(RCFileName, "Resource Mask empty.");
    return false;
  }
  if (!CheckVersionParts()) return false;
  std::string text = platform::JoinLines(Mask);

  std::string iconData;
  if ((Store ? *Store : Persistence()).GetIconData(RCFileName, GetValue(reIconFileName), iconData)) {
    const std::size_t at = text.find(IconDataPlaceholder);
    if (at != std::string::npos) text.replace(at, std::string(IconDataPlaceholder).size(), iconData);
  } else {
    std::size_t line = 0;
    while (line < Mask.size() && Mask[line].find(IconSectionMarker) == std::string::npos) ++line;
    if (line == Mask.size()) {
      RaiseResourceError(RCFileName, "RC Mask file doesn't contain MAINICON section.");
      return false;
    }
    // A section cut short by the end of the mask loses what it has.
    std::vector<std::string> lines = Mask;
    const std::size_t end = std::min(lines.size(), line + 1 + IconSectionTailLines);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(line), lines.begin() + static_cast<std::ptrdiff_t>(end));
    text = platform::JoinLines(lines);
  }

  for (const auto& row : Placeholders()) {
    std::string value = GetValue(row.Field);
    if (IsNumericField(row.Field) && IsBlank(value)) value = "0";
    text = ReplaceAll(text, row.Text, value);
  }

  // A value with line breaks of its own gives lines of their own, each ended
  // with CR LF like the rest.
  try {
    platform::WriteTextLines(RCFileName, platform::SplitLines(text));
    return true;
  } catch (const std::exception& e) {
    RaiseResourceError(RCFileName, "Could not save " + RCFileName + ": " + e.what());
    return false;
  }
}
