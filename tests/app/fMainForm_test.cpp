#include "app/fMainForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

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
