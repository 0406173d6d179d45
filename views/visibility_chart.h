#pragma once
// The observing-season chart without its window: 300 nights at the observing
// place, the sky model evaluated at any point of the chart, the raster of
// sky and altitude bands, the runs of one night, the band labels, the axis
// texts and the crosshair's texts. The window derives from it and draws.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "engine/tool_sinks.h"
#include "views/object_elements.h"

struct ChartDayRow {
  double dJd = 0;            // 0 h local of the day
  double dSunRa = 0;         // rad, J2000, at the middle of the night
  double dSunDec = 0;
  double dSunSinDec = 0, dSunCosDec = 1;  // of dSunDec, kept for the per-pixel altitudes
  double dMoonFraction = 0;  // illuminated fraction 0..1
  int bSunKnown = 0;         // the planetary file gave the Sun
};

struct ObserverSite {
  double sinLat = 0, cosLat = 1;
  double lon = 0;  // east, rad
  double tz = 0;   // hours ahead of UT
};
// The site from degrees; AppObserver reads the application's observing place.
ObserverSite MakeObserverSite(double latDeg, double lonDeg, double tzHours);
ObserverSite AppObserver();

struct SkyState {
  double dSunAlt = 0;    // rad
  double dObjAlt = -kPi;
  double dMoonLight = 0;
  double dMoonFraction = 0;
  int bElongationOk = 0;
};

struct NightRuns {
  double dMoonMid = 0, dMoonLen = 0;
  double dFirstMid = 0, dFirstLen = 0;
  double dLastMid = 0, dLastLen = 0;
  double dMoonFraction = 0;
};

// Client-pixel geometry of the plot for a drawing area W x H.
struct ChartPlot {
  static constexpr double kLeft = 56, kTop = 58;
  double R = 0, B = 0, width = 0, height = 0;
  double pxPerDay = 0, pxPerHour = 0;
  bool exists = false;
};

extern const char* const g_aChartPaletteNames[8];
extern const uint32_t g_aChartPalettes[8][10];  // 0xRRGGBB
// Colour of a band; a palette outside 0..7 counts as 0.
uint32_t ChartPaletteColour(int palette, int band);

// The star field, fixed to window pixels.
int StarCore(int x, int y);
int StarGlow(int x, int y);
// The colour of a plot pixel from its sky (bands not included).
void SkyPixel(const SkyState& s, int x, int y, int rgb[3]);
// Angle Sun-Moon (rad, 0..pi); 0 without the Sun.
double MoonSunElongation(double jd);

// Sky and bands of the plot: BGRA, alpha 255, width x height of the plot
// (the window's pixel (x, y) is (x - 56, y - 58)).
struct ChartRaster {
  int w = 0, h = 0;
  std::vector<uint8_t> bgra;
  int bAnyAltitude = 0;
  double dMaxAlt = -kPi;
};

// A text placed at a point (axis labels, band labels).
struct ChartLabel {
  double x = 0, y = 0;
  std::string text;
};

struct CrosshairInfo {
  int bShown = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double dJd = 0;      // UT
  double dMoonAge = 0;
  int bAltitude = 0;
  double dAltDeg = 0;
  int bMagnitude = 0;
  double dMag = 0;
  // Label and value of each row of the box.
  std::vector<std::pair<std::string, std::string>> rows;
};

class CVisibilityChartDlg : public VisibilityChartSink, public ObjectElements {
public:
  CVisibilityChartDlg();
  ~CVisibilityChartDlg() override = default;
  CVisibilityChartDlg(const CVisibilityChartDlg&) = delete;
  CVisibilityChartDlg& operator=(const CVisibilityChartDlg&) = delete;

  // ---- what the feeders call ----
  void SetStartDate(double jd) override;
  void SetObject(double T, double q, double e, double peri, double node, double incl, const std::string& name,
                 double h, double slope, int bAsteroid) override;
  void Clear();
  void ResetContents() override { Clear(); }
  void RequestRecompute() override;

  // ---- the tables and the sky model ----
  void Precompute(const ObserverSite& site);
  // Sample table at t; with fewer than two samples 0.
  double Interpolate(const std::vector<double>& v, double t) const;
  // bPixel: only what a pixel's colour needs (no moonlight in daylight or
  // twilight, no elongation below 10 degrees of altitude).
  SkyState EvaluateSky(double a, double hour, const ObserverSite& site, bool bPixel = false) const;
  // The plot's geometry for W x H.
  ChartPlot Plot(double W, double H) const;
  // Every pixel of the plot (Precompute first).
  ChartRaster RenderRaster(int W, int H, const ObserverSite& site) const;
  NightRuns AnalyseNight(double a, double y0, double y1, double pxPerHour, const ObserverSite& site) const;
  // Band labels; measure gives a text's width and height in the chart font.
  std::vector<ChartLabel> PlaceBandLabels(const ChartPlot& plot, const ObserverSite& site,
                                          const std::function<void(const std::string&, double&, double&)>& measure)
      const;
  // Hour labels: left (local) and right (UT) at y - 7; ticks at y.
  void HourLabels(const ChartPlot& plot, double tz, std::vector<ChartLabel>& left,
                  std::vector<ChartLabel>& right) const;
  // Date labels at (x - 20, B + 5); ticks at x.
  std::vector<ChartLabel> DateLabels(const ChartPlot& plot) const;
  // The message of the plot when nothing can be drawn in it, else empty:
  // no Sun from the planetary file, or no altitude pixel in the raster.
  std::string PlotMessage(const ChartRaster& raster) const;
  CrosshairInfo Crosshair(int x, int y, double W, double H, const ObserverSite& site) const;

  // ---- the window's side ----
  virtual bool HasWindow() const { return false; }
  virtual void InvalidateChart() {}

  // Orbit (the elements) and magnitude law.
  std::string m_strName;
  int m_bValid = 0;
  double m_dH = 0, m_dSlope = 0;
  int m_bAsteroid = 0;
  double m_dStartJd = 0;
  int m_nDays = 300;
  double m_dHourFrom = 14.0, m_dHourTo = 34.0;
  int m_nPalette = 0;

  std::vector<ChartDayRow> m_dayRows;
  int m_bDirty = 1;
  std::vector<double> m_moonRa, m_moonDec, m_objRa, m_objDec;
  std::vector<uint8_t> m_moonValid, m_objValid;
  int m_nObjValid = 0;
  int m_nSamples = 0;
  int m_nSunMissing = 0;  // samples and day rows without the Sun
  double m_dTableStart = 0, m_dTableStep = 0.25;
  int m_bCacheValid = 0;

private:
  void MarkDirty();
  double SampleAltitude(double t, double theta, const ObserverSite& site, double& ra, double& dec) const;
};
