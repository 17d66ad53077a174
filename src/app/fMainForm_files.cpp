// The file list of the project in the list box.
#include <QListWidget>

#include "app/fMainForm.h"

void TF_MainForm::LB_FilesClick() {
  SelectFileEntry(LB_Files->currentRow());
}

void TF_MainForm::SelectFileEntry(int index) {
  if (LB_Files->count() == 0) return;
  if (index < 0 || index >= LB_Files->count()) {
    index = 0;
    LB_Files->setCurrentRow(0);
  }
  const std::string line = FromQ(LB_Files->item(index)->text());
  const std::size_t eq = line.find('=');
  CurrentSource = eq == std::string::npos ? std::string() : line.substr(eq + 1, 200);
  BuildRun->SelectedSource = CurrentSource;
  CurrentTarget = line.substr(0, eq);
  A_SelectFileExecute(LB_Files);
}
