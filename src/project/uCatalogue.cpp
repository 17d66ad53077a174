#include "project/uCatalogue.h"

#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "project/uGlobalConstants.h"

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
  for (auto& [name, directory] : ini.ReadSectionValues(CatalogueSection))
    if (!directory.empty()) catalogue.push_back(TCatalogueEntry{name, directory});
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
  ini.WriteString(CatalogueSection, name, directory);
  ini.UpdateFile();
}
