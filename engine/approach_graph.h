#pragma once
// The perturber-approach graph: the object's distance from the perturbing
// bodies against time, drawn from the track of a CloseApproachRecord. The
// drawing is computed here (ApproachGraphLayout) and painted by the window
// (engine/ui), which derives from CMpDisGraphDlg; the application holds the
// one graph in OpenWindows().m_pMpDisGraphDlg.
#include <cstdint>
#include <string>
#include <vector>

#include "app/registry/window_registry.h"
#include "engine/close_approach.h"

class EngineWindow;

// Number of body slots in use: 10 + the members of the current
// orbit-determination view's perturber set (10 without a view or engine).
int GetApproachBodyCount();

// Labels of the graph's tabs: "全摂動体", the ten bodies, the set's members.
std::vector<std::string> ApproachGraphTabLabels(int bodyCount, int asteroidSet);

// Pen colour of a body slot, 0x00RRGGBB.
uint32_t ApproachSlotColour(int slot);
inline constexpr uint32_t kApproachGraphBackground = 0x14141E;  // (20, 20, 30)
inline constexpr uint32_t kApproachGraphLabel = 0xC0C0C0;       // labels and cursor line

// What one drawing of the graph shows in an area of W x H pixels.
struct ApproachGraphLayout {
  struct Point {
    int x, y;
  };
  struct Curve {
    int slot;
    std::vector<std::vector<Point>> lines;  // polylines; a gap where samples lie above the scale
  };
  bool hasScale = false;        // false: only the background is drawn
  double scale = 0;             // AU at the top
  std::string dateStart, dateMiddle, dateEnd;
  std::string topLabel;         // "%.1fAU"
  std::vector<Curve> curves;
};

// Computes the drawing for a tab (0 all bodies, k >= 1 body slot k - 1) and
// stores each sample's drawn x in the track (-1 for a row without a sample).
ApproachGraphLayout LayoutApproachGraph(ApproachTrackRow* track, int rows, int tab, int bodyCount, int width,
                                        int height);

// The sample under a click at a pixels from the graph's left edge (already
// less its 2-pixel border) for tab k >= 1: the row index, or -1. text gets
// "%d年%d月%.1f日 %.5fAU".
int ApproachGraphCursor(const ApproachTrackRow* track, int rows, int tab, int a, std::string& text);

// The graph window as the engine sees it.
class CMpDisGraphDlg {
public:
  CMpDisGraphDlg() = default;
  // Clears the application's pointer when it points here.
  virtual ~CMpDisGraphDlg();
  CMpDisGraphDlg(const CMpDisGraphDlg&) = delete;
  CMpDisGraphDlg& operator=(const CMpDisGraphDlg&) = delete;

  // Shows a record's track (not owned); null and 0 for none. Redraws.
  virtual void SetTrack(ApproachTrackRow* track, int rows);
  // Brings the tabs up to the number of body slots in use.
  virtual void RefreshTabs() {}
  virtual void DrawGraph() {}

  double m_dScale = 0;           // AU
  int m_nCurTab = 0;
  int m_nTabs = 0;
  int m_nEarthRows = 0;          // rows with an Earth sample: the horizontal divisor
  ApproachTrackRow* m_pTrack = nullptr;
  int m_nTrackRows = 0;
};

// Writes the approach list of a record into the edit (body -1, or 99 without
// any approach, empties it and the graph) and hands the graph the record's
// track. count is the number of body slots in use, decimals 0-3 of the day.
void ShowCloseApproaches(CloseApproachRecord* record, EngineWindow* edit, int body, int count, int decimals);
