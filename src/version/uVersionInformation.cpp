#include "version/uVersionInformation.h"

#include <array>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/PEResources.h"
#include "platform/TextFile.h"

namespace {

// Larger files are not read for their version resource: their size call fails.
constexpr std::uint64_t MaxExecutableSize = 512ull * 1024 * 1024;

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
  std::string image;
  try {
    image = platform::ReadFileBytes(fileName, MaxExecutableSize);
  } catch (const TError&) {
    // Unreadable or too large: there is no version resource to size.
    image.clear();
  }
  LoadVersionInfoFromImage(fileName, image);
}

void TVersionInformation::LoadVersionInfoFromImage(const std::string& fileName, std::string_view image) {
  FileName = fileName;
  Release();

  const auto resource = platform::FindVersionResource(image);
  if (!resource || resource->empty()) {
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

std::string TVersionInformation::ResourceName(tMSResourceNameEnum name) {
  if (name < msFileVersion || name > msOriginalFilename) return "";
  return std::string(MemberNames[name]).substr(2);
}

TVersionInformation& VersionInformation() {
  static TVersionInformation instance;
  return instance;
}
