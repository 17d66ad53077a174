#include "app/fMainForm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QUrl>

#include "support/GuiTest.h"

namespace {

class MainFormTest : public TGuiTest {
 protected:
  // Each "name=text" of a list separated by ';' names an object of the class
  // with that text.
  void ExpectTexts(const char* className, const QString& list) {
    for (const QString& item : list.split(';')) {
      const QString name = item.section('=', 0, 0);
      const QObject* object = Form->findChild<QObject*>(name);
      ASSERT_NE(object, nullptr) << name.toStdString();
      EXPECT_TRUE(object->inherits(className)) << name.toStdString();
      EXPECT_EQ(object->property("text").toString(), item.section('=', 1, -1)) << name.toStdString();
    }
  }
};

// The menu as the user sees it: titles, then the items ("-" a separator,
// "> title" a submenu whose items follow indented).
QStringList MenuText(const QMenu* menu, const QString& indent = "") {
  QStringList items;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator())
      items << indent + "-";
    else if (action->menu())
      items << indent + "> " + action->text() << MenuText(action->menu(), indent + "  ");
    else
      items << indent + action->text();
  }
  return items;
}

}  // namespace

TEST_F(MainFormTest, EveryDocumentedControlActionAndMenuItemIsThere) {
  TF_MainForm& form = OpenWindow();
  EXPECT_EQ(form.objectName(), "F_MainForm");
  EXPECT_EQ(form.windowTitle(), "Delphi Tesmar Tool");
  EXPECT_EQ(form.size(), QSize(812, 646));

  ExpectTexts("QPushButton",
              "b_halt=&Stop;b_Build=&Build;b_exit=E&xit;bb_newProject=&New Project;Button1=&Open Project;"
              "bb_save=&Save Project;b_buildOne=build one;b_addFile=Add;b_deleteFile=Delete;"
              "b_editFiles=Edit File List;b_hints=Hints;b_warnings=Warnings;b_errors=Errors");
  ExpectTexts("QLabel",
              "Label6=Tesmar Project Settings;L_mergedVerInfo=Merged Version Information;"
              "Label2=Files to compile ( in order ) -> Files.ini;Label3=&Source;Label4=&Target;"
              "Label5=&Configuration;Label7=&Library Path;Label13=&Group Ver Info;Label8=Local &Ver Info;"
              "Label9=Resource &Mask;Label10=&DPK support;Label11=Pr&e Processing;Label12=P&ost Processing");
  ExpectTexts("QAction",
              "A_NewProject=&New Project;A_OpenProject=&Open Project;A_saveProjectSettings=&Save Project;"
              "A_projectOptions=Options;A_moveProject=Move Project;A_DoBuild=&Build;A_stopBuild=A_stopBuild;"
              "A_exit=E&xit;A_retrieveLastDump=Retrieve last compile results;A_summaryDisplay=Summary;"
              "A_compileResultsDisplay=Compile Log;A_EventLogDisplay=Event Log;A_AddFile=Add;"
              "A_deleteFile=Delete;A_editFileList=Edit File List;A_saveFileList=Save File List;"
              "A_SelectFile=A_SelectFile;A_getSource=;A_getTarget=;A_getConfig=;A_getLibPath=;"
              "A_getGroupVerInfo=;A_getLocalVerInfo=;A_getRCMask=;A_getDPKSupportFile=;A_getPreProcessing=;"
              "A_GetpostProcessing=;A_SaveConfig=Save Config;A_savePath=Save Path;A_SaveRCMask=Save RC Mask;"
              "A_SaveDPKSupport=Save DPK Support;A_savePreProcessing=Save PreProcess;"
              "A_SavePostProcessing=Save Post Process;A_SaveLocalVerInfo=Save Local Ver Info;"
              "A_saveGlobalVerInfo=Save Global VerInfo;A_cancelEditWindow=&Cancel;A_editVersion=Edit Version;"
              "A_GrabIDEPath=Extract IDE path;A_DisplayDCCOptions=DCC help;A_addToPath=Add;A_deleteLine=Delete");
  for (const char* name : {"Panel1", "Panel3", "Panel9", "P_filesettings", "Panel8", "Panel4", "Panel5", "Panel12",
                           "P_resultsButtons", "b_FileUp", "b_fileDown", "b_ideLibPath", "b_save", "b_cancelEditwindow",
                           "StatusBar1", "LB_Files", "Memo1", "m_mergedVerInfo", "cb_ProjectList"})
    EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
  EXPECT_TRUE(Find<QLabel>("L_Results")->wordWrap());
  EXPECT_TRUE(Find<QLabel>("L_Results")->font().bold());
  EXPECT_GE(Find<QWidget>("P_filesettings")->minimumWidth(), 374);

  // Each settings row: its edit, and its glyph button bound to its action.
  const QString rows =
      "e_SourceFile b_sourceFile A_getSource;e_target b_target A_getTarget;"
      "e_configuration b_configuration A_getConfig;e_libraryPath b_LibraryPath A_getLibPath;"
      "e_GroupVerInfo b_GroupVerInfo A_getGroupVerInfo;e_localVerInfo b_localVerInfo A_getLocalVerInfo;"
      "e_ResourceMask b_ResourceMask A_getRCMask;e_DPKSupport b_DPKSupport A_getDPKSupportFile;"
      "e_PreProcessing b_PreProcessing A_getPreProcessing;"
      "e_PostProcessing b_postProcessing A_GetpostProcessing";
  for (const QString& row : rows.split(';')) {
    const QStringList names = row.split(' ');
    EXPECT_NE(form.findChild<QLineEdit*>(names[0]), nullptr) << names[0].toStdString();
    auto* tool = form.findChild<QToolButton*>(names[1]);
    ASSERT_TRUE(tool && tool->defaultAction()) << names[1].toStdString();
    EXPECT_EQ(tool->defaultAction()->objectName(), names[2]);
  }

  QStringList menus;
  for (QAction* top : form.menuBar()->actions()) menus << top->text() << MenuText(top->menu(), "  ");
  EXPECT_EQ(menus.join('|'),
            "&Project|  &New Project|  &Open Project|  &Save Project|  Options|  Retrieve last compile results|  -|"
            "  &Build|  -|  E&xit|&Files|  Add|  Delete|  Edit File List|&Compiler|  Edit Config File|  DCC help|"
            "  > Library Path|    Add|    Delete|    Edit Path|&Resources|  Edit Version|  Edit RC Mask|Help|"
            "  Contents|  About");
}

// Help opens the manual at its contents in the desktop's browser; where none
// starts, a box says where the manual is.
TEST_F(MainFormTest, HelpContentsOpensTheManualOrSaysWhereItIs) {
  OpenWindow();
  QAction* contents = Find<QAction>("miContents");
  contents->trigger();
  ASSERT_EQ(Dialogs.Texts("url").size(), 1);
  const QUrl url(Dialogs.Texts("url")[0]);
  EXPECT_EQ(url.fragment(), "contents");
  EXPECT_TRUE(url.toLocalFile().endsWith("/manual/tesmar.html"));
  EXPECT_TRUE(QFileInfo::exists(url.toLocalFile()));
  EXPECT_TRUE(Dialogs.Texts("message").isEmpty());

  Dialogs.UrlOpens = false;
  contents->trigger();
  ASSERT_EQ(Dialogs.Texts("message").size(), 1);
  EXPECT_TRUE(Dialogs.Texts("message")[0].endsWith(url.toLocalFile())) << Dialogs.Texts("message")[0].toStdString();
}
