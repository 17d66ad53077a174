#include "platform/Format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "support/TestDir.h"

using namespace platform;

namespace {
// Dates are local time; the tests pin the zone to UTC and the names to C.
class FormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnv("TZ", "UTC");
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
    std::setlocale(LC_ALL, "C");
  }
};
const std::time_t Tuesday = 1709647629;   // 2024-03-05 14:07:09 UTC
const std::time_t Thursday = 1262250303;  // 2009-12-31 09:05:03 UTC
}  // namespace

TEST_F(FormatTest, DatePatternsOfTheLogs) {
  EXPECT_EQ(FormatDateTime("ddd, dd mmm yyyy  hh:nn:ss", Tuesday), "Tue, 05 Mar 2024  14:07:09");
  EXPECT_EQ(FormatDateTime("dd mmm yyyy hh:mm", Tuesday), "05 Mar 2024 14:07");
  EXPECT_EQ(FormatDateTime("ddd, dd mmm yyyy  hh:nn:ss", Thursday), "Thu, 31 Dec 2009  09:05:03");
  EXPECT_EQ(FormatDateTime("dd mmm yyyy hh:mm", Thursday), "31 Dec 2009 09:05");
}

TEST_F(FormatTest, SingleTokensAndLiterals) {
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s", Thursday), "31/12/09 9:5:3");
  EXPECT_EQ(FormatDateTime("dddd mmmm", Tuesday), "Tuesday March");
  // "mm" means the month unless an hour comes just before it.
  EXPECT_EQ(FormatDateTime("mm hh mm", Tuesday), "03 14 07");
  EXPECT_EQ(FormatDateTime("hh dd mm", Tuesday), "14 05 03");
  EXPECT_EQ(FormatDateTime("'dd' \"mm\" x", Tuesday), "dd mm x");
  EXPECT_EQ(FormatDateTime("", Tuesday), "");
}

TEST(FormatNumbers, ThousandsRightAligned) {
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(FormatThousands(0, 12), "           0");
  EXPECT_EQ(FormatThousands(999, 12), "         999");
  EXPECT_EQ(FormatThousands(1000, 12), "       1,000");
  EXPECT_EQ(FormatThousands(1234567, 12), "   1,234,567");
  EXPECT_EQ(FormatThousands(-1234567, 12), "  -1,234,567");
  EXPECT_EQ(FormatThousands(123456789012345, 12), "123,456,789,012,345");
  EXPECT_EQ(FormatThousands(std::numeric_limits<std::int64_t>::min(), 0), "-9,223,372,036,854,775,808");
}

TEST(FormatNumbers, FixedTwoDecimals) {
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(FormatFixed2(0), "0.00");
  EXPECT_EQ(FormatFixed2(1.005), "1.00");  // 1.005 is stored a little below
  EXPECT_EQ(FormatFixed2(2.5), "2.50");
  EXPECT_EQ(FormatFixed2(-3.14159), "-3.14");
  EXPECT_EQ(FormatFixed2(1234567.891), "1234567.89");
}

TEST(FormatTime, MillisecondsBetween) {
  EXPECT_EQ(MillisecondsBetween({10, 900}, {12, 100}), 1200);
  EXPECT_EQ(MillisecondsBetween({12, 100}, {10, 900}), -1200);
  TDateTime a = Now();
  TDateTime b = Now();
  EXPECT_GE(MillisecondsBetween(a, b), 0);
  EXPECT_GE(a.Milliseconds, 0);
  EXPECT_LT(a.Milliseconds, 1000);
}
