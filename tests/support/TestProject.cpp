#include "support/TestProject.h"

#include "platform/ProfileCache.h"
#include "project/uPersistence.h"

void TProjectTest::SetUp() {
  TTestDir::SetUp();
  SetEnv("WINEPREFIX", Path("no-wine"));
  PrependToPath(BinDir());
  Persistence().MasterCopyDirs = {Path("no-masters")};
  Persistence().LibraryPathPrompt = &Prompt;
  Persistence().OnError = [this](const std::string& m) { Reports.push_back(m); };
  platform::ForgetSharedProfiles();
  Project = Path("proj");
}

void TProjectTest::TearDown() {
  Persistence().LibraryPathPrompt = nullptr;
  Persistence().OnError = nullptr;
  Persistence().MasterCopyDirs.clear();
  TTestDir::TearDown();
}

void TProjectTest::WriteProgram(const std::string& name) {
  WriteBytes("src/" + name + ".dpr",
             CrLf({"program " + name + ";", "uses", "  Unit1 in 'Unit1.pas';", "{$R *.RES}", "begin", "end."}));
  WriteBytes("src/Unit1.pas", CrLf({"unit Unit1;", "interface", "{$MESSAGE HINT 'mind this'}", "implementation",
                                    "{$MESSAGE WARN 'careful'}", "end."}));
}

void TProjectTest::WriteBrokenProgram(const std::string& name) {
  WriteBytes("src/" + name + ".dpr",
             CrLf({"program " + name + ";", "uses", "  Broken in 'Broken.pas';", "begin", "end."}));
  WriteBytes("src/Broken.pas",
             CrLf({"unit Broken;", "interface", "{$MESSAGE ERROR 'does not compile'}", "implementation", "end."}));
}

void TProjectTest::WriteFilesIni(const std::vector<std::string>& options, const std::vector<std::string>& entries,
                                 const std::vector<std::string>& more) {
  std::vector<std::string> lines{"[options]"};
  lines.insert(lines.end(), options.begin(), options.end());
  lines.push_back("[FileList]");
  lines.insert(lines.end(), entries.begin(), entries.end());
  lines.insert(lines.end(), more.begin(), more.end());
  WriteBytes("proj/Files.ini", CrLf(lines));
}

std::string TProjectTest::Entry(const std::string& target, const std::string& source) const {
  return Path("out/" + target) + "=" + Path("src/" + source);
}

std::vector<std::string> CrLfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0, end;
  while ((end = bytes.find("\r\n", start)) != std::string::npos) {
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}
