// The window's controls, actions and menu, as the user sees them.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/fMainForm.h"
#include "app/uActionButton.h"
#include "app/uStatusBar.h"
#include "dialogs/uReadOnlyPaint.h"

namespace {

QFrame* NewPanel(QWidget* parent, const char* name) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  return panel;
}

QLabel* NewHeading(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setBold(true);
  // Two points above the window's font, as 10 points stand to 8.
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() + 2);
  label->setFont(font);
  label->setTextFormat(Qt::PlainText);
  return label;
}

TActionButton* NewButton(QWidget* parent, const char* name, QAction* action) {
  auto* button = new TActionButton(parent, action);
  button->setObjectName(name);
  return button;
}

QPushButton* NewPlainButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

QAction* TF_MainForm::NewAction(const char* name, const QString& caption, void (TF_MainForm::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  addAction(action);  // its shortcut works wherever the focus is
  if (handler) OnTriggered(action, handler);
  return action;
}

void TF_MainForm::OnTriggered(QAction* action, void (TF_MainForm::*handler)()) {
  connect(action, &QAction::triggered, this,
          [this, action, handler] { RunCommand(action, [this, handler] { (this->*handler)(); }); });
}

void TF_MainForm::RunCommand(const QAction* action, const std::function<void()>& command) {
  // These work on the edit, keep it, or leave the memo alone; the window's
  // close settles it itself.
  const QAction* const keepers[] = {A_saveFileList,   A_cancelEditWindow,    A_GrabIDEPath, A_DisplayDCCOptions,
                                    A_projectOptions, A_saveProjectSettings, A_exit,        miContents,
                                    miAbout};
  const bool keeps = action && std::find(std::begin(keepers), std::end(keepers), action) != std::end(keepers);
  Guarded([&] {
    if (keeps || LeaveEdit()) command();
  });
}

void TF_MainForm::CreateActions() {
  A_NewProject = NewAction("A_NewProject", "&New Project", &TF_MainForm::A_NewProjectExecute);
  A_OpenProject = NewAction("A_OpenProject", "&Open Project", &TF_MainForm::A_OpenProjectExecute);
  A_saveProjectSettings =
      NewAction("A_saveProjectSettings", "&Save Project", &TF_MainForm::A_saveProjectSettingsExecute);
  A_projectOptions = NewAction("A_projectOptions", "Options", &TF_MainForm::A_projectOptionsExecute);
  A_moveProject = NewAction("A_moveProject", "Move Project");
  A_DoBuild = NewAction("A_DoBuild", "&Build", &TF_MainForm::A_DoBuildExecute);
  A_stopBuild = NewAction("A_stopBuild", "A_stopBuild");
  A_exit = NewAction("A_exit", "E&xit", &TF_MainForm::b_exitClick);
  A_retrieveLastDump =
      NewAction("A_retrieveLastDump", "Retrieve last compile results", &TF_MainForm::A_retrieveLastDumpExecute);
  A_summaryDisplay = NewAction("A_summaryDisplay", "Summary", &TF_MainForm::A_summaryDisplayExecute);
  A_compileResultsDisplay =
      NewAction("A_compileResultsDisplay", "Compile Log", &TF_MainForm::A_compileResultsDisplayExecute);
  A_EventLogDisplay = NewAction("A_EventLogDisplay", "Event Log", &TF_MainForm::A_EventLogDisplayExecute);
  A_AddFile = NewAction("A_AddFile", "Add", &TF_MainForm::A_AddFileExecute);
  A_deleteFile = NewAction("A_deleteFile", "Delete", &TF_MainForm::A_deleteFileExecute);
  A_editFileList = NewAction("A_editFileList", "Edit File List", &TF_MainForm::A_editFileListExecute);
  A_saveFileList = NewAction("A_saveFileList", "Save File List", &TF_MainForm::A_saveFileListExecute);
  A_SelectFile = NewAction("A_SelectFile", "A_SelectFile");
  connect(A_SelectFile, &QAction::triggered, this,
          [this] { RunCommand(A_SelectFile, [this] { A_SelectFileExecute(LB_Files); }); });
  A_getSource = NewAction("A_getSource", "", &TF_MainForm::A_getSourceExecute);
  A_getTarget = NewAction("A_getTarget", "", &TF_MainForm::A_getTargetExecute);
  A_getConfig = NewAction("A_getConfig", "");
  A_getLibPath = NewAction("A_getLibPath", "");
  A_getGroupVerInfo = NewAction("A_getGroupVerInfo", "");
  A_getLocalVerInfo = NewAction("A_getLocalVerInfo", "");
  A_getRCMask = NewAction("A_getRCMask", "");
  A_getDPKSupportFile = NewAction("A_getDPKSupportFile", "");
  A_getPreProcessing = NewAction("A_getPreProcessing", "");
  A_GetpostProcessing = NewAction("A_GetpostProcessing", "");
  A_SaveConfig = NewAction("A_SaveConfig", "Save Config");
  A_savePath = NewAction("A_savePath", "Save Path");
  A_SaveRCMask = NewAction("A_SaveRCMask", "Save RC Mask");
  A_SaveDPKSupport = NewAction("A_SaveDPKSupport", "Save DPK Support");
  A_savePreProcessing = NewAction("A_savePreProcessing", "Save PreProcess");
  A_SavePostProcessing = NewAction("A_SavePostProcessing", "Save Post Process");
  A_SaveLocalVerInfo = NewAction("A_SaveLocalVerInfo", "Save Local Ver Info");
  A_saveGlobalVerInfo = NewAction("A_saveGlobalVerInfo", "Save Global VerInfo");
  A_cancelEditWindow = NewAction("A_cancelEditWindow", "&Cancel", &TF_MainForm::A_cancelEditWindowExecute);
  A_editVersion = NewAction("A_editVersion", "Edit Version", &TF_MainForm::A_editVersionExecute);
  A_GrabIDEPath = NewAction("A_GrabIDEPath", "Extract IDE path", &TF_MainForm::A_GrabIDEPathExecute);
  A_DisplayDCCOptions = NewAction("A_DisplayDCCOptions", "DCC help", &TF_MainForm::A_DisplayDCCOptionsExecute);
  A_addToPath = NewAction("A_addToPath", "Add");
  A_deleteLine = NewAction("A_deleteLine", "Delete");

  // The choose buttons of the settings rows show a glyph only.
  const QIcon choose = style()->standardIcon(QStyle::SP_DialogOpenButton);
  const std::vector<std::pair<QAction*, const char*>> glyphs = {
      {A_getSource, "Add a source file"},
      {A_getTarget, "Choose the target file"},
      {A_getConfig, "Choose the configuration file"},
      {A_getLibPath, "Choose the library path file"},
      {A_getGroupVerInfo, "Choose the group version file"},
      {A_getLocalVerInfo, "Choose the local version file"},
      {A_getRCMask, "Choose the resource mask file"},
      {A_getDPKSupportFile, "Choose the DPK support file"},
      {A_getPreProcessing, "Choose the pre-processing file"},
      {A_GetpostProcessing, "Choose the post-processing file"}};
  for (const auto& [action, tip] : glyphs) {
    action->setIcon(choose);
    action->setToolTip(tip);
  }

  // What works on the project shown is live while there is one and no build
  // runs (New and Open make one; they wait for the build only).
  ProjectCommands = new QActionGroup(this);
  ProjectCommands->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
  for (QAction* action : {A_saveProjectSettings, A_projectOptions, A_DoBuild, A_retrieveLastDump, A_summaryDisplay,
                          A_compileResultsDisplay, A_EventLogDisplay, A_AddFile, A_deleteFile, A_editFileList,
                          A_saveFileList, A_getSource, A_getTarget, A_cancelEditWindow, A_editVersion, A_GrabIDEPath})
    ProjectCommands->addAction(action);
  for (QAction* action :
       {A_getLibPath, A_getGroupVerInfo, A_getLocalVerInfo, A_getRCMask, A_getDPKSupportFile, A_getPreProcessing,
        A_GetpostProcessing, A_SaveConfig, A_savePath, A_SaveRCMask, A_SaveDPKSupport, A_savePreProcessing,
        A_SavePostProcessing, A_SaveLocalVerInfo, A_saveGlobalVerInfo})
    ProjectCommands->addAction(action);
}

void TF_MainForm::CreateMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  QMenu* project = bar->addMenu("&Project");
  project->setObjectName("Project1");
  project->addActions({A_NewProject, A_OpenProject, A_saveProjectSettings, A_projectOptions, A_retrieveLastDump});
  project->addSeparator();
  project->addAction(A_DoBuild);
  project->addSeparator();
  project->addAction(A_exit);

  QMenu* files = bar->addMenu("&Files");
  files->setObjectName("Files1");
  files->addActions({A_AddFile, A_deleteFile, A_editFileList});

  QMenu* compiler = bar->addMenu("&Compiler");
  compiler->setObjectName("Compiler1");
  compiler->addAction("Edit Config File")->setObjectName("EditConfigFile1");
  compiler->addAction(A_DisplayDCCOptions);
  QMenu* path = compiler->addMenu("Library Path");
  path->setObjectName("LibraryPath1");
  path->addActions({A_addToPath, A_deleteLine});
  path->addAction("Edit Path")->setObjectName("EditPath1");

  QMenu* resources = bar->addMenu("&Resources");
  resources->setObjectName("Resources1");
  resources->addAction(A_editVersion);
  resources->addAction("Edit RC Mask")->setObjectName("EditRCMask1");

  QMenu* help = bar->addMenu("Help");
  help->setObjectName("Help1");
  miContents = help->addAction("Contents");
  miContents->setObjectName("miContents");
  OnTriggered(miContents, &TF_MainForm::miContentsClick);
  miAbout = help->addAction("About");
  miAbout->setObjectName("miAbout");
  OnTriggered(miAbout, &TF_MainForm::miAboutClick);
}

