// The compiler's messages: the views of the hints, warnings and errors under
// the names of the entries that produced them, and the jump from a message to
// its file and line in the user's editor.
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextBlock>
#include <QUrl>
#include <cstdlib>

#include "app/fMainForm.h"
#include "dialogs/uUserDialogs.h"
#include "engine/Diagnostics.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/TextFile.h"
#include "project/uCatalogue.h"

namespace {

// The compile log's item that ends each entry's lines: "Done: " + source name.
constexpr std::string_view DoneMark = "Done: ";

// What the environment names, "" when nothing.
std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? platform::TrimControls(value) : std::string();
}

}  // namespace

// --- the message views ----------------------------------------------------------

std::vector<int> TF_MainForm::EntriesNamed(const std::vector<QString>& names) const {
  // The entries ran in the order of the list: each name is the next entry of
  // that source name, from where the last one was found.
  const TProjectList& files = BuildRun->FileList();
  std::vector<int> entries;
  int next = 0;
  for (const QString& name : names) {
    int found = -1;
    for (int k = 0; k < files.Count() && found < 0; ++k) {
      const int i = (next + k) % files.Count();
      if (ToQ(platform::ExtractFileName(files.SourceOf(i))).compare(name, Qt::CaseInsensitive) == 0) found = i;
    }
    entries.push_back(found);
    if (found >= 0) next = found + 1;
  }
  return entries;
}

void TF_MainForm::ShowMemoGroupedMessages(const std::string& bytes) {
  const std::vector<std::string_view> messages = platform::SplitLineViews(bytes);
  // The compile log tells which entry each message came from: its lines up to
  // an entry's "Done:" line are that entry's. Where the two logs do not go
  // together (another run wrote one of them), the lines stand ungrouped.
  platform::TStringList compile;
  try {
    compile = platform::ReadTextLines(PathJoin(BuildRun->ProjectDir, CompileLogName));
  } catch (const std::exception&) {
    compile.clear();
  }
  std::vector<QString> names;
  std::vector<int> groupOf(compile.size(), -1);
  for (std::size_t i = compile.size(); i-- > 0;) {
    if (compile[i].starts_with(DoneMark)) names.insert(names.begin(), ToQ(compile[i].substr(DoneMark.size())));
    groupOf[i] = static_cast<int>(names.size());  // counted from the end for now
  }
  for (int& group : groupOf) group = group == 0 ? -1 : static_cast<int>(names.size()) - group;
  const std::vector<int> entries = EntriesNamed(names);

  std::string shown;
  std::vector<int> lineEntries;
  std::size_t at = 0;
  int lastGroup = -1;
  bool together = !compile.empty();
  for (const std::string_view message : messages) {
    int group = -1;
    if (together) {
      // In the order of the compile log; a line that stands twice (an error
      // that is also fatal) is one line of it.
      std::size_t found = at;
      while (found < compile.size() && compile[found] != message) ++found;
      together = found < compile.size();
      if (together) {
        at = found;
        group = groupOf[found];
      }
    }
    const int entry = group >= 0 ? entries[static_cast<std::size_t>(group)] : -1;
    if (group >= 0 && group != lastGroup) {
      shown.append(FromQ(names[static_cast<std::size_t>(group)])).append("\r\n");
      lineEntries.push_back(entry);
    }
    lastGroup = group;
    shown.append(group >= 0 ? "  " : "").append(message).append("\r\n");
    lineEntries.push_back(entry);
  }
  Memo1->setPlainText(DecodeTextFile(shown, &ViewEncoding));
  MemoView = mvMessages;
  MemoEntries = std::move(lineEntries);
}

int TF_MainForm::EntryOfCompileLogLine(int line) const {
  // The entries whose "Done:" lines come before the line, and the one whose
  // "Done:" line ends its lines.
  std::vector<QString> names;
  const QString mark = ToQ(std::string(DoneMark));
  for (QTextBlock block = Memo1->document()->begin(); block.isValid(); block = block.next()) {
    if (!block.text().startsWith(mark)) continue;
    names.push_back(block.text().mid(mark.size()));
    if (block.blockNumber() >= line) return EntriesNamed(names).back();
  }
  return -1;
}

// --- the jump to a message's line -----------------------------------------------

