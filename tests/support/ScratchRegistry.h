#pragma once

// The Windows registry in tests: keys written through the API, in scratch
// keys of the test's own. Only on Windows; elsewhere the registry is the text
// files of a Wine prefix, which tests write as files.
#ifdef _WIN32

#include <string>
#include <vector>

#include "platform/Registry.h"

// While one lives, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE of this process
// are empty scratch keys (RegOverridePredefKey): what a test writes there is
// seen by no other process, tests running side by side included, and nothing
// of the machine's own keys is seen. They are removed with the object.
class TScratchRegistry {
 public:
  TScratchRegistry();
  ~TScratchRegistry();
  TScratchRegistry(const TScratchRegistry&) = delete;
  TScratchRegistry& operator=(const TScratchRegistry&) = delete;

 private:
  std::string Base;  // under the real HKEY_CURRENT_USER
  void* User = nullptr;
  void* Machine = nullptr;
};

// Writes the named keys of a registry file's text (the format of Wine's
// user.reg and system.reg, which the tests on other systems write as files)
// through the API, with their values and value types: in the view of 32-bit
// programs, or of 64-bit ones. Fails the test when a key cannot be written.
void WriteRegistryKeys(platform::TRegistryRoot root, const std::string& regText,
                       const std::vector<std::string>& keyPaths, bool sixtyFourBitView = false);
// Removes a key with everything below it, in both views.
void DeleteRegistryTree(platform::TRegistryRoot root, const std::string& keyPath);

#endif
