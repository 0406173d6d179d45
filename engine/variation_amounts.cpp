#include "engine/variation_amounts.h"

#include <cmath>

#include "engine/orbit_engine.h"
#include "platform/numbers.h"
#include "resources/info_topics.h"

void ResetVariationAmounts(OrbitEngine* engine) {
  for (int i = 0; i < kVariationCount; ++i) engine->m_dVariation[i] = kStandardVariation[i];
  engine->m_strPendingNote.clear();
  engine->m_bAutoCalibrate = 1;
  engine->m_nCalibrationRounds = 0;
  engine->m_bDampingActive = 0;
  engine->m_bNonlinearReduced = 0;
  engine->m_dDamping = 1.0;
}

double GetVariationAmount(const OrbitEngine* engine, int index) {
  if (index < 0 || index >= kVariationCount) return 0.0;
  return engine->m_dVariation[index];
}

void SetVariationAmount(OrbitEngine* engine, int index, double value) {
  if (index < 0 || index >= kVariationCount) return;
  engine->m_dVariation[index] = value;
}

namespace {

// A1-A3 are shown in units of 1e-8 AU/day².
constexpr double kNonGravEditScale = 1e8;
bool IsNonGravIndex(int i) { return i >= 6; }

}  // namespace

std::string FormatVariationEdit(double value) {
  std::string text = FormatC("%.14f", value);
  while (!text.empty() && (text.back() == '0' || text.back() == ' ')) text.pop_back();
  return text;
}

VariationDialogValues VariationValuesFromAmounts(const double amounts[kVariationCount], int bAutoCalibrate) {
  VariationDialogValues values;
  values.bAutoCalibrate = bAutoCalibrate;
  for (int i = 0; i < kVariationCount; ++i)
    values.edits[i] = FormatVariationEdit(IsNonGravIndex(i) ? amounts[i] * kNonGravEditScale : amounts[i]);
  return values;
}

void FillStandardVariationEdits(VariationDialogValues& values) {
  values.edits[0] = "0.001";
  values.edits[1] = values.edits[2] = values.edits[3] = "0.00001";
  values.edits[4] = values.edits[5] = "0.000001";
  values.edits[6] = FormatC("%f", 0.01);
  values.edits[7] = FormatC("%f", 0.001);
  values.edits[8] = FormatC("%f", 0.001);
}

void FillSmallVariationEdits(VariationDialogValues& values) {
  FillStandardVariationEdits(values);
  values.edits[0] = "0.000000001";
  for (int i = 1; i <= 5; ++i) values.edits[i] = "0.0000000000001";
}

int ReadVariationEdits(const VariationDialogValues& values, double amounts[kVariationCount], std::string& error) {
  double read[kVariationCount];
  for (int i = 0; i < kVariationCount; ++i) {
    double v = 0.0;
    const bool isNumber = ParseDouble(values.edits[i], v);
    if (isNumber && IsNonGravIndex(i)) v /= kNonGravEditScale;
    // An amount of 0 would make the partial derivatives divide by zero.
    if (!isNumber || !std::isfinite(v) || v == 0.0) {
      error = FormatC("要素変化量「%s」の値が正しくありません。\r\n0以外の数値を入力してください。",
                      kVariationLabels[i]);
      return i;
    }
    read[i] = v;
  }
  for (int i = 0; i < kVariationCount; ++i) amounts[i] = read[i];
  error.clear();
  return -1;
}

const char* const kVariationHelpText = kTopicVariation.text;
