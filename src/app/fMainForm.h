#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/uFileListBox.h"
#include "app/uLiveOutput.h"
#include "dialogs/uQtText.h"
#include "engine/BuildTimes.h"
#include "engine/DOSToMemo.h"
#include "engine/uBuildingObject.h"
#include "ide/IDELibPath.h"
#include "project/uCatalogue.h"
#include "project/uGlobalConstants.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolButton;
class TActionButton;
class TProjectSettings;
class TStatusBar;
class TUserDialogs;
class TWindowLibraryPathPrompt;
namespace platform {
class TStopSignals;
}

// The caption of the directory dialog of the project commands.
inline constexpr const char* ProjectDirectoryCaption = "Select Project specs directory";

// The mode of the results area.
enum TViewMode { vmEmpty, vmFilesAvailable, vmEditing, vmViewing, vmBuilding };

// How the window starts: the program's INI file (the catalogue) and the
// first command-line argument (a project to build unattended).
struct TMainFormStart {
  std::string IniFile;  // empty: ProgramIniFile()
  std::string Argument;
  // No display to show boxes on (the offscreen platform): the unattended
  // build prints what it would show.
  bool Headless = false;
  // The longest a tool may run in this session's builds, in seconds, over
  // the program's setting (0: the setting's).
  double ToolTimeout = 0;
  // Requests to stop from outside (SIGTERM, ...), when the program listens
  // for them: they end the running tool, the build writes its logs and the
  // window closes.
  const platform::TStopSignals* Signals = nullptr;
};

// What the last build made of an entry of the list.
enum TEntryResult { erBuilt, erFailed, erNotBuilt };

// The program's one top-level window: the catalogue of projects, the project
// shown with its file list and the settings of one file, the build and its
// results. Every command is an action of the window.
class TF_MainForm : public QMainWindow {
  Q_OBJECT

 public:
  TF_MainForm(TUserDialogs& dialogs, TMainFormStart start = {}, QWidget* parent = nullptr);
  ~TF_MainForm() override;

  // After an unattended build: the program is to end with this status
  // (0 every entry built, 1 an entry failed, 2 the run ended by a failure or
  // the project could not be loaded).
  bool Terminated() const { return TerminateRequested; }
  int ExitStatus() const { return UnattendedStatus; }
  // The request from outside that ended the window ("SIGTERM"), "" when none.
  const std::string& InterruptedBy() const { return Interruption; }

  // --- the catalogue and the window (fMainForm.cpp, fMainForm_catalogue.cpp)
  void FormCreate();
  void cb_ProjectListChange();
  void OpenProjectDirectory(const std::string& dir);
  void SetModified(bool flag);
  void SetViewMode(TViewMode mode);
  // The save question of a modified project, with Save, Discard and Cancel;
  // false when the user goes back (Cancel, or a save that failed).
  bool AskToSaveChanges();
  // Before the memo's edited text of a setting or of the file list would
  // be replaced: asks whether to save it; false when the user goes back to
  // it (Cancel, or a save that failed). True at once when nothing is edited.
  bool LeaveEdit();
  void b_exitClick();
  void miContentsClick();
  void A_NewProjectExecute();
  void A_OpenProjectExecute();
  void A_saveProjectSettingsExecute();
  // Asks, file by file, what becomes of the files that a save would write
  // over and that another program changed meanwhile; false when the user
  // cancels the save.
  bool AskAboutChangedFiles(std::vector<TChangedFile>& files);

  // --- the file list (fMainForm_files.cpp)
  void LB_FilesClick();
  void SelectFileEntry(int index);
  void A_AddFileExecute();
  void A_getSourceExecute();
  void A_deleteFileExecute();
  void b_FileUpClick();
  void b_fileDownClick();
  void A_editFileListExecute();
  void A_saveFileListExecute();
  // Takes the edited text as the file list; false, with the text left in the
  // editor, when a line is one that Files.ini cannot keep (the user is told).
  bool TakeEditedFileList();
  // Files dropped on the list are added as "Add" adds them, each target
  // beside its source.
  void AddDroppedFiles(const QStringList& files);

