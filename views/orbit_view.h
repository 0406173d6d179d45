#pragma once
// The orbit diagram without its window: the orbit handed over, the view
// (rotation, zoom, pan, stereo, the saved view of each scene), the
// heliocentric and geocentric scenes drawn on an ISceneCanvas, and the
// approach finders on the shared geocentric track. The window derives from it
// and supplies the client size, the redraw and the Sun's picture.
#include <array>
#include <string>
#include <vector>

#include "astro/constants.h"
#include "engine/tool_sinks.h"
#include "platform/video/movie_writer.h"
#include "views/movie_export.h"
#include "views/object_elements.h"
#include "views/scene_canvas.h"

struct OrbitViewPlanet {
  const char* name;
  double a, e, inclDeg, nodeDeg, periDeg;
  unsigned char rgb[3];
};
// Mercury to Pluto (row = BodyIndex): mean J2000 ecliptic elements.
extern const OrbitViewPlanet g_aOrbitViewPlanets[9];

// "%.1f 万km": AU in units of 10000 km.
double AuToManKm(double au);
// Calendar date and the whole hours and minutes of a Julian day (callers
// that print minutes add half a minute first).
struct SceneDateTime {
  int year, month, day, hour, minute;
};
SceneDateTime SceneDateOf(double jd);

inline constexpr int kOrbitIdAnimation = 1474;
inline constexpr int kOrbitIdDaysBack = 1475;
inline constexpr int kOrbitIdSpeed = 1476;
inline constexpr const char* kOrbitViewTitle = "軌道図";

class COrbitViewDlg : public OrbitDiagramSink, public ObjectElements {
public:
  COrbitViewDlg();
  ~COrbitViewDlg() override;
  COrbitViewDlg(const COrbitViewDlg&) = delete;
  COrbitViewDlg& operator=(const COrbitViewDlg&) = delete;

  // ---- what the feeders call ----
  void SetObject(double T, double q, double e, double peri, double node, double incl, double epoch,
                 const char* name);
  void SetAltTitle(const std::string& text);
  void SetObservationTimes(const double* times, int count, int bShow);
  void Clear();
  // OrbitDiagramSink
  void SetImpactJd(double jd) override;
  void ShowOrbit(const DisplayOrbit& orbit, const std::string& altTitle, const std::vector<double>& obsTimes,
                 bool bDrawArc) override;
  void ResetContents() override { Clear(); }
  void ShowGeocentricScene() override { OnGeocentricCheck(true); }
  void SelectRange(int row) override { OnRangeChange(row); }

  // ---- the view ----
  void FitScale();
  ScenePoint Project(double x, double y, double z, double width, double height) const;
  // Range row 0..6 (others ignored); a smaller radius prunes the shared track.
  void OnRangeChange(int row);
  void OnStereoModeChange(int row);
  // The 地心 box: each scene keeps its own view while the other is shown.
  void OnGeocentricCheck(bool bChecked);
  void OnClearTrack();

  // ---- mouse, in client pixels ----
  // true when the press toggled the title (no rotation starts).
  bool OnLeftDown(int x, int y);
  void OnLeftUp() { m_bRotating = 0; }
  void OnRightDown(int x, int y);
  // true when the pop-up menu is due (the button went up without a pan).
  bool OnRightUp();
  void OnMouseMove(int x, int y);
  void OnWheel(int delta);
  void OnLeftDoubleClick();
  // Whether the point lies on a title that can be toggled (the hand cursor).
  bool OverToggleableTitle(int x, int y) const;

  // ---- drawing ----
  void DrawScene(ISceneCanvas& g, int width, int height);
  void DrawHeliocentric(ISceneCanvas& g, int width, int height);
  void DrawGeocentric(ISceneCanvas& g, int width, int height);
  void DrawOrbitCurve(ISceneCanvas& g, int width, int height, const ScenePen& pen, const ScenePen* below, double q,
                      double e, double peri, double node, double incl, double limit);
  // Heliocentric position (AU, J2000 equatorial) of the object at t.
  bool KeplerPosition(double t, const double P[3], const double Q[3], double pos[3]) const;
  int FindEarthApproach();
  int FindMoonApproach();
  void UpdateObsTrackPoints();
  // The stride of the observed positions: about 2000 of n at most.
  static std::vector<int> ObservedPositionIndices(int n);
  // Where the object's label goes beside its marker at (x, y).
  ScenePoint PlaceObjectLabel(float x, float y, float w, float h, int width, int height) const;
  // Share of the texture's half width the Sun's disc takes, from the middle
  // row (rgb triples): where red + green + blue first exceeds 90.
  static double MeasureSunDiskFraction(const unsigned char* rgbRow, int width);

  // ---- animation and video ----
  // The heliocentric scene's reference time: the impact time when set, else the epoch.
  double ReferenceJd() const { return m_dImpactJd > 0 ? m_dImpactJd : m_dEpoch; }
  // Reads the days-back and speed edits with their clamps and writes them back.
  void ReadAnimationEdits();
  // Button "アニメ(&M)": starts or stops the animation.
  void OnAnimation();
  void StopAnimation();
  // Timer 1 (60 ms): one step of the animation.
  void OnTimer();
  // Button "動画保存(&V)".
  void OnExportVideo();
  // Frames of an export at a speed: 150 (GIF) or 225 (MP4) / speed + 0.5,
  // from 10 up to 1500 (GIF) or 2250 (MP4).
  static int ExportFrameCount(bool bGif, double speed);

