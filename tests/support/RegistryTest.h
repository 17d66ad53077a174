#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "support/ScratchRegistry.h"
#include "support/TestDir.h"
#include "support/ToolsTest.h"

// A test directory with a registry of the test's own. On POSIX the registry
// is the text files of a Wine prefix in the test directory (Prefix); on
// Windows keys go through the API into scratch keys, so that nothing of the
// machine is read or changed. Both go with the test.
class TRegistryTest : public TTestDir {
 protected:
  void SetUp() override;
  // The keys of a registry file's text (the format of Wine's user.reg and
  // system.reg) as the keys of a root: on POSIX the text is that root's file;
  // on Windows the named keys are written anew through the API.
  void WriteRegistry(platform::TRegistryRoot root, const std::string& regText, const std::vector<std::string>& keys);

  std::string Prefix;
#ifdef _WIN32
  std::optional<TScratchRegistry> Scratch{std::in_place};
#else
  TEnvScope SavedPrefix{"WINEPREFIX"};
#endif
};
