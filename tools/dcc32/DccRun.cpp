#include "dcc32/DccRun.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "common/PEWriter.h"
#include "dcc32/DccCompiler.h"
#include "dcc32/DccSourceWalker.h"
#include "dcc32/FindFile.h"

namespace tesmar_tools {

namespace {

// Sources bigger than this are not read (nobody writes such a unit by hand).
constexpr std::uintmax_t MaxSourceSize = 64u * 1024u * 1024u;

// Units that come with the compiler as compiled units; a uses clause may name
// them without any file of theirs being around. A unit file of the same name
// on the search path still wins.
const char* const LibraryUnits[] = {
    "SYSTEM",   "SYSINIT",  "SYSUTILS",  "CLASSES",   "WINDOWS",  "MESSAGES", "VARIANTS", "VARUTILS", "TYPES",
    "MATH",     "STRUTILS", "DATEUTILS", "MASKUTILS", "FORMS",    "CONTROLS", "GRAPHICS", "DIALOGS",  "STDCTRLS",
    "EXTCTRLS", "COMCTRLS", "MENUS",     "BUTTONS",   "GRIDS",    "ACTNLIST", "IMGLIST",  "CLIPBRD",  "PRINTERS",
    "REGISTRY", "INIFILES", "SHELLAPI",  "SHLOBJ",    "ACTIVEX",  "COMOBJ",   "COMSERV",  "OLECTRLS", "CONTNRS",
    "SYNCOBJS", "TYPINFO",  "CONSTS",    "RTLCONSTS", "SYSCONST", "MMSYSTEM", "WINSOCK",  "WININET",  "COMMCTRL",
    "COMMDLG",  "RICHEDIT", "FILECTRL",  "MASK",      "EXTDLGS",  "CHECKLST", "SPIN",     "SHAREMEM", "XPMAN",
    "TOOLWIN",  "AXCTRLS",  "JPEG",      "DB",        "DBTABLES", "DBCTRLS",  "DBGRIDS",  "WINTYPES", "WINPROCS"};
const char* const LibraryNamespaces[] = {"SYSTEM.", "WINAPI.", "VCL.", "DATA."};

bool IsLibraryUnit(const std::string& upperName) {
  std::string name = upperName;
  for (const char* prefix : LibraryNamespaces) {
    std::string p(prefix);
    if (name.compare(0, p.size(), p) == 0) {
      name = name.substr(p.size());
      break;
    }
  }
  for (const char* unit : LibraryUnits)
    if (name == unit) return true;
  return false;
}

bool ReadAll(const std::string& path, std::string& bytes, std::uintmax_t limit) {
  std::error_code error;
  std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > limit) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(static_cast<size_t>(size), '\0');
  return static_cast<bool>(in.read(bytes.data(), static_cast<std::streamsize>(size)));
}

bool IsFormFile(const std::string& path) {
  std::string ext = UpperAscii(ExtensionOf(path));
  return ext == ".DFM" || ext == ".XFM";
}

// The option list, in two columns as the real compiler prints it: each entry
// is a switch and what it does.
struct THelpEntry {
  const char* Switch;
  const char* Meaning;
};

const THelpEntry SwitchesLeft[] = {
    {"-A<unit>=<alias>", "Set unit alias"},
    {"-B", "Rebuild every unit"},
    {"-CC", "Console application"},
    {"-CG", "Windowed application"},
    {"-D<syms>", "Define symbols"},
    {"-E<path>", "Target directory"},
    {"-F<offset>", "Locate a run error"},
    {"-GD", "Detailed map file"},
    {"-GP", "Map file, public names"},
    {"-GS", "Map file, segments"},
    {"-H", "Show hints"},
    {"-I<paths>", "Include directories"},
    {"-J", "Write .obj files"},
    {"-JP", "Write C++ .obj files"},
    {"-K<addr>", "Image base address"},
    {"-LE<path>", "Package .bpl directory"},
    {"-LN<path>", "Package .dcp directory"},
};
const THelpEntry SwitchesRight[] = {
    {"-$<dir>", "Compiler directive"},   {"-LU<package>", "Build with package"},
    {"-M", "Rebuild changed units"},     {"-N<path>", "Unit output directory"},
    {"-O<paths>", "Object directories"}, {"-P", "Also find 8.3 file names"},
    {"-Q", "Quiet: no progress lines"},  {"-R<paths>", "Resource directories"},
    {"-U<paths>", "Unit directories"},   {"-V", "Debug info in the target"},
    {"-VR", "Remote debug symbols"},     {"-W", "Show warnings"},
    {"-Z", "Packages never rebuilt"},    {"--help", "This list"},
};

// The directives of -$<letter><state>, with their defaults.
const THelpEntry DirectivesLeft[] = {
    {"A+", "Aligned record fields"},
    {"B-", "Complete boolean evaluation"},
    {"C+", "Assertions"},
    {"D+", "Debug information"},
    {"G+", "Imported data references"},
    {"H+", "Long strings"},
    {"I+", "I/O checks"},
    {"J+", "Assignable typed constants"},
    {"L+", "Local debug symbols"},
    {"M-", "Run-time type information"},
    {"O+", "Optimization"},
};
const THelpEntry DirectivesRight[] = {
    {"P+", "Open string parameters"},
    {"Q-", "Integer overflow checks"},
    {"R-", "Range checks"},
    {"T-", "Typed @ operator"},
    {"U-", "Pentium-safe division"},
    {"V+", "Strict var-strings"},
    {"W-", "Stack frames"},
    {"X+", "Extended syntax"},
    {"Y+", "Symbol reference information"},
    {"Z1", "Minimum enumeration size"},
};

// Where the right column starts.
constexpr std::size_t HelpColumn = 37;

template <std::size_t L, std::size_t R>
void AddColumns(std::vector<std::string>& lines, const THelpEntry (&left)[L], const THelpEntry (&right)[R],
                const char* separator) {
  for (std::size_t i = 0; i < std::max(L, R); ++i) {
    std::string line;
    if (i < L) line = std::string("  ") + left[i].Switch + separator + left[i].Meaning;
    if (i < R) {
      line.resize(std::max(line.size() + 2, HelpColumn), ' ');
      line += std::string(right[i].Switch) + separator + right[i].Meaning;
    }
    lines.push_back(line);
  }
}

std::vector<std::string> HelpLines() {
  std::vector<std::string> lines{"", "Syntax: dcc32 [options] filename [options]", ""};
  AddColumns(lines, SwitchesLeft, SwitchesRight, " = ");
  lines.push_back("Compiler directives: -$<letter><state>, the default shown");
  AddColumns(lines, DirectivesLeft, DirectivesRight, "  ");
  lines.push_back("Stack sizes: -$M<minimum>,<maximum>");
  lines.push_back("");
  lines.push_back("This stand-in honours -E -U -I -R -O -D -K -$M -CC -CG -Q and accepts the rest.");
  return lines;
}

}  // namespace

