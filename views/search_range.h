#pragma once
// The search range "捜索範囲(変差線)" without its window: where an object with
// an uncertain orbit may stand on the sky at a target date, as a line of
// positions. Mode 0 shifts the perihelion time of one orbit (the ephemeris
// view, the comet list); mode 1 takes the distance family of Väisälä orbits
// (the Väisälä view). The table of positions, offsets and position angles,
// the chart of the line drawn on an ISceneCanvas, its zoom and the layout of
// the copied image live here; the window derives from it and implements the
// control calls on its widgets. Headless, the controls are a map.
#include <map>
#include <string>
#include <vector>

#include "engine/controls_by_id.h"
#include "engine/tool_sinks.h"
#include "views/object_elements.h"
#include "views/scene_canvas.h"

// ---- control ids of the window ----
enum SearchRangeControl : int {
  kRangeYear = 1348,       // target date (TT): year, month, day with fraction
  kRangeMonth = 1349,
  kRangeDay = 1350,
  kRangeHalfSpan = 1351,   // "T±": half range of the T shift, days
  kRangeStep = 1352,       // "刻み": step of the T shift, days
  kRangeFov = 1353,        // "視野": field of view, arcmin
  kRangeCompute = 1354,    // "計算(&C)"
  kRangeCopyTable = 1355,  // "表コピー(&T)"
  kRangeChart = 1356,      // hidden frame: the chart area
  kRangeTable = 1357,      // read-only table edit
  kRangeCopyImage = 1358,  // "画像コピー(&G)"
  kRangeInfo = 1406,       // information mark
};

inline constexpr const char* kSearchRangeTitle = "捜索範囲(変差線)";
inline constexpr const char* kRangeNoOrbit =
    "軌道要素がありません。位置推算画面に軌道要素を入力してから開いてください。";
inline constexpr const char* kRangeNoDate = "対象日時を入力してください。";
inline constexpr const char* kRangeNoFamily = "候補軌道がありません。バイサラ軌道を計算してから開いてください。";
inline constexpr const char* kRangeNoPosition = "位置を計算できませんでした。軌道要素と日付を確認してください。";
inline constexpr const char* kRangeEmptyChart = "[計算]を押すと変差線を表示します";

// One point of the line: the T shift (days, mode 0) or the assumed
// geocentric distance (AU, mode 1), the position (rad, J2000) and m1 (99.9
// when unknown).
struct RangePoint {
  double dLabel = 0, dRa = 0, dDec = 0, dMag = 99.9;
};

// "hh mm ss.s  ±dd mm ss" of a position (rad): each part rounded to the
// digits shown, carried into minutes, hours and degrees.
std::string SearchRangePositionText(double raRad, double decRad);

// Length of the scale bar (arcmin) for a quarter of the chart height of v
// arcmin: whole degrees, tens of minutes, minutes, tens of seconds, seconds,
// else 0.
double ScaleBarArcmin(double v);

// The copied picture: the chart at the top (chartHeight), the table's lines
// below, 17 pixels apart.
struct RangeCopyLayout {
  int width = 0, height = 0, chartHeight = 0;
  std::vector<std::string> lines;
};

class CSearchRangeDlg : public SearchRangeSink, public ObjectElements, public ControlsById {
public:
  static constexpr int kMaxPoints = 401;
  static constexpr double kMinZoom = 0.1, kMaxZoom = 20.0;

  CSearchRangeDlg() = default;
  ~CSearchRangeDlg() override = default;
  CSearchRangeDlg(const CSearchRangeDlg&) = delete;
  CSearchRangeDlg& operator=(const CSearchRangeDlg&) = delete;

  // ---- what the feeders call ----
  // Mode 0: the orbit (T JD TT, q AU, angles rad) with H1 (0 none) and K1.
  void SetObject(const std::string& name, double T, double q, double e, double peri, double node, double incl,
                 double H, double K) override;
  // Mode 1: the family as the Väisälä view hands it over.
  void SetVaisalaFamily(const SearchRangeFamily& family) override;
  // The same from the view's own array (count candidates, its best index,
  // its last observation JD TT).
  void SetVaisalaFamily(const std::string& name, const VaisalaCandidate* family, int count, int best,
                        double lastObsTT);

  // ---- controls ----
  // The edits' first texts: today's local date, T± 5, 刻み 1, 視野 60.
  void OnInitDialog();
  // "計算(&C)": the points, the reference and the table (or a message) anew.
  void Compute();
  // The information mark's topic for the mode.
  std::string HelpTitle() const;
  const char* HelpText() const;

  // ---- chart ----
  // The whole chart into (0, 0, W, H); bButtons adds the zoom buttons and the zoom text.
  void DrawRangeChart(ISceneCanvas& g, int W, int H, bool bButtons) const;
  // Pixels per radian of the chart for W x H at the current zoom; 0 without a reference.
  double ChartScale(int W, int H) const;
  // Button 1 [+] or 2 [−] in chart coordinates.
  static SceneRect ZoomButtonRect(int button, int W, int H);
  // 1 over [+], 2 over [−], else 0.
  static int ZoomButtonAt(float x, float y, int W, int H);
  // A click in the chart: true when it hit a button (the zoom changed then, within its limits).
  bool ClickZoom(float x, float y, int W, int H);
  // One wheel notch: forward zooms in by 1.15, backward out.
  void WheelZoom(int notch);
  // The hovered button; true when it changed.
  bool SetHotButton(int hot);
  // The picture "画像コピー(&G)" puts on the clipboard for a chart area W x H.
  RangeCopyLayout CopyImageLayout(int chartW, int chartH) const;
  // Draws that picture (chart without buttons, then the lines).
  void DrawCopyImage(ISceneCanvas& g, const RangeCopyLayout& layout) const;

  // ---- controls by id (headless: the map; the window: its widgets) ----
  virtual bool HasWindow() const { return m_bHeadlessWindow != 0; }
  // Repaints the whole window or the chart area only.
  virtual void InvalidateAll() {}
  virtual void InvalidateChart() {}
  // Today's local date; 0 for a part that cannot be read.
  virtual void Today(int& year, int& month, int& day) const;

  // ---- state ----
  std::string m_strName;
  double m_dH = 0;
  double m_dSlope = 10.0;
  int m_bValid = 0;
  std::vector<RangePoint> m_aPoints;  // computed points, at most kMaxPoints
  int m_nPoints = 0;
  int m_nNominal = -1;                // the reference point, -1 none
  double m_dFovArcmin = 60.0;
  std::string m_strTable;
  int m_nMode = 0;                    // 0 T shifts, 1 Väisälä family
  std::vector<VaisalaCandidate> m_aFamily;
  int m_nFamily = 0;
  int m_nBest = -1;
  double m_dZoom = 1.0;
  int m_nHotButton = 0;

  int m_bHeadlessWindow = 0;

private:
  void ComputeShifts(double t, double s, double step);
  void ComputeFamily(double t);
  void ShowMessage(const char* text);
  void SetZoom(double zoom);
};
