#include "engine/PackageDirectives.h"

#include <gtest/gtest.h>

#include "platform/Error.h"

namespace {

// The lines joined with the line end given.
std::string Join(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

const std::vector<std::string> IdeHead = {"package Pack;", "", "{$R *.RES}"};
const std::vector<std::string> IdeTail = {"{$ALIGN ON}",
                                          "{$DESCRIPTION 'Old'}",
                                          "{$IMPLICITBUILD OFF}",
                                          "",
                                          "requires",
                                          "  vcl50;",
                                          "",
                                          "contains",
                                          "  Unit1 in 'Unit1.pas';",
                                          "",
                                          "end."};

std::vector<std::string> Cat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A library's package: a licence comment first (naming a package of its own),
// lower-case resource lines, directives with other values, LF line ends.
const std::vector<std::string> LibraryPackage = {
    "(* ***** BEGIN LICENSE BLOCK *****",
    " * The contents of this file are subject to the Mozilla Public License.",
    " * package Fake; -- words in a comment are no clause",
    " * ***** END LICENSE BLOCK ***** *)",
    "",
    "package JvCoreD5R;",
    "",
    "{$R *.res}",
    "{$R JvCore.dcr}",
    "{$ALIGN 8} // as the library needs it",
    "{$DEFINE DEBUG}",
    "{ $OPTIMIZATION is left to the project }",
    "// {$ASSERTIONS OFF}",
    "{$DESCRIPTION 'JVCL Core'}",
    "{$LIBSUFFIX '50'}",
    "{$A+,B-}",
    "",
    "requires",
    "  rtl;",
    "",
    "contains",
    "  JvCore in '..\\run\\JvCore.pas';",
    "",
    "end."};

}  // namespace

// What each directive of the setting does to a package, and the package once
// merged: valid Pascal, every other byte as it was, and a second merge
// changes nothing.
TEST(PackageDirectives, DirectivesReplaceTheirOwnOrGoInAfterTheClause) {
  struct TCase {
    const char* Name;
    std::string Package;
    std::vector<std::string> Directives;
    std::string Merged;
  };
  const TCase cases[] = {
      // The layout the Delphi IDE writes: braces added, inserted ones in front
      // of each other after {$R *.RES}, a value replaced.
      {"ide",
       Join(Cat(IdeHead, IdeTail), "\r\n"),
       {"$ALIGN ON", "$DESCRIPTION 'New'", "$RUNONLY ON", "$DEBUGINFO OFF"},
       Join(Cat(Cat(IdeHead, {"{$DEBUGINFO OFF}", "{$RUNONLY ON}", "{$ALIGN ON}", "{$DESCRIPTION 'New'}"}),
                {IdeTail.begin() + 2, IdeTail.end()}),
            "\r\n")},
      // A DEFINE of another symbol, $R+ (range checks, not a resource), a
      // switch list that sets ALIGN too: nothing of theirs is replaced.
      {"library",
       Join(LibraryPackage, "\n"),
       {"$ALIGN ON", "$DEFINE RELEASE", "$LIBSUFFIX '60'", "$R+", "{$ASSERTIONS OFF}", "$BOOLEVAL ON"},
       [] {
         auto lines = LibraryPackage;
         lines[9] = "{$ALIGN ON} // as the library needs it";
         lines[14] = "{$LIBSUFFIX '60'}";
         lines.insert(lines.begin() + 9, {"{$ASSERTIONS OFF}", "{$R+}", "{$DEFINE RELEASE}"});
         return Join(lines, "\n");
       }()},
      // Line ends of every kind stay; inserted lines take the clause's.
      {"mixed line ends",
       "package P;\r{$R *.RES}\r\n{$A-}\nrequires rtl;\r\nend.",
       {"$ALIGN ON", "$WEAKPACKAGEUNIT OFF"},
       "package P;\r{$R *.RES}\r\n{$WEAKPACKAGEUNIT OFF}\r{$ALIGN ON}\nrequires rtl;\r\nend."},
      // The clause's line opens a comment that goes on: what goes in comes
      // after it.
      {"comment after the clause",
       "package P; (* built by hand\r\n   with care *)\r\nend.",
       {"{$IMPLICITBUILD OFF}"},
       "package P; (* built by hand\r\n   with care *)\r\n{$IMPLICITBUILD OFF}\r\nend."},
      // A last line without a line end gets one before what follows.
      {"no line end at all", "package P;", {"$ALIGN ON"}, "package P;\r\n{$ALIGN ON}\r\n"},
      // UNDEF of a symbol replaces its DEFINE; the (*$ *) form is a directive.
      {"undef and paren form",
       "package P;\n{$DEFINE TRIAL}\n(*$IMPLICITBUILD ON*)\nend.\n",
       {"$UNDEF trial", "(*$IMPLICITBUILD OFF*)"},
       "package P;\n{$UNDEF trial}\n(*$IMPLICITBUILD OFF*)\nend.\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TPackageMerge merge = MergeDirectivesIntoPackage(c.Package, c.Directives);
    EXPECT_EQ(merge.Text, c.Merged);
    EXPECT_TRUE(merge.Notes.empty());
    EXPECT_EQ(MergeDirectivesIntoPackage(merge.Text, c.Directives).Text, merge.Text);
  }
}

TEST(PackageDirectives, LinesThatAreNoDirectivesAreNotedAndAPackageWithoutClauseRefused) {
  const std::string package = "package P;\r\n{$R *.RES}\r\nend.\r\n";
  const TPackageMerge merge =
      MergeDirectivesIntoPackage(package, {"", "   ", "ALIGN ON", "{$IFDEF DEBUG}", "// a note", "$ALIGN ON"});
  EXPECT_EQ(merge.Text, "package P;\r\n{$R *.RES}\r\n{$ALIGN ON}\r\nend.\r\n");
  EXPECT_EQ(merge.Notes, (std::vector<std::string>{"not a compiler directive, passed over: ALIGN ON",
                                                   "a conditional or unnamed directive is not merged: {$IFDEF DEBUG}",
                                                   "not a compiler directive, passed over: // a note"}));
  for (const char* text : {"", "program P;\r\nbegin end.", "{ package P; }\r\nunit U;", "(* package P;"}) {
    EXPECT_THROW(MergeDirectivesIntoPackage(text, {"$ALIGN ON"}), TError) << text;
  }
}
