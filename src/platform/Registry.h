#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading the registry: the Win32 registry on Windows; elsewhere the text
// files of the current Wine prefix ($WINEPREFIX, default ~/.wine): user.reg
// for HKEY_CURRENT_USER, system.reg for HKEY_LOCAL_MACHINE.
namespace platform {

enum class TRegistryRoot { CurrentUser, LocalMachine };

enum class TRegValueType { String, ExpandString, MultiString, DWord, Binary, Other };

struct TRegValue {
  TRegValueType Type = TRegValueType::String;
  std::string Text;            // String/ExpandString/MultiString as UTF-8
  std::uint32_t Number = 0;    // DWord
  std::vector<std::uint8_t> Bytes;  // Binary and other hex: values
};

// One key open for reading, in the manner of TRegistry.OpenKeyReadOnly.
class TRegistryKey {
 public:
  // Opens an existing key (path with '\' separators, a leading '\' allowed)
  // without creating it; false when it does not exist.
  bool Open(TRegistryRoot root, const std::string& keyPath);
  void Close();
  bool IsOpen() const { return Opened; }
  // A string value; "" when the value is missing. Throws TError when the value
  // exists with a type that is not a string.
  std::string ReadString(const std::string& valueName) const;

 private:
  bool Opened = false;
  std::map<std::string, TRegValue> Values;  // lower-cased value names
};

// The parsed content of a Wine registry file. Key paths and value names match
// without regard to case. Exposed for tests and the fuzzer; never throws on
// any input (malformed lines are skipped).
class TWineRegistry {
 public:
  static TWineRegistry Parse(std::string_view text);
  // Key path as "Software\\Borland\\Delphi\\5.0\\Library" (single backslashes
  // between components; a leading '\' allowed).
  const std::map<std::string, TRegValue>* FindKey(const std::string& keyPath) const;
  bool HeaderOK() const { return Header; }

 private:
  bool Header = false;
  std::map<std::string, std::map<std::string, TRegValue>> Keys;  // lower-cased paths
};

// The Wine prefix in use.
std::string WinePrefix();
// A Windows path (C:\...) as the local file system sees it: through the
// prefix's dosdevices on POSIX; unchanged on Windows and for non-drive paths.
std::string MapWindowsPath(const std::string& windowsPath);

}  // namespace platform
