#pragma once

#include <cstdint>
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
// enclosed in matching quotes (single or double) is read without them. Lines
// split at CR, LF or CR LF; written with CR LF.
//
// A UTF-8 byte-order mark at the start of the file is no part of its first
// line; it is kept when the file is written again.
//
// How lines are read:
// - A line whose first non-blank character is ';' is a comment.
// - A line whose first non-blank character is '[' and that holds a ']' starts a
//   section named by the text between '[' and the first ']' (trimmed); text
//   after the ']' is ignored. A '[' line without ']' is ignored.
// - Any other line with '=' is a key: the trimmed text before the first '='
//   is its name, the trimmed text after it its value. A key line with an empty
//   name is ignored.
// - Lines without '=' and lines before the first section belong to no key and
//   are ignored on reading; like every line, they are kept on writing.
// - A section name that occurs twice is one section: its keys are those of
//   every occurrence, in file order; a new key goes to the end of its last
//   occurrence.
// Names that no line could hold (an empty key, a key with '=' or a line
// break or starting with ';' or '[', a section with ']' or a line break) are
// never found, and writing them does nothing. A value is written up to its
// first line break.
namespace platform {

class TProfileFile {
 public:
  // Opens (parses) the file if it exists; a missing file is an empty profile.
  // Throws TError with a clear message for a file that is not text (binary
  // data, UTF-16), absurdly large or no regular file, TOSError when it exists
  // but cannot be read.
  explicit TProfileFile(std::string fileName);
  // The same with another size limit than MaxTextFileSize.
  TProfileFile(std::string fileName, std::uint64_t maxSize);
  // A profile parsed from text already in memory (no file behind it until
  // UpdateFile); never throws for any input. Used by the fuzzer too.
  static std::unique_ptr<TProfileFile> FromText(std::string fileName, std::string_view text);
  // Writes nothing: changes reach the disk through UpdateFile only.
  ~TProfileFile();
  TProfileFile(const TProfileFile&) = delete;
  TProfileFile& operator=(const TProfileFile&) = delete;

  const std::string& FileName() const { return Name; }

  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // The value ReadString gives, put into value (whose room is used again);
  // false, with value as it was, when the key is missing.
  bool ReadStringTo(const std::string& section, const std::string& key, std::string& value) const;
  // The value as an integer: an optional sign and decimal digits, or hex digits
  // after "$" or "0x" (as Delphi reads them); def when the key is missing or
  // the value is not such a number in the range of int.
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
  // The whole profile as UpdateFile writes it (CR LF after every line).
  std::string Text() const;
  bool Modified() const;

 private:
  struct TData;
  struct TFromText {};
  TProfileFile(std::string fileName, std::string_view text, TFromText);
  std::string Name;
  std::unique_ptr<TData> Data;
};

}  // namespace platform
