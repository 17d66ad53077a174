#include "support/Scenario.h"

#include <QClipboard>
#include <QRegularExpression>
#include <QTextBlock>
#include <filesystem>
#include <stdexcept>

#include "platform/ProfileCache.h"

namespace {

namespace fs = std::filesystem;
using TWords = std::vector<std::string>;

// The steps of a text, each a list of words.
std::vector<TWords> Parse(const std::string& text, const std::string& root) {
  std::vector<TWords> steps(1);
  std::string word;
  bool inWord = false, quoted = false;
  auto endWord = [&] {
    if (inWord) steps.back().push_back(word);
    word.clear();
    inWord = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '\\' && i + 1 < text.size()) {
      const char e = text[++i];
      if (e == '\n') continue;  // the text goes on on the next line
      const std::string escapes = "r\rn\nt\t";
      if (e == 'x') {
        word += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        const std::size_t at = escapes.find(e);
        word += at == std::string::npos || at % 2 ? e : escapes[at + 1];
      }
    } else if (!quoted && c == '{') {
      // Steps of their own, kept as they are written: "\x01" marks them.
      std::size_t end = i + 1;
      for (int depth = 1; end < text.size(); ++end) {
        if (text[end] == '{') ++depth;
        if (text[end] == '}' && --depth == 0) break;
      }
      word += "\x01" + text.substr(i + 1, end - i - 1);
      inWord = true;
      i = end;
    } else if (!quoted && c == '#' && !inWord && steps.back().empty()) {
      while (i + 1 < text.size() && text[i + 1] != '\n') ++i;  // a comment
    } else if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (c == '@') {
      word += root;
      inWord = true;
    } else if (!quoted && c == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;  // a step goes on on the next line
      endWord();
    } else if (!quoted && (c == ';' || c == '\n')) {
      endWord();
      if (!steps.back().empty()) steps.emplace_back();
    } else if (!quoted && (c == ' ' || c == '\t')) {
      endWord();
    } else {
      word += c;
      inWord = true;
    }
  }
  endWord();
  if (steps.back().empty()) steps.pop_back();
  return steps;
}

QString Q(const std::string& text) {
  return QString::fromUtf8(text);
}

std::string Joined(const TWords& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// What a widget shows as its text.
QString TextOf(QObject* object) {
  if (auto* edit = qobject_cast<QLineEdit*>(object)) return edit->text();
  if (auto* memo = qobject_cast<QPlainTextEdit*>(object)) return memo->toPlainText();
  if (auto* box = qobject_cast<QComboBox*>(object)) return box->currentText();
  if (auto* list = qobject_cast<QListWidget*>(object)) return Items(*list).join('\n');
  if (auto* window = qobject_cast<QMainWindow*>(object)) return window->windowTitle();
  return object->property("text").toString();
}

// A role of a list's items, one a line.
QString ItemData(QObject* object, int role) {
  auto* list = qobject_cast<QListWidget*>(object);
  if (!list) throw std::runtime_error("no list");
  QStringList values;
  for (int i = 0; i < list->count(); ++i) values << list->item(i)->data(role).toString();
  return values.join('\n');
}

// The palette role a colour is, else its name.
QString RoleOf(const QColor& colour) {
  const std::pair<QPalette::ColorRole, const char*> roles[] = {
      {QPalette::Base, "Base"}, {QPalette::Window, "Window"}, {QPalette::Button, "Button"}, {QPalette::Text, "Text"}};
  for (const auto& [role, name] : roles)
    if (QApplication::palette().color(role) == colour) return name;
  return colour.name();
}

// Windows takes either slash as a separator, and the window shows a path as
// it was given (a test's root has backslashes, what the test adds to it has
// not): the two are one character there. A pattern keeps its escapes.
bool Holds(QString actual, const std::string& op, QString wanted) {
#ifdef _WIN32
  actual.replace('\\', '/');
  if (op != "=~") wanted.replace('\\', '/');
#endif
  if (op == "==") return actual == wanted;
  if (op == "~") return actual.contains(wanted);
  if (op == "!~") return !actual.contains(wanted);
  if (op == "=~") return QRegularExpression(wanted).match(actual).hasMatch();
  throw std::runtime_error("no comparison " + op);
}

const std::string& Word(const TWords& words, std::size_t index) {
  if (index >= words.size()) throw std::runtime_error("a word is missing");
  return words[index];
}

}  // namespace