void TF_MainForm::CreateControls() {
  auto* central = new QWidget(this);
  central->setObjectName("ClientArea");
  setCentralWidget(central);
  auto* centralLayout = new QVBoxLayout(central);
  centralLayout->setContentsMargins(0, 0, 0, 0);
  centralLayout->setSpacing(0);

  // The client area, split left and right.
  Splitter1 = new QSplitter(Qt::Horizontal, central);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  centralLayout->addWidget(Splitter1, 1);

  // Left: the project, the settings of the current file, the merged version.
  Panel3 = NewPanel(Splitter1, "Panel3");
  auto* left = new QVBoxLayout(Panel3);
  left->setContentsMargins(6, 6, 3, 3);

  Panel9 = NewPanel(Panel3, "Panel9");
  Panel9->setFrameShape(QFrame::StyledPanel);
  auto* project = new QGridLayout(Panel9);
  Label6 = NewHeading(Panel9, "Label6", "Tesmar Project Settings");
  auto* nameLabel = new QLabel("Name", Panel9);
  nameLabel->setObjectName("Label1");
  cb_ProjectList = new QComboBox(Panel9);
  cb_ProjectList->setObjectName("cb_ProjectList");
  cb_ProjectList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cb_ProjectList->setMinimumContentsLength(16);
  nameLabel->setBuddy(cb_ProjectList);
  bb_newProject = NewButton(Panel9, "bb_newProject", A_NewProject);
  Button1 = NewButton(Panel9, "Button1", A_OpenProject);
  bb_save = NewButton(Panel9, "bb_save", A_saveProjectSettings);
  auto* projectButtons = new QHBoxLayout;
  projectButtons->addWidget(bb_newProject);
  projectButtons->addWidget(Button1);
  projectButtons->addWidget(bb_save);
  projectButtons->addStretch(1);
  project->addWidget(Label6, 0, 0, 1, 2);
  project->addWidget(nameLabel, 1, 0);
  project->addWidget(cb_ProjectList, 1, 1);
  project->addLayout(projectButtons, 2, 0, 1, 2);
  project->setColumnStretch(1, 1);
  left->addWidget(Panel9);

  P_filesettings = NewPanel(Panel3, "P_filesettings");
  P_filesettings->setFrameShape(QFrame::StyledPanel);
  P_filesettings->setMinimumSize(374, 200);
  CreateSettingRows();
  left->addWidget(P_filesettings);

  Panel8 = NewPanel(Panel3, "Panel8");
  auto* merged = new QVBoxLayout(Panel8);
  merged->setContentsMargins(0, 0, 0, 0);
  L_mergedVerInfo = NewHeading(Panel8, "L_mergedVerInfo", "Merged Version Information");
  m_mergedVerInfo = new QPlainTextEdit(Panel8);
  m_mergedVerInfo->setObjectName("m_mergedVerInfo");
  m_mergedVerInfo->setReadOnly(true);
  m_mergedVerInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
  PaintReadOnly(m_mergedVerInfo);
  merged->addWidget(L_mergedVerInfo);
  merged->addWidget(m_mergedVerInfo, 1);
  left->addWidget(Panel8, 1);

  // Right: the file list above the results.
  Panel4 = NewPanel(Splitter1, "Panel4");
  auto* right = new QVBoxLayout(Panel4);
  right->setContentsMargins(3, 6, 6, 3);
  Splitter2 = new QSplitter(Qt::Vertical, Panel4);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setChildrenCollapsible(false);
  right->addWidget(Splitter2);

  Panel5 = NewPanel(Splitter2, "Panel5");
  auto* files = new QVBoxLayout(Panel5);
  files->setContentsMargins(0, 0, 0, 0);
  Label2 = new QLabel("Files to compile ( in order ) -> Files.ini", Panel5);
  Label2->setObjectName("Label2");
  Label2->setTextFormat(Qt::PlainText);
  auto* list = new TFileListBox(Panel5);
  LB_Files = list;
  LB_Files->setObjectName("LB_Files");
  LB_Files->setUniformItemSizes(true);
  LB_Files->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Label2->setBuddy(LB_Files);
  Panel12 = NewPanel(Panel5, "Panel12");
  auto* fileButtons = new QHBoxLayout(Panel12);
  fileButtons->setContentsMargins(0, 0, 0, 0);
  b_buildOne = NewPlainButton(Panel12, "b_buildOne", "build one");
  b_buildOne->setEnabled(false);
  b_addFile = NewButton(Panel12, "b_addFile", A_AddFile);
  b_deleteFile = NewButton(Panel12, "b_deleteFile", A_deleteFile);
  b_FileUp = NewPlainButton(Panel12, "b_FileUp", "");
  b_FileUp->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  b_FileUp->setToolTip("Move the file up");
  b_fileDown = NewPlainButton(Panel12, "b_fileDown", "");
  b_fileDown->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  b_fileDown->setToolTip("Move the file down");
  b_editFiles = NewButton(Panel12, "b_editFiles", A_editFileList);
  for (QWidget* w :
       std::initializer_list<QWidget*>{b_buildOne, b_addFile, b_deleteFile, b_FileUp, b_fileDown, b_editFiles})
    fileButtons->addWidget(w);
  fileButtons->addStretch(1);
  files->addWidget(Label2);
  files->addWidget(LB_Files, 1);
  files->addWidget(Panel12);

  P_results = NewPanel(Splitter2, "P_results");
  auto* results = new QVBoxLayout(P_results);
  results->setContentsMargins(0, 0, 0, 0);
  L_Results = NewHeading(P_results, "L_Results", "Results");
  L_Results->setWordWrap(true);
  L_Results->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  L_Results->setAlignment(Qt::AlignLeading | Qt::AlignTop);
  Memo1 = new QPlainTextEdit(P_results);
  Memo1->setObjectName("Memo1");
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->installEventFilter(this);
  Memo1->viewport()->installEventFilter(this);
  P_resultsButtons = NewPanel(P_results, "P_resultsButtons");
  auto* resultButtons = new QGridLayout(P_resultsButtons);
  resultButtons->setContentsMargins(0, 4, 0, 4);
  b_hints = NewPlainButton(P_resultsButtons, "b_hints", "Hints");
  b_warnings = NewPlainButton(P_resultsButtons, "b_warnings", "Warnings");
  b_errors = NewPlainButton(P_resultsButtons, "b_errors", "Errors");
  b_ideLibPath = NewButton(P_resultsButtons, "b_ideLibPath", A_GrabIDEPath);
  b_save = NewButton(P_resultsButtons, "b_save", nullptr);
  b_save->setText("&Save");
  b_cancelEditwindow = NewButton(P_resultsButtons, "b_cancelEditwindow", A_cancelEditWindow);
  resultButtons->addWidget(b_hints, 0, 0);
  resultButtons->addWidget(b_warnings, 0, 1);
  resultButtons->addWidget(b_errors, 0, 2);
  resultButtons->addWidget(b_ideLibPath, 1, 0);
  resultButtons->addWidget(b_save, 1, 1);
  resultButtons->addWidget(b_cancelEditwindow, 1, 2);
  results->addWidget(L_Results);
  results->addWidget(Memo1, 1);
  results->addWidget(P_resultsButtons);

  Splitter1->addWidget(Panel3);
  Splitter1->addWidget(Panel4);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({400, 412});
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({190, 360});

  // The bottom bar, its buttons at the right edge.
  Panel1 = NewPanel(central, "Panel1");
  auto* bottom = new QHBoxLayout(Panel1);
  bottom->setContentsMargins(6, 4, 6, 4);
  bottom->addStretch(1);
  b_halt = NewPlainButton(Panel1, "b_halt", "&Stop");
  b_halt->setEnabled(false);
  b_Build = NewButton(Panel1, "b_Build", A_DoBuild);
  b_exit = NewButton(Panel1, "b_exit", A_exit);
  bottom->addWidget(b_halt);
  bottom->addWidget(b_Build);
  bottom->addWidget(b_exit);
  centralLayout->addWidget(Panel1);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  setStatusBar(StatusBar1);
  ProgressLabel = new QLabel(StatusBar1);
  ProgressLabel->setObjectName("ProgressLabel");
  ProgressLabel->hide();
  StatusBar1->addPermanentWidget(ProgressLabel);
  ProgressBar = new QProgressBar(StatusBar1);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setMaximumWidth(160);
  ProgressBar->setFormat("%v / %m");
  ProgressBar->hide();
  StatusBar1->addPermanentWidget(ProgressBar);
  ElapsedLabel = new QLabel(StatusBar1);
  ElapsedLabel->setObjectName("ElapsedLabel");
  StatusBar1->addPermanentWidget(ElapsedLabel);

  connect(b_halt, &QPushButton::clicked, this, [this] { b_haltClick(); });
  connect(b_buildOne, &QPushButton::clicked, this, [this] { RunCommand(nullptr, [this] { b_buildOneClick(); }); });
  connect(b_errors, &QPushButton::clicked, this, [this] { Guarded([this] { b_errorsClick(); }); });
  connect(b_warnings, &QPushButton::clicked, this, [this] { Guarded([this] { b_warningsClick(); }); });
  connect(b_hints, &QPushButton::clicked, this, [this] { Guarded([this] { b_hintsClick(); }); });
  connect(cb_ProjectList, &QComboBox::activated, this, [this] { Guarded([this] { ProjectChosen(); }); });
  // The choice is taken once the list has handled the key or the click (a
  // box asked in between would take the mouse from it).
  connect(
      list, &TFileListBox::EntryChosen, this, [this](int row) { Guarded([this, row] { ListEntryChosen(row); }); },
      Qt::QueuedConnection);
}

