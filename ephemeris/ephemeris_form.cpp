#include "ephemeris/ephemeris_form.h"

namespace {

using K = EphCtlKind;

// Input rules: {mode 0 text / 1 integer / 2 decimal, digits before, after, sign}.
constexpr NumEditShape kText30{0, 30, 0, 1};
constexpr NumEditShape kYear{1, 6, 0, 1};
constexpr NumEditShape kMonth{1, 2, 0, 0};
constexpr NumEditShape kDay7{2, 2, 7, 0};
constexpr NumEditShape kDay3{2, 2, 3, 0};
constexpr NumEditShape kAngle{2, 3, 7, 0};
constexpr NumEditShape kMag{2, 2, 3, 1};

// Rows of the form from the top: name, epoch, T, elements (two rows),
// magnitudes, period; the switches and buttons on the right. The output box
// starts at y = 230.
constexpr EphFormControl kControls[] = {
    {0, K::Label, "Object:", 10, 12, 56, 20},
    {kEphObject, K::NumEdit, "", 70, 8, 220, 28, kText30},
    {kEphRecordSpin, K::Spin, "", 294, 4, 76, 36},
    {kEphFirstReturn, K::Check, "初回帰に限定", 380, 10, 140, 24},
    {0, K::Label, "Epoch:", 10, 44, 56, 20},
    {kEphEpochYear, K::NumEdit, "", 70, 40, 70, 28, kYear},
    {kEphEpochMonth, K::NumEdit, "", 144, 40, 44, 28, kMonth},
    {kEphEpochDay, K::NumEdit, "", 192, 40, 110, 28, kDay7},
    {0, K::Label, "T:", 10, 76, 56, 20},
    {kEphTYear, K::NumEdit, "", 70, 72, 70, 28, kYear},
    {kEphTMonth, K::NumEdit, "", 144, 72, 44, 28, kMonth},
    {kEphTDay, K::NumEdit, "", 192, 72, 110, 28, kDay7},
    {0, K::Label, "M", 10, 108, 40, 20},
    {kEphM, K::NumEdit, "", 52, 104, 110, 28, kAngle},
    {0, K::Label, "q", 170, 108, 20, 20},
    {kEphQ, K::NumEdit, "", 190, 104, 130, 28, {2, 3, 10, 0}},
    {0, K::Label, "a", 328, 108, 20, 20},
    {kEphA, K::NumEdit, "", 348, 104, 130, 28, {2, 4, 9, 0}},
    {0, K::Label, "e", 486, 108, 20, 20},
    {kEphE, K::NumEdit, "", 506, 104, 120, 28, {2, 3, 9, 0}},
    {0, K::Label, "Peri.", 10, 140, 40, 20},
    {kEphPeri, K::NumEdit, "", 52, 136, 110, 28, kAngle},
    {0, K::Label, "Node", 170, 140, 40, 20},
    {kEphNode, K::NumEdit, "", 210, 136, 110, 28, kAngle},
    {0, K::Label, "Incl.", 328, 140, 40, 20},
    {kEphIncl, K::NumEdit, "", 368, 136, 110, 28, kAngle},
    {0, K::Label, "n", 486, 140, 20, 20},
    {kEphN, K::Edit, "", 506, 136, 120, 28},
    {0, K::Label, "P", 634, 140, 16, 20},
    {kEphP, K::Edit, "", 652, 136, 80, 28},
    {0, K::Label, "H1", 10, 172, 40, 20},
    {kEphH1, K::NumEdit, "", 52, 168, 70, 28, kMag},
    {0, K::Label, "K1", 130, 172, 24, 20},
    {kEphK1, K::NumEdit, "", 156, 168, 70, 28, kMag},
    {0, K::Label, "H2/H0", 234, 172, 50, 20},
    {kEphH2, K::NumEdit, "", 286, 168, 70, 28, kMag},
    {0, K::Label, "K2", 364, 172, 24, 20},
    {kEphK2, K::NumEdit, "", 390, 168, 70, 28, kMag},
    {0, K::Label, "G", 468, 172, 16, 20},
    {kEphG, K::NumEdit, "", 486, 168, 70, 28, {2, 2, 4, 0}},
    {0, K::Label, "RF", 566, 172, 24, 20},
    {kEphRF, K::NumEdit, "", 592, 168, 70, 28, {1, 6, 0, 1}},
    {0, K::Label, "Day", 666, 172, 40, 20},
    {0, K::Label, "期間", 10, 204, 40, 20},
    {kEphStartYear, K::NumEdit, "", 52, 200, 70, 28, kYear},
    {kEphStartMonth, K::NumEdit, "", 126, 200, 44, 28, kMonth},
    {kEphStartDay, K::NumEdit, "", 174, 200, 70, 28, kDay3},
    {0, K::Label, "HH", 252, 204, 26, 20},
    {kEphHour, K::NumEdit, "", 280, 200, 66, 28, kDay3},
    {0, K::Label, "～", 352, 204, 22, 20},
    {kEphEndYear, K::NumEdit, "", 376, 200, 70, 28, kYear},
    {kEphEndMonth, K::NumEdit, "", 450, 200, 44, 28, kMonth},
    {kEphEndDay, K::NumEdit, "", 498, 200, 70, 28, kDay3},
    {0, K::Label, "間隔", 578, 204, 40, 20},
    {kEphStep, K::NumEdit, "", 620, 200, 100, 28, {2, 4, 6, 0}},
    {kEphStepDays, K::Radio, "Day", 728, 202, 60, 24, {}, true},
    {kEphStepHours, K::Radio, "Hour", 790, 202, 70, 24},
    {0, K::Group, "光度パラメータ", 750, 2, 220, 54},
    {kEphMagComet, K::Radio, "彗星", 762, 24, 90, 24, {}, true},
    {kEphMagAsteroid, K::Radio, "小惑星", 860, 24, 100, 24},
    {0, K::Group, "軌道要素形式", 750, 58, 220, 54},
    {kEphFormComet, K::Radio, "彗星", 762, 80, 90, 24, {}, true},
    {kEphFormAsteroid, K::Radio, "小惑星", 860, 80, 100, 24},
    {0, K::Group, "Motion Item", 750, 114, 260, 54},
    {kEphDailyMotion, K::Radio, "Daily motion", 762, 136, 130, 24, {}, true},
    {kEphVariation, K::Radio, "Variation", 896, 136, 110, 24},
    {kEphHandbook, K::Check, "OAA Comet Handbook 形式", 750, 172, 260, 24},
    {kEphCalc, K::Button, "位置推算(&C)", 1020, 8, 150, 34},
    {kEphSample, K::Button, "入力例(&S)", 1020, 48, 150, 34},
    {kEphOutput, K::Output, "", 10, 230, 900, 300},
};

}  // namespace

std::span<const EphFormControl> EphemerisFormControls() { return kControls; }

const EphFormControl* FindEphemerisControl(int id) {
  for (const EphFormControl& c : kControls)
    if (c.id == id) return &c;
  return nullptr;
}

EphOutputRect EphemerisOutputRect(int viewWidth, int viewHeight) {
  return {10, 230, viewWidth - 25, viewHeight - 240};
}
