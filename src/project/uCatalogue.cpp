#include "project/uCatalogue.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "project/uGlobalConstants.h"

namespace {

// The key that stores a project's name. A name that a key holds as it is
// stays byte for byte; one it cannot hold (with '=' or a line break, one
// that begins with ';' or '[' or ends with a blank, the empty name) is
// stored as '%' followed by the name with those characters as %XX. A name
// that begins with '%' itself is stored so too, so that it reads back.
constexpr char EscapedMark = '%';

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string KeyOfName(const std::string& name) {
  if (!name.empty() && name.find_first_of("=\r\n") == std::string::npos && name.front() != ';' && name.front() != '[' &&
      name.front() != EscapedMark && !IsBlank(name.front()) && !IsBlank(name.back()))
    return name;
  std::string key(1, EscapedMark);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (std::string_view("%=;[\r\n").find(c) != std::string_view::npos || (i + 1 == name.size() && IsBlank(c))) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      key += escaped;
    } else {
      key += c;
    }
  }
  return key;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The name a key stores; a key that begins with '%' but was not written by
// KeyOfName is a name as it stands.
std::string NameOfKey(const std::string& key) {
  if (key.empty() || key.front() != EscapedMark) return key;
  std::string name;
  for (std::size_t i = 1; i < key.size(); ++i) {
    if (key[i] != '%') {
      name += key[i];
      continue;
    }
    if (i + 2 >= key.size() || HexDigit(key[i + 1]) < 0 || HexDigit(key[i + 2]) < 0) return key;
    name += static_cast<char>(HexDigit(key[i + 1]) * 16 + HexDigit(key[i + 2]));
    i += 2;
  }
  return name;
}

}  // namespace

std::string ProgramSettingsDirOf(const std::string& programDir) {
  if (platform::InstalledDataDirOf(programDir).empty() && platform::IsDirectoryWritable(programDir)) return programDir;
  return platform::UserConfigDir();
}

std::string ProgramSettingsDir() {
  return ProgramSettingsDirOf(platform::ProgramDir());
}

std::string ProgramIniFile() {
  if (const char* named = std::getenv(ProgramIniVariable); named && *named) return named;
  return PathJoin(ProgramSettingsDir(), ProgramIniName);
}

std::string ProgramOptionsListFile() {
  return PathJoin(ProgramSettingsDir(), ProgramOptionsListName);
}

TCatalogue ReadCatalogue(const std::string& iniFile) {
  TCatalogue catalogue;
  const platform::TProfileFile ini(iniFile);
  for (auto& [key, directory] : ini.ReadSectionValues(CatalogueSection))
    if (!directory.empty()) catalogue.push_back(TCatalogueEntry{NameOfKey(key), directory});
  return catalogue;
}

int FindCatalogueEntry(const TCatalogue& catalogue, const std::string& argument) {
  if (argument.empty()) return -1;
  for (std::size_t i = 0; i < catalogue.size(); ++i)
    if (catalogue[i].Line().find(argument) != std::string::npos) return static_cast<int>(i);
  return -1;
}

void AddCatalogueEntry(const std::string& iniFile, const std::string& name, const std::string& directory) {
  const std::string iniDir = platform::ExtractFileDir(iniFile);
  if (!iniDir.empty() && !platform::DirectoryExists(iniDir)) platform::ForceDirectories(iniDir);
  platform::TProfileFile ini(iniFile);
  ini.WriteString(CatalogueSection, KeyOfName(name), directory);
  ini.UpdateFile();
}

std::string ReadProgramSetting(const std::string& iniFile, const std::string& key) {
  return platform::TProfileFile(iniFile).ReadString(ProgramSection, key, "");
}

void WriteProgramSetting(const std::string& iniFile, const std::string& key, const std::string& value) {
  const std::string iniDir = platform::ExtractFileDir(iniFile);
  if (!iniDir.empty() && !platform::DirectoryExists(iniDir)) platform::ForceDirectories(iniDir);
  platform::TProfileFile ini(iniFile);
  // A value in matching quotes is read without them: another pair keeps them.
  const bool quoted =
      value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'');
  ini.WriteString(ProgramSection, key, quoted ? '"' + value + '"' : value);
  ini.UpdateFile();
}
