#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/TextFile.h"

namespace platform {

namespace {

// The prefix's registry file of a root, parsed; empty when it is missing,
// unreadable or not a registry file.
TWineRegistry LoadRoot(TRegistryRoot root) {
  std::string file = WinePrefix() + (root == TRegistryRoot::CurrentUser ? "/user.reg" : "/system.reg");
  try {
    if (!FileExists(file)) return {};
    TWineRegistry registry = TWineRegistry::Parse(ReadFileBytes(file));
    if (!registry.HeaderOK()) return {};
    return registry;
  } catch (const TError&) {
    return {};
  }
}

bool StartsWithSoftware(const std::string& lowerKey) {
  return lowerKey == "software" || lowerKey.rfind("software\\", 0) == 0;
}

}  // namespace

std::string WinePrefix() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix && *prefix) return prefix;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : "";
  }
  return std::string(home ? home : "") + "/.wine";
}

std::string MapWindowsPath(const std::string& windowsPath) {
  const std::string& p = windowsPath;
  bool drive = p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) &&
               (p.size() == 2 || p[2] == '\\' || p[2] == '/');
  if (!drive) return windowsPath;
  std::string mapped = WinePrefix() + "/dosdevices/";
  mapped += static_cast<char>(p[0] >= 'A' && p[0] <= 'Z' ? p[0] - 'A' + 'a' : p[0]);
  mapped += ':';
  for (std::size_t i = 2; i < p.size(); ++i) mapped += p[i] == '\\' ? '/' : p[i];
  return ResolvePath(mapped);
}

bool TRegistryKey::Open(TRegistryRoot root, const std::string& keyPath) {
  Close();
  TWineRegistry registry = LoadRoot(root);
  std::string key = RegistryKeyName(keyPath);
  const std::map<std::string, TRegValue>* values = nullptr;
  // A 32-bit program's view of a 64-bit prefix.
  if (root == TRegistryRoot::LocalMachine && registry.Arch() == "win64" && StartsWithSoftware(key))
    values = registry.FindKey("software\\wow6432node" + key.substr(8));
  if (!values) values = registry.FindKey(key);
  if (!values) return false;
  Values = *values;
  Opened = true;
  return true;
}

void TRegistryKey::Close() {
  Values.clear();
  Opened = false;
}

std::string TRegistryKey::ReadString(const std::string& valueName) const {
  std::string name = valueName;
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  auto it = Values.find(name);
  if (it == Values.end()) return "";
  const TRegValue& value = it->second;
  if (value.Type != TRegValueType::String && value.Type != TRegValueType::ExpandString)
    throw TError("Invalid data type for '" + valueName + "'");
  // A string ends at its first NUL, as the Windows string functions read it.
  return value.Text.substr(0, value.Text.find('\0'));
}

}  // namespace platform
