// The catalogue of projects, the project commands and the unattended build.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <iostream>

#include "app/fMainForm.h"
#include "dialogs/fExtractLibPath.h"
#include "dialogs/uSelectDir.h"
#include "dialogs/uUserDialogs.h"
#include "platform/FileSystem.h"
#include "project/uCatalogue.h"

namespace {

constexpr char NativeSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

}  // namespace

void TF_MainForm::ProjectChosen() {
  const int chosen = cb_ProjectList->currentIndex();
  // The project left keeps its edit and its changes unless the user lets
  // them go; going back shows it in the name box again.
  if (!LeaveEdit() || (Modified && !AskToSaveChanges())) {
    cb_ProjectList->setCurrentIndex(ShownProjectIndex);
    return;
  }
  cb_ProjectList->setCurrentIndex(chosen);
  cb_ProjectListChange();
}

void TF_MainForm::cb_ProjectListChange() {
  LB_Files->clear();
  e_SourceFile->clear();
  CurrentProjectName = FromQ(cb_ProjectList->currentText());
  // The line of the entry chosen: two entries of one name (opened twice in a
  // run) each keep their own directory.
  const int index = cb_ProjectList->currentIndex();
  ShownProjectIndex = index;
  CurrentProjectDir.clear();
  if (index >= 0 && index < static_cast<int>(ProjectCatalogue.size())) {
    CurrentProjectName = ProjectCatalogue[static_cast<std::size_t>(index)].Name;
    CurrentProjectDir = ProjectCatalogue[static_cast<std::size_t>(index)].Directory;
  }
  OpenProjectDirectory(CurrentProjectDir);
  LoadFileListIntoListBox();
  TProjectList& files = BuildRun->FileList();
  if (files.Count() > 0) {
    e_SourceFile->setText(ToQ(files.SourceOf(0)));
    SetViewMode(vmFilesAvailable);
  } else {
    SetViewMode(vmEmpty);
  }
  SetModified(false);
  A_SelectFileExecute(e_SourceFile);
  ShowWorkingIn();
}

void TF_MainForm::OpenProjectDirectory(const std::string& dir) {
  BuildRun.reset();
  BuildRun = std::make_unique<TBuilderClass>();
  TBuilderClass& run = *BuildRun;
  run.Store().LibraryPathPrompt = ActivePrompt;
  run.OnProjectHalt = [this](const std::string& name, const std::string& message) { ProjectHalt(name, message); };
  run.OnCompileEvent = [this](const std::string& file, const std::string& text) { CompileEvent(file, text); };
  run.OnCompileStart = [this](const std::string& source, const std::string& dest, const std::string& message) {
    CompileStart(source, dest, message);
  };
  run.OnCompileEnd = [this](const std::string& source, const std::string& dest, const std::string& message,
                            bool success, int lines, int hints, int warnings, int errors, int fatal) {
    CompileEnd(source, dest, message, success, lines, hints, warnings, errors, fatal);
  };
  run.OnProjectDone = [this](const std::string& name, int ok, int err, int lines, int hints, int warnings, int errors,
                             int fatal) { ProjectDone(name, ok, err, lines, hints, warnings, errors, fatal); };
  run.OnWaitForProject = [this](const std::string& holder) { return WaitForProject(holder); };
  // The marks of the last build were of the project left.
  ClearEntryMarks();
  StoppedText.clear();
  // What the load reports is told once it is over: a directory that cannot
  // hold a project says why in one message, and no project is shown.
  Loading = true;
  LoadReports.clear();
  try {
    LastLoadOK = run.LoadProject(dir) && platform::FileExists(PathJoin(dir, "Files.ini"));
  } catch (...) {
    Loading = false;
    throw;
  }
  Loading = false;
  ProjectShown = LastLoadOK;
  UpdateProjectCommands();
  if (!LastLoadOK) {
    std::vector<std::string> reasons;  // each once
    for (const std::string& report : LoadReports)
      if (std::find(reasons.begin(), reasons.end(), report) == reasons.end()) reasons.push_back(report);
    if (reasons.empty()) reasons.push_back("its Files.ini could not be made.");
    std::string text = dir + " cannot be used as a project directory:";
    for (const std::string& reason : reasons) text += "\r\n" + reason;
    Dialogs.Message(this, ScreenText(text));
    return;
  }
  if (run.GetOption(poHaltOnError) && !Unattended)
    for (const std::string& report : LoadReports) Dialogs.Message(this, ScreenText("Error: " + report));
  // The group version of the project: what the handler's short text shows
  // until a build loads other values.
  run.GetResourceHandler().ClearValues();
  run.GetResourceHandler().LoadVersionFile(PathJoin(dir, "Files.ini"), vsGroupFile);
}

