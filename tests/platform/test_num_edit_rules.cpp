// What a numeric edit field accepts.
#include <gtest/gtest.h>

#include "platform/num_edit_rules.h"

TEST(NumEditRules, CandidatesByShape)
{
  const NumEditShape year{1, 3, 0, 1};      // integer of 3 digits with sign
  const NumEditShape decimal{2, 2, 3, 1};   // 2.3 digits with sign
  const NumEditShape unsignedDec{2, 2, 3, 0};
  const NumEditShape text5{0, 5, 0, 1};
  const NumEditShape anyText{0, 0, 0, 1};
  struct Case {
    const char* name;
    const NumEditShape& shape;
    const char* candidate;
    bool accepted;
  };
  const Case cases[] = {
      {"empty", year, "", true},
      {"lone minus", year, "-", true},
      {"minus and three digits", year, "-123", true},
      {"four digits", year, "1234", false},
      {"point in an integer", year, "1.", false},
      {"minus not first", year, "1-", false},
      {"lone point", decimal, ".", true},
      {"two and three digits", decimal, "12.345", true},
      {"fourth fraction digit", decimal, "12.3456", false},
      {"third integer digit", decimal, "123.4", false},
      {"second point", decimal, "1.2.", false},
      {"exponent", decimal, "1e5", false},
      {"sign not allowed", unsignedDec, "-1", false},
      {"blanks at the ends", decimal, " 12 ", true},
      {"blank inside", decimal, "1 2", false},
      {"five characters", text5, "abcde", true},
      {"six characters", text5, "abcdef", false},
      {"five wide characters", text5, "あいうえお", true},
      {"no limit", anyText, "any text of any length at all", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NumEditAccepts(c.shape, c.candidate), c.accepted) << c.name;
}

TEST(NumEditRules, TextLimits)
{
  EXPECT_EQ(NumEditTextLimit({1, 3, 0, 1}), 4);
  EXPECT_EQ(NumEditTextLimit({2, 2, 3, 1}), 7);
  EXPECT_EQ(NumEditTextLimit({2, 2, 3, 0}), 6);
  EXPECT_EQ(NumEditTextLimit({0, 5, 0, 1}), 5);
  EXPECT_EQ(NumEditTextLimit({0, 0, 0, 1}), 0);
  EXPECT_EQ(NumEditTextLimit({1, 6, 0, 1}), 7);  // the Epoch year
}

TEST(NumEditRules, CandidateReplacesTheSelection)
{
  EXPECT_EQ(NumEditCandidate("12.5", 1, 3, "-"), "1-5");
  EXPECT_EQ(NumEditCandidate("12", 2, 2, "3"), "123");
  EXPECT_EQ(NumEditCandidate("あい", 1, 2, "x"), "あx");  // positions count characters
  EXPECT_EQ(NumEditCandidate("12", 0, 99, " 34 "), " 34 ");
}
