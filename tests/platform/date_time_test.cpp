#include "platform/date_time.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(DateTime, TextOfDayCountsInTheCLocale) {
  EXPECT_EQ(DateTimeToText(40500.5), "2010-11-18 12:00:00");
  EXPECT_EQ(DateTimeToText(40523.8958333333), "2010-12-11 21:30:00");
  EXPECT_EQ(DateTimeToText(40500.500023148146), "2010-11-18 12:00:02");
  EXPECT_EQ(DateTimeToText(2.25), "1900-01-01 06:00:00");
  EXPECT_EQ(TimeToText(1.0 / 24 + 1.0 / 86400), "01:00:01");
}

TEST(DateTime, TextReadsBack) {
  for (double d : {40500.5, 40523.8958333333, 45000.999988425923}) {
    std::optional<double> back = TextToDateTime(DateTimeToText(d));
    ASSERT_TRUE(back) << d;
    EXPECT_NEAR(*back, d, 1.0 / 86400) << d;
  }
  EXPECT_FALSE(TextToDateTime("not a date"));
  EXPECT_FALSE(TextToDateTime("2010-12-11 21:30:00 and more"));
}

TEST(DateTime, FileTimesKeepEvenSecondsOfLocalTime) {
  std::time_t odd = 1600000001;
  double kept = FileDateTime(odd);
  EXPECT_EQ(DateTimeToTime(kept), 1600000000);
  EXPECT_EQ(DateTimeToTime(TimeToDateTime(odd)), odd);
}

}  // namespace
}  // namespace vantrel
