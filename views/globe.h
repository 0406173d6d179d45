#pragma once
// The globe without its window: one body of the solar system as a lit,
// textured sphere with what the program knows of an object's passage near
// it (approach path, impact point, sub-points, clone points and tracks,
// captions, the orbit inset), the view and its mouse and button rules, and
// the whole picture drawn on an ISceneCanvas. The window derives from it and
// supplies the client size, the button row, the redraw, image decoding and
// the clipboard.
#include <cstdint>
#include <string>
#include <vector>

#include "astro/constants.h"
#include "engine/tool_sinks.h"
#include "platform/video/movie_writer.h"
#include "views/globe_raster.h"
#include "views/movie_export.h"
#include "views/scene_canvas.h"

struct GlobeBody {
  const char* english;
  const char* japanese;
  const char* stem;
  const char* title;
  double radiusKm;
  double rotationDegPerDay;  // negative: retrograde
};
// Mercury to Pluto and the Moon (row = BodyIndex).
extern const GlobeBody g_aGlobeBodies[10];
// The row of an index, or the stand-in for one outside 0..9 ("Unknown", "?", the Earth's radius and rate).
const GlobeBody& GlobeBodyOf(int index);

// Half-width of the path window of a body, hours.
double DefaultPathHours(int index);
// Upper bound of the path window: max(96, 4 max(24, 24 R / 6378.137)).
double MaxPathHours(int index);
// "%d/%02d/%02d %02d:%02d UTC" of a JD (TT).
void FormatUtcMinute(double jdTT, std::string& out);

class CGlobeFrameSource;

struct GlobePoint {
  float x = 0, y = 0;
};

// What a globe view holds: the animation, the body and its texture, the
// view's direction, zoom and gestures, the marks, the approach path, the
// clones, the captions and the orbit of the inset. One value, so that the
// window, the tests and the video export can copy or compare it whole.
struct GlobeState {
  int m_bAnimating = 0;
  double m_dAnimJd = 0;
  double m_dAnimPrevJd = 0;
  int m_nAnimHold = 0;
  int m_bIconDrawn = 0;
  double m_dIconX = 0, m_dIconY = 0;
  double m_dIconRadius = 0;
  double m_dAnimLonShift = 0;
  int m_bSpinning = 0;
  uint32_t m_dwSpinTick = 0;
  double m_dSpinAngle = 0;
  int m_nBody = 2;
  double m_dBodyRadiusKm = kEarthEquatorialRadiusKm;
  GlobeTexture m_texture;  // m_pTexture, m_nTexWidth, m_nTexHeight, m_bTexColour
  int m_bTexture = 0;
  double m_dViewLat = 20;
  double m_dViewLon = 100;
  double m_dDiscScale = 0.45;
  double m_dPanX = 0, m_dPanY = 0;
  double m_dRoll = 0;
  int m_bDragRotate = 0, m_bDragPan = 0, m_bDragInset = 0;
  int m_bInsetMoved = 0;
  int m_ptLast[2] = {0, 0};
  double m_dMarkerLat = 0, m_dMarkerLon = 0;
  uint32_t m_crMarker = 255;  // 0x00BBGGRR
  std::string m_strMarker;
  int m_bMarker = 0;
  double m_dSubSolarLat = 0, m_dSubSolarLon = 0;
  int m_bSubSolar = 0;
  double m_dApexLat = 0, m_dApexLon = 0;
  int m_bApex = 0;
  double m_dSubEarthLat = 0, m_dSubEarthLon = 0;
  int m_bSubEarth = 0;
  // The path: parallel, in time order; the vectors hold at least m_nPathCount entries.
  std::vector<double> m_pPathLat, m_pPathLon, m_pPathKm, m_pPathJd;
  double m_dPathHours = 6.0;
  int m_nPathCount = 0;
  std::vector<double> m_pCloneHitLat, m_pCloneHitLon;
  int m_nCloneHitCount = 0;
  std::vector<double> m_pCloneNearLat, m_pCloneNearLon, m_pCloneNearKm;
  int m_nCloneNearCount = 0;
  std::vector<GlobeCloneTrack> m_pCloneTracks;
  int m_nCloneTrackCount = 0;
  std::string m_strCaption;
  std::string m_strInfo;
  double m_dOrbitT = 0, m_dOrbitQ = 0, m_dOrbitE = 0, m_dOrbitPeri = 0, m_dOrbitNode = 0, m_dOrbitIncl = 0;
  int m_bOrbit = 0;
  double m_dInsetDx = 0, m_dInsetDy = 0;
};

