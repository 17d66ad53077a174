#include "app/fMainForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QTest>

#include "project/uGlobalConstants.h"

namespace {
int argc = 1;
char arg0[] = "tests_app";
char* argv[] = {arg0, nullptr};
}  // namespace

TEST(MainFormSmoke, OpensWithItsCaptionOnTheOffscreenPlatform) {
  QApplication app(argc, argv);
  ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
  TF_MainForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.windowTitle(), "Delphi Tesmar Tool");
  EXPECT_EQ(form.objectName(), "F_MainForm");
  EXPECT_TRUE(form.isVisible());
}

// Paths on screen are shortened with the window's own font metrics.
TEST(MainFormSmoke, PathsAreShortenedToAWidthMeasuredWithARealFont) {
  QApplication app(argc, argv);
  const QFontMetrics metrics(QApplication::font());
  const TTextWidthFunc width = [&](const std::string& s) {
    return metrics.horizontalAdvance(QString::fromStdString(s));
  };
  const std::string path = "/home/dev/projects/suite/client/source/MainProgram.dpr";
  EXPECT_EQ(GlobalStuff().ShortenPath(path, width(path), width), path);
  const std::string shorter = GlobalStuff().ShortenPath(path, width(path) - 1, width);
  EXPECT_EQ(shorter, "/.../dev/projects/suite/client/source/MainProgram.dpr");
  const int fit = width("/.../source/MainProgram.dpr");
  EXPECT_EQ(GlobalStuff().ShortenPath(path, fit, width), "/.../source/MainProgram.dpr");
  EXPECT_EQ(GlobalStuff().ShortenPath(path, 1, width), "/.../MainProgram.dpr");  // the name itself is never cut
  EXPECT_LE(width(GlobalStuff().ShortenPath(path, fit + 3, width)), fit + 3);
}
