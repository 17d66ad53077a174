#pragma once

#include <string>
#include <vector>

// The catalogue of known projects: section "Projects" of the program's own INI
// file, one key per project, the name as key and the project directory as
// value. A name that a key cannot hold as it is (with '=' or a line break,
// beginning with ';', '[' or '%', ending with a blank, or empty) is stored
// as '%' and the name with those characters written %XX, and read back as
// it was. The GUI shows it in its name box; the command-line build looks
// projects up in it.

struct TCatalogueEntry {
  std::string Name;
  std::string Directory;
  // The catalogue line as the program lists it: name, "=", directory.
  std::string Line() const { return Name + "=" + Directory; }
};
using TCatalogue = std::vector<TCatalogueEntry>;

inline constexpr const char* CatalogueSection = "Projects";
inline constexpr const char* ProgramIniName = "tesmar.ini";
// Names another INI file for the catalogue (tests, scripts).
inline constexpr const char* ProgramIniVariable = "TESMAR_INI";

inline constexpr const char* ProgramOptionsListName = "options.txt";

// Where the program keeps its own files (the catalogue, the compiler's option
// list): beside the program, unless the program is installed or its directory
// cannot be written; then the user's configuration directory. An installed
// program (one in <prefix>/bin with its data in <prefix>/share/tesmar) never
// writes beside itself, even run by a user who could, such as root: its
// directory is shared by every user of the machine.
std::string ProgramSettingsDir();
std::string ProgramSettingsDirOf(const std::string& programDir);

// The program's INI file: the file named by $TESMAR_INI when that is set and
// not empty; otherwise "tesmar.ini" in ProgramSettingsDir(). The GUI and the
// command-line build live in the same directory, so both find the same file.
std::string ProgramIniFile();
// The compiler's option list, "options.txt" in ProgramSettingsDir().
std::string ProgramOptionsListFile();

// The catalogue in file order. Keys with an empty value are dropped; a key
// that occurs twice counts once (its first value). A missing file or section
// is an empty catalogue. Throws TError for a file that cannot be read as a
// profile (binary data, unreadable).
TCatalogue ReadCatalogue(const std::string& iniFile);

// The index of the first entry whose line (name=directory) contains argument,
// compared with case; -1 when none does or the argument is empty.
int FindCatalogueEntry(const TCatalogue& catalogue, const std::string& argument);

// Writes the key name with the value directory into the catalogue section (a
// name already there gets the new directory in place); the file and its
// directory are created when missing. Throws TError when it cannot be written.
void AddCatalogueEntry(const std::string& iniFile, const std::string& name, const std::string& directory);

// The program's own settings beside the catalogue, in section "Program" of
// the same file: the editor that opens a compiler message's file at its line
// (a command line with #File# and #Line#), and the longest a tool or
// processing line of the window's builds may run (seconds; none: no limit).
inline constexpr const char* ProgramSection = "Program";
inline constexpr const char* EditorKey = "Editor";
inline constexpr const char* ToolTimeoutKey = "ToolTimeout";

// A setting's value; "" when it or the file is missing. Throws TError for a
// file that cannot be read as a profile.
std::string ReadProgramSetting(const std::string& iniFile, const std::string& key);
// Writes a setting (an empty value removes nothing: the key holds ""); the
// file and its directory are made when missing. A value reads back as it was
// written, quotes around it included. Throws TError when it cannot be written.
void WriteProgramSetting(const std::string& iniFile, const std::string& key, const std::string& value);
