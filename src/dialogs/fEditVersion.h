#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "dialogs/uQtText.h"
#include "project/uGlobalConstants.h"
#include "version/uRCBuilder.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class TBuilderClass;
class TPathLabel;
class TProjectSettings;
class TUserDialogs;

// The version information editor: the group version file of the selected
// source on the left, its local version file on the right, both as eighteen
// edits, and beside them the version information a build would make of the
// two. OK writes both files; Cancel writes nothing.
class Tf_editversion : public QDialog {
  Q_OBJECT

 public:
  // One column of edits, indexed by TResourceTypeEnum.
  using TColumn = std::array<QLineEdit*, ResourceTypeCount>;

  // Sets the build run's ProjectName and fills both columns from the version
  // files of an entry of the build run's file list (through its resource
  // handler, whose event reports a missing local file): entry, or with -1 the
  // entry of the build run's SelectedSource. Throws TError when the build
  // run's file list has no such source.
  Tf_editversion(QWidget* parent, TUserDialogs& dialogs, TBuilderClass& buildRun, const std::string& projectName,
                 const std::string& sourceFile, int entry = -1);

  // Recomputes the merged preview from the texts of the edits.
  void UpdateMerge();
  // The icon buttons: tag 0 the group column's, 1 the local column's.
  void IconButtonClick(int tag);
  // Stores both columns in their files and reloads both settings' contents.
  void SaveVersionFiles();

  TColumn GroupEdits{};
  TColumn LocalEdits{};
  TPathLabel* L_nameOfBuildProject = nullptr;
  TPathLabel* L_nameOfExe = nullptr;
  QPlainTextEdit* m_merge = nullptr;
  QToolButton* b_iconFileName = nullptr;
  QToolButton* b_SIconFileName = nullptr;
  QPushButton* b_OK = nullptr;
  QPushButton* b_cancel = nullptr;

 private:
  void CreateControls();
  // Loads one version file into the handler and a column of edits; returns
  // the encoding its values were read in.
  TTextEncoding LoadColumn(const std::string& fileName, TVersionSource source, TColumn& column);
  void SaveColumn(const TColumn& column, TTextEncoding encoding, TsettingsTypeEnum kind);

  TUserDialogs& Dialogs;
  TBuilderClass& BuildRun;
  TResourceHandler& ResourceHandler;
  TProjectSettings* Settings = nullptr;
  std::string SourceFile;
  TTextEncoding GroupEncoding = TTextEncoding::Utf8;
  TTextEncoding LocalEncoding = TTextEncoding::Utf8;
};
