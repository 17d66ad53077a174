#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Profile (INI) files with the behaviour of the Windows profile functions:
// section and key names compare without regard to case (ASCII), keys keep
// their file order, the first of two equal keys wins on reading, a write
// replaces the value in place keeping every other line (comments, blank
// lines, order), a new key goes to the end of its section and a new section to
// the end of the file. Blanks around names and values are trimmed, and a value
// enclosed in matching quotes is read without them. Lines split at CR, LF or
// CR LF; written with CR LF.
namespace platform {

class TProfileFile {
 public:
  // Opens (parses) the file if it exists; a missing file is an empty profile.
  // Throws TError with a clear message for a file that is not text (binary
  // data) or absurdly large, TOSError when it exists but cannot be read.
  explicit TProfileFile(std::string fileName);
  // A profile parsed from text already in memory (no file behind it until
  // UpdateFile); never throws for any input. Used by the fuzzer too.
  static std::unique_ptr<TProfileFile> FromText(std::string fileName, std::string_view text);
  ~TProfileFile();
  TProfileFile(const TProfileFile&) = delete;
  TProfileFile& operator=(const TProfileFile&) = delete;

  const std::string& FileName() const { return Name; }

  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // The value as a decimal integer (an optional sign, digits; blanks trimmed),
  // or def when the key is missing or the value is not an integer.
  int ReadInteger(const std::string& section, const std::string& key, int def) const;
  // ReadInteger != 0.
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  // Section names in file order (each once).
  std::vector<std::string> ReadSections() const;
  // Key names of a section in file order (each once, first spelling).
  std::vector<std::string> ReadSection(const std::string& section) const;
  // key=value pairs of a section in file order, first of equal keys only.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& section) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);  // 1 or 0
  void DeleteKey(const std::string& section, const std::string& key);
  void EraseSection(const std::string& section);

  // Writes pending changes to disk (beside the file, then renamed over it).
  // Throws TError "Unable to write to " + file name + ": " + reason, also for a
  // read-only file, as Windows refuses to write it. Nothing happens when
  // nothing changed.
  void UpdateFile();
  bool Modified() const;

 private:
  struct TData;
  std::string Name;
  std::unique_ptr<TData> Data;
};

}  // namespace platform