  // --- the settings of the current file (fMainForm_settings.cpp)
  void A_SelectFileExecute(QObject* sender);
  void EnableFileSettings();
  void DisableFileSettings();
  void ShowSettingPath(QLineEdit* edit, TsettingsTypeEnum kind);
  // The entry the panel shows: the one chosen in the list, else the first
  // whose source is CurrentSource (without regard to case); -1 when none is.
  int CurrentEntry() const;
  // Its settings; throws when CurrentSource is in no entry.
  TProjectSettings& CurrentSettings();
  void UpdateDPKSupport();
  void ShowSetting(QLineEdit* sender);
  std::string GetSettingTitle(QLineEdit* sender);
  // The enter and exit handlers of a row (e_configurationEnter, ...), and its
  // label's click (Label5Click, ...).
  void SettingRowEnter(QLineEdit* edit);
  void SettingRowExit(QLineEdit* edit);
  void SettingLabelClick(QLineEdit* edit);
  void ChooseSettingFile(QLineEdit* edit, TsettingsTypeEnum kind, const std::string& description,
                         const std::string& filter, const std::string& defaultExtension, const std::string& title);
  void A_getTargetExecute();
  // False, with the edit left in the memo, when the file was not written.
  bool SaveSettingFromEditor(TsettingsTypeEnum kind);
  void A_cancelEditWindowExecute();
  void A_GrabIDEPathExecute();
  void m_mergedVerInfoClick();
  // The windows of the compiler's option list close when the configuration
  // is saved or its edit cancelled.
  void CloseDccOptionsWindows();

  // --- building and the results (fMainForm_build.cpp)
  void A_DoBuildExecute();
  void b_buildOneClick();
  void b_haltClick();
  // Paints the heading and the status bar and handles what is pending; during
  // a build at most every BuildRefreshMs, unless now, and as a rule while a
  // tool runs (see ToolRunning).
  void RefreshResults(bool now = false);
  // Shows what a build said since the window was last painted.
  void ShowPending();
  // The status line of a build event, shown with the next refresh; Say
  // shows a message at once, in place of one still to be shown.
  void ShowBuildStatus(const QString& text);
  void Say(const QString& text);
  void ShowWorkingIn();
  void ShowResultsView();
  void A_retrieveLastDumpExecute();
  void A_summaryDisplayExecute();
  void A_EventLogDisplayExecute();
  void A_compileResultsDisplayExecute();
  void b_errorsClick();
  void b_warningsClick();
  void b_hintsClick();
  bool Building() const { return BuildRunning; }
  // Ends the running tool at once with this reason (and every process it
  // started); the build stops after it, writing its logs.
  void EndToolNow(const std::string& reason);

  // --- the messages of the compiler and their lines (fMainForm_messages.cpp)
  // A memo line of the message views or the compile log that names a file
  // and a line opens that file there; true when the line was such a one.
  bool OpenMessageLine(int line);
  // The file a message names, as found for the entry it came from: as it
  // stands when absolute, else beside the entry's source, then along its
  // library path; "" when it is nowhere.
  std::string FindMessageFile(int entry, const std::string& file);
  // Opens a file at a line in the user's editor: the program's editor
  // setting, else $VISUAL or $EDITOR, else the desktop's handler.
  void OpenFileAtLine(const std::string& file, int line);
  // The documented height of the results buttons panel: 40 with one row of
  // buttons, 73 with the log buttons above them.
  int ResultsButtonsPanelHeight() const { return ResultsButtonsHeight; }
  // The manual's entry page: beside the program, else in the installed data
  // directory; empty when there is none.
  static std::string ManualFile();

  // --- the dialogs of the window (fMainForm_dialogs.cpp)
  void A_projectOptionsExecute();
  void A_editVersionExecute();
  void A_DisplayDCCOptionsExecute();
  void miAboutClick();
  // Where "DCC help" has the compiler write its option list; empty:
  // ProgramOptionsListFile().
  std::string DccOptionsFile;

  // Fields of the window.
  // The catalogue's entries; each line (name=directory) is an entry's Line(),
  // its directory kept apart, since a name may hold '=' too.
  TCatalogue ProjectCatalogue;
  std::string CurrentProjectDir;
  std::string CurrentProjectName;
  std::string CurrentSource;
  std::string CurrentTarget;
  bool Modified = false;
  TViewMode ViewMode = vmEmpty;
  TsettingsTypeEnum SettingKindShown = stSourceFile;
  std::string StatusText;
  std::unique_ptr<TBuilderClass> BuildRun;
  // A project is shown (chosen and loaded): the project's commands are live.
  bool ProjectShown = false;

