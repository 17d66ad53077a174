#include "brcc32/Brcc.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include "brcc32/RcError.h"
#include "brcc32/RcLexer.h"
#include "brcc32/RcParser.h"
#include "common/ResFormat.h"

namespace tesmar_brcc {

namespace fs = std::filesystem;

namespace {

const char* const kBanner[] = {"Tesmar Resource Compiler stand-in  Version 1.0",
                               "Turns resource scripts into 32-bit .RES files for the Tesmar build manager"};

const char* const kUsage[] = {
    "Syntax: BRCC32 [options] <script>",
    "  -fo<file>       the .RES file to write (default: the script's name with .RES)",
    "  -v              verbose: report the script's line count and the file written",
    "  -d<name>[=<n>]  define a name, as #define does",
    "  -i<directory>   look for icon and data files also in this directory",
    "  -c<codepage>    code page of the script's text: 1252 (default) or 65001 (UTF-8)",
    "  -l<language>    language of resources before any LANGUAGE statement, hexadecimal (default 409)",
    "  -r -31 -w32 -x -m  accepted and ignored",
};

struct TOptions {
  bool Verbose = false;
  bool Help = false;
  std::string Input;
  std::string Output;
  std::vector<std::string> IncludeDirs;
  TRcOptions Rc;
};

class TUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool ParseNumber(const std::string& text, int base, uint32_t& value) {
  if (text.empty()) return false;
  std::size_t start = 0;
  if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) start = 2;
  if (base == 10 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    start = 2;
    base = 16;
  }
  uint64_t v = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    int d = -1;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    if (d < 0) return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFu) return false;
  }
  value = static_cast<uint32_t>(v);
  return start < text.size();
}

TOptions ParseArgs(const std::vector<std::string>& args) {
  TOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-') {
      if (!o.Input.empty()) throw TUsageError("only one script can be compiled at a time");
      o.Input = a;
      continue;
    }
    std::string lower = a;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Options that take a value accept it attached or as the next argument.
    auto value = [&](std::size_t prefix) -> std::string {
      if (a.size() > prefix) return a.substr(prefix);
      if (i + 1 >= args.size()) throw TUsageError(a + " needs a value");
      return args[++i];
    };
    if (lower == "-v") {
      o.Verbose = true;
    } else if (lower == "-h" || lower == "-?" || lower == "--help") {
      o.Help = true;
    } else if (lower.rfind("-fo", 0) == 0) {
      o.Output = value(3);
    } else if (lower == "-r" || lower == "-31" || lower == "-w32" || lower == "-x" || lower == "-m") {
      // Borland options that change nothing here.
    } else if (lower[1] == 'i') {
      o.IncludeDirs.push_back(value(2));
    } else if (lower[1] == 'd') {
      const std::string def = value(2);
      const auto eq = def.find('=');
      TRcSymbol symbol{true, 1, false};
      if (eq != std::string::npos) {
        uint32_t n = 0;
        symbol = ParseNumber(def.substr(eq + 1), 10, n) ? TRcSymbol{true, n, false} : TRcSymbol{};
      }
      o.Rc.Defines.emplace_back(def.substr(0, eq), symbol);
    } else if (lower[1] == 'c') {
      uint32_t cp = 0;
      if (!ParseNumber(value(2), 10, cp)) throw TUsageError("-c needs a code page number");
      // Code pages other than UTF-8 are read as Windows-1252.
      o.Rc.CodePage = cp == kCodePageUtf8 ? kCodePageUtf8 : kCodePageWindows1252;
    } else if (lower[1] == 'l') {
      uint32_t lang = 0;
      if (!ParseNumber(value(2), 16, lang) || lang > 0xFFFF) throw TUsageError("-l needs a hexadecimal language id");
      o.Rc.Language = static_cast<uint16_t>(lang);
    } else {
      throw TUsageError("unknown option " + a);
    }
  }
  if (!o.Help && o.Input.empty()) throw TUsageError("no script named");
  if (o.Output.empty() && !o.Input.empty()) o.Output = fs::path(o.Input).replace_extension(".RES").string();
  return o;
}

