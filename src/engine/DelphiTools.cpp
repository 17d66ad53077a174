#include "engine/DelphiTools.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "project/uGlobalConstants.h"

using platform::ChangeFileExt;
using platform::ExtractFileName;
using platform::QuoteArgument;

namespace {

// The tool in the directory, as the first word of a command line.
std::string Tool(const std::string& dccPath, const char* name) {
  return platform::QuoteProgramName(PathJoin(dccPath, name));
}

// A file name as an argument of a tool: one that begins like a switch gets
// the current directory in front of it, so that the tool reads a file.
std::string FileArgument(const std::string& name) {
  if (!name.empty() && (name[0] == '-' || name[0] == '/' || name[0] == '@'))
    return QuoteArgument(std::string(".") + platform::PathDelim + name);
  return QuoteArgument(name);
}

}  // namespace

std::string ShortPathArgument(const std::string& path) {
  return QuoteArgument(platform::ShortPathName(path));
}

std::string CompilerCommandLine(const std::string& dccPath, const std::string& sourceFile,
                                const std::string& destFile) {
  const std::string destDir = platform::ExtractFilePath(destFile);
  const std::string output =
      destDir.empty() ? std::string() : platform::IncludeTrailingPathDelimiter(platform::ShortPathName(destDir));
  return Tool(dccPath, "DCC32.exe") + " " + FileArgument(ExtractFileName(sourceFile)) + " " +
         QuoteArgument("-E" + output);
}

std::string ResourceEntryCommandLine(const std::string& dccPath, const std::string& sourceFile) {
  const std::string name = ExtractFileName(sourceFile);
  return Tool(dccPath, "BRCC32.exe") + " -v " + QuoteArgument("-fo" + ChangeFileExt(name, ".RES")) + " " +
         FileArgument(name);
}

std::string ScriptCommandLine(const std::string& scriptName) {
  return "BRCC32.exe -v " + QuoteArgument("-fo" + ChangeFileExt(scriptName, ".RES")) + " " + FileArgument(scriptName);
}

std::string CompilerOptionsCommandLine() {
  return "DCC32.exe /?";
}
