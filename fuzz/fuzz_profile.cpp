// Feeds arbitrary bytes to the profile reader, then reads and writes through
// what it parsed, checking that a write is read back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "platform/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto profile = platform::TProfileFile::FromText("fuzz.ini", text);

  auto sections = profile->ReadSections();
  sections.push_back("New Section");
  std::size_t round = 0;
  for (const auto& section : sections) {
    if (++round > 64) break;
    profile->SectionExists(section);
    auto pairs = profile->ReadSectionValues(section);
    for (const auto& [key, value] : pairs) {
      profile->ReadInteger(section, key, 0);
      if (profile->ReadString(section, key, "") != value) std::abort();
    }
    profile->WriteString(section, "Fuzz Key", "value one");
    profile->WriteInteger(section, "fuzz key", 42);
    // A section name read from the file is always writable, so the key must
    // now read back as written.
    if (profile->ReadInteger(section, "FUZZ KEY", 0) != 42) std::abort();
    if (!pairs.empty()) {
      const std::string key = pairs.front().first;
      profile->WriteString(section, key, "replaced");
      if (profile->ReadString(section, key, "") != "replaced") std::abort();
      profile->DeleteKey(section, key);
      if (profile->ValueExists(section, key)) std::abort();
    }
  }
  if (!sections.empty()) {
    profile->EraseSection(sections.front());
    if (profile->SectionExists(sections.front())) std::abort();
  }

  // What would be written reads back the same.
  const auto reparsed = platform::TProfileFile::FromText("again.ini", profile->Text());
  for (const auto& section : profile->ReadSections())
    if (reparsed->ReadSectionValues(section) != profile->ReadSectionValues(section)) std::abort();

  // Through a real file: a new section is added to the end, any other change
  // rewrites the file; either way the file holds exactly the profile's text.
  static const std::string file = "fuzz_profile_" + std::to_string(::getpid()) + ".ini";
  try {
    platform::WriteFileBytes(file, platform::JoinLines(platform::SplitLines(text)));
    platform::TProfileFile onDisk(file);
    onDisk.WriteString("Fuzz Added", "k", "v");
    onDisk.UpdateFile();
    if (platform::ReadFileBytes(file) != onDisk.Text()) std::abort();
    const auto first = onDisk.ReadSections();
    if (!first.empty()) onDisk.WriteString(first.front(), "changed", "1");
    onDisk.UpdateFile();
    if (platform::ReadFileBytes(file) != onDisk.Text()) std::abort();
  } catch (const TError&) {
    // Text with NUL bytes is refused as a profile; nothing to compare.
  }
  return 0;
}