  // ---- what the window supplies ----
  virtual std::string AnimationEditText(int /*id*/) const { return {}; }
  virtual void SetAnimationEditText(int /*id*/, const std::string& /*text*/) {}
  virtual void SetAnimationCaption(const std::string& /*caption*/) {}
  virtual void SetAnimationTimer(bool /*bOn*/) {}
  // Top of the controls below the picture in client pixels; large without any.
  virtual int ControlsTop() const { return 1 << 30; }
  virtual bool AskMovieSavePath(const MovieSaveRequest& /*request*/, std::string& /*path*/, int& /*index*/) {
    return false;
  }
  // Draws the scene into a video frame (the writer's zero-filled buffer).
  virtual void DrawMovieFrame(MovieFrame& /*frame*/, int /*width*/, int /*height*/) {}
  // After each frame of an export; false cancels it.
  virtual bool ExportProgress(int /*done*/, int /*total*/) { return true; }
  // After the writer returned, before its message.
  virtual void ExportFinished() {}
  virtual bool HasWindow() const { return false; }
  virtual void ClientSize(int& w, int& h) const { w = h = 0; }
  virtual void Redraw() {}
  // Loads the Sun's picture; the disc fraction, or 0 when there is none.
  virtual double LoadSunImage(const std::string& /*path*/) { return 0; }

  // ---- state ----
  double m_dEpoch = 0;
  std::string m_strName;
  int m_bHasObject = 0;
  std::string m_strAltTitle;
  int m_bShowAltTitle = 0;
  SceneRect m_rcTitle;
  int m_bTitleRectValid = 0;
  std::vector<double> m_obsTimes;
  std::vector<std::array<double, 3>> m_obsPositions;
  int m_bObsPositionsDirty = 0;
  int m_bShowObsPositions = 1;
  std::vector<std::array<double, 3>> m_obsTrackPoints;
  uint32_t m_nObsTrackVersion = ~0u;
  int m_bObsTrackDirty = 0;
  double m_dSunDiskFraction = 0.9;
  int m_bSunImageTried = 0;
  int m_bHasSunImage = 0;
  double m_dImpactJd = 0;
  double m_dAzimuth = 0, m_dElevation = 60, m_dScale = 60;
  int m_bUserMoved = 0;
  int m_bRotating = 0;
  int m_ptRotateLast[2] = {0, 0};
  double m_dPanX = 0, m_dPanY = 0;
  int m_bPanning = 0;
  int m_ptPanLast[2] = {0, 0};
  int m_bPanMoved = 0;
  struct SavedView {
    double azimuth = 0, elevation = 0, scale = 0, panX = 0, panY = 0;
    int valid = 0;
  } m_aSavedView[2];
  int m_bAnimating = 0;
  double m_dAnimJd = 0;
  int m_nHoldTicks = 0;
  int m_nDaysBack = 60;
  double m_dSpeed = 2.0;
  double m_dSpin = 0;
  int m_bExporting = 0;
  int m_nStereoMode = 0;
  int m_bDrawingHalf = 0;
  int m_bAtRest = 1;
  int m_bGeocentric = 0;
  int m_bShowMoon = 0;
  double m_dMoonCaJd = 0, m_vMoonCaObject[3] = {}, m_vMoonCaMoon[3] = {}, m_dMoonCaDist = 0;
  uint32_t m_nMoonCaVersion = ~0u;
  int m_bShowEarthCa = 0;
  double m_dEarthCaJd = 0, m_vEarthCaPos[3] = {}, m_dEarthCaDist = 0;
  uint32_t m_nEarthCaVersion = ~0u;

private:
  void ResetView(int scene);
  void DrawStereoPair(ISceneCanvas& g, int width, int height);
  void DrawSun(ISceneCanvas& g, int width, int height);
  void DrawPlanetPositions(ISceneCanvas& g, int width, int height, double t);
  void DrawObservedPositions(ISceneCanvas& g, int width, int height);
  void DrawObjectMarker(ISceneCanvas& g, int width, int height, double t, const std::string& title);
  std::string TitleText() const;
  void DrawTitle(ISceneCanvas& g, bool bRecord);
  // Records a placed text (at most 16 per drawing).
  void RecordLabel(const SceneRect& r);
  bool OverlapsLabel(const SceneRect& r, float margin) const;
  void DrawMoonOrbit(ISceneCanvas& g, int width, int height, bool& bDrawn);
  void DrawPlanetPaths(ISceneCanvas& g, int width, int height);
  void DrawTrack(ISceneCanvas& g, int width, int height);
  void DrawApproaches(ISceneCanvas& g, int width, int height);
  void DrawDateMarks(ISceneCanvas& g, int width, int height);
  void DrawGeocentricTexts(ISceneCanvas& g);

  std::vector<SceneRect> m_labels;
  // Geocentric places of a planet at the samples of the track's time range:
  // they change with the track, not with the view, so frames reuse them.
  struct PlanetPath {
    double first = 0, last = 0, fileStart = 0, fileEnd = 0;
    int samples = 0;
    std::vector<std::array<double, 3>> pos;
    std::vector<char> ok;
  };
  const PlanetPath& PlanetPathOf(int planet, double first, double last, int samples);
  PlanetPath m_planetPaths[9];
};

// The orbit diagram as a writer's frame source: frame i of n is a time of
// the heliocentric pass from start to end, or an angle of one geocentric turn.
class COrbitFrameSource : public IMovieFrameSource {
public:
  COrbitFrameSource(COrbitViewDlg* view, double startJd, double endJd)
      : m_pView(view), m_dStartJd(startJd), m_dEndJd(endJd) {}
  void PrepareFrame(int index, int count) override;
  void DrawFrame(MovieFrame& frame, int width, int height) override;
  bool ContinueExport(int done, int total) override { return m_pView->ExportProgress(done, total); }

private:
  COrbitViewDlg* m_pView;
  double m_dStartJd;
  double m_dEndJd;
};