class CGlobeDlg : public GlobeSink, public GlobeState {
public:
  CGlobeDlg();
  ~CGlobeDlg() override;
  CGlobeDlg(const CGlobeDlg&) = delete;
  CGlobeDlg& operator=(const CGlobeDlg&) = delete;

  // ---- setters and the sink ----
  void SetBody(int index) override;
  void AddTrackPoint(double latDeg, double lonDeg, double km, double jd) override;
  void SetOrbitElements(double T, double q, double e, double peri, double node, double incl) override;
  void ClearCloneTracks() override;
  void SetCaption(const std::string& text) override;
  void SetSubCaption(const std::string& text) override;
  void ResetContents() override;
  void ClearPath() override;
  void SetMarker(int bOn, double latDeg, double lonDeg, uint32_t colour, const std::string& text) override;
  void SetSubSolar(int bOn, double latDeg, double lonDeg) override;
  void SetApex(int bOn, double latDeg, double lonDeg) override;
  void SetSubEarth(int bOn, double latDeg, double lonDeg) override;
  void AddCloneImpact(double latDeg, double lonDeg) override;
  void ClearCloneImpacts() override;
  void AddCloneClosest(double latDeg, double lonDeg, double km) override;
  void AddCloneTrack(const GlobeCloneTrack& track) override;
  void ShowGlobe() override { ShowWindowNow(); }

  // Loads the texture of m_nBody from the executable's folder (or plain colours without one).
  void LoadTexture();
  // Takes decoded pixels (RGB triples, rows from the top) as the texture;
  // bHeightMapFile: the file was "heightmap.jpg" and the grey test applies.
  void AdoptTexture(const unsigned char* rgb, int width, int height, bool bHeightMapFile);

  // ---- projection ----
  // Whether the point (degrees, radius factor in body radii) is drawn, and where.
  int Project(double latDeg, double lonDeg, double radiusFactor, int width, int height, float& x, float& y) const;
  // The surface point under a picture point; false off the disc.
  bool Unproject(double px, double py, int width, int height, double& latDeg, double& lonDeg) const;
  // Where the segment from a visible to a hidden point meets the rim of the disc.
  GlobePoint ClipToLimb(GlobePoint visible, GlobePoint hidden, int width, int height) const;
  // The orbit inset's square; 0 without one. Clamps and stores back the user's offset.
  int GetInsetRect(int width, int height, SceneRect& r);
  int GetPictureHeight() const;
  int GetPictureBottom(int targetHeight) const;

  // ---- mouse, keyboard and buttons, in client pixels ----
  void OnLButtonDown(int x, int y);
  void OnRButtonDown(int x, int y);
  void OnMouseMove(int x, int y);
  void OnButtonUp();
  // notch >= 1 zooms in, else out, about the surface under (x, y).
  void OnMouseWheel(int notch, int x, int y);
  void OnLButtonDblClk(int x, int y);
  bool OverInset(int x, int y);
  void OnImpactPoint();
  void OnLookUp1() { LookUp(+1); }
  void OnLookUp2() { LookUp(-1); }
  void OnWholeView();
  void OnZoomIn();
  void OnZoomOut();
  void OnRotateLeft();
  void OnRotateRight();
  void OnRangeDown();
  void OnRangeUp();

  // ---- drawing ----
  void DrawGlobe(ISceneCanvas& g, int width, int height);
  // The sphere's raster parameters for a picture of width x height at world scale k.
  GlobeRasterView RasterView(int width, int height, double k) const;
  void DrawParallel(ISceneCanvas& g, const ScenePen& pen, int width, int height, double latDeg);
  void DrawSubPointMark(ISceneCanvas& g, int width, int height, double latDeg, double lonDeg, uint32_t argb,
                        const std::string& label);
  void DrawApproachPath(ISceneCanvas& g, int width, int height);
  void DrawAsteroidIcon(ISceneCanvas& g, ScenePoint c, float radius, double rotationDeg, double lx, double ly);
  void DrawOrbitInset(ISceneCanvas& g, int width, int height);
  int FindClosestPathPoint(double& jd) const;
  int GetPathWindow(double& start, double& end) const;
  int GetMotionSubPoint(double jd, double& latDeg, double& lonDeg) const;
  // Longitude a running path animation adds to the body-fixed marks of inertial directions, degrees.
  double GetAnimLonOffset() const;
  // ---- animation and video ----
  // Button "アニメ(&M)": starts or stops the path animation or the spin.
  void OnAnimate();
  // Timer 1 (60 ms): one step of the running animation.
  void OnTimer();
  // Button "動画保存(&V)".
  void OnExportVideo();
  // The frame settings and source of an export w pixels wide (a path clip, or
  // a spin of the clone tracks); 0 when there is nothing to record or the
  // window is too small. Saves the three members the frames change.
  int FillGlobeFrameSettings(int w, int count, int intervalMs, MovieFrameSettings& s, CGlobeFrameSource& source,
                             double& savedJd, double& savedLon, int& savedAnimating);
  // Degrees a day the body turns (the Earth's outside 0..9).
  double RotationRate() const { return GlobeBodyOf(m_nBody).rotationDegPerDay; }
  // +1 for a body turning backwards, -1 otherwise: the spin's direction.
  double SpinSign() const { return RotationRate() < 0 ? 1 : -1; }
  // Whether the button spins the globe: clone tracks and fewer than two path points.
  bool SpinsClones() const { return m_nCloneTrackCount > 0 && m_nPathCount < 2; }
  // Threads that share the sphere's rows (1 by default).
  int m_nRasterThreads = 1;

