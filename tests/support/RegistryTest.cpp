#include "support/RegistryTest.h"

void TRegistryTest::SetUp() {
  TTestDir::SetUp();
#ifdef _WIN32
  Scratch = std::make_unique<TScratchRegistry>();
#else
  SavedPrefix.emplace("WINEPREFIX");
  Prefix = Path("prefix");
  SetEnv("WINEPREFIX", Prefix);
#endif
}

void TRegistryTest::TearDown() {
#ifdef _WIN32
  Scratch.reset();
#else
  SavedPrefix.reset();
#endif
  TTestDir::TearDown();
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
