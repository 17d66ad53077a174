#include "engine/DelphiTools.h"

#include "platform/FileSystem.h"
#include "project/uGlobalConstants.h"

using platform::ChangeFileExt;
using platform::ExtractFileName;

std::string CompilerCommandLine(const std::string& dccPath, const std::string& sourceFile,
                                const std::string& destFile) {
  const std::string destDir = platform::ExtractFilePath(destFile);
  const std::string output =
      destDir.empty() ? std::string() : platform::IncludeTrailingPathDelimiter(platform::ShortPathName(destDir));
  // The blank after the tool name is part of the name that is joined.
  return PathJoin(dccPath, "DCC32.exe ") + ExtractFileName(sourceFile) + " -E" + output;
}

std::string ResourceEntryCommandLine(const std::string& dccPath, const std::string& sourceFile) {
  const std::string name = ExtractFileName(sourceFile);
  return PathJoin(dccPath, "BRCC32.exe ") + "-v -fo" + ChangeFileExt(name, ".RES") + " " + name;
}

std::string ScriptCommandLine(const std::string& scriptName) {
  return "BRCC32.exe -v -fo" + ChangeFileExt(scriptName, ".RES") + " " + scriptName;
}

std::string CompilerOptionsCommandLine() {
  return "DCC32.exe /?";
}
