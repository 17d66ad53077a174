#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "support/TestDir.h"

// Helpers that the tests of the tools, the version reader and the resource
// scripts share: bytes of binary formats, the stand-in tools, and reading
// compiled resources back with a program that knows nothing of ours.

// Little-endian numbers and UTF-16LE text (ASCII in, each character widened).
std::string Le16(unsigned value);
std::string Le32(std::uint32_t value);
std::uint32_t U16(const std::string& bytes, std::size_t at);
std::uint32_t U32(const std::string& bytes, std::size_t at);
std::string Utf16(const std::string& ascii);

// A real 16x16 32-bit icon file of one image (the image follows its 22-byte
// header), with trailing bytes after the image that let a test choose the
// file's length.
std::string IconFile(std::size_t trailing = 0);

// A file of the version reader's fixtures (tests/data/version).
std::string VersionFixture(const std::string& name);
// The ten version strings of the fixture full.exe (and full64.exe), in the
// order of the reader's names (tMSResourceNameEnum).
extern const char* const FullFixtureStrings[10];

// Runs a stand-in tool of the build ("BRCC32", "DCC32") in the current
// directory with the given arguments.
TCommandRun RunTool(const std::string& tool, const std::string& arguments);

#ifndef _WIN32
// A compiled resource file decompiled by binutils' windres into its script
// form; "" when windres is not installed (WindresMissing says why).
std::string WindresListing(const std::string& resFile);
#endif
// Why compiled resources cannot be read back by another program here; "" when
// they can (on Windows by the system itself, elsewhere by windres).
std::string WindresMissing();

// The message of the exception of type TException that a call throws;
// "(no error)" when it throws nothing. Another exception fails the test.
template <typename TException = std::exception, typename TCall>
std::string ErrorText(TCall&& call) {
  try {
    call();
  } catch (const TException& e) {
    return e.what();
  }
  return "(no error)";
}

// Keeps an environment variable as it was and puts it back when it goes.
class TEnvScope {
 public:
  explicit TEnvScope(std::string name);
  ~TEnvScope();
  TEnvScope(const TEnvScope&) = delete;
  TEnvScope& operator=(const TEnvScope&) = delete;

 private:
  std::string Name;
  std::optional<std::string> Saved;
};
