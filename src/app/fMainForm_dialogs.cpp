// The window's side of its dialogs: the version information editor.
#include <QPlainTextEdit>

#include "app/fMainForm.h"
#include "dialogs/fEditVersion.h"
#include "dialogs/uUserDialogs.h"

void TF_MainForm::A_editVersionExecute() {
  {
    Tf_editversion editor(this, Dialogs, *BuildRun, CurrentProjectName, CurrentSource);
    Dialogs.Exec(editor);
  }
  SetViewMode(vmViewing);
  // The merged version of the panel shows what the editor left in the files.
  const int index = BuildRun->FileList().FindSource(BuildRun->SelectedSource);
  if (index >= 0) m_mergedVerInfo->setPlainText(ToQ(BuildRun->FileList().SettingsAt(index)->VersionSummary()));
}
