#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "version/uVersionInformation.h"

// The version strings of Tesmar's own programs, made at build time from the
// project's version. On Windows each executable also carries them as its
// version resource; elsewhere an executable has no such resource, and these
// are what the about box and "tesmar-build --version" show.

enum TTesmarProgram { tpWindow, tpCommandLine };

struct TVersionString {
  std::string Name;  // the resource string name: "FileVersion", ...
  std::string Value;
  bool operator==(const TVersionString&) const = default;
};

// The project's version, "major.minor.patch".
std::string ProgramVersion();

// The ten strings of tMSResourceNameEnum, in its order (FileVersion to
// OriginalFilename). OriginalFilename is the program's name with the
// executable suffix of the system the program is built for, unless another
// suffix is given (".exe" to compare with a Windows build's resource).
std::vector<TVersionString> ProgramVersionStrings(TTesmarProgram program);
std::vector<TVersionString> ProgramVersionStrings(TTesmarProgram program, std::string_view executableSuffix);
