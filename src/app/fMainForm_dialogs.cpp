// The window's side of its dialogs: the project options, the version
// information editor, the compiler's option list and the about box.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/fMainForm.h"
#include "dialogs/fAbout.h"
#include "dialogs/fDccOptions.h"
#include "dialogs/fEditVersion.h"
#include "dialogs/fOptions.h"
#include "dialogs/uUserDialogs.h"
#include "engine/DelphiTools.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "project/uCatalogue.h"

void TF_MainForm::A_projectOptionsExecute() {
  Tf_options dialog(this, Dialogs);
  for (const auto& [box, flag] : dialog.FlagBoxes()) box->setChecked(BuildRun->GetOption(flag));
  // The path goes back in the encoding it came in, so that an unchanged one
  // compares equal.
  TTextEncoding encoding;
  dialog.e_compilerpath->setText(DecodeText(BuildRun->DCCPath, &encoding));
  const QString editor = ToQ(ReadProgramSetting(IniFile, EditorKey));
  const std::string timeout = ReadProgramSetting(IniFile, ToolTimeoutKey);
  dialog.e_editor->setText(editor);
  dialog.se_toolTimeout->setValue(platform::ParseSeconds(timeout).value_or(0));
  if (Dialogs.Exec(dialog) != QDialog::Accepted) return;

  // The program's settings are its own, saved at once.
  if (dialog.e_editor->text() != editor) WriteProgramSetting(IniFile, EditorKey, FromQ(dialog.e_editor->text()));
  const double seconds = dialog.se_toolTimeout->value();
  if (seconds != platform::ParseSeconds(timeout).value_or(0))
    WriteProgramSetting(IniFile, ToolTimeoutKey, seconds > 0 ? QString::number(seconds).toStdString() : "");

  const QString typed = dialog.e_compilerpath->text();
  const std::string path = EncodeText(typed, CanEncode(typed, encoding) ? encoding : TTextEncoding::Utf8);
  bool changed = path != BuildRun->DCCPath;
  for (const auto& [box, flag] : dialog.FlagBoxes()) changed = changed || box->isChecked() != BuildRun->GetOption(flag);
  if (changed) SetModified(true);
  for (const auto& [box, flag] : dialog.FlagBoxes()) BuildRun->SetOption(flag, box->isChecked());
  BuildRun->DCCPath = path;
}

void TF_MainForm::A_editVersionExecute() {
  {
    // The versions of the entry the panel shows, not of the first of its
    // base name.
    const int entry = CurrentEntry();
    if (entry < 0) CurrentSettings();  // says that the source is in no entry
    Tf_editversion editor(this, Dialogs, *BuildRun, CurrentProjectName, CurrentSource, entry);
    Dialogs.Exec(editor);
  }
  SetViewMode(vmViewing);
  // The merged version of the panel shows what the editor left in the files.
  m_mergedVerInfo->setPlainText(ToQ(CurrentSettings().VersionSummary()));
}

void TF_MainForm::A_DisplayDCCOptionsExecute() {
  const std::string output = DccOptionsFile.empty() ? ProgramOptionsListFile() : DccOptionsFile;
  std::string error;
  bool ran = false;
  try {
    // The per-user directory of an installed program may not exist yet.
    if (const std::string dir = platform::ExtractFileDir(output); !dir.empty()) platform::ForceDirectories(dir);
    ran = RunDosRedirected(CompilerOptionsCommandLine(), IniFile, output, error);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!ran) {
    Dialogs.Message(this, ScreenText("Failed to get DCC options: " + error));
    return;
  }
  auto* window = new Tf_dccoptions(this);
  try {
    window->LoadFromFile(output);
  } catch (...) {
    delete window;
    throw;
  }
  window->show();
}

void TF_MainForm::miAboutClick() {
  {
    Tf_about box(this);
    Dialogs.Exec(box);
  }
  // A setting being edited stays as it is.
  if (ViewMode != vmEditing) SetViewMode(vmViewing);
}
