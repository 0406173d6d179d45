#include <gtest/gtest.h>

#include <string>

#include "engine/orbit_engine.h"
#include "engine/variation_amounts.h"

namespace {

TEST(VariationAmounts, ResetAndAccessors) {
  OrbitEngine engine;
  engine.m_dVariation[4] = 5.0;
  engine.m_strPendingNote = "※";
  engine.m_bAutoCalibrate = 0;
  engine.m_nCalibrationRounds = 3;
  engine.m_dDamping = 0.25;
  engine.m_bDampingActive = engine.m_bNonlinearReduced = 1;
  ResetVariationAmounts(&engine);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(GetVariationAmount(&engine, i), kStandardVariation[i]);
  EXPECT_EQ(engine.m_dVariation[8], 1e-11);
  EXPECT_TRUE(engine.m_strPendingNote.empty());
  EXPECT_EQ(engine.m_bAutoCalibrate, 1);
  EXPECT_EQ(engine.m_nCalibrationRounds, 0);
  EXPECT_EQ(engine.m_dDamping, 1.0);
  EXPECT_EQ(engine.m_bDampingActive + engine.m_bNonlinearReduced, 0);

  SetVariationAmount(&engine, 9, 1.0);
  SetVariationAmount(&engine, -1, 1.0);
  EXPECT_EQ(GetVariationAmount(&engine, 9), 0.0);
  EXPECT_EQ(GetVariationAmount(&engine, -1), 0.0);
  SetVariationAmount(&engine, 2, 3e-6);
  EXPECT_EQ(GetVariationAmount(&engine, 2), 3e-6);
}

TEST(VariationDialog, InitialTextsRoundTo14Decimals) {
  const double amounts[9] = {0.001, 1e-5, 1e-5, 1.23456789012345678e-5, 1e-6, 1e-16, 1e-10, 1e-11, 2.5e-9};
  const VariationDialogValues v = VariationValuesFromAmounts(amounts, 0);
  const char* want[9] = {"0.001", "0.00001", "0.00001", "0.0000123456789", "0.000001", "0.",
                         "0.01",  "0.001",   "0.25"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(v.edits[i], want[i]) << i;
  EXPECT_EQ(v.bAutoCalibrate, 0);
}

TEST(VariationDialog, PresetsReadBackAsTheirAmounts) {
  VariationDialogValues v;
  FillStandardVariationEdits(v);
  EXPECT_EQ(v.edits[6], "0.010000");
  double amounts[9] = {};
  std::string error;
  ASSERT_EQ(ReadVariationEdits(v, amounts, error), -1) << error;
  for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(amounts[i], kStandardVariation[i]) << i;

  FillSmallVariationEdits(v);
  ASSERT_EQ(ReadVariationEdits(v, amounts, error), -1) << error;
  EXPECT_EQ(amounts[0], 1e-9);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(amounts[i], 1e-13) << i;
  EXPECT_DOUBLE_EQ(amounts[7], 1e-11);
}

// A zero amount would make the correction divide by zero; the dialog refuses
// it, and anything that is not a number, and names the field.
TEST(VariationDialog, RefusesZeroAndNonNumbers) {
  const struct {
    int field;
    const char* text;
  } bad[] = {{0, "0"}, {1, ""}, {4, "abc"}, {5, "0.0000"}, {6, "1e-400"}, {8, "nan"}, {3, "inf"}, {2, "1e-5x"}};
  for (const auto& b : bad) {
    SCOPED_TRACE(b.text);
    VariationDialogValues v;
    FillStandardVariationEdits(v);
    v.edits[b.field] = b.text;
    double amounts[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    std::string error;
    EXPECT_EQ(ReadVariationEdits(v, amounts, error), b.field);
    EXPECT_NE(error.find(kVariationLabels[b.field]), std::string::npos) << error;
    EXPECT_NE(error.find("0以外の数値"), std::string::npos);
    EXPECT_EQ(amounts[0], 7.0) << "nothing is written";
  }
}

TEST(VariationDialog, NegativeAndScaledValuesAreAccepted) {
  VariationDialogValues v;
  FillStandardVariationEdits(v);
  v.edits[0] = " -0.002 ";
  v.edits[8] = "0.5";
  double amounts[9];
  std::string error;
  ASSERT_EQ(ReadVariationEdits(v, amounts, error), -1) << error;
  EXPECT_EQ(amounts[0], -0.002);
  EXPECT_DOUBLE_EQ(amounts[8], 0.5e-8);
}

}  // namespace