  // Controls, by their documented names.
  QFrame* Panel1;
  QPushButton* b_halt;
  TActionButton* b_Build;
  TActionButton* b_exit;
  TStatusBar* StatusBar1;
  QLabel* ElapsedLabel;
  // During a build: which file of how many, the time left, and a bar.
  QLabel* ProgressLabel;
  QProgressBar* ProgressBar;
  QSplitter* Splitter1;
  QFrame* Panel3;
  QFrame* Panel9;
  QLabel* Label6;
  QComboBox* cb_ProjectList;
  TActionButton* bb_newProject;
  TActionButton* Button1;
  TActionButton* bb_save;
  QFrame* P_filesettings;
  QFrame* Panel8;
  QLabel* L_mergedVerInfo;
  QPlainTextEdit* m_mergedVerInfo;
  QFrame* Panel4;
  QSplitter* Splitter2;
  QFrame* Panel5;
  QLabel* Label2;
  TFileListBox* LB_Files;
  QFrame* Panel12;
  QPushButton* b_buildOne;
  TActionButton* b_addFile;
  TActionButton* b_deleteFile;
  QPushButton* b_FileUp;
  QPushButton* b_fileDown;
  TActionButton* b_editFiles;
  QFrame* P_results;
  QLabel* L_Results;
  QPlainTextEdit* Memo1;
  QFrame* P_resultsButtons;
  QPushButton* b_hints;
  QPushButton* b_warnings;
  QPushButton* b_errors;
  TActionButton* b_ideLibPath;
  TActionButton* b_save;
  TActionButton* b_cancelEditwindow;

  // The rows of the file settings panel.
  struct TSettingRow {
    QLabel* Label;
    QLineEdit* Edit;
    QToolButton* Button;
    TsettingsTypeEnum Kind;
  };
  std::vector<TSettingRow> SettingRows;
  QLineEdit* e_SourceFile;
  QLineEdit* e_target;
  QLineEdit* e_configuration;
  QLineEdit* e_libraryPath;
  QLineEdit* e_GroupVerInfo;
  QLineEdit* e_localVerInfo;
  QLineEdit* e_ResourceMask;
  QLineEdit* e_DPKSupport;
  QLineEdit* e_PreProcessing;
  QLineEdit* e_PostProcessing;

  // The action table.
  QAction *A_NewProject, *A_OpenProject, *A_saveProjectSettings, *A_projectOptions, *A_moveProject, *A_DoBuild,
      *A_stopBuild, *A_exit, *A_retrieveLastDump, *A_summaryDisplay, *A_compileResultsDisplay, *A_EventLogDisplay,
      *A_AddFile, *A_deleteFile, *A_editFileList, *A_saveFileList, *A_SelectFile, *A_getSource, *A_getTarget,
      *A_getConfig, *A_getLibPath, *A_getGroupVerInfo, *A_getLocalVerInfo, *A_getRCMask, *A_getDPKSupportFile,
      *A_getPreProcessing, *A_GetpostProcessing, *A_SaveConfig, *A_savePath, *A_SaveRCMask, *A_SaveDPKSupport,
      *A_savePreProcessing, *A_SavePostProcessing, *A_SaveLocalVerInfo, *A_saveGlobalVerInfo, *A_cancelEditWindow,
      *A_editVersion, *A_GrabIDEPath, *A_DisplayDCCOptions, *A_addToPath, *A_deleteLine;
  QAction* miContents;
  QAction* miAbout;

  // The dialogs of the window, for its commands and the tests.
  TUserDialogs& Dialogs;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // fMainForm_layout.cpp
  void CreateActions();
  void CreateMenu();
  void CreateControls();
  void CreateSettingRows();
  void ConnectSettingCommands();
  void ConnectFileCommands();
  bool ListDropEvent(QEvent* event);
  QAction* NewAction(const char* name, const QString& caption, void (TF_MainForm::*handler)() = nullptr);
  // Runs the handler, guarded, when the action is triggered.
  void OnTriggered(QAction* action, void (TF_MainForm::*handler)());
  // Runs a user's command, guarded; unless it works on the memo's edit, the
  // edit is settled first (LeaveEdit), and the command dropped when the user
  // goes back to it.
  void RunCommand(const QAction* action, const std::function<void()>& command);

