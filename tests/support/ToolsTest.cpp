#include "support/ToolsTest.h"

#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/Process.h"

std::string Le16(unsigned value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
}

std::string Le32(std::uint32_t value) {
  return Le16(value & 0xFFFF) + Le16(value >> 16);
}

std::uint32_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes.at(at)) | static_cast<unsigned char>(bytes.at(at + 1)) << 8;
}

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += Le16(static_cast<unsigned char>(c));
  return out;
}

std::string IconFile(std::size_t trailing) {
  std::string image = Le32(40) + Le32(16) + Le32(32) + Le16(1) + Le16(32) + std::string(24, '\0');
  for (std::uint32_t i = 0; i < 16 * 16; ++i) image += Le32(0xFF0080C0u + i);
  image += std::string(16 * 4, '\0');  // the AND mask
  const std::string header = Le16(0) + Le16(1) + Le16(1) + "\x10\x10" + std::string(2, '\0') + Le16(1) + Le16(32) +
                             Le32(static_cast<std::uint32_t>(image.size())) + Le32(22);
  return header + image + std::string(trailing, '\0');
}

std::string VersionFixture(const std::string& name) {
  return TestDataDir() + "/version/" + name;
}

const char* const FullFixtureStrings[10] = {"1.2.3.4",
                                            "5.6.7.8",
                                            "Full fixture",
                                            "M\xC3\xBCller & S\xC3\xB6hne",
                                            "All ten strings",
                                            "full",
                                            "Copyright 2024 Fixture Makers",
                                            "Fixture(TM)",
                                            "Fixture Suite",
                                            "full.exe"};

TCommandRun RunTool(const std::string& tool, const std::string& arguments) {
  return RunCommandLine(platform::QuoteProgramName(BinDir() + platform::PathDelim + tool + ".exe") + " " + arguments);
}

#ifndef _WIN32
std::string WindresListing(const std::string& resFile) {
  std::string text;
  for (const auto& line : RunCommandLine("i686-w64-mingw32-windres -J res -O rc \"" + resFile + "\"").Lines)
    text += line + "\n";
  return text;
}
#endif

std::string WindresMissing() {
#ifdef _WIN32
  return "";
#else
  return platform::SearchPathFor("i686-w64-mingw32-windres").empty() ? "i686-w64-mingw32-windres is not installed" : "";
#endif
}

TEnvScope::TEnvScope(std::string name) : Name(std::move(name)) {
  if (const char* value = std::getenv(Name.c_str())) Saved = value;
}

TEnvScope::~TEnvScope() {
  if (Saved && !Saved->empty())
    SetEnv(Name, *Saved);
  else
    UnsetEnv(Name);
}
