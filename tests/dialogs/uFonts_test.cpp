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
  } cases[] = {
      {{"Segoe UI", "Tahoma"}, "Tahoma", "Tahoma"},                // installed: kept
      {{"TAHOMA"}, "Tahoma", "Tahoma"},                            // whatever the letter case
      {{"DejaVu Serif", "DejaVu Sans"}, "Tahoma", "DejaVu Sans"},  // Wine without its own fonts
      {{"DejaVu Sans", "Tahoma"}, "MS Shell Dlg 2", "Tahoma"},     // the candidates' order
      {{"DejaVu Serif"}, "Tahoma", "Tahoma"},                      // no candidate: as asked
  };
  for (const auto& c : cases) {
    QFont asked(c.Asked, 9);
    asked.setBold(true);
    const QFont used = WithInstalledFamily(asked, candidates, c.Installed);
    EXPECT_EQ(used.family(), c.Used) << c.Installed.join(',').toStdString();
    EXPECT_EQ(used.pointSize(), 9);
    EXPECT_TRUE(used.bold());
  }
  EXPECT_EQ(FirstInstalledFamily(candidates, {}), "");
}

#ifdef _WIN32
// The window's fonts are installed ones, whatever fonts Windows (or Wine)
// has: the text is never left to a fallback face.
TEST(FontsTest, TheWindowsFontsOfTheWindowAreInstalled) {
  TestApplication();
  const QStringList installed = QFontDatabase::families();
  EXPECT_TRUE(installed.contains(QApplication::font().family(), Qt::CaseInsensitive))
      << QApplication::font().family().toStdString();
  EXPECT_TRUE(installed.contains(FixedPitchFont().family(), Qt::CaseInsensitive))
      << FixedPitchFont().family().toStdString();
}
#endif
