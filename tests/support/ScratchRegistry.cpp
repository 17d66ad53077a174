#include "support/ScratchRegistry.h"

#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <random>

namespace {

HKEY RootKey(platform::TRegistryRoot root) {
  return root == platform::TRegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

HKEY CreateKey(HKEY parent, const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  const LONG rc = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
  EXPECT_EQ(rc, ERROR_SUCCESS) << "cannot create the key " << path;
  return rc == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

TScratchRegistry::TScratchRegistry() {
  std::random_device rd;
  Base = "Software\\Tesmar Tests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(rd());
  User = CreateKey(HKEY_CURRENT_USER, Base + "\\CurrentUser", 0);
  Machine = CreateKey(HKEY_CURRENT_USER, Base + "\\LocalMachine", 0);
  if (User) {
    EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, static_cast<HKEY>(User)), ERROR_SUCCESS);
  }
  if (Machine) {
    EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, static_cast<HKEY>(Machine)), ERROR_SUCCESS);
  }
}

TScratchRegistry::~TScratchRegistry() {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  if (User) RegCloseKey(static_cast<HKEY>(User));
  if (Machine) RegCloseKey(static_cast<HKEY>(Machine));
  RegDeleteTreeA(HKEY_CURRENT_USER, Base.c_str());
}

void WriteRegistryKeys(platform::TRegistryRoot root, const std::string& regText,
                       const std::vector<std::string>& keyPaths, bool sixtyFourBitView) {
  using enum platform::TRegValueType;
  const std::map<platform::TRegValueType, DWORD> types{
      {String, REG_SZ},   {ExpandString, REG_EXPAND_SZ}, {MultiString, REG_MULTI_SZ},
      {DWord, REG_DWORD}, {Binary, REG_BINARY},          {Other, REG_NONE}};
  const platform::TWineRegistry registry = platform::TWineRegistry::Parse(regText);
  for (const std::string& path : keyPaths) {
    const auto* values = registry.FindKey(path);
    ASSERT_NE(values, nullptr) << path << " is not in the text";
    HKEY key = CreateKey(RootKey(root), path, sixtyFourBitView ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
    ASSERT_NE(key, nullptr);
    for (const auto& [name, value] : *values) {
      const DWORD type = types.at(value.Type);
      std::string data(value.Bytes.begin(), value.Bytes.end());  // Binary and Other
      if (type == REG_DWORD) data.assign(reinterpret_cast<const char*>(&value.Number), sizeof value.Number);
      if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) data = value.Text + '\0';
      EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size())),
                ERROR_SUCCESS)
          << path << ": " << name;
    }
    RegCloseKey(key);
  }
}

void DeleteRegistryTree(platform::TRegistryRoot root, const std::string& keyPath) {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) continue;
    RegDeleteTreeA(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExA(RootKey(root), keyPath.c_str(), view, 0);
  }
}

#endif
