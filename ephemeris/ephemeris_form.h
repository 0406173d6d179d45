#pragma once
// The ephemeris form as designed (the view's dialog template): every control
// with its id, kind, text, input rule and rectangle in client pixels. The
// widgets are made from this table; the headless form keeps the same ids.
#include <span>

#include "platform/num_edit_rules.h"

enum EphemerisControlId : int {
  kEphObject = 1001,       // "Object:"
  kEphRecordSpin = 1002,   // arrows beside the name: previous and next record
  kEphEpochYear = 1003,
  kEphEpochMonth = 1004,
  kEphEpochDay = 1005,
  kEphTYear = 1006,
  kEphTMonth = 1007,
  kEphTDay = 1008,
  kEphM = 1009,
  kEphQ = 1010,
  kEphA = 1011,
  kEphE = 1012,
  kEphPeri = 1013,
  kEphNode = 1014,
  kEphIncl = 1015,
  kEphN = 1016,            // mean motion, never filled
  kEphP = 1017,            // period in years, filled by the calculation
  kEphH1 = 1018,
  kEphK1 = 1019,
  kEphH2 = 1020,           // "H2/H0"
  kEphK2 = 1021,
  kEphG = 1022,
  kEphRF = 1023,           // time shift of the magnitude law, days
  kEphStartYear = 1024,
  kEphStartMonth = 1025,
  kEphStartDay = 1026,
  kEphHour = 1027,         // "HH"
  kEphEndYear = 1028,
  kEphEndMonth = 1029,
  kEphEndDay = 1030,
  kEphStep = 1031,         // "間隔"
  kEphStepDays = 1032,     // "Day"
  kEphStepHours = 1033,    // "Hour"
  kEphMagComet = 1034,     // "光度パラメータ" "彗星"
  kEphMagAsteroid = 1035,  // "光度パラメータ" "小惑星"
  kEphFormComet = 1036,    // "軌道要素形式" "彗星"
  kEphFormAsteroid = 1037, // "軌道要素形式" "小惑星"
  kEphDailyMotion = 1038,
  kEphVariation = 1039,
  kEphHandbook = 1040,     // "OAA Comet Handbook 形式"
  kEphCalc = 1041,         // "位置推算(&C)"
  kEphSample = 1042,       // "入力例(&S)"
  kEphFirstReturn = 1043,  // "初回帰に限定"
  kEphOutput = 1044,       // the output box
};

enum class EphCtlKind {
  Group,     // group box
  Label,     // static text
  NumEdit,   // numeric edit (CNumEdit), input rule in shape
  Edit,      // plain read-only edit
  Radio,     // radio button; firstInGroup starts a group
  Check,     // check box
  Button,    // push button
  Spin,      // pair of arrows
  Output,    // multi-line read-only output box
};

struct EphFormControl {
  int id;  // 0 for a label or group no code addresses
  EphCtlKind kind;
  const char* text;
  int x, y, w, h;
  NumEditShape shape{};   // numeric edits: mode, digits, decimals, sign (the text limit follows)
  bool firstInGroup = false;
};

std::span<const EphFormControl> EphemerisFormControls();
const EphFormControl* FindEphemerisControl(int id);

// Where the output box goes in a view of that client size: (10, 230), as
// wide as the view less 25 and as high as it less 240.
struct EphOutputRect {
  int x, y, w, h;
};
EphOutputRect EphemerisOutputRect(int viewWidth, int viewHeight);
