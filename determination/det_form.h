#pragma once
// The orbit-determination form as designed (the view's dialog template):
// every control with its id, kind, text and rectangle in client pixels.
// Left: the calculation settings (fixed); middle: the tab area with the
// result and log panes over the observation list, split by a line; right:
// the close-approach pane and its companions. The widgets are made from
// this table and the layout pass starts from its rectangles.
#include <span>

enum class DetCtlKind {
  Group,    // group box
  Label,    // static text
  Check,    // check box
  Button,   // push button
  Edit,     // single-line edit
  NumEdit,  // numeric edit (CNumEdit)
  Pane,     // multi-line read-only edit
  Combo,    // drop-down list
  Tabs,     // tab control
  List,     // observation list
  Line,     // splitter line
  Spin,     // spin button
  Mark,     // information mark (CInfoMark)
};

struct DetFormControl {
  int id;  // control id; 0 for a label or group no code addresses
  DetCtlKind kind;
  const char* text;
  int x, y, w, h;  // designed rectangle, client pixels
};

// Ids of the form beyond those the engine uses (determination_host.h).
enum DetFormId : int {
  kIdSignatureCheck = 1074,
  kIdWeightEdit = 1098,
  kIdWeightSet = 1096,
  kIdWeightReset = 1097,
  kIdNonGravReset = 1101,
  kIdA1Value = 1102,
  kIdA2Value = 1103,
  kIdA3Value = 1104,
  kIdA1Label = 1145,
  kIdA2Label = 1146,
  kIdA3Label = 1147,
  kIdRejectButton = 1066,
  kIdRejectOldSpin = 1463,
  kIdRejectNewSpin = 1464,
  kIdEphemerisButton = 1337,
  kIdApproachBody = 1439,
  kIdExtendedCheck = 1471,
  kIdSplitterLine = 1246,
  kIdPerturberSet = 1502,
  kIdNonGravGroup = 1900,  // "非重力効果"
  kIdImproveGroup = 1901,  // "改良"
  kIdRejectGroup = 1902,   // "リジェクト"
  kIdPickGroup = 1903,     // "軌道決定(3点選択)"
  kIdOrbitGroup = 1904,    // "軌道改良"
  // Information marks, each beside what it explains.
  kIdMarkPick = 1359,          // "軌道決定(3点選択)" group
  kIdMarkOrbit = 1360,         // "軌道改良" group
  kIdMarkPerturbations = 1361, // "摂動計算あり"
  kIdMarkFixE = 1362,          // "離心率(e)を固定"
  kIdMarkImprove = 1363,       // "改良" group
  kIdMarkReject = 1400,        // "リジェクト" group
  kIdMarkStep = 1402,          // "決定値"
  kIdMarkEpoch = 1403,         // "Epoch"
  kIdMarkNonGrav = 1510,       // "非重力効果" group
};

std::span<const DetFormControl> DetFormControls();
// The control of that id; null when the form has none.
const DetFormControl* FindDetFormControl(int id);
