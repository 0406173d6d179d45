#pragma once
// The observing-season chart's window "観測好期チャート": a resizable tool
// window that draws the whole chart itself, with the palette choice and the
// information mark at the top. Tables, sky model and texts live in
// CVisibilityChartDlg; this class draws them and handles mouse and keys.
#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/timer.h>

#include "views/visibility_chart.h"

class wxChoice;
class wxGraphicsContext;

class CVisibilityChartWnd : public wxDialog, public CVisibilityChartDlg {
public:
  explicit CVisibilityChartWnd(wxWindow* parent);
  ~CVisibilityChartWnd() override;

  bool HasWindow() const override { return true; }
  void InvalidateChart() override { Refresh(false); }

  // The complete chart without the crosshair for a drawing area W x H.
  void DrawChart(wxGraphicsContext* gc, int W, int H);
  // The chart as shown, without the crosshair, of the client size.
  wxBitmap RenderChart();
  // The chart on the clipboard as a bitmap.
  void CopyImage();
  void OnPaletteChange(int index);
  // The crosshair at m_ptMouse and its box for a client area W x H.
  void DrawCrosshair(wxGraphicsContext* gc, int W, int H);

  wxChoice* PaletteChoice() const { return m_pPalette; }
  int m_bHover = 0;
  wxPoint m_ptMouse;
  int m_bSizing = 0;
  int m_nRenders = 0;  // full renderings of the chart (the cache's misses)

private:
  void OnPaint();
  void OnMotion(wxMouseEvent& e);
  void OnKey(wxKeyEvent& e);
  void OnRightUp(wxMouseEvent& e);
  void PlaceControls();
  void SavePlacement();
  void DrawMoonIcon(wxGraphicsContext* gc, double cx, double cy, double r, double k);
  void DrawSunIcon(wxGraphicsContext* gc, double cx, double cy, double r);
  const wxBitmap* EnsureMoonDisk();

  wxChoice* m_pPalette = nullptr;
  wxWindow* m_pInfoMark = nullptr;
  wxBitmap m_cache;
  wxBitmap m_moonDisk;
  int m_bMoonDiskTried = 0;
  wxTimer m_sizeTimer;
};

// Command 32806: makes the window once, shows it, and returns it.
CVisibilityChartWnd* OpenVisibilityChart(wxWindow* mainFrame);
// The open chart window, or null.
CVisibilityChartWnd* VisibilityChartWindow();
