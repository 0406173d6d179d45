#include <gtest/gtest.h>

#include <string>

#include "data/step_texts.h"

namespace {

struct StepCase {
  double days;
  const char* plain;
  const char* withDays;
};

// Boundaries of each unit, a minute that is whole only within 5 ms, and signs.
const StepCase kCases[] = {
    {8.0, "8日", "8日"},
    {0.5, "0.5日", "0.5日"},
    {-0.5, "0.5日", "0.5日"},
    {0.25, "0.25日", "0.25日"},
    {0.125, "3時間", "3時間(0.125日)"},
    {1.0 / 24.0, "1時間", "1時間(0.0416667日)"},
    {0.03125, "45分", "45分(0.03125日)"},
    {-0.03125, "45分", "45分(0.03125日)"},
    {0.001953125, "2分48.75秒", "2分48.75秒(0.00195312日)"},
    {1.0 / 1440.0, "1分", "1分(0.000694444日)"},
    {0.000694, "59.9616秒", "59.9616秒(0.000694日)"},
    {6.103515625e-05, "5.27344秒", "5.27344秒(6.10352e-05日)"},
    {0.0, "0秒", "0秒(0日)"},
};

TEST(StepTexts, TableOfLengths) {
  for (const StepCase& c : kCases) {
    SCOPED_TRACE(c.days);
    EXPECT_EQ(CTessaruneLib::FormatStepLength(c.days), c.plain);
    EXPECT_EQ(CTessaruneLib::FormatStepLengthWithDays(c.days), c.withDays);
    std::string text = "old";
    CTessaruneLib::FormatStepLength(c.days, text);
    EXPECT_EQ(text, c.plain);
  }
}

// 60 s + 4.9 ms still reads as a whole minute; 60 s + 10 ms does not.
TEST(StepTexts, WholeMinuteTolerance) {
  EXPECT_EQ(CTessaruneLib::FormatStepLength(60.0049 / 86400.0), "1分");
  EXPECT_EQ(CTessaruneLib::FormatStepLength(60.01 / 86400.0), "1分0.01秒");
}

}  // namespace
