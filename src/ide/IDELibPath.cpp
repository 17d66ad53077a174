#include "ide/IDELibPath.h"

#include "platform/AsciiText.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace {

// A string value of an existing key, "" when the key or the value is missing.
std::string ReadRegistryString(platform::TRegistryRoot root, const std::string& keyPath, const std::string& valueName) {
  platform::TRegistryKey key;
  if (!key.Open(root, keyPath)) return "";
  return key.ReadString(valueName);  // the key is released however this ends
}

}  // namespace

std::optional<std::string> TFixedLibraryPathPrompt::AskDelphiVersion(const std::string& proposed) {
  Proposals.push_back(proposed);
  return Answer;
}

void TFixedLibraryPathPrompt::ShowMessage(const std::string& text) {
  Messages.push_back(text);
}

std::optional<std::vector<std::string>> GetDelphiLibraryPath(const std::string& proposedVersion,
                                                             TLibraryPathPrompt& prompt) {
  std::optional<std::string> version = prompt.AskDelphiVersion(proposedVersion);
  if (!version) return std::nullopt;
  if (*version != "5" && *version != "4") {
    prompt.ShowMessage(UnsupportedDelphiVersionMessage);
    return std::nullopt;
  }

  const std::string key = "\\Software\\Borland\\Delphi\\" + *version + ".0";
  const std::string searchPath =
      ReadRegistryString(platform::TRegistryRoot::CurrentUser, key + "\\Library", "Search Path");
  const std::string rootDir = ReadRegistryString(platform::TRegistryRoot::LocalMachine, key, "RootDir");

  std::vector<std::string> result;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = searchPath.find(';', start);
    std::string entry =
        platform::TrimControls(searchPath.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!entry.empty()) {
      for (char& c : entry)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      // Upper-casing first lets the macro be written in any letter case.
      std::size_t macro = entry.find("$(DELPHI)");
      if (macro != std::string::npos) entry.replace(macro, 9, rootDir);
      if (platform::DirectoryExists(platform::MapWindowsPath(entry))) result.push_back(entry);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return result;
}
