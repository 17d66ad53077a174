#include "platform/Process.h"

#include <cstdlib>

#include "platform/FileSystem.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// A failed platform call leaves its code here, per thread, the way Win32 keeps
// GetLastError: errno itself is overwritten by the next library call.
thread_local int LastCode = 0;

#ifdef _WIN32
constexpr char PathListSeparator = ';';
#else
constexpr char PathListSeparator = ':';
#endif

bool HasDirectoryPart(const std::string& name) {
  for (char c : name)
    if (IsPathDelim(c)) return true;
#ifdef _WIN32
  if (name.size() >= 2 && name[1] == ':') return true;
#endif
  return false;
}

// A file the system can start: on Windows any file; elsewhere one with an
// execute permission, or a Windows program, which goes through wine.
bool IsRunnableFile(const std::string& path) {
  if (!FileExists(path)) return false;
#ifdef _WIN32
  return true;
#else
  return access(path.c_str(), X_OK) == 0 || IsWindowsProgram(path);
#endif
}

// The name itself, then (without an extension) the name with ".exe", the
// extension Windows tries for a program name. A search skips files that
// cannot be run; a name given with its directory is taken as it is, so that
// starting it reports why it cannot run.
std::string FindInDirectory(const std::string& dir, const std::string& name, bool searching) {
  auto fits = [searching](const std::string& path) { return searching ? IsRunnableFile(path) : FileExists(path); };
  std::string base = dir.empty() ? name : IncludeTrailingPathDelimiter(dir) + name;
  std::string candidate = ResolvePath(base);
  if (fits(candidate)) return candidate;
  if (ExtractFileExt(name).empty()) {
    candidate = ResolvePath(base + ".exe");
    if (fits(candidate)) return candidate;
  }
  return "";
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> args;
  const std::size_t n = commandLine.size();
  std::size_t i = 0;
  while (i < n && IsBlank(commandLine[i])) ++i;
  if (i == n) return args;

  // The program name knows no escapes: up to the closing quote, or up to the
  // next blank. Whatever follows a closing quote starts the next argument.
  std::string program;
  if (commandLine[i] == '"') {
    ++i;
    while (i < n && commandLine[i] != '"') program += commandLine[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !IsBlank(commandLine[i])) program += commandLine[i++];
  }
  args.push_back(std::move(program));

  for (;;) {
    while (i < n && IsBlank(commandLine[i])) ++i;
    if (i == n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(commandLine[i]))) {
      const char c = commandLine[i];
      if (c == '\\') {
        std::size_t count = 0;
        while (i < n && commandLine[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < n && commandLine[i] == '"') {
          // 2n backslashes: n of them, and the quote still toggles (next
          // round); 2n+1: n of them and a literal quote.
          arg.append(count / 2, '\\');
          if (count % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(count, '\\');
        }
      } else if (c == '"') {
        ++i;
        if (!quoted) {
          quoted = true;
        } else if (i < n && commandLine[i] == '"') {
          arg += '"';  // "" inside a quoted run: a quote, and the run goes on
          ++i;
        } else {
          quoted = false;
        }
      } else {
        arg += c;
        ++i;
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::string QuoteArgument(std::string_view arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) return std::string(arg);
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      out.append(2 * backslashes + 1, '\\');
    else
      out.append(backslashes, '\\');
    out += c;
    backslashes = 0;
  }
  out.append(2 * backslashes, '\\');
  out += '"';
  return out;
}

std::string QuoteProgramName(std::string_view name) {
  if (!name.empty() && name.find_first_of(" \t") == std::string_view::npos) return std::string(name);
  return "\"" + std::string(name) + "\"";
}

std::string JoinCommandLine(const std::vector<std::string>& args) {
  std::string out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out += ' ';
    out += i == 0 ? QuoteProgramName(args[i]) : QuoteArgument(args[i]);
  }
  return out;
}

int LastOSErrorCode() {
  return LastCode;
}

void SetLastOSErrorCode(int code) {
  LastCode = code;
}

bool IsWindowsProgram(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char head[2] = {0, 0};
  const ssize_t got = read(fd, head, sizeof head);
  close(fd);
  return got == 2 && head[0] == 'M' && head[1] == 'Z';
#endif
}

std::string SearchPathFor(const std::string& name) {
  if (name.empty() || HasDirectoryPart(name)) return "";
  const char* env = std::getenv("PATH");
#ifdef _WIN32
  std::string path = env ? env : "";
#else
  std::string path = env ? env : "/usr/bin:/bin";
#endif
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(PathListSeparator, start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    // An empty entry is the current directory, which the caller searches first.
    if (!dir.empty()) {
      std::string found = FindInDirectory(dir, name, true);
      if (!found.empty()) return found;
    }
    start = end + 1;
  }
  return "";
}

std::string FindProgram(const std::string& name) {
  if (name.empty()) return "";
  if (HasDirectoryPart(name)) return FindInDirectory("", name, false);
  std::string here = FindInDirectory("", name, true);
  if (!here.empty()) {
    try {
      return IncludeTrailingPathDelimiter(GetCurrentDir()) + here;
    } catch (const std::exception&) {
      return std::string(".") + PathDelim + here;
    }
  }
  return SearchPathFor(name);
}

}  // namespace platform
