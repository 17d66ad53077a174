#include "support/Scenario.h"

namespace {

// A program, a resource script of its base name beside it with a
// configuration and a local version file of its own, an independent resource
// script and a package; the three first share a library path file.
const char* const Panel = R"(
  program App ; write src/App.rc "MAINICON ICON\r\n" ; write src/Lone.rc "MAINICON ICON\r\n"
  write src/Pack.dpk "package Pack;\r\nend.\r\n" ; write proj/Default.config "-$A+\r\n-$B-\r\n"
  write proj/Rc.config "-$R+\r\n" ; write proj/Shared.path "/lib/one\r\n" ; catalogue proj=@proj
  lines proj/Files.ini [options] HaltOnError=0 [FileList] @out/App.EXE=@src/App.dpr @src/App.RES=@src/App.rc \
    @src/Lone.RES=@src/Lone.rc @out/Pack.BPL=@src/Pack.dpk [@src/App.dpr] LibraryPath=@proj/Shared.path \
    [@src/App.rc] LibraryPath=@proj/Shared.path ConfigFile=@proj/Rc.config LocalVerInfo=@src/Rc.ver \
    [@src/Lone.rc] LibraryPath=@proj/Shared.path
  open)";

const TScenario Rows[] = {
    {"EachRowShowsItsSettingWithItsHeadingAndButtons", R"(
      click Label5 ; expect L_Results =~ "^Configuration settings for \n.*/src/App.dpr\nis in\n.*/Default.config$"
      expect Memo1 == "-$A+\n-$B-" ; expect Memo1.readOnly == false ; expect b_save == "Save Config"
      expect b_ideLibPath == "DCC help" ; expect b_cancelEditwindow == &Cancel
      click Label7 ; expect L_Results =~ "^Library Path for \n.*\nis in\n.*/Shared.path$" ; expect b_save == "Save Path"
      expect b_ideLibPath == "Extract IDE path"
      click Label13 ; expect L_Results =~ "^Global Version Information for\n.*\nis in\n.*/Default.ver$"
      expect b_save == "Save Global VerInfo" ; expect b_ideLibPath == "Edit Version"
      click Label8 ; expect L_Results =~ "^Local Version Information for\n.*\nis currently set to empty file\n.*/src/App.ver$"
      expect b_save == "Save Local Ver Info" ; expect b_ideLibPath == "Edit Version"
      click Label9 ; expect L_Results =~ "^Resource mask for \n.*\nis in\n.*/Default.mask$" ; expect b_save == "Save RC Mask"
      expect b_ideLibPath hidden
      click Label11 ; expect L_Results =~ "^Pre processing .bat file for \n.*\nis in\n.*/Default.before$"
      expect b_save == "Save PreProcess" ; expect b_ideLibPath hidden
      click Label12 ; expect L_Results =~ "^Post processing .bat file for \n.*\nis in\n.*/Default.after$"
      expect b_save == "Save Post Process"
      # entering a row puts the focus on its button, the row red while it is there
      click Label5 ; expect b_configuration.focus == true ; expect e_configuration.textRole == #ff0000
      focus b_LibraryPath ; expect e_configuration.textRole == Text)"},
    {"TheSourceTargetIndependentResourceAndDpkRows", R"(
      expect e_DPKSupport == "" ; expect Label10 disabled ; expect A_getDPKSupportFile disabled
      click Label5 ; click Label10 ; expect L_Results ~ "Configuration settings for "
      click Label3 ; expect L_Results =~ "^Source of \n.*/src/App.dpr$" ; expect Memo1 ~ "program App;" ; expect b_save hidden
      click Label4 ; expect L_Results =~ "^Target file \n.*/src/App.dpr\nis currently set to empty file$"
      select LB_Files 2 ; click Label5 ; expect Memo1 ~ "-" ; click Label8
      expect L_Results == "Independent resource file, no version info." ; expect Memo1 == "" ; expect b_save hidden
      select LB_Files 1 ; click Label8 ; expect L_Results ~ "Local Version Information for" ; expect b_save shown
      select LB_Files 3 ; click Label10 ; expect L_Results ~ "DPK configuration for " ; expect b_save == "Save DPK Support"
      expect Label10 enabled ; expect e_DPKSupport ~ Default.DPKConfig)"},
    // The panel works on the selected entry, not on the first of its base name.
    {"AResourceScriptBesideAProgramShowsSavesAndChoosesItsOwnSettings", R"(
      select LB_Files 1 ; expect e_configuration.toolTip ~ Rc.config ; click Label5 ; expect Memo1 == -$R+
      type Memo1 -$R- ; click b_save ; expect-file proj/Rc.config == "-$R-\r\n"
      expect-file proj/Default.config == "-$A+\r\n-$B-\r\n"
      write proj/Other.config "-$O+\r\n" ; trigger A_getConfig ; answer file @proj/Other.config ; answer window OKBtn
      expect e_configuration.toolTip ~ Other.config ; select LB_Files 0 ; expect e_configuration.toolTip ~ Default.config
      select LB_Files 1 ; trigger A_editVersion ; answer window b_OK ; expect-file src/Rc.ver exists
      expect-file src/App.ver missing)"},
    // A saved setting is written at once, for every entry that uses its file;
    // an emptied one removes its file and keeps a backup.
    {"ASavedSettingIsWrittenForEveryEntryThatUsesIt", R"(
      click Label7 ; type Memo1 "/lib/one\n/lib/two" ; click b_save ; expect L_Results == "LibraryPath saved."
      expect Memo1 == "" ; expect A_saveProjectSettings disabled ; expect-file proj/Shared.path == "/lib/one\r\n/lib/two\r\n"
      select LB_Files 1 ; click Label7 ; expect Memo1 == "/lib/one\n/lib/two"
      select LB_Files 2 ; click Label7 ; expect Memo1 == "/lib/one\n/lib/two"
      select LB_Files 3 ; click Label7 ; expect L_Results ~ Default.path
      click Label5 ; type Memo1 "" ; click b_save ; expect L_Results == "ConfigFile saved."
      expect-file proj/Default.config missing ; expect-file proj/Default.~config == "-$A+\r\n-$B-\r\n"
      click Label5 ; expect L_Results ~ "\nis currently set to empty file\n")"},
    {"ASettingFileKeepsItsEncodingAndOneWithNulBytesIsShownNotEdited", R"(
      write proj/Default.mask "// Gr\xFC\xDFe \x80 5\r\nMAINICON ICON\r\n"
      write proj/Default.before "run\x00this\r\n" ; select cb_ProjectList 0
      click Label9 ; expect Memo1 == "// Grüße € 5\nMAINICON ICON" ; append Memo1 "\n// added"
      click b_save ; expect-file proj/Default.mask == "// Gr\xFC\xDFe \x80 5\r\nMAINICON ICON\r\n// added\r\n"
      click Label11 ; expect Memo1.readOnly == true ; expect b_save hidden
      expect L_Results ~ "\nThe file holds NUL bytes: it is shown, not edited here.")"},
    {"ChoosingAnotherFileAndATarget", R"(
      write proj/App.config "-$O-\r\n" ; trigger A_getConfig ; answer file @proj/App.config ; answer window OKBtn
      expect asked ~ "open: Select the configuration file | Config options files|*.config|cfg|*.cfg|any file|*.*"
      expect e_configuration.toolTip == @proj/App.config ; expect Memo1 == -$O- ; expect A_saveProjectSettings enabled
      trigger A_getTarget ; answer file @bin/App.EXE ; expect asked ~ "open: Select target for @src/App.dpr | Executable |*.EXE"
      expect LB_Files ~ @bin/App.EXE=@src/App.dpr)"},
    // The IDE's library path replaces the edited path, after the version
    // question; a version other than 4 or 5 is refused with its message. No
    // Delphi 5 in this Wine prefix: an empty path replaces the text.
    {"ExtractingTheIdePathAsksForTheDelphiVersion", R"(
      click Label7 ; click b_ideLibPath ; answer window E_Version=6 OKBtn ; expect Memo1 == /lib/one
      expect asked ~ "message: Only 4 and 5 supported at this time for automated library path extraction"
      click b_ideLibPath ; answer window E_Version=5 OKBtn ; expect Memo1 == "" ; expect b_save == "Save Path")"},
    // An edited setting is saved, dropped or kept, as the user says, before
    // anything takes its place.
    {"AnEditedSettingIsSavedOrDroppedBeforeAnotherRowIsEntered", R"(
      click Label5 ; type Memo1 -$D- ; click Label7 ; answer Save ; expect-file proj/Default.config == "-$D-\r\n"
      expect Memo1 == /lib/one ; type Memo1 /lib/x ; click Label5 ; answer Discard ; expect Memo1 == -$D-
      expect-file proj/Shared.path == "/lib/one\r\n" ; click Label7 ; expect Memo1 == /lib/one)"},
    {"AnEditedSettingIsKeptWhenTheUserGoesBackToIt", R"(
      click Label5 ; type Memo1 -$D- ; select LB_Files 1 ; answer Cancel ; expect LB_Files.currentRow == 0
      expect e_SourceFile == @src/App.dpr ; expect Memo1 == -$D- ; key LB_Files Down ; answer Cancel
      click Label7 ; answer Cancel ; expect Memo1 == -$D- ; trigger miAbout ; answer window BitBtn1 ; expect Memo1 == -$D-
      click b_save ; expect-file proj/Default.config == "-$D-\r\n")"},
    {"AFailedWriteIsReportedAndTheEditKept", R"(
      chmod proj/Default.config 444 ; click Label5 ; type Memo1 -$D- ; click b_save
      expect L_Results == "ConfigFile not saved." ; expect asked ~ "message: Failed to save @proj/Default.config"
      expect Memo1 == -$D- ; expect b_save shown ; expect-file proj/Default.config == "-$A+\r\n-$B-\r\n")"},
    // A setting file that another program changed since the project read it
    // is not saved over unasked: cancelled, the edit stays; kept, the panel
    // shows the other version; overwritten, the edit is saved.
    {"ASettingChangedOnDiskIsAskedAboutBeforeItIsSavedOver", R"(
      click Label5 ; type Memo1 -$D- ; write proj/Default.config "-$O+\r\n" ; click b_save ; answer changed Cancel
      expect asked == "changed: @proj/Default.config\nhas been changed on disk since the project read it.\nOverwrite \
it with the text edited here, or keep the other version (the edit is dropped)?\n"
      expect Memo1 == -$D- ; expect-file proj/Default.config == "-$O+\r\n" ; click b_save ; answer changed Keep
      expect L_Results == "ConfigFile kept as changed on disk." ; click Label5 ; expect Memo1 == -$O+ ; type Memo1 -$E-
      click b_save ; expect-file proj/Default.config == "-$E-\r\n" ; write proj/Default.config "-$P+\r\n"
      click Label5 ; type Memo1 -$F- ; click b_save ; answer changed Overwrite ; expect-file proj/Default.config == "-$F-\r\n")"},
    {"ReadOnlyEditsAndMemosArePaintedInTheReadOnlyColour", R"(
      expect e_SourceFile.base == Base ; expect e_target.base == Base ; expect e_configuration.base == Window
      expect e_PostProcessing.base == Window ; expect m_mergedVerInfo.base == Window ; expect Memo1.base == Window
      click Label5 ; expect Memo1.base == Base)"},
};
TESMAR_SCENARIOS(SettingsPanel, Panel, Rows);

}  // namespace