void TScenarioTest::Play(const std::string& text) {
  const std::vector<TWords> steps = Parse(text, Root + "/");
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (steps[i][0] == "answer") continue;  // given with the step before
    SCOPED_TRACE(Joined(steps[i]));
    try {
      auto pending = [this] {
        return Dialogs.Confirms.size() + Dialogs.SaveAnswers.size() + Dialogs.ChangedFileAnswers.size() +
               Dialogs.Directories.size() + Dialogs.Files.size() + Dialogs.Windows.size();
      };
      const std::size_t before = pending();
      std::size_t answers = i + 1;
      for (; answers < steps.size() && steps[answers][0] == "answer"; ++answers) Answer(steps[answers]);
      Step(steps[i]);
      QApplication::processEvents();  // what the window queued for after the step's events
      // The list box shows the project's file list, line for line.
      if (Form && Form->BuildRun) {
        QStringList lines;
        for (int k = 0; k < Form->BuildRun->FileList().Count(); ++k)
          lines << ToQ(Form->BuildRun->FileList().Strings(k));
        EXPECT_EQ(Items(*Form->LB_Files), lines) << "the list box and the file list differ";
      }
      EXPECT_LE(pending(), before) << "an answer given was not asked for";
    } catch (const std::exception& e) {
      FAIL() << e.what();
    }
    if (HasFatalFailure()) return;
  }
}

QObject* TScenarioTest::Named(const std::string& name) {
  if (Scope && name == "window") return Scope;
  if (!Form) throw std::runtime_error("no window is open");
  if (name == "form") return Form.get();
  QObject* found = Scope ? Scope->findChild<QObject*>(Q(name)) : nullptr;
  if (!found) found = Form->findChild<QObject*>(Q(name));
  if (!found) throw std::runtime_error("no object " + name);
  return found;
}

