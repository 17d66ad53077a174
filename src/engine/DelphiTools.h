#pragma once

#include <string>

// The command lines of the Delphi command-line tools, as the compile step and
// the compiler options viewer start them through RunDosRedirected. Source
// names go in without their directory: each tool runs in the source's own
// directory. The tool directory (the project's DCCPath) may be blank; the
// bare tool name is then found by the system's search for programs.

// Names in these lines are split off again by the Windows rules
// (platform::SplitCommandLine): a tool path, source name or directory that
// holds a blank is quoted, and only then. Windows writes directories in their
// short (8.3) form, which holds no blank; POSIX has no short form, so there
// the directory itself is quoted.

// A file's short (8.3) form as one argument of a command line: quoted where it
// still holds a blank (POSIX has no short forms).
std::string ShortPathArgument(const std::string& path);

// Compiles a program, library or package: the tool, the source name, and the
// destination's directory (short form, with its trailing separator) after
// " -E". A destination without a directory gives " -E" alone, which keeps the
// output in the current directory. The compiler takes every other switch from
// the ".cfg" file beside the source.
std::string CompilerCommandLine(const std::string& dccPath, const std::string& sourceFile, const std::string& destFile);

// Compiles a ".rc" entry of the file list into the ".RES" of the same name.
std::string ResourceEntryCommandLine(const std::string& dccPath, const std::string& sourceFile);

// Compiles the resource script generated from the RC mask. The tool is not
// taken from DCCPath: the system's search finds it.
std::string ScriptCommandLine(const std::string& scriptName);

// Lists the compiler's options; found through the current directory and the
// system's search, never through DCCPath.
std::string CompilerOptionsCommandLine();