  // Runs a command; an exception it raises is shown in a message box and
  // the window goes on, as every user command must.
  void Guarded(const std::function<void()>& command);

  // The memo: text in and out, its lines, its colours.
  // Shows a text file's lines in the memo; throws when it cannot be read.
  void LoadMemoFromFile(const std::string& fileName);
  void AddMemoLine(const QString& line);
  int MemoLineCount() const;
  QString MemoLastLine() const;
  void PaintMemo(bool editing);
  void SetHeading(const std::string& text);
  // During a build the heading made when the window is next painted.
  void SetBuildHeading(std::function<std::string()> make);
  std::string ShortForHeading(const std::string& path) const;
  void SetResultsButtonsHeight(int height);
  void Memo1Change();
  void SetDefaultButton(QPushButton* button);
  // The row of an edit of the settings panel; nullptr for another widget.
  const TSettingRow* RowOf(const QObject* widget) const;
  // A row's button is live while the panel is and its action is.
  void SyncRowButtons();
  // The user made another entry of the list current, or clicked it again.
  void ListEntryChosen(int row);
  // The user picked a project in the name box.
  void ProjectChosen();
  // Commands that need a project are live while one is shown and no build runs.
  void UpdateProjectCommands();
  // Adds one line (target=source) to both lists unless it is there already.
  void AddFileEntry(const std::string& line);
  // The memo's text as the bytes of a setting file, in the encoding the file
  // was read in, CR LF after every line.
  std::string MemoBytes() const;
  void ShowSettingText(const std::string& bytes, bool editable);
  void LoadLog(const char* fileName);
  void ShowMessageLog(const char* fileName, QPushButton* disabled, const char* failure, const char* noun);

  // The build event handlers.
  void CompileStart(const std::string& source, const std::string& dest, const std::string& message);
  void CompileEvent(const std::string& file, const std::string& text);
  void CompileEnd(const std::string& source, const std::string& dest, const std::string& message, bool success,
                  int lines, int hints, int warnings, int errors, int fatal);
  void ProjectDone(const std::string& name, int ok, int err, int lines, int hints, int warnings, int errors, int fatal);
  void ProjectHalt(const std::string& name, const std::string& message);
  void RunBuildFromWindow(bool single);
  void SetBuildLock(bool locked);
  void ShowElapsed();

  // Following a build (fMainForm_progress.cpp).
  void StartFollowing(bool single);
  void EndFollowing();
  void FollowEntryStart(const std::string& source, const std::string& dest);
  void FollowEntryEnd(bool ok);
  // Shows what the running command wrote since the last look (at most every
  // tenth of a second unless final: the command has ended).
  void FollowOutput(bool final);
  void ShowProgress(bool now = false);
  // Adds lines (their ends "\n", none after the last) to the live view's
  // next paint.
  void AddLive(std::string lines);
  void FlushLive();
  void MarkEntry(int index, TEntryResult result, const std::string& tip);
  void ApplyEntryMarks();
  void ClearEntryMarks();
  // Why no tool may run now: a request from outside, or the user's "stop
  // now"; "" when tools may run.
  std::string StopReason();
  void CheckStopSignals();
  bool WaitForProject(const std::string& holder);
  double ToolTimeoutSeconds() const;
  // The text of a run that ended before its last entry; "" for one that
  // reached it.
  std::string StoppedRunText(int ok, int err) const;
  void ShowMemoGroupedMessages(const std::string& bytes);
  int EntryOfCompileLogLine(int line) const;
  std::vector<int> EntriesNamed(const std::vector<QString>& names) const;

  void RunUnattended(const std::string& argument);
  void CatalogueAdd(const std::string& name, const std::string& dir);
  // The common start of New and Open: the directory asked for (false when
  // cancelled), the save question, the list emptied.
  bool ChooseProjectDirectory();
  std::string ProjectNameOf(const std::string& dir) const;
  void LoadFileListIntoListBox();
  bool EditPending() const;