void TScenarioTest::Step(const TWords& w) {
  const std::string& verb = w[0];
  auto widget = [&] {
    auto* found = qobject_cast<QWidget*>(Named(Word(w, 1)));
    if (!found) throw std::runtime_error(w[1] + " is no widget");
    return found;
  };
  if (verb == "program") {
    WriteProgram(Word(w, 1));
  } else if (verb == "write") {
    WriteBytes(Word(w, 1), Word(w, 2));
  } else if (verb == "lines") {
    WriteBytes(Word(w, 1), CrLf({w.begin() + 2, w.end()}));
  } else if (verb == "chmod") {
    fs::permissions(Path(Word(w, 1)), static_cast<fs::perms>(std::stoi(Word(w, 2), nullptr, 8)));
  } else if (verb == "catalogue") {
    WriteCatalogue({w.begin() + 1, w.end()});
  } else if (verb == "open" || verb == "restart") {
    Form.reset();
    platform::ForgetSharedProfiles();
    OpenWindow(w.size() > 1 ? w[1] : "").show();
    QApplication::setActiveWindow(Form.get());
  } else if (verb == "select") {
    const int index = std::stoi(Word(w, 2));
    if (auto* box = qobject_cast<QComboBox*>(widget())) {
      box->setCurrentIndex(index);
      emit box->activated(index);
    } else if (auto* list = qobject_cast<QListWidget*>(widget())) {
      list->scrollToItem(list->item(index));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(index)).center());
    }
  } else if (verb == "click" || verb == "double-click") {
    QWidget* target = widget();
    const bool twice = verb == "double-click";
    auto* memo = qobject_cast<QPlainTextEdit*>(target);
    if (memo && w.size() > 2) {
      // On a line of the memo, scrolled into sight.
      QTextCursor line(memo->document()->findBlockByNumber(std::stoi(w[2])));
      memo->setTextCursor(line);
      memo->ensureCursorVisible();
      const QPoint at = memo->cursorRect(line).center() + QPoint(2, 0);
      twice ? QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, at)
            : QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, at);
    } else if (auto* button = qobject_cast<QAbstractButton*>(target); button && !twice) {
      button->click();
    } else if (auto* area = qobject_cast<QAbstractScrollArea*>(target)) {
      twice ? QTest::mouseDClick(area->viewport(), Qt::LeftButton)
            : QTest::mouseClick(area->viewport(), Qt::LeftButton);
    } else {
      twice ? QTest::mouseDClick(target, Qt::LeftButton) : QTest::mouseClick(target, Qt::LeftButton);
    }
  } else if (verb == "key") {
    QWidget* target = widget();
    for (std::size_t k = 2; k < w.size(); ++k) {
      const QKeyCombination key = QKeySequence::fromString(Q(w[k]))[0];
      QTest::keyClick(target, key.key(), key.keyboardModifiers());
    }
  } else if (verb == "type" || verb == "append") {
    QWidget* target = widget();
    target->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(target, verb == "type" ? Qt::Key_A : Qt::Key_End, Qt::ControlModifier);
    if (verb == "type") QTest::keyClick(target, Qt::Key_Delete);
    for (const QChar c : Q(Word(w, 2)))
      c == '\n' ? QTest::keyClick(target, Qt::Key_Return)
                : QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
  } else if (verb == "clipboard") {
    QApplication::clipboard()->setText(Q(Word(w, 1)));
  } else if (verb == "focus") {
    widget()->setFocus(Qt::TabFocusReason);
  } else if (verb == "trigger") {
    auto* action = qobject_cast<QAction*>(Named(Word(w, 1)));
    if (!action) throw std::runtime_error(w[1] + " is no action");
    action->trigger();
  } else if (verb == "expect" || verb == "expect-file") {
    Expect(w);
  } else {
    throw std::runtime_error("no step " + verb);
  }
}

void TScenarioTest::Answer(const TWords& w) {
  const std::string& kind = Word(w, 1);
  if (kind == "Yes" || kind == "No") {
    Dialogs.Confirms.push_back(kind == "Yes");
  } else if (kind == "Save" || kind == "Discard" || kind == "Cancel") {
    Dialogs.SaveAnswers.push_back(kind == "Save" ? saSave : kind == "Discard" ? saDiscard : saCancel);
  } else if (kind == "changed") {
    const std::string& answer = Word(w, 2);
    const TChangedFileAnswer given = answer == "Overwrite" ? cfOverwrite
                                     : answer == "Keep"    ? cfKeepOther
                                     : answer == "Cancel"  ? cfCancel
                                                           : throw std::runtime_error("no answer changed " + answer);
    Dialogs.ChangedFileAnswers.emplace_back(given, w.size() > 3 && w[3] == "all");
  } else if (kind == "dir") {
    Dialogs.Directories.push_back(Word(w, 2) == "cancel" ? std::nullopt : std::optional(Q(w[2])));
  } else if (kind == "file") {
    QStringList files;
    for (std::size_t k = 2; k < w.size() && w[k] != "cancel"; ++k) files << Q(w[k]);
    Dialogs.Files.push_back(files);
  } else if (kind == "window") {
    const TWords children(w.begin() + 2, w.end());
    Dialogs.Windows.push_back([this, children](QDialog& dialog) {
      dialog.show();
      QApplication::setActiveWindow(&dialog);
      if (!children.empty() && children[0].starts_with('\x01')) {
        QDialog* outer = std::exchange(Scope, &dialog);
        Play(children[0].substr(1));
        Scope = outer;
      } else {
        for (const std::string& child : children) {
          const std::size_t eq = child.find('=');
          QObject* found = dialog.findChild<QObject*>(Q(child.substr(0, eq)));
          EXPECT_NE(found, nullptr) << "no " << child << " in " << dialog.objectName().toStdString();
          if (auto* button = qobject_cast<QAbstractButton*>(found); button && eq == std::string::npos) button->click();
          if (found && eq != std::string::npos) found->setProperty("text", Q(child.substr(eq + 1)));
        }
      }
      // The window the dialog came from is the active one again.
      QApplication::setActiveWindow(Scope ? static_cast<QWidget*>(Scope) : Form.get());
      return dialog.result();
    });
  } else {
    throw std::runtime_error("no answer " + kind);
  }
}