  // ---- what the window supplies ----
  virtual bool HasWindow() const { return false; }
  virtual void ClientSize(int& w, int& h) const { w = h = 0; }
  // Top of the highest button row in client pixels; a large value without buttons.
  virtual int ButtonsTop() const { return 1 << 30; }
  virtual void Redraw() {}
  virtual void SetTitleText(const std::string& /*title*/) {}
  virtual void ShowWindowNow() {}
  // Decodes an image file into RGB triples; false when it cannot.
  virtual bool DecodeImage(const std::string& /*path*/, std::vector<unsigned char>& /*rgb*/, int& /*w*/,
                           int& /*h*/) {
    return false;
  }
  virtual void CopyPicture() {}
  virtual void SetAnimationCaption(const std::string& /*caption*/) {}
  virtual void SetAnimationTimer(bool /*bOn*/) {}
  // Milliseconds of a steady clock.
  virtual uint32_t TickCount() const;
  virtual bool AskMovieSavePath(const MovieSaveRequest& /*request*/, std::string& /*path*/, int& /*index*/) {
    return false;
  }
  // Draws the picture into a video frame (the writer's zero-filled buffer).
  virtual void DrawMovieFrame(MovieFrame& /*frame*/, int /*width*/, int /*height*/) {}
  // After each frame of an export; false cancels it.
  virtual bool ExportProgress(int /*done*/, int /*total*/) { return true; }
  // After the writer returned, before its message.
  virtual void ExportFinished() {}

  // ---- state ----
  // What the view holds, as one value (see GlobeState).
  GlobeState& State() { return *this; }
  const GlobeState& State() const { return *this; }

private:
  void StopAnimation();
  void LookUp(int side);
  // The impact marker, else the mean direction of the clone impacts; false with neither.
  bool ImpactTarget(double& latDeg, double& lonDeg) const;
  void DrawClonePoints(ISceneCanvas& g, int width, int height);
  void DrawCloneTracks(ISceneCanvas& g, int width, int height);
  void DrawMotionDirection(ISceneCanvas& g, int width, int height);
  void DrawMarker(ISceneCanvas& g, int width, int height);
  void DrawMovingObject(ISceneCanvas& g, int width, int height, int iS, int iE);
  // Screen direction (unit, y down) of the surface point's direction from the view centre; false when none.
  bool ScreenDirection(double latDeg, double lonDeg, double& dx, double& dy) const;
  // Heliocentric position (AU, J2000 equatorial) of the orbit at t, with its distance.
  bool OrbitPosition(double t, double pos[3]) const;
  std::vector<uint32_t> m_raster;
};

// Wraps a longitude into -180..180 degrees.
double WrapLongitude(double lonDeg);
// A closed cardinal spline through the points as cubic Bézier pieces (start
// point, then three points a piece).
std::vector<ScenePoint> ClosedCardinalSpline(const std::vector<ScenePoint>& points, double tension);
// Adds or subtracts 360 until the longitude lies within -180..180.
double NormaliseLongitude(double lonDeg);

// The globe as a writer's frame source: a path clip moves the object over
// the turning body from the start of the path window to its end; a spin clip
// turns the view once around.
class CGlobeFrameSource : public IMovieFrameSource {
public:
  void PrepareFrame(int index, int count) override;
  void DrawFrame(MovieFrame& frame, int width, int height) override;
  bool ContinueExport(int done, int total) override { return m_pView->ExportProgress(done, total); }

  CGlobeDlg* m_pView = nullptr;
  double m_dStartJd = 0;
  double m_dEndJd = 0;
  double m_dRefJd = 0;
  double m_dStartLon = 0;
  int m_bSpin = 0;
};
