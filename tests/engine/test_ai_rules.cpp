// The AI improvement's thresholds and verdicts, against the figures its
// rules give by hand: values on each side of every bound.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/ai_rules.h"

// Staged extension with a mean residual of 1.5": 10" in a round after one
// that took observations back, 300" in the next idle one, 1000" after that;
// a large mean residual sets its own five times.
TEST(AiRules, StageReadmitThresholds) {
  struct Case {
    double mean;
    int idle;
    double w;
  };
  const Case cases[] = {
      {1.5, 0, 10.0}, {1.5, 1, 300.0}, {1.5, 2, 1000.0}, {1.5, 3, 1000.0},
      {3.0, 0, 15.0}, {70.0, 1, 350.0}, {250.0, 2, 1250.0},
  };
  for (const Case& c : cases) EXPECT_EQ(StageReadmitThreshold(c.mean, c.idle), c.w) << c.mean << " " << c.idle;
}

// A model at 0.96 of the gravity residual leaves gravity only, at 0.94 it is
// taken, and so it is at 0.85.
TEST(AiRules, ModelTakenBelowNinetyFivePercent) {
  const double gravity = 2.0;
  EXPECT_FALSE(ModelBeatsGravity(0.96 * gravity, gravity));
  EXPECT_FALSE(ModelBeatsGravity(1.90, gravity));  // exactly 95 %
  EXPECT_TRUE(ModelBeatsGravity(1.88, gravity));
  EXPECT_TRUE(ModelBeatsGravity(0.85 * gravity, gravity));
}

// Undone below 5 usable observations or below a fifth of those before.
TEST(AiRules, RejectionUndoneWhenTooFewRemain) {
  struct Case {
    int usable, before;
    bool undone;
  };
  const Case cases[] = {
      {4, 4, true}, {5, 5, false}, {5, 25, false}, {5, 26, true}, {6, 19, false}, {6, 30, false}, {6, 31, true},
  };
  for (const Case& c : cases) EXPECT_EQ(RejectionLeavesTooFew(c.usable, c.before), c.undone) << c.usable << "/" << c.before;
}

// From 40" down to the user's 1.0": halved to 20" and 10", held at 6", then
// an arcsecond a round; from 13.3" the half is raised to 6.7"; never below
// the user's own 2.5".
TEST(AiRules, RejectThresholdsShrinkByHalvesThenBySeconds) {
  std::vector<double> path = {40.0};
  while (path.back() > 1.0 && path.size() < 20) path.push_back(NextRejectThreshold(path.back(), 1.0));
  EXPECT_EQ(path, (std::vector<double>{40.0, 20.0, 10.0, 6.0, 5.0, 4.0, 3.0, 2.0, 1.0}));
  EXPECT_EQ(NextRejectThreshold(13.3, 1.0), 6.7);
  EXPECT_EQ(NextRejectThreshold(8.0, 7.0), 7.0);
  EXPECT_EQ(NextRejectThreshold(3.0, 2.5), 2.5);
}

// An orbit found ends at 999.9" (2024 MK's first 200 lines end at 444", BX1 on
// "自動" at 111"); none at 1000" or a residual that is not a number.
TEST(AiRules, NoOrbitFromOneThousandArcseconds) {
  EXPECT_FALSE(EndsWithoutOrbit(0.3));
  EXPECT_FALSE(EndsWithoutOrbit(999.9));
  EXPECT_TRUE(EndsWithoutOrbit(1000.0));
  EXPECT_TRUE(EndsWithoutOrbit(41659.4));
  EXPECT_TRUE(EndsWithoutOrbit(std::nan("")));
}