void TF_MainForm::UpdateProjectCommands() {
  ProjectCommands->setEnabled(ProjectShown && !BuildRunning);
  A_NewProject->setEnabled(!BuildRunning);
  A_OpenProject->setEnabled(!BuildRunning);
  for (QPushButton* button : {b_FileUp, b_fileDown}) button->setEnabled(ProjectShown);
}

void TF_MainForm::LoadFileListIntoListBox() {
  LB_Files->clear();
  const TProjectList& files = BuildRun->FileList();
  for (int i = 0; i < files.Count(); ++i) LB_Files->AddEntry(files.Strings(i));
  ApplyEntryMarks();
}

std::string TF_MainForm::ProjectNameOf(const std::string& dir) const {
  // Windows takes a slash for a separator too.
  const auto last = std::find_if(dir.rbegin(), dir.rend(), platform::IsPathDelim);
  if (last == dir.rend()) return CurrentProjectName;
  const std::size_t at = static_cast<std::size_t>(dir.rend() - last) - 1;
  return dir.substr(at + 1, 200);
}

void TF_MainForm::CatalogueAdd(const std::string& name, const std::string& dir) {
  cb_ProjectList->addItem(ToQ(name));
  cb_ProjectList->setCurrentIndex(cb_ProjectList->count() - 1);
  ShownProjectIndex = cb_ProjectList->currentIndex();
  ProjectCatalogue.push_back({name, dir});
  AddCatalogueEntry(IniFile, name, dir);
}

bool TF_MainForm::ChooseProjectDirectory() {
  QString dir;
  if (!Dialogs.SelectDirectory(this, ProjectDirectoryCaption, dir, sdAllowCreate | sdPerformCreate | sdPrompt, 0))
    return false;
  if (Modified && !AskToSaveChanges()) return false;
  LB_Files->clear();
  A_SelectFileExecute(LB_Files);
  CurrentProjectDir = FromQ(dir);
  return true;
}

void TF_MainForm::A_NewProjectExecute() {
  if (!ChooseProjectDirectory()) return;
  OpenProjectDirectory(CurrentProjectDir);
  CurrentProjectName = ProjectNameOf(CurrentProjectDir);
  CatalogueAdd(CurrentProjectName, CurrentProjectDir);
  SetViewMode(vmEmpty);
  SetModified(false);
  // A directory that held a project already shows its files, as Open does.
  LoadFileListIntoListBox();
  if (LB_Files->count() > 0) {
    LB_Files->setCurrentRow(0);
    A_SelectFileExecute(LB_Files);
  }
  ShowWorkingIn();
}

void TF_MainForm::A_OpenProjectExecute() {
  if (!ChooseProjectDirectory()) return;
  CurrentProjectName = ProjectNameOf(CurrentProjectDir);
  CatalogueAdd(CurrentProjectName, CurrentProjectDir);
  SetViewMode(vmEmpty);
  SetModified(false);
  OpenProjectDirectory(CurrentProjectDir);
  // The files of the project opened are shown at once, the first selected.
  LoadFileListIntoListBox();
  if (LB_Files->count() > 0) LB_Files->setCurrentRow(0);
  A_SelectFileExecute(LB_Files);
  ShowWorkingIn();
}