  std::string IniFile;
  std::string StartArgument;
  bool Headless = false;
  std::unique_ptr<TWindowLibraryPathPrompt> LibraryPrompt;
  // The unattended build asks nothing: a new project's library path is that
  // of the version proposed, as on the command line.
  TFixedLibraryPathPrompt UnattendedPrompt{std::string("5")};
  TLibraryPathPrompt* ActivePrompt = nullptr;
  TRunHook PreviousRunHook;
  TRunIdleHook PreviousIdleHook;
  int ResultsButtonsHeight = 40;
  TTextEncoding MemoEncoding = TTextEncoding::Utf8;
  // The memo's text when its edit began.
  QString EditStartText;
  // The file list as edited text: each line's bytes by its text, and the
  // encoding of lines typed anew.
  std::vector<std::pair<QString, std::string>> ListLineBytes;
  TTextEncoding ListEncoding = TTextEncoding::Utf8;
  // The entry whose settings the panel shows, as last chosen in the list.
  int ShownEntry = -1;
  // The name box's entry of the project shown.
  int ShownProjectIndex = -1;
  bool FileSettingsOn = true;
  // While a project loads, its reports are kept to be told at the end.
  bool Loading = false;
  std::vector<std::string> LoadReports;
  // What the window's open dialog last filtered by, kept for a target whose
  // kind is unknown.
  QString LastOpenFilter;
  bool LastRunOK = true;
  bool MemoChangeAttached = false;
  bool BuildRunning = false;
  bool CloseAfterBuild = false;
  bool Unattended = false;
  bool TerminateRequested = false;
  int UnattendedStatus = 0;
  bool LastLoadOK = true;
  QActionGroup* ProjectCommands;
  QElapsedTimer BuildClock;

  // The build being followed: its entries in order, how far it is, what the
  // last run of each entry took, the output of its running command.
  std::vector<int> RunEntries;
  int RunPosition = -1;
  int RunDone = 0;
  int OKBeforeEntry = 0;
  TBuildTimes LastTimes;
  QElapsedTimer EntryClock;
  // During a build the window is brought up to date at most this often: a
  // build of many quick entries would otherwise spend more time painting
  // what no one can read than building. What is said meanwhile waits.
  static constexpr qint64 BuildRefreshMs = 500;
  QElapsedTimer LiveClock;
  QElapsedTimer RefreshClock;
  // Set while the runner waits for a tool. On a machine of more than one
  // processor the window is painted then, beside the running tool, rather
  // than between tools, where each paint would lengthen the build by its
  // time; between tools a refresh waits up to one more interval for the next.
  bool ToolRunning = false;
  QElapsedTimer ToolClock;  // since the running tool started
  QElapsedTimer ProgressClock;
  bool ProgressStale = false;
  // Output of the build's commands not shown yet: pieces of whole lines,
  // still undecoded.
  std::deque<std::string> PendingLive;
  std::size_t PendingLiveBytes = 0;
  int PendingLiveSkipped = 0;  // lines of it passed over
  std::function<std::string()> PendingHeading;
  std::optional<int> PendingRow;
  std::optional<QString> PendingStatus;
  TLiveOutput LiveOutput;
  // Stop was pressed (the build stops after the current file); a reason to
  // end the running tool at once.
  bool StopAsked = false;
  std::string EndNowReason;
  const platform::TStopSignals* Signals = nullptr;
  std::string Interruption;
  double SessionToolTimeout = 0;
  bool WaitSaid = false;
  // The stopped-run text of the last build, shown with its summary.
  std::string StoppedText;
  // The marks of the last build, by file list line.
  std::unordered_map<std::string, TFileListBox::TMark> EntryMarks;  // by file list line
  std::vector<QIcon> EntryIcons;                                    // by TEntryResult
  // What the memo shows, for the jump to a message's line, and for the
  // message views the entry each of their lines came from.
  enum TMemoView { mvOther, mvLive, mvCompileLog, mvMessages };
  TMemoView MemoView = mvOther;
  std::vector<int> MemoEntries;
  TTextEncoding ViewEncoding = TTextEncoding::Utf8;
  QPointer<QWidget> DefaultButton;
};
