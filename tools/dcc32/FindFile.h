#pragma once

#include <string>

namespace tesmar_tools {

// Joins a directory and a relative name with the native separator; an empty
// directory means the current one and leaves the name as it is.
std::string JoinPath(const std::string& dir, const std::string& name);

// The directory part of a path ("" for a bare name), without its separator.
std::string DirectoryOf(const std::string& path);
// The name after the last separator.
std::string FileNameOf(const std::string& path);
// The file name without its last extension.
std::string BaseNameOf(const std::string& path);
// The last extension with its dot, or "".
std::string ExtensionOf(const std::string& path);

// Names in Delphi sources and options files may use either separator; each
// becomes the system's own ('\' on Windows, '/' elsewhere).
std::string NativeSeparators(std::string path);

// Finds an existing regular file as Windows would: the exact name if it
// exists, otherwise, component by component, the first entry of each
// directory (in name order) that matches without regard to ASCII case.
// Returns the path as found (built from dir and the entries' real names), or
// "" when there is none. Never throws.
std::string FindFileNoCase(const std::string& dir, const std::string& relativeName);

// The same for a directory; returns "" when there is none.
std::string FindDirNoCase(const std::string& path);

}  // namespace tesmar_tools
