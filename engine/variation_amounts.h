#pragma once
// The nine variation amounts by which the element-varied orbits differ from
// the nominal orbit (order T, peri, node, incl, q, e, A1, A2, A3; days,
// radians, AU, AU/day²), and the values of the dialog that sets them by hand.
#include <string>

struct OrbitEngine;

inline constexpr int kVariationCount = 9;
// Standard amounts: the defaults and the reference of every bound on them.
inline constexpr double kStandardVariation[kVariationCount] = {
    0.001,  // T, days
    1e-5,   // argument of perihelion, rad
    1e-5,   // node, rad
    1e-5,   // inclination, rad
    1e-6,   // q, AU
    1e-6,   // e
    1e-10,  // A1, AU/day²
    1e-11,  // A2, AU/day²
    1e-11,  // A3, AU/day²
};

// Standard amounts, calibration on with no rounds, no pending note, damping
// reset.
void ResetVariationAmounts(OrbitEngine* engine);
// Amount 0..8; 0.0 for any other index.
double GetVariationAmount(const OrbitEngine* engine, int index);
// Stores amount 0..8; any other index is ignored.
void SetVariationAmount(OrbitEngine* engine, int index, double value);

// ---- the variation-amount dialog's values, without the window ----
// Edit order: T, Peri, Node, Inc., q, e, A1, A2, A3; A1-A3 in units of 1e-8.
struct VariationDialogValues {
  std::string edits[kVariationCount];
  int bAutoCalibrate = 1;
};

inline constexpr const char* kVariationLabels[kVariationCount] = {"T", "Peri", "Node", "Inc.", "q",
                                                                 "e", "A1", "A2", "A3"};
inline constexpr const char* kVariationDialogTitle = "要素変化量の設定";

// "%.14f" with every trailing '0' and ' ' removed (0.001 shows "0.001").
std::string FormatVariationEdit(double value);
// The dialog's initial texts: the amounts, A1-A3 multiplied by 1e8.
VariationDialogValues VariationValuesFromAmounts(const double amounts[kVariationCount], int bAutoCalibrate);
// "標準(&H)": the standard amounts. "微少量(&S)": tiny amounts for T and the
// orbit, the standard ones for A1-A3. Only the edits change.
void FillStandardVariationEdits(VariationDialogValues& values);
void FillSmallVariationEdits(VariationDialogValues& values);
// Reads the nine edits into amounts (A1-A3 times 1e-8). A text that is not a
// number, or gives 0 or a value that is not finite, is refused: the result is
// the index of the first such edit, with its message in error, and amounts
// is untouched. -1 when all nine are accepted.
int ReadVariationEdits(const VariationDialogValues& values, double amounts[kVariationCount], std::string& error);
// Title and text of the information mark's help window.
inline constexpr const char* kVariationHelpTitle = "要素変化量とは";
extern const char* const kVariationHelpText;