void TScenarioTest::Expect(const TWords& w) {
  const std::string& subject = Word(w, 1);
  if (w[0] == "expect-file") {
    const std::string& op = Word(w, 2);
    if (op == "missing" || op == "exists") {
      EXPECT_EQ(Exists(subject), op == "exists") << subject;
    } else {
      const std::string bytes = Exists(subject) ? ReadBytes(subject) : "(missing)";
      if (!Holds(QString::fromLatin1(bytes), op, QString::fromLatin1(Word(w, 3))))
        ADD_FAILURE() << subject << " " << op << " " << w[3] << "\n  actual: " << bytes;
    }
    return;
  }
  const std::size_t dot = subject.find('.');
  const std::string name = subject.substr(0, dot);
  const std::string property = dot == std::string::npos ? "" : subject.substr(dot + 1);
  QString actual;
  if (name == "asked") {
    std::size_t opened = 0, directories = 0;
    for (const TScriptedDialogs::TAsked& asked : Dialogs.Asked) {
      actual += asked.Kind + ": " + asked.Text;
      if (asked.Kind == "open") {
        const TOpenDialogRequest& request = Dialogs.OpenRequests[opened++];
        actual += " | " + request.Filter + " | " + request.FileName + " | " + request.DefaultExtension +
                  (request.MultiSelect ? " | several" : "") + (request.FileMustExist ? " | existing" : "");
      } else if (asked.Kind == "directory") {
        actual +=
            QString(" | %1 | %2").arg(Dialogs.DirectoryStarts[directories]).arg(Dialogs.DirectoryOptions[directories]);
        ++directories;
      }
      actual += "\n";
    }
  } else {
    QObject* object = Named(name);
    auto* target = qobject_cast<QWidget*>(object);
    auto* action = qobject_cast<QAction*>(object);
    const std::string& state = Word(w, 2);
    if (w.size() == 3) {
      const bool enabled = target ? target->isEnabled() : action->isEnabled();
      const bool shown = target ? target->isVisible() : action->isVisible();
      const std::pair<const char*, bool> states[] = {
          {"enabled", enabled}, {"disabled", !enabled}, {"shown", shown}, {"hidden", !shown}};
      for (const auto& [word, holds] : states)
        if (state == word) {
          EXPECT_TRUE(holds) << name << " is not " << state;
          return;
        }
      throw std::runtime_error("no state " + state);
    }
    auto* box = qobject_cast<QComboBox*>(object);
    actual = property.empty()             ? TextOf(object)
             : property == "items"        ? Items(*box).join('\n')
             : property == "base"         ? RoleOf(target->palette().color(QPalette::Base))
             : property == "textRole"     ? RoleOf(target->palette().color(QPalette::Text))
             : property == "bold"         ? QVariant(target->font().bold()).toString()
             : property == "italic"       ? QVariant(target->font().italic()).toString()
             : property == "tips"         ? ItemData(object, Qt::ToolTipRole)
             : property == "descriptions" ? ItemData(object, Qt::AccessibleDescriptionRole)
                                          : object->property(property.c_str()).toString();
  }
  const std::string& op = Word(w, 2);
  const QString wanted = Q(Word(w, 3));
  if (!Holds(actual, op, wanted))
    ADD_FAILURE() << subject << " " << op << " " << w[3] << "\n  actual: " << FromQ(actual);
}
