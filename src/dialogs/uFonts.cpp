#include "dialogs/uFonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <cstddef>

namespace {

// Installed families that stand in, in order of preference: those of Windows
// first, then those that Wine finds among the fonts of the system it runs on.
const char* const SansSerifFamilies[] = {"Segoe UI", "Tahoma",          "Microsoft Sans Serif", "Verdana",
                                         "Arial",    "Liberation Sans", "DejaVu Sans",          "Noto Sans"};
const char* const FixedPitchFamilies[] = {"Consolas",        "Lucida Console",   "Courier New",
                                          "Liberation Mono", "DejaVu Sans Mono", "Noto Mono"};

template <std::size_t N>
QStringList Families(const char* const (&names)[N]) {
  QStringList families;
  for (const char* name : names) families << name;
  return families;
}

}  // namespace

QString FirstInstalledFamily(const QStringList& candidates, const QStringList& installed) {
  for (const QString& candidate : candidates)
    if (installed.contains(candidate, Qt::CaseInsensitive)) return candidate;
  return QString();
}

QFont WithInstalledFamily(QFont font, const QStringList& candidates, const QStringList& installed,
                          const QString& resolved) {
  const bool drawnAsNamed = resolved.isEmpty() || resolved.compare(font.family(), Qt::CaseInsensitive) == 0 ||
                            candidates.contains(resolved, Qt::CaseInsensitive);
  if (installed.contains(font.family(), Qt::CaseInsensitive) && drawnAsNamed) return font;
  const QString family = FirstInstalledFamily(candidates, installed);
  if (!family.isEmpty()) font.setFamily(family);
  return font;
}

void UseInstalledFonts() {
#ifdef Q_OS_WIN
  const QFont font = QApplication::font();
  QApplication::setFont(
      WithInstalledFamily(font, Families(SansSerifFamilies), QFontDatabase::families(), QFontInfo(font).family()));
#endif
}

QFont FixedPitchFont() {
  const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
#ifdef Q_OS_WIN
  return WithInstalledFamily(font, Families(FixedPitchFamilies), QFontDatabase::families(), QFontInfo(font).family());
#else
  return font;
#endif
}