void TDccRun::Print(const std::string& line) {
  Out << line << '\n';
  LastPrinted = line;
}

void TDccRun::Message(const std::string& display, int line, const std::string& kind, const std::string& text) {
  std::string where = display.empty() ? "" : display + "(" + std::to_string(line) + ") ";
  std::string message = where + kind + ": " + text;
  Print(message);
  if (kind == "Error") {
    HasErrors = true;
    LastError = message;
  } else if (kind == "Fatal") {
    throw TDccFatalStop{};
  }
}

int TDccRun::Run(const std::vector<std::string>& args) {
  Out << DccBanner();
  int code = 1;
  try {
    std::vector<std::string> switches;
    Opts = ParseCommandLine(args, switches);
    if (Opts.Help || Opts.Source.empty()) {
      // Asked for, or nothing to compile: the option list.
      for (const std::string& line : HelpLines()) Print(line);
      code = 0;
    } else {
      code = Compile(switches);
    }
  } catch (const TDccFatalStop&) {
    code = 1;
  } catch (const TDccOptionError& error) {
    Print(std::string("Fatal: ") + error.what());
  } catch (const std::bad_alloc&) {
    Print("Fatal: Out of memory");
  } catch (const std::exception& error) {
    Print(std::string("Fatal: Internal error: ") + error.what());
  }
  Out.flush();
  return code;
}

