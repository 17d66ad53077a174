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
//
// Keys are read in the view a 32-bit program has, since the IDEs whose keys
// we read are 32-bit programs: on 64-bit Windows and in a 64-bit Wine prefix,
// HKEY_LOCAL_MACHINE\Software is looked for under Software\Wow6432Node first.
namespace platform {

enum class TRegistryRoot { CurrentUser, LocalMachine };

enum class TRegValueType { String, ExpandString, MultiString, DWord, Binary, Other };

struct TRegValue {
  TRegValueType Type = TRegValueType::String;
  // String/ExpandString/MultiString as UTF-8; a multi-string keeps the NUL
  // after each of its strings.
  std::string Text;
  std::uint32_t Number = 0;         // DWord
  std::vector<std::uint8_t> Bytes;  // Binary and other hex: values
};

// One key open for reading, in the manner of TRegistry.OpenKeyReadOnly. The key
// is released by Close() or at the latest by the destructor.
class TRegistryKey {
 public:
  TRegistryKey() = default;
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;
  ~TRegistryKey() { Close(); }

  // Opens an existing key (path with '\' separators, a leading '\' allowed)
  // without creating it; false when it does not exist. Opening again closes
  // the key open before.
  bool Open(TRegistryRoot root, const std::string& keyPath);
  void Close();
  bool IsOpen() const { return Opened; }
  // A string value; "" when the value is missing. Throws TError("Invalid data
  // type for '<name>'") when the value exists with a type that is not
  // String or ExpandString. "" names the key's default value.
  std::string ReadString(const std::string& valueName) const;

 private:
  bool Opened = false;
  std::map<std::string, TRegValue> Values;  // lower-cased value names (Wine files)
#ifdef _WIN32
  void* Handle = nullptr;  // the open HKEY
#endif
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
  // The first line was "WINE REGISTRY Version 2". Wine loads no other file.
  bool HeaderOK() const { return Header; }
  // The "#arch=" line's value ("win32", "win64"), "" when there was none.
  const std::string& Arch() const { return Architecture; }
  std::size_t KeyCount() const { return Keys.size(); }

 private:
  bool Header = false;
  std::string Architecture;
  std::map<std::string, std::map<std::string, TRegValue>> Keys;  // lower-cased paths
};

// The lower-cased form that key paths and value names are compared in:
// ASCII letters folded, a leading and a trailing '\' dropped.
std::string RegistryKeyName(std::string_view keyPath);

// The Wine prefix in use.
std::string WinePrefix();
// A Windows path (C:\...) as the local file system sees it: through the
// prefix's dosdevices on POSIX; unchanged on Windows and for non-drive paths.
std::string MapWindowsPath(const std::string& windowsPath);

}  // namespace platform
