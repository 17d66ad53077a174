#pragma once

// The resources of a program as Windows itself reads them: the version
// functions and the resource loader, which know nothing of our own readers.
// Only on Windows; elsewhere tests read resources back with the build
// machine's binutils.
#ifdef _WIN32

#include <string>

// A program opened as data for the resource loader, with its version
// information read by the version functions.
class TSystemResources {
 public:
  explicit TSystemResources(const std::string& file);
  ~TSystemResources();
  TSystemResources(const TSystemResources&) = delete;
  TSystemResources& operator=(const TSystemResources&) = delete;

  // The fixed part: "1.2.0.7"; "<missing>" without a version resource.
  std::string FileVersion = "<missing>", ProductVersion = "<missing>";
  unsigned long FileFlagsMask = 0, FileOS = 0, FileType = 0;
  // The first translation of VarFileInfo ("040904E4"), "" when there is none.
  std::string Translation;
  // A string of a StringFileInfo block (the first translation's by default),
  // as UTF-8; "<missing>" when there is none.
  std::string String(const std::string& name, const std::string& block = "") const;
  // The bytes of a resource of a type and name in a language (any language
  // when language is -1); "<missing>" when the loader finds none. A name or
  // type "#7" is the number 7.
  std::string Resource(const std::string& type, const std::string& name, int language = -1) const;
  // A string of the string table, as UTF-8; "<missing>" when there is none.
  std::string TableString(unsigned id) const;
  // The image of the first icon of a named icon group.
  std::string Icon(const std::string& group) const;

 private:
  std::string Data;  // what GetFileVersionInfo gave
  void* Module = nullptr;
};

// Links a compiled resource file into a program with the compiler stand-in
// (a program named ResProbe beside it that only carries the resources), so
// that the system can read them back; "" (and a test failure) when it cannot.
std::string LinkResourcesForTheSystem(const std::string& resFile);

#endif
