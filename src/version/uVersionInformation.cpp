#include "version/uVersionInformation.h"

#include <array>
#include <optional>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/PEResources.h"
#include "platform/TextFile.h"

namespace {

// A version resource counts its length in 16 bits.
constexpr std::uint64_t MaxVersionResourceSize = 65535;

constexpr std::array<const char*, MSResourceNameCount> MemberNames = {
    "msFileVersion",  "msProductVersion", "msFileDescription", "msCompanyName", "msComments",
    "msInternalName", "msLegalCopyright", "msLegalTrademarks", "msProductName", "msOriginalFilename"};

// Four uppercase hexadecimal digits, zero-padded.
std::string Hex4(unsigned value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) out[i] = digits[value & 0xF];
  return out;
}

}  // namespace

void TVersionInformation::Release() {
  Buffer.clear();
  Buffer.shrink_to_fit();
  BufferSize = 0;
  Translation = nullptr;
}

void TVersionInformation::LoadVersionInfo(const std::string& fileName) {
  if (!platform::FileExists(fileName)) {
    FileName = fileName;
    Release();
    ErrorText = "File " + fileName + " not found by version information object.";
    Loaded = false;
    return;
  }
  // Only the headers, the resource directory and the resource itself are
  // read: an executable of any size costs a few reads.
  std::optional<std::string> resource;
  try {
    const platform::TFileReader file(fileName);
    resource = platform::ReadResourceData(
        file.Size(), [&file](std::uint64_t at, std::size_t length) { return file.ReadAt(at, length); },
        platform::ResourceTypeVersion, MaxVersionResourceSize);
  } catch (const TError&) {
    // Unreadable: there is no version resource to size.
    resource.reset();
  }
  LoadVersionResource(fileName, resource ? std::string_view(*resource) : std::string_view());
}

void TVersionInformation::LoadVersionInfoFromImage(const std::string& fileName, std::string_view image) {
  LoadVersionResource(fileName, platform::FindVersionResource(image).value_or(std::string_view()));
}

void TVersionInformation::LoadVersionResource(const std::string& fileName, std::string_view resourceBytes) {
  FileName = fileName;
  Release();

  const std::optional<std::string_view> resource =
      resourceBytes.empty() ? std::nullopt : std::optional<std::string_view>(resourceBytes);
  if (!resource) {
    ErrorText = "Ver Info size call failed for " + fileName;
    Loaded = false;
    return;
  }

  Loaded = true;
  Buffer.assign(resource->begin(), resource->end());
  BufferSize = Buffer.size();
  const std::string_view block(reinterpret_cast<const char*>(Buffer.data()), BufferSize);
  if (!platform::IsVersionBlock(block)) {
    ErrorText = "Cannot retrieve Version Information for " + fileName;
    Loaded = false;
  }

  // Asked even when the resource could not be read as version information: a
  // missing table then has the last word.
  const auto table = platform::QueryVersionBinary(block, "\\VarFileInfo\\Translation");
  if (table && table->size() >= 4) {
    Translation = Buffer.data() + (table->data() - block.data());
  } else {
    ErrorText = "No language pointer in version information for " + fileName;
    Loaded = false;
  }
}

std::string TVersionInformation::GetVersionString(const std::string& name) {
  if (BufferSize == 0) {
    ErrorText = "VerInfo object not initialized for " + FileName;
    Loaded = false;
    return "";
  }
  if (!Translation) return "";
  const unsigned language = Translation[0] | Translation[1] << 8;
  const unsigned codePage = Translation[2] | Translation[3] << 8;
  const std::string path = "\\StringFileInfo\\" + Hex4(language) + Hex4(codePage) + "\\" + name;
  const std::string_view block(reinterpret_cast<const char*>(Buffer.data()), BufferSize);
  return platform::QueryVersionText(block, path).value_or("");
}

bool TVersionInformation::GetFixedVersions(std::string& fileVersion, std::string& productVersion) const {
  if (!Loaded || BufferSize == 0) return false;
  const std::string_view block(reinterpret_cast<const char*>(Buffer.data()), BufferSize);
  const auto fixed = platform::QueryVersionBinary(block, "\\");
  // VS_FIXEDFILEINFO: its signature, the structure version, then the two
  // versions, each as a most and a least significant 32-bit half.
  if (!fixed || fixed->size() < 24) return false;
  auto word = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>((*fixed)[at]) | static_cast<unsigned char>((*fixed)[at + 1])
                                                                                << 8);
  };
  if (word(0) != 0x04BD || word(2) != 0xFEEF) return false;
  auto version = [&](std::size_t at) {
    return std::to_string(word(at + 2)) + "." + std::to_string(word(at)) + "." + std::to_string(word(at + 6)) + "." +
           std::to_string(word(at + 4));
  };
  fileVersion = version(8);
  productVersion = version(16);
  return true;
}

std::string TVersionInformation::ResourceName(tMSResourceNameEnum name) {
  if (name < msFileVersion || name > msOriginalFilename) return "";
  return std::string(MemberNames[name]).substr(2);
}

TVersionInformation& VersionInformation() {
  static TVersionInformation instance;
  return instance;
}
