#include "support/RegistryTest.h"

void TRegistryTest::SetUp() {
  TTestDir::SetUp();
#ifndef _WIN32
  Prefix = Path("prefix");
  SetEnv("WINEPREFIX", Prefix);
#endif
}

void TRegistryTest::WriteRegistry(platform::TRegistryRoot root, const std::string& regText,
                                  const std::vector<std::string>& keys) {
#ifdef _WIN32
  for (const std::string& key : keys) DeleteRegistryTree(root, key);
  WriteRegistryKeys(root, regText, keys);
#else
  (void)keys;
  WriteBytes(root == platform::TRegistryRoot::CurrentUser ? "prefix/user.reg" : "prefix/system.reg", regText);
#endif
}
