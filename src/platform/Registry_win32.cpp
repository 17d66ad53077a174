#include <windows.h>

#include <vector>

#include "platform/Error.h"
#include "platform/Registry.h"

namespace platform {

std::string WinePrefix() {
  return "";
}

std::string MapWindowsPath(const std::string& windowsPath) {
  return windowsPath;
}

bool TRegistryKey::Open(TRegistryRoot root, const std::string& keyPath) {
  Close();
  std::string key = keyPath;
  while (!key.empty() && key.front() == '\\') key.erase(0, 1);
  HKEY hroot = root == TRegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  HKEY handle = nullptr;
  // The 32-bit view first: the keys we read belong to 32-bit programs. A key
  // that only the 64-bit view holds is still found, as in a Wine prefix.
  if (RegOpenKeyExA(hroot, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &handle) != ERROR_SUCCESS &&
      RegOpenKeyExA(hroot, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
    return false;
  Handle = handle;
  Opened = true;
  return true;
}

void TRegistryKey::Close() {
  if (Handle) RegCloseKey(static_cast<HKEY>(Handle));
  Handle = nullptr;
  Values.clear();
  Opened = false;
}

std::string TRegistryKey::ReadString(const std::string& valueName) const {
  if (!Handle) return "";
  HKEY handle = static_cast<HKEY>(Handle);
  const char* name = valueName.c_str();
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return "";
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw TError("Invalid data type for '" + valueName + "'");
  // The value may grow between the two calls; ask again with the new size.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::vector<char> data(size + 1, '\0');
    DWORD got = size;
    LONG rc = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (rc != ERROR_SUCCESS) return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw TError("Invalid data type for '" + valueName + "'");
    data[got] = '\0';
    return std::string(data.data());
  }
  return "";
}

}  // namespace platform
