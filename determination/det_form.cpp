#include "determination/det_form.h"

#include "engine/determination_host.h"

namespace {

using K = DetCtlKind;

// Rows are 34 pixels apart where an edit or a list box sits (the GTK
// entries' natural height), 26 for check boxes and labels.
constexpr DetFormControl kControls[] = {
    {kIdPickGroup, K::Group, "軌道決定(3点選択)", 4, 4, 326, 94},
    {kIdParabolicCheck, K::Check, "暫定放物線軌道", 14, 26, 150, 26},
    {kIdAsteroidCheck, K::Check, "小惑星", 180, 26, 140, 26},
    {kIdMarkPick, K::Mark, "", 308, 4, 16, 16},
    {kIdFixECheck, K::Check, "離心率(e)を固定", 14, 60, 134, 26},
    {kIdMarkFixE, K::Mark, "", 150, 65, 16, 16},
    {0, K::Label, "e=", 170, 66, 24, 20},
    {kIdFixEEdit, K::NumEdit, "", 196, 58, 124, 34},

    {kIdOrbitGroup, K::Group, "軌道改良", 4, 104, 326, 600},
    {kIdMarkOrbit, K::Mark, "", 308, 104, 16, 16},
    {kIdPerturbationsCheck, K::Check, "摂動計算あり", 14, 126, 150, 26},
    {kIdMarkPerturbations, K::Mark, "", 168, 131, 16, 16},
    {0, K::Label, "積分間隔", 14, 164, 72, 20},
    {kIdStepCombo, K::Combo, "", 90, 156, 120, 34},
    {0, K::Label, "決定値", 216, 164, 48, 20},
    {kIdStepUsedLabel, K::Label, "", 266, 164, 44, 20},
    {kIdMarkStep, K::Mark, "", 310, 166, 16, 16},
    {0, K::Label, "摂動小惑星", 14, 202, 76, 20},
    {kIdPerturberSet, K::Combo, "", 90, 194, 230, 34},

    {kIdNonGravGroup, K::Group, "非重力効果", 10, 234, 314, 150},
    {kIdMarkNonGrav, K::Mark, "", 300, 234, 16, 16},
    {kIdNonGravCheck, K::Check, "計算する", 20, 256, 100, 26},
    {kIdNonGravA3Check, K::Check, "A3", 124, 256, 60, 26},
    {kIdNonGravReset, K::Button, "リセット(&F)", 214, 252, 100, 32},
    {kIdNonGravModelCombo, K::Combo, "", 20, 288, 150, 34},
    {kIdA1Label, K::Label, "A1", 20, 332, 24, 20},
    {kIdA1Value, K::Label, "", 48, 332, 110, 20},
    {kIdA2Label, K::Label, "A2", 170, 332, 24, 20},
    {kIdA2Value, K::Label, "", 198, 332, 110, 20},
    {kIdA3Label, K::Label, "A3", 20, 356, 24, 20},
    {kIdA3Value, K::Label, "", 48, 356, 110, 20},

    {kIdImproveGroup, K::Group, "改良", 10, 390, 314, 106},
    {kIdMarkImprove, K::Mark, "", 300, 390, 16, 16},
    {kIdAiImprove, K::Button, "AI軌道改良(&A)", 20, 412, 150, 32},
    {kIdAutoImprove, K::Button, "自動(&A)", 20, 448, 100, 32},
    {kIdManualImprove, K::Button, "手動(&I)", 126, 448, 100, 32},
    {kIdAutoStopCheck, K::Check, "自動停止", 232, 452, 86, 26},

    {kIdRejectGroup, K::Group, "リジェクト", 10, 500, 314, 136},
    {kIdMarkReject, K::Mark, "", 300, 500, 16, 16},
    {0, K::Label, "境界年", 20, 528, 50, 20},
    {kIdRejectYear, K::NumEdit, "", 72, 520, 70, 34},
    {kIdRejectButton, K::Button, "リジェクト(&R)", 196, 520, 120, 32},
    {0, K::Label, "以前", 20, 566, 40, 20},
    {kIdRejectOld, K::NumEdit, "", 60, 558, 70, 34},
    {kIdRejectOldSpin, K::Spin, "", 134, 558, 80, 34},
    {0, K::Label, "以後", 20, 604, 40, 20},
    {kIdRejectNew, K::NumEdit, "", 60, 596, 70, 34},
    {kIdRejectNewSpin, K::Spin, "", 134, 596, 80, 34},

    {0, K::Label, "ウエイト", 14, 652, 56, 20},
    {kIdWeightEdit, K::Edit, "", 72, 644, 60, 34},
    {kIdWeightSet, K::Button, "設定(&W)", 136, 644, 90, 32},
    {kIdWeightReset, K::Button, "リセット(&E)", 230, 644, 90, 32},
    {0, K::Label, "標準: 1.0", 72, 680, 90, 18},

    {0, K::Label, "Epoch", 8, 716, 48, 20},
    {kIdEpochYear, K::NumEdit, "", 60, 708, 80, 34},
    {kIdEpochMonth, K::NumEdit, "", 144, 708, 48, 34},
    {kIdEpochDay, K::NumEdit, "", 196, 708, 80, 34},
    {kIdMarkEpoch, K::Mark, "", 282, 717, 16, 16},

    {kIdTabs, K::Tabs, "", 340, 4, 560, 330},
    {kIdResultEdit, K::Pane, "", 344, 40, 552, 290},
    {kIdCalcLogEdit, K::Pane, "", 344, 40, 552, 290},
    {kIdSplitterLine, K::Line, "", 340, 338, 560, 4},
    {kIdObsList, K::List, "", 340, 346, 560, 396},

    {kIdApproachBody, K::Combo, "", 908, 4, 180, 34},
    {kIdExtendedCheck, K::Check, "拡張表示", 1094, 8, 104, 26},
    {kIdApproachEdit, K::Pane, "", 908, 42, 290, 620},
    {kIdEphemerisButton, K::Button, "位置推算へ", 908, 670, 140, 32},
    {kIdSignatureCheck, K::Check, "計算者署名", 1056, 674, 140, 26},
};

}  // namespace

std::span<const DetFormControl> DetFormControls() { return kControls; }

const DetFormControl* FindDetFormControl(int id) {
  if (id == 0) return nullptr;
  for (const DetFormControl& c : kControls)
    if (c.id == id) return &c;
  return nullptr;
}
