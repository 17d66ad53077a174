#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The fonts of the window where the system lacks the family it names. On
// Windows the window takes the system's message font (Segoe UI, Tahoma) and
// a fixed-pitch font for the compiler's option list; Wine without its own
// fonts has neither family, and Qt's fallback is then a serif face.

// The first of the candidates that is installed (without regard to letter
// case), or "" when none is.
QString FirstInstalledFamily(const QStringList& candidates, const QStringList& installed);

// The font with its family, when that is not installed, replaced by the first
// installed candidate; size and style are kept. The family is replaced too
// when it is drawn with another face (resolved), unless that face is one of
// the candidates: Wine lists "MS Shell Dlg" as installed and draws it with
// whatever face comes first, a math face whose lines are four times too tall
// for a one-line box.
QFont WithInstalledFamily(QFont font, const QStringList& candidates, const QStringList& installed,
                          const QString& resolved = QString());

// On Windows: gives the application the system's font with an installed
// family (see above), a sans-serif one where it stands in; the fixed-pitch
// font the option list shows. Elsewhere fontconfig resolves the families the
// system names: the fonts are the system's as they are.
void UseInstalledFonts();
QFont FixedPitchFont();
