#include "support/SystemResources.h"

#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/TestDir.h"

namespace {

std::string Utf8(const wchar_t* text, std::size_t length) {
  if (length == 0) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string Dotted(DWORD high, DWORD low) {
  return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
         std::to_string(LOWORD(low));
}

// A resource type or name: "#7" is the number 7, anything else a name.
struct TResourceId {
  explicit TResourceId(const std::string& id)
      : Name(id.starts_with('#') ? L"" : Wide(id)),
        Pointer(id.starts_with('#') ? MAKEINTRESOURCEW(std::stoi(id.substr(1))) : Name.c_str()) {}
  std::wstring Name;
  const wchar_t* Pointer;
};

}  // namespace

TSystemResources::TSystemResources(const std::string& file) {
  Module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  EXPECT_NE(Module, nullptr) << "the system does not load " << file << " (" << GetLastError() << ")";
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(Wide(file).c_str(), &handle);
  if (size == 0) return;
  Data.resize(size);
  if (!GetFileVersionInfoW(Wide(file).c_str(), 0, size, Data.data())) {
    Data.clear();
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(Data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && length >= sizeof *fixed) {
    FileVersion = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    ProductVersion = Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    FileFlagsMask = fixed->dwFileFlagsMask;
    FileOS = fixed->dwFileOS;
    FileType = fixed->dwFileType;
  }
  WORD* translation = nullptr;
  if (VerQueryValueW(Data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
      length >= 4) {
    char block[16];
    std::snprintf(block, sizeof block, "%04X%04X", translation[0], translation[1]);
    Translation = block;
  }
}

TSystemResources::~TSystemResources() {
  if (Module) FreeLibrary(static_cast<HMODULE>(Module));
}

std::string TSystemResources::String(const std::string& name, const std::string& block) const {
  const std::string which = block.empty() ? Translation : block;
  wchar_t* text = nullptr;
  UINT length = 0;
  if (Data.empty() || which.empty()) return "<missing>";
  const std::wstring query = Wide("\\StringFileInfo\\" + which + "\\" + name);
  if (!VerQueryValueW(const_cast<char*>(Data.data()), query.c_str(), reinterpret_cast<void**>(&text), &length))
    return "<missing>";
  while (length > 0 && text[length - 1] == L'\0') --length;
  return Utf8(text, length);
}

std::string TSystemResources::Resource(const std::string& type, const std::string& name, int language) const {
  if (!Module) return "<missing>";
  const auto module = static_cast<HMODULE>(Module);
  const TResourceId typeId(type), nameId(name);
  const HRSRC found = language < 0
                          ? FindResourceW(module, nameId.Pointer, typeId.Pointer)
                          : FindResourceExW(module, typeId.Pointer, nameId.Pointer, static_cast<WORD>(language));
  const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return "<missing>";
  return std::string(static_cast<const char*>(bytes), SizeofResource(module, found));
}

std::string TSystemResources::TableString(unsigned id) const {
  if (!Module) return "<missing>";
  const wchar_t* text = nullptr;
  const int length = LoadStringW(static_cast<HMODULE>(Module), id, reinterpret_cast<wchar_t*>(&text), 0);
  return length > 0 ? Utf8(text, static_cast<std::size_t>(length)) : "<missing>";
}

std::string TSystemResources::Icon(const std::string& group) const {
  // The group: reserved, type, count, then 14-byte entries ending in the icon's id.
  const std::string directory = Resource("#14", group);
  if (directory.size() < 6 + 14) return "<missing>";
  const unsigned id = static_cast<unsigned char>(directory[18]) | static_cast<unsigned char>(directory[19]) << 8;
  return Resource("#3", "#" + std::to_string(id));
}

std::string LinkResourcesForTheSystem(const std::string& resFile) {
  const std::string dir = platform::ExtractFileDir(resFile);
  const std::string probe = platform::IncludeTrailingPathDelimiter(dir.empty() ? "." : dir) + "ResProbe.dpr";
  {
    std::ofstream out(probe, std::ios::binary);
    out << "program ResProbe;\r\n{$R '" << platform::ExtractFileName(resFile) << "'}\r\nbegin\r\nend.\r\n";
  }
  const TCommandRun link =
      RunCommandLine(platform::QuoteProgramName(BinDir() + "\\DCC32.exe") + " " + platform::QuoteArgument(probe) + " " +
                     platform::QuoteArgument("-E" + (dir.empty() ? "." : dir)));
  EXPECT_EQ(link.ExitCode, 0) << link.Last();
  const std::string program = platform::ChangeFileExt(probe, ".exe");
  return link.ExitCode == 0 ? program : "";
}

#endif