bool TF_MainForm::AskAboutChangedFiles(std::vector<TChangedFile>& files) {
  bool same = false;
  TChangedFileAnswer answer = cfCancel;
  for (std::size_t i = 0; i < files.size(); ++i) {
    TChangedFile& file = files[i];
    if (!same) {
      const std::string text =
          file.Name + "\r\nhas been changed on disk since the project read it.\r\n" +
          (file.FilesIni ? "Overwrite it with the project as shown here, or keep the other version? Keeping it loads "
                           "the project again as it is on disk: what was changed here in its file list, options "
                           "and setting files chosen is dropped."
                         : "Overwrite it with the text the project holds, or keep the other version?");
      answer = Dialogs.AskAboutChangedFile(this, ScreenText(text), static_cast<int>(files.size() - i - 1), same);
    }
    if (answer == cfCancel) return false;
    file.Overwrite = answer == cfOverwrite;
  }
  return true;
}

void TF_MainForm::A_saveProjectSettingsExecute() {
  bool cancelled = false, keptFilesIni = false, keptSetting = false;
  bool saved = false;
  {
    // Asked only while this save runs (a failure raised included).
    struct TAsking {
      TBuilderClass& Run;
      ~TAsking() { Run.OnChangedOutside = nullptr; }
    } asking{*BuildRun};
    BuildRun->OnChangedOutside = [&](std::vector<TChangedFile>& files) {
      cancelled = !AskAboutChangedFiles(files);
      for (const TChangedFile& file : files)
        if (!file.Overwrite) (file.FilesIni ? keptFilesIni : keptSetting) = true;
      return !cancelled;
    };
    saved = BuildRun->SaveProject();
  }
  if (cancelled) {
    // Nothing was written: the changes are still to be saved.
  } else if (!saved) {
    Dialogs.Message(this, "Failed to save project settings");
    SetModified(true);
  } else if (keptFilesIni) {
    // The project as the other program left it: the one shown, even while
    // the name box names the project chosen next (which then loads).
    cb_ProjectList->setCurrentIndex(ShownProjectIndex);
    cb_ProjectListChange();
    return;
  } else {
    SetModified(false);
    // The panel shows the texts kept.
    if (keptSetting && LB_Files->count() > 0) LB_FilesClick();
  }
  ShowWorkingIn();
}

void TF_MainForm::RunUnattended(const std::string& argument) {
  const int index = FindCatalogueEntry(ProjectCatalogue, argument);
  if (index < 0) return;  // the window opens as usual

  Unattended = true;
  ActivePrompt = &UnattendedPrompt;
  try {
    cb_ProjectList->setCurrentIndex(index);
    cb_ProjectListChange();
    hide();
    // A directory that holds no project has nothing to build; its reason
    // has been told.
    // Nor is a project built that could not be read whole (a setting file
    // that cannot be read): it would be built with something missing.
    if (!LastLoadOK || BuildRun->LoadReports > 0) {
      UnattendedStatus = 2;
      TerminateRequested = true;
      return;
    }
    BuildRun->SetOption(poHaltOnError, false);
    A_DoBuildExecute();
    StopReason();  // a request from outside that came after the last tool
    if (!Interruption.empty()) {
      // As tesmar-build says it; no box waits for anyone.
      std::cerr << "tesmar: interrupted (" << Interruption << "); the run was stopped and its logs written"
                << std::endl;
      UnattendedStatus = std::max(LastLoadOK ? BuildRun->RunStatus(LastRunOK) : 2, 1);
      TerminateRequested = true;
      return;
    }
    if (BuildRun->GetOption(poDisplayMsgOnDone)) {
      ShowResultsView();
      // Without a display no one could close a box: the text goes to the
      // standard output instead.
      if (Headless)
        std::cout << Memo1->toPlainText().toStdString() << std::endl;
      else
        Dialogs.Message(this, Memo1->toPlainText());
    }
    // The status tesmar-build gives for the same run.
    UnattendedStatus = LastLoadOK ? BuildRun->RunStatus(LastRunOK) : 2;
  } catch (const std::exception& e) {
    if (Headless)
      std::cerr << e.what() << std::endl;
    else
      Dialogs.Message(this, ToQ(e.what()));
    UnattendedStatus = 2;
  }
  TerminateRequested = true;
}
