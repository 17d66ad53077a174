#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The version resource of executable files: loaded once per file, then asked
// for its standard strings in the first language the resource lists.

// The ten standard version strings, in this order. A member's resource string
// name is its name without the "ms".
enum tMSResourceNameEnum {
  msFileVersion,
  msProductVersion,
  msFileDescription,
  msCompanyName,
  msComments,
  msInternalName,
  msLegalCopyright,
  msLegalTrademarks,
  msProductName,
  msOriginalFilename
};

inline constexpr std::size_t MSResourceNameCount = msOriginalFilename + 1;

// No operation throws: a failure leaves Loaded false and its message in
// ErrorText.
class TVersionInformation {
 public:
  TVersionInformation() = default;
  // Translation points into Buffer, so the object is never copied.
  TVersionInformation(const TVersionInformation&) = delete;
  TVersionInformation& operator=(const TVersionInformation&) = delete;

  std::string FileName;  // the file last loaded
  // The first entry of the resource's translation table inside Buffer, or
  // nullptr: four bytes, the language in the low word, the code page in the
  // high word (little-endian).
  const std::uint8_t* Translation = nullptr;
  std::vector<std::uint8_t> Buffer;  // the whole version resource of the last load
  std::size_t BufferSize = 0;        // 0 when nothing is loaded
  bool Loaded = false;
  std::string ErrorText;  // the last failure; meaningful only while Loaded is false

  void LoadVersionInfo(const std::string& fileName);
  // As LoadVersionInfo, for a file whose bytes are already at hand (image): no
  // existence test and no file reading.
  void LoadVersionInfoFromImage(const std::string& fileName, std::string_view image);

  // The value of a string in the first language of the loaded resource, or "".
  std::string GetVersionString(const std::string& name);
  // The two versions of the resource's fixed information ("1.2.0.42"), the
  // numbers the system itself shows; false when it has none.
  bool GetFixedVersions(std::string& fileVersion, std::string& productVersion) const;

  static std::string ResourceName(tMSResourceNameEnum name);

 private:
  void Release();
  // Takes the bytes of a version resource (none: the file has none).
  void LoadVersionResource(const std::string& fileName, std::string_view resource);
};

// The one reader of the program, created on first use.
TVersionInformation& VersionInformation();