std::string FoldCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The name itself when it exists, else the one entry of its directory that
// matches it without regard to case, as Windows finds files.
fs::path ResolveName(const fs::path& path) {
  std::error_code ec;
  if (fs::exists(path, ec)) return path;
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const std::string wanted = FoldCase(path.filename().string());
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (FoldCase(it->path().filename().string()) == wanted)
      return path.has_parent_path() ? it->path() : it->path().filename();
  }
  return path;
}

fs::path NativeName(std::string name) {
#ifndef _WIN32
  for (char& c : name)
    if (c == '\\') c = '/';
#endif
  return fs::path(name);
}

// Reads a whole file; the reason of a failure goes into the exception.
std::string ReadFile(const fs::path& path, const std::string& shownName) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) throw std::runtime_error("file not found: " + shownName);
  const auto size = fs::file_size(path, ec);
  if (ec) throw std::runtime_error("cannot read file " + shownName + ": " + ec.message());
  if (size > kMaxInputFileSize) throw std::runtime_error("file " + shownName + " is larger than 64 MB");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open file " + shownName);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<std::size_t>(in.gcount()) != size) throw std::runtime_error("cannot read file " + shownName);
  return bytes;
}

// Writes beside the target and renames, so a failure leaves no partial file.
void WriteFileAtomically(const fs::path& target, const std::string& bytes) {
  fs::path temp = target;
  temp += ".brcc-tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create the file");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      throw std::runtime_error("cannot write the file");
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw std::runtime_error("cannot replace the file: " + ec.message());
  }
}

int Compile(const TOptions& o, std::ostream& out) {
  const fs::path input = ResolveName(NativeName(o.Input));
  std::string text;
  try {
    text = ReadFile(input, o.Input);
  } catch (const std::exception& e) {
    out << TRcError(o.Input, 0, 0, e.what()).what() << "\n";
    return 1;
  }
  if (o.Verbose) out << "Lines: " << CountLines(text) << "\n";

  const fs::path scriptDir = input.parent_path();
  const TFileLoader loader = [&](const std::string& name) -> std::string {
    const fs::path wanted = NativeName(name);
    std::vector<fs::path> candidates;
    if (wanted.is_absolute()) {
      candidates.push_back(wanted);
    } else {
      candidates.push_back(scriptDir / wanted);
      candidates.push_back(wanted);
      for (const std::string& dir : o.IncludeDirs) candidates.push_back(NativeName(dir) / wanted);
    }
    for (const fs::path& c : candidates) {
      const fs::path found = ResolveName(c);
      std::error_code ec;
      if (fs::is_regular_file(found, ec)) return ReadFile(found, name);
    }
    throw std::runtime_error("file not found: " + name);
  };

  const fs::path output = ResolveName(NativeName(o.Output));
  try {
    const TRcScript script = CompileScript(text, o.Input, o.Rc, loader);
    std::error_code ec;
    if (fs::exists(output, ec) && fs::equivalent(output, input, ec))
      throw TRcError(o.Output, 0, 0, "the output file must not be the script itself");
    try {
      WriteFileAtomically(output, tesmar_res::WriteResFile(script.Entries));
    } catch (const std::exception& e) {
      throw TRcError(o.Output, 0, 0, e.what());
    }
  } catch (const TRcError& e) {
    out << e.what() << "\n";
    return 1;
  }
  if (o.Verbose) out << "New File: " << o.Output << "\n";
  return 0;
}

}  // namespace

int RunBrcc(const std::vector<std::string>& args, std::ostream& out) {
  for (const char* line : kBanner) out << line << "\n";
  TOptions o;
  try {
    o = ParseArgs(args);
  } catch (const TUsageError& e) {
    out << e.what() << "\n";
    for (const char* line : kUsage) out << line << "\n";
    return 1;
  }
  if (o.Help) {
    for (const char* line : kUsage) out << line << "\n";
    return 0;
  }
  const int code = Compile(o, out);
  out.flush();
  return code;
}

}  // namespace tesmar_brcc