bool TF_MainForm::OpenMessageLine(int line) {
  if (MemoView != mvCompileLog && MemoView != mvMessages) return false;
  const QTextBlock block = Memo1->document()->findBlockByNumber(line);
  if (!block.isValid()) return false;
  const std::string text = EncodeText(block.text().trimmed(), ViewEncoding);
  const std::optional<TDiagnostic> message = ParseDiagnostic(text);
  if (!message || message->File.empty()) return false;
  int entry = -1;
  if (MemoView == mvMessages)
    entry = line < static_cast<int>(MemoEntries.size()) ? MemoEntries[static_cast<std::size_t>(line)] : -1;
  else
    entry = EntryOfCompileLogLine(line);
  const std::string file = FindMessageFile(entry, message->File);
  if (file.empty()) {
    const std::string source =
        entry >= 0 ? platform::ExtractFileName(BuildRun->FileList().SourceOf(entry)) : std::string("its entry");
    Dialogs.Message(this, ScreenText(message->File + " was not found beside " + source + " or on its library path."));
    return true;
  }
  OpenFileAtLine(file, message->Line);
  return true;
}

std::string TF_MainForm::FindMessageFile(int entry, const std::string& file) {
  auto existing = [](const std::string& name) {
    const std::string resolved = platform::ResolvePath(name);
    return platform::FileExists(resolved) ? platform::ExpandFileName(resolved) : std::string();
  };
  if (QDir::isAbsolutePath(ToQ(file))) return existing(file);
  if (entry < 0 || entry >= BuildRun->FileList().Count()) return "";
  // Beside the source, then in each directory of the library path (lines,
  // or parts of a line between ';'), relative ones from the source's, where
  // the compiler runs.
  const std::string sourceDir = platform::ExtractFileDir(BuildRun->FileList().SourceOf(entry));
  std::vector<std::string> dirs = {sourceDir};
  const std::string path = BuildRun->FileList().SettingsAt(entry)->GetSettingContent(stLibraryPath);
  for (const std::string& line : platform::SplitLines(path)) {
    std::size_t start = 0;
    while (start <= line.size()) {
      const std::size_t end = std::min(line.find(';', start), line.size());
      const std::string dir = platform::TrimControls(std::string_view(line).substr(start, end - start));
      if (!dir.empty()) dirs.push_back(QDir::isAbsolutePath(ToQ(dir)) ? dir : PathJoin(sourceDir, dir));
      start = end + 1;
    }
  }
  for (const std::string& dir : dirs)
    if (std::string found = existing(PathJoin(dir, file)); !found.empty()) return found;
  return "";
}

void TF_MainForm::OpenFileAtLine(const std::string& file, int line) {
  std::string editor;
  try {
    editor = platform::TrimControls(ReadProgramSetting(IniFile, EditorKey));
  } catch (const std::exception&) {
    editor.clear();  // a catalogue that cannot be read was told at start
  }
  const QString lineText = QString::number(line);
  QStringList words;
  std::string command = editor;
  if (command.empty()) command = Environment("VISUAL");
  if (command.empty()) command = Environment("EDITOR");
  if (!editor.empty()) {
    // The program's setting: #File# and #Line# (any letter case) stand for
    // them in its words, so that a name with blanks stays one word; without
    // #File# the file is the last word.
    bool named = false;
    for (const std::string& word : platform::SplitCommandLine(editor)) {
      QString filled = ToQ(word);
      named = named || filled.contains("#File#", Qt::CaseInsensitive);
      filled.replace("#File#", ToQ(file), Qt::CaseInsensitive);
      filled.replace("#Line#", lineText, Qt::CaseInsensitive);
      words << filled;
    }
    if (!named) words << ToQ(file);
  } else if (!command.empty()) {
    // EDITOR +LINE FILE, as git and crontab run it.
#ifdef _WIN32
    for (const std::string& word : platform::SplitCommandLine(command)) words << ToQ(word);
    words << "+" + lineText << ToQ(file);
#else
    words << "/bin/sh"
          << "-c" << ToQ(command + " \"$@\"") << ToQ(command) << "+" + lineText << ToQ(file);
#endif
  } else {
    if (!Dialogs.OpenUrl(QUrl::fromLocalFile(ToQ(file))))
      Dialogs.Message(this, ScreenText("No program could be started to open " + file + "."));
    return;
  }
  const QString program = words.isEmpty() ? QString() : words.takeFirst();
  if (program.isEmpty() || !QProcess::startDetached(program, words, ToQ(platform::ExtractFileDir(file))))
    Dialogs.Message(this, ScreenText("The editor could not be started: " + command));
}