int TDccRun::Compile(std::vector<std::string>& switches) {
  MainPath = FindFileNoCase("", Opts.Source);
  if (MainPath.empty() && ExtensionOf(Opts.Source).empty()) {
    for (const char* ext : {".dpr", ".dpk"})
      if (MainPath.empty()) MainPath = FindFileNoCase("", Opts.Source + ext);
  }
  if (MainPath.empty()) Message("", 0, "Fatal", "File not found: '" + Opts.Source + "'");
  MainDir = DirectoryOf(MainPath);
  TargetBase = BaseNameOf(Opts.Source);

  // The options file beside the source, else in the current directory.
  std::string cfgName = TargetBase + ".cfg";
  std::string cfg = FindFileNoCase(MainDir, cfgName);
  if (cfg.empty() && !MainDir.empty()) cfg = FindFileNoCase("", cfgName);
  if (!cfg.empty()) {
    std::string text;
    if (!ReadAll(cfg, text, MaxSourceSize)) Message("", 0, "Fatal", "Could not read options file '" + cfg + "'");
    ApplyOptionsText(Opts, text);
  }
  for (const std::string& option : switches) ApplySwitch(Opts, option);

  CompileFile(MainPath, MainPath, true);

  if (HasErrors) {
    // The run ends with its last error, where the caller looks for the outcome.
    if (LastPrinted != LastError) Print(LastError);
    return 1;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  WriteTarget(seconds);
  return 0;
}

void TDccRun::CompileFile(const std::string& path, const std::string& display, bool isMain) {
  std::string text;
  if (!ReadAll(path, text, MaxSourceSize)) Message("", 0, "Fatal", "Could not read '" + display + "'");
  int lineCount = CountLines(text);
  Lines += lineCount;
  if (!Opts.Quiet) Print(display + "(" + std::to_string(lineCount) + ")");
  std::vector<TToken> tokens = ScanPascal(text);
  if (isMain) NoteProjectPaths(tokens);
  TSourceWalker(*this, path, display, tokens, isMain).Walk();
}

// The project's "X in 'path'" entries also hold for units that other units
// use before the project's clause reaches them.
void TDccRun::NoteProjectPaths(const std::vector<TToken>& tokens) {
  bool inClause = false;
  for (size_t i = 0; i + 2 < tokens.size(); ++i) {
    const TToken& token = tokens[i];
    if (token.Kind == TTokenKind::Identifier) {
      std::string word = UpperAscii(token.Text);
      if (word == "USES" || word == "CONTAINS") inClause = true;
    }
    if (token.Kind == TTokenKind::Symbol && token.Text == ";") inClause = false;
    if (inClause && token.Kind == TTokenKind::Identifier && UpperAscii(tokens[i + 1].Text) == "IN" &&
        tokens[i + 1].Kind == TTokenKind::Identifier && tokens[i + 2].Kind == TTokenKind::String) {
      // The unit's full dotted name ends at this identifier.
      std::string name = token.Text;
      for (size_t j = i; j >= 2 && tokens[j - 1].Text == "." && tokens[j - 2].Kind == TTokenKind::Identifier; j -= 2)
        name = tokens[j - 2].Text + "." + name;
      ProjectPaths.emplace(UpperAscii(name), tokens[i + 2].Text);
    }
  }
}

std::string TDccRun::FindUnit(const std::string& name, bool& precompiled) const {
  std::vector<std::string> dirs{MainDir};
  for (const std::string& dir : Opts.UnitDirs) dirs.push_back(NativeSeparators(dir));
  for (const std::string& dir : dirs) {
    if (!dir.empty() && FindDirNoCase(dir).empty()) continue;
    std::string found = FindFileNoCase(dir, name + ".pas");
    precompiled = found.empty();
    if (found.empty()) found = FindFileNoCase(dir, name + ".dcu");
    if (!found.empty()) return found;
  }
  return "";
}

void TDccRun::UseUnit(const std::string& name, const std::string& inPath, const std::string& display, int line) {
  std::string key = UpperAscii(name);
  if (StartedUnits.count(key)) return;
  std::string path, shownPath = inPath;
  bool precompiled = false;
  if (shownPath.empty()) {
    auto known = ProjectPaths.find(key);
    if (known != ProjectPaths.end()) shownPath = known->second;
  }
  if (!shownPath.empty()) {
    path = FindFileNoCase(MainDir, shownPath);
    if (path.empty()) Message(display, line, "Fatal", "File not found: '" + shownPath + "'");
  } else {
    path = FindUnit(name, precompiled);
    if (path.empty()) {
      if (IsLibraryUnit(key)) {
        StartedUnits.insert(key);
        return;
      }
      Message(display, line, "Fatal", "File not found: '" + name + ".dcu'");
    }
  }
  StartedUnits.insert(key);
  if (!precompiled) CompileFile(path, path, false);
}

void TDccRun::LinkResource(const std::string& argument, const std::string& path, const std::string& display, int line) {
  // The first word (or quoted name) is the .RES file; a second one, the script
  // it is made from, is for the IDE.
  std::string name;
  if (argument[0] == '\'' || argument[0] == '"') {
    size_t close = argument.find(argument[0], 1);
    name = argument.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    name = argument.substr(0, argument.find_first_of(" \t"));
  }
  size_t star = name.find('*');
  if (star != std::string::npos) name.replace(star, 1, BaseNameOf(path));
  if (ExtensionOf(name).empty()) name += ".res";

  std::string found = FindFileNoCase(DirectoryOf(path), name);
  for (size_t i = 0; found.empty() && i < Opts.ResourceDirs.size(); ++i)
    found = FindFileNoCase(NativeSeparators(Opts.ResourceDirs[i]), name);
  if (found.empty()) {
    Message(display, line, "Error", "File not found: '" + name + "'");
    return;
  }
  std::error_code error;
  std::string identity = std::filesystem::weakly_canonical(found, error).string();
  if (error) identity = found;
  if (!LinkedFiles.insert(identity).second) return;
  try {
    MergeResources(Resources, ReadResFile(found));
  } catch (const TResFileError& problem) {
    // A form file kept as text is turned into a resource by a real compiler;
    // here it only has to be present.
    if (IsFormFile(found)) return;
    Message(display, line, "Fatal", "Invalid resource file '" + name + "': " + problem.what());
  }
}

void TDccRun::WriteTarget(double seconds) {
  const char* extension = nullptr;
  switch (Target) {
    case TDccTarget::Program:
      extension = ".exe";
      break;
    case TDccTarget::Library:
      extension = ".dll";
      break;
    case TDccTarget::Package:
      extension = ".bpl";
      break;
    default:
      break;
  }
  char figures[64];
  if (!extension) {
    // A unit on its own compiles without being linked into an image.
    std::snprintf(figures, sizeof figures, "%.1f", seconds);
    Print(std::to_string(Lines) + " lines, " + figures + " seconds, 0 bytes code, 0 bytes data.");
    return;
  }
  std::string outDir = Opts.OutputDir.empty() ? MainDir : NativeSeparators(Opts.OutputDir);
  std::string targetName = TargetBase + extension;
  std::string target = JoinPath(outDir, targetName);
  std::string foundDir = outDir.empty() ? std::string(".") : FindDirNoCase(outDir);
  if (foundDir.empty()) Message("", 0, "Fatal", "Could not create output file " + target);
  if (!outDir.empty()) target = JoinPath(foundDir, targetName);
  std::string existing = FindFileNoCase(outDir.empty() ? "" : foundDir, targetName);
  if (!existing.empty()) target = existing;  // replaced under its own spelling

  TPEImageOptions options;
  options.IsDll = Target != TDccTarget::Program;
  options.Console = Opts.Console;
  options.ImageBase = Opts.ImageBase;
  options.StackCommit = Opts.StackMin;
  options.StackReserve = Opts.StackMax;
  options.Resources = Resources;
  TPEImage image;
  try {
    image = BuildPEImage(options);
  } catch (const TPEWriteError& error) {
    Message("", 0, "Fatal", std::string("Could not link ") + target + ": " + error.what());
  }

  // Written beside the target, then renamed over it: a failure leaves no half file.
  std::string temporary = target + ".part";
  bool written = false;
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    written = file && file.write(image.Bytes.data(), static_cast<std::streamsize>(image.Bytes.size())) && file.flush();
  }
  std::error_code error;
  if (written) std::filesystem::rename(temporary, target, error);
  if (!written || error) {
    std::filesystem::remove(temporary, error);
    Message("", 0, "Fatal", "Could not create output file " + target);
  }
  std::snprintf(figures, sizeof figures, "%.1f", seconds);
  Print(std::to_string(Lines) + " lines, " + figures + " seconds, " + std::to_string(image.CodeSize) + " bytes code, " +
        std::to_string(image.DataSize) + " bytes data.");
}

}  // namespace tesmar_tools