void TF_MainForm::CreateSettingRows() {
  struct TRowLayout {
    const char* Label;
    const char* Caption;
    const char* Edit;
    const char* Button;
    QAction* Action;
    TsettingsTypeEnum Kind;
  };
  const TRowLayout rows[] = {
      {"Label3", "&Source", "e_SourceFile", "b_sourceFile", A_getSource, stSourceFile},
      {"Label4", "&Target", "e_target", "b_target", A_getTarget, stDestFile},
      {"Label5", "&Configuration", "e_configuration", "b_configuration", A_getConfig, stConfigFile},
      {"Label7", "&Library Path", "e_libraryPath", "b_LibraryPath", A_getLibPath, stLibraryPath},
      {"Label13", "&Group Ver Info", "e_GroupVerInfo", "b_GroupVerInfo", A_getGroupVerInfo, stGroupVerInfo},
      {"Label8", "Local &Ver Info", "e_localVerInfo", "b_localVerInfo", A_getLocalVerInfo, stLocalVerInfo},
      {"Label9", "Resource &Mask", "e_ResourceMask", "b_ResourceMask", A_getRCMask, stRCMask},
      {"Label10", "&DPK support", "e_DPKSupport", "b_DPKSupport", A_getDPKSupportFile, stDPKConfig},
      {"Label11", "Pr&e Processing", "e_PreProcessing", "b_PreProcessing", A_getPreProcessing, stPreProcessing},
      {"Label12", "P&ost Processing", "e_PostProcessing", "b_postProcessing", A_GetpostProcessing, stPostProcessing}};
  auto* grid = new QGridLayout(P_filesettings);
  grid->setVerticalSpacing(3);
  int row = 0;
  for (const TRowLayout& r : rows) {
    auto* label = new QLabel(r.Caption, P_filesettings);
    label->setObjectName(r.Label);
    auto* edit = new QLineEdit(P_filesettings);
    edit->setObjectName(r.Edit);
    edit->setReadOnly(r.Kind != stSourceFile && r.Kind != stDestFile);
    if (edit->isReadOnly()) PaintReadOnly(edit);
    label->setBuddy(edit);
    auto* button = new QToolButton(P_filesettings);
    button->setObjectName(r.Button);
    button->setDefaultAction(r.Action);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The button takes its action's state, and the panel's.
    connect(r.Action, &QAction::changed, this, &TF_MainForm::SyncRowButtons);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(button, row, 2);
    SettingRows.push_back({label, edit, button, r.Kind});
    ++row;
  }
  grid->setColumnStretch(1, 1);
  e_SourceFile = SettingRows[0].Edit;
  e_target = SettingRows[1].Edit;
  e_configuration = SettingRows[2].Edit;
  e_libraryPath = SettingRows[3].Edit;
  e_GroupVerInfo = SettingRows[4].Edit;
  e_localVerInfo = SettingRows[5].Edit;
  e_ResourceMask = SettingRows[6].Edit;
  e_DPKSupport = SettingRows[7].Edit;
  e_PreProcessing = SettingRows[8].Edit;
  e_PostProcessing = SettingRows[9].Edit;
}
