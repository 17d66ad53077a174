#pragma once

#include <string>
#include <string_view>
#include <vector>

// The project's package directives (the DPK support setting, one directive a
// line) merged into the text of a package source (.dpk).
//
// A directive replaces the directive of the package that sets the same thing:
// the name compared whole and without regard to case (the short switch forms
// such as $A+ count as their long names), and for DEFINE/UNDEF, WARN and the
// directives naming a file the same symbol or file too. Only that directive's
// own braces are rewritten; the rest of its line stays. A directive the
// package lacks is inserted after the package clause and the {$R ...} lines
// that follow it, never inside a comment. Every other byte of the package
// stays as it was, line ends included; inserted lines take the line end of the
// package clause. A directive given without braces ($ALIGN ON) is written with
// them ({$ALIGN ON}), so that the package stays Pascal.
struct TPackageMerge {
  std::string Text;
  // Lines of the setting that were passed over, each with the reason.
  std::vector<std::string> Notes;
};

// Throws TError when the text has no package clause (nothing is merged then).
TPackageMerge MergeDirectivesIntoPackage(std::string_view package, const std::vector<std::string>& directives);
