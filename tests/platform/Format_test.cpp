#include "platform/Format.h"

#include <clocale>
#include <cstdint>
#include <ctime>
#include <limits>

#include "support/TestDir.h"

using namespace platform;

// Dates are local time; the test pins the zone to UTC and the names to C.
TEST(Format, DatePatterns) {
  SetEnv("TZ", "UTC");
#ifdef _WIN32
  _tzset();
#else
  tzset();
#endif
  std::setlocale(LC_ALL, "C");
  const std::time_t tuesday = 1709647629;   // 2024-03-05 14:07:09 UTC
  const std::time_t thursday = 1262250303;  // 2009-12-31 09:05:03 UTC
  const struct {
    const char* Pattern;
    std::time_t When;
    const char* Text;
  } cases[] = {
      // The patterns of the logs.
      {"ddd, dd mmm yyyy  hh:nn:ss", tuesday, "Tue, 05 Mar 2024  14:07:09"},
      {"dd mmm yyyy hh:mm", thursday, "31 Dec 2009 09:05"},
      {"d/m/yy h:n:s", thursday, "31/12/09 9:5:3"},
      // "mm" means the month unless an hour comes just before it.
      {"mm hh mm", tuesday, "03 14 07"},
      {"hh dd mm", tuesday, "14 05 03"},
      {"", tuesday, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.Pattern, c.When), c.Text) << c.Pattern;
}

TEST(Format, Numbers) {
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(FormatThousands(999, 12), "         999");
  EXPECT_EQ(FormatThousands(1000, 12), "       1,000");
  EXPECT_EQ(FormatThousands(-1234567, 12), "  -1,234,567");
  EXPECT_EQ(FormatThousands(123456789012345, 12), "123,456,789,012,345");
  EXPECT_EQ(FormatThousands(std::numeric_limits<std::int64_t>::min(), 0), "-9,223,372,036,854,775,808");
  EXPECT_EQ(FormatFixed2(0), "0.00");
  EXPECT_EQ(FormatFixed2(1.005), "1.00");  // 1.005 is stored a little below
  EXPECT_EQ(FormatFixed2(-3.14159), "-3.14");
  EXPECT_EQ(FormatFixed2(1234567.891), "1234567.89");
  for (const auto& [text, seconds] :
       {std::pair{"30", 30.0}, {"2.5", 2.5}, {"0.25", 0.25}, {"7.", 7.0}, {".5", 0.5}, {"1000000000", 1e9}})
    EXPECT_EQ(ParseSeconds(text), seconds) << text;
  for (const char* text : {"", "0", "0.0", ".", "-1", "1e3", "nan", "1.2.3", " 5", "5s", "1000000001", "1,5"})
    EXPECT_EQ(ParseSeconds(text), std::nullopt) << text;
  for (const auto& [seconds, shown] : {std::pair{0.0, "0:00"},
                                       {7.9, "0:07"},
                                       {750.0, "12:30"},
                                       {3723.0, "1:02:03"},
                                       {-4.0, "0:00"},
                                       {360000.0, "100:00:00"}})
    EXPECT_EQ(FormatDuration(seconds), shown) << seconds;
  EXPECT_EQ(MillisecondsBetween({10, 900}, {12, 100}), 1200);
  EXPECT_EQ(MillisecondsBetween({12, 100}, {10, 900}), -1200);
  const TDateTime a = Now(), b = Now();
  EXPECT_GE(MillisecondsBetween(a, b), 0);
  EXPECT_GE(a.Milliseconds, 0);
  EXPECT_LT(a.Milliseconds, 1000);
}
