#include "dialogs/uFonts.h"

#include <QFontDatabase>

#include "support/GuiTest.h"

// A family the system does not have gives way to the first installed one of
// the candidates, in the candidates' order; size and weight stay.
TEST(FontsTest, AMissingFamilyGivesWayToTheFirstInstalledCandidate) {
  TestApplication();
  const QStringList candidates{"Segoe UI", "Tahoma", "DejaVu Sans"};
  const struct {
    QStringList Installed;
    QString Asked;
    QString Used;
    QString Resolved = QString();  // the face that draws the family asked for
  } cases[] = {
      {{"Segoe UI", "Tahoma"}, "Tahoma", "Tahoma"},                // installed: kept
      {{"TAHOMA"}, "Tahoma", "Tahoma"},                            // whatever the letter case
      {{"DejaVu Serif", "DejaVu Sans"}, "Tahoma", "DejaVu Sans"},  // Wine without its own fonts
      {{"DejaVu Sans", "Tahoma"}, "MS Shell Dlg 2", "Tahoma"},     // the candidates' order
      {{"DejaVu Serif"}, "Tahoma", "Tahoma"},                      // no candidate: as asked
      // A substitute name drawn with another face: a trusted one is kept,
      // any other (Wine's first face, a math one) gives way.
      {{"MS Shell Dlg 2", "Tahoma"}, "MS Shell Dlg 2", "MS Shell Dlg 2", "Tahoma"},
      {{"DejaVu Math TeX Gyre", "DejaVu Sans", "MS Shell Dlg"}, "MS Shell Dlg", "DejaVu Sans", "DejaVu Math TeX Gyre"},
  };
  for (const auto& c : cases) {
    QFont asked(c.Asked, 9);
    asked.setBold(true);
    const QFont used = WithInstalledFamily(asked, candidates, c.Installed, c.Resolved);
    EXPECT_EQ(used.family(), c.Used) << c.Installed.join(',').toStdString();
    EXPECT_EQ(used.pointSize(), 9);
    EXPECT_TRUE(used.bold());
  }
  EXPECT_EQ(FirstInstalledFamily(candidates, {}), "");
}

#ifdef _WIN32
// The window's fonts are installed ones, whatever fonts Windows (or Wine)
// has: the text is never left to a fallback face, and a path fits the
// height of a one-line box.
TEST(FontsTest, TheWindowsFontsOfTheWindowAreInstalled) {
  TestApplication();
  const QStringList installed = QFontDatabase::families();
  for (const QFont& font : {QApplication::font(), FixedPitchFont()}) {
    EXPECT_TRUE(installed.contains(font.family(), Qt::CaseInsensitive)) << font.family().toStdString();
    const QFontMetrics metrics(font);
    EXPECT_LE(metrics.boundingRect("Z:\\src\\App.dpr").height(), metrics.height() * 3 / 2)
        << QFontInfo(font).family().toStdString();
  }
}
#endif
