#pragma once
// What the engine writes into the tool windows: the geocentric track that the
// orbit diagram draws, the globe, and the impact time of the orbit diagram.
// The windows implement the sinks; tests, batch runs and worker processes use
// the headless ones.
#include <cstdint>
#include <string>
#include <vector>

struct ObservationRecord;

// ---- geocentric track ----
// Recording radius of every track buffer, AU (the orbit diagram's range).
extern double g_dGeoTrackRadius;
// The seven recording radii of the orbit diagram's range box, AU.
inline constexpr double kGeoTrackRadii[7] = {0.05, 0.1, 0.2, 0.5, 1, 2, 5};
// 1 while the orbit diagram's "軌跡を残す(&K)" keeps the track across improvement iterations.
extern int g_bKeepGeoTrack;

// Geocentric path points recorded while the engine integrates: at most 40000,
// thinned by halves (with a doubled stride) beyond. Points outside
// g_dGeoTrackRadius are passed over.
class GeoTrackBuffer {
public:
  static constexpr int kInitialCapacity = 4096;
  static constexpr int kMaxPoints = 40000;

  GeoTrackBuffer() = default;
  ~GeoTrackBuffer();
  GeoTrackBuffer(const GeoTrackBuffer&) = delete;
  GeoTrackBuffer& operator=(const GeoTrackBuffer&) = delete;

  // The shared buffer of the orbit-determination engine.
  static GeoTrackBuffer& Instance();

  // Records the point (t JD TT, geocentric position AU, J2000 equatorial) or passes it over.
  void Append(double t, const double pos[3]);
  // Frees the points; the segment number stays.
  void Reset();
  // Drops the points farther from the Earth than radius (AU), keeping the order of the others.
  void RemoveBeyond(double radius);
  // Largest |x|, |y| or |z| of the recorded points; 0 when empty.
  double MaxAbsCoordinate() const;
  // 0 when empty (outputs untouched), else 1 with the smallest and largest time.
  int TimeRange(double& first, double& last) const;

  double (*m_pPositions)[3] = nullptr;  // geocentric positions, AU, J2000 equatorial
  double* m_pTimes = nullptr;           // JD TT
  int32_t* m_pSegments = nullptr;       // segment number of each point
  int32_t m_nCount = 0;
  int32_t m_nCapacity = 0;
  int32_t m_nStride = 1;                // only every m_nStride-th accepted point is recorded
  int32_t m_nSkip = 0;                  // accepted points passed over since the last recorded one
  int32_t m_nSegment = 0;               // segment number of the next recorded point
  // Advanced by every change of the points, so that what readers derive from
  // them goes stale even when a new run records as many points as the last.
  uint32_t m_nVersion = 0;
};

// ---- globe ----
// One clone's short track near the globe's body, from the clone-track file.
struct GlobeCloneTrack {
  static constexpr int kMaxPoints = 16;
  int32_t m_nKind = 0;       // 0 a clone that misses, 1 a clone that hits, 2 the nominal orbit
  int32_t m_bPlausible = 0;  // nonzero: drawn stronger
  int32_t m_nPoints = 0;     // 0..16
  double m_dJd = 0;          // closest approach (impact for a hit), JD TT
  double m_adMinutes[kMaxPoints] = {};  // from m_dJd; |m| <= 0.000001 marks the closest point
  double m_adLat[kMaxPoints] = {};      // degrees, body-fixed
  double m_adLon[kMaxPoints] = {};      // degrees east
  double m_adKm[kMaxPoints] = {};       // from the body's centre
};

// The globe window as the engine writes it; every write redraws it.
class GlobeSink {
public:
  virtual ~GlobeSink() = default;
  // Body 0-9 (BodyIndex); nothing for the current body or an index above 9.
  virtual void SetBody(int body) = 0;
  // The object's orbit for the side view (T JD TT, q AU, angles rad); valid when q > 0.
  virtual void SetOrbitElements(double T, double q, double e, double peri, double node, double incl) = 0;
  // Empties the clone closest-approach points and the clone tracks.
  virtual void ClearCloneTracks() = 0;
  // Inserts a path point in time order (degrees, km from the centre, JD).
  virtual void AddTrackPoint(double latDeg, double lonDeg, double distKm, double jd) = 0;
  // Empties the path (m_nPathCount = 0).
  virtual void ClearPath() = 0;
  // Caption over the globe, blanks trimmed at both ends.
  virtual void SetCaption(const std::string& text) = 0;
  // Second line under the caption.
  virtual void SetSubCaption(const std::string& text) = 0;
  // Impact marker (degrees; colour as 0x00BBGGRR, 255 red; text "Impact\n...").
  virtual void SetMarker(int bOn, double latDeg, double lonDeg, uint32_t colour, const std::string& text) = 0;
  // Sub-solar point, apex and sub-Earth point (degrees); bOn 0 hides one.
  virtual void SetSubSolar(int bOn, double latDeg, double lonDeg) = 0;
  virtual void SetApex(int bOn, double latDeg, double lonDeg) = 0;
  virtual void SetSubEarth(int bOn, double latDeg, double lonDeg) = 0;
  // Clone impact points (degrees); ClearCloneImpacts sets their count to 0.
  virtual void AddCloneImpact(double latDeg, double lonDeg) = 0;
  virtual void ClearCloneImpacts() = 0;
  // Clone closest-approach points (degrees, km from the centre).
  virtual void AddCloneClosest(double latDeg, double lonDeg, double distKm) = 0;
  // One clone track (ClearCloneTracks empties them with the closest points).
  virtual void AddCloneTrack(const GlobeCloneTrack& track) = 0;
  // Shows the window (the writers end with it).
  virtual void ShowGlobe() = 0;
  // Empties everything the globe shows (a new calculation): the body, the
  // texture and the view stay.
  virtual void ResetContents() = 0;
};

// ---- the orbit handed to the tool windows ----
struct DisplayOrbit {
  double m_dT = 0;         // perihelion time, JD TT
  double m_dQ = 0;         // AU
  double m_dE = 0;
  double m_dPeri = 0, m_dNode = 0, m_dIncl = 0;  // rad, ecliptic J2000
  double m_dEpoch = 0;     // element epoch, JD TT; 0 none
  std::string m_strName;
  int m_nMpOrbit = 0;      // element form: 1 minor-planet form
  int m_bAsteroid = 0;     // magnitude law of the tool windows: 1 asteroid (H, G)
  int m_nMode = 0;         // mode of the last hand-over
  int m_bValid = 0;        // q > 0
  // The element epoch when there is one, else T.
  double ReferenceTime() const { return m_dEpoch > 0 ? m_dEpoch : m_dT; }
};

// ---- orbit diagram ----
class OrbitDiagramSink {
public:
  virtual ~OrbitDiagramSink() = default;
  // Julian day of the impact shown in the heliocentric scene, 0 for none; redraws.
  virtual void SetImpactJd(double jd) = 0;
  // The orbit handed over: elements, name and alternative title (empty: none),
  // the TT times of the observations used (their positions are drawn when
  // bDrawArc); the impact shown is cleared, the scale refitted unless the
  // user moved the view.
  virtual void ShowOrbit(const DisplayOrbit& orbit, const std::string& altTitle,
                         const std::vector<double>& obsTimes, bool bDrawArc) = 0;
  // A new observation file: no orbit, no name, no arc, no track, view reset.
  virtual void ResetContents() = 0;
  // The NEOCP geocentric-orbit buttons: the 地心 box ticked and its scene shown.
  virtual void ShowGeocentricScene() = 0;
  // A row of the range box (0..6: 0.05 .. 5 AU), as choosing it does.
  virtual void SelectRange(int row) = 0;
};

// ---- magnitude curve, observing-season chart, search range ----
// The orbit of an object that a list hands over (T JD TT, q AU, angles rad,
// J2000 ecliptic) with its magnitude law: H and G for the asteroid law
// (bAsteroid 1), H1 and K1 for the comet law.
class MagCurveSink {
public:
  virtual ~MagCurveSink() = default;
  virtual void SetObject(double T, double q, double e, double peri, double node, double incl,
                         const std::string& name, double h, double gk, int bAsteroid) = 0;
  // A solution of the orbit-determination view: the orbit (its m_bAsteroid
  // chooses the law), the view's observations (count records) whose
  // magnitudes become the curve's points, and the readable name.
  virtual void SetSolution(const DisplayOrbit& orbit, const ObservationRecord* obs, int count,
                           const std::string& altTitle) = 0;
  // A new observation file or a redone calculation: no orbit, no points, no law.
  virtual void Clear() = 0;
};

class VisibilityChartSink {
public:
  virtual ~VisibilityChartSink() = default;
  // First day of the chart (JD); ignored when 0 or less or unchanged.
  virtual void SetStartDate(double jd) = 0;
  virtual void SetObject(double T, double q, double e, double peri, double node, double incl,
                         const std::string& name, double h, double gk, int bAsteroid) = 0;
  // No object, no name, the start date back to today.
  virtual void ResetContents() {}
  // The observing place changed: the tables are computed again.
  virtual void RequestRecompute() {}
};

// One orbit of a Väisälä family: the trial geocentric distance (AU), T (JD
// TT), q (AU), e and the angles (rad, ecliptic J2000).
struct VaisalaCandidate {
  double dDelta, T, q, e, peri, node, incl;
};

// What the search range takes in its distance-family mode.
struct SearchRangeFamily {
  static constexpr int kMaxFamily = 401;
  std::string m_strName;                    // trimmed
  std::vector<VaisalaCandidate> m_family;   // at most kMaxFamily
  int m_nBest = 0;                          // 0 when the given index lies outside the family
  int m_nMode = 1;                          // the distance family
  int m_bValid = 0;                         // family not empty
  double m_dH = 0, m_dK = 10.0, m_dZoom = 1.0;
  // The date fields: the day after the last observation; 0 when it has no time.
  int m_nYear = 0, m_nMonth = 0, m_nDay = 0;
};
// The family as the Väisälä view hands it over (lastObsTT: the last
// observation, JD TT).
SearchRangeFamily MakeSearchRangeFamily(const std::string& name, const VaisalaCandidate* family, int count, int best,
                                        double lastObsTT);

class SearchRangeSink {
public:
  virtual ~SearchRangeSink() = default;
  // H 0 for an asteroid; valid when q > 0.
  virtual void SetObject(const std::string& name, double T, double q, double e, double peri, double node,
                         double incl, double H, double K) = 0;
  // The Väisälä family: takes it, sets the date fields and recomputes.
  virtual void SetVaisalaFamily(const SearchRangeFamily& family) = 0;
};

// The open tool windows.
class ToolWindowSinks {
public:
  virtual ~ToolWindowSinks() = default;
  // The open globe, or null.
  virtual GlobeSink* Globe() = 0;
  // The open globe; when none is open, a new one (the Earth, nothing shown).
  virtual GlobeSink* OpenGlobe() = 0;
  // The open orbit diagram, or null.
  virtual OrbitDiagramSink* OrbitDiagram() = 0;
  // The open orbit diagram; when none is open, a new one shown (null when it cannot be made).
  virtual OrbitDiagramSink* OpenOrbitDiagram() { return OrbitDiagram(); }
  // The magnitude curve when it is open, or null.
  virtual MagCurveSink* MagCurve() { return nullptr; }
  // The magnitude curve, shown; opened when none is (null while the window
  // does not exist in this build).
  virtual MagCurveSink* OpenMagCurve() { return nullptr; }
  // The observing-season chart when it is open, shown; else null.
  virtual VisibilityChartSink* VisibilityChart() { return nullptr; }
  // The observing-season chart, shown; opened when none is (null as above).
  virtual VisibilityChartSink* OpenVisibilityChart() { return VisibilityChart(); }
  // The search range when it is open, shown; else null.
  virtual SearchRangeSink* SearchRange() { return nullptr; }
  // The search range, shown; opened when none is (null as above).
  virtual SearchRangeSink* OpenSearchRange() { return SearchRange(); }
};

// The process's current tool windows; headless until the windows install
// theirs (null restores the headless default). The caller keeps ownership.
ToolWindowSinks& ToolSinks();
void SetToolSinks(ToolWindowSinks* sinks);

// Installs tool windows for the life of the object (tests).
class ScopedToolSinks {
public:
  explicit ScopedToolSinks(ToolWindowSinks& sinks) { SetToolSinks(&sinks); }
  ~ScopedToolSinks() { SetToolSinks(nullptr); }
  ScopedToolSinks(const ScopedToolSinks&) = delete;
  ScopedToolSinks& operator=(const ScopedToolSinks&) = delete;
};

// The globe's contents without a window.
class HeadlessGlobe : public GlobeSink {
public:
  struct PathPoint {
    double latDeg, lonDeg, distKm, jd;
  };
  void SetBody(int body) override;
  void SetOrbitElements(double T, double q, double e, double peri, double node, double incl) override;
  void ClearCloneTracks() override;
  void AddTrackPoint(double latDeg, double lonDeg, double distKm, double jd) override;
  void ClearPath() override { m_path.clear(); }
  void SetCaption(const std::string& text) override;
  void SetSubCaption(const std::string& text) override { m_strSubCaption = text; }
  void SetMarker(int bOn, double latDeg, double lonDeg, uint32_t colour, const std::string& text) override;
  void SetSubSolar(int bOn, double latDeg, double lonDeg) override;
  void SetApex(int bOn, double latDeg, double lonDeg) override;
  void SetSubEarth(int bOn, double latDeg, double lonDeg) override;
  void AddCloneImpact(double latDeg, double lonDeg) override;
  void ClearCloneImpacts() override { m_cloneImpacts.clear(); }
  void AddCloneClosest(double latDeg, double lonDeg, double distKm) override;
  void AddCloneTrack(const GlobeCloneTrack& track) override { m_cloneTracks.push_back(track); }
  void ShowGlobe() override { m_bShown = true; }
  void ResetContents() override;

  int m_nBody = 2;
  double m_orbit[6] = {};  // T, q, e, peri, node, incl
  std::vector<PathPoint> m_path;  // in time order
  std::string m_strCaption, m_strSubCaption;
  int m_bMarker = 0;
  double m_dMarkerLat = 0, m_dMarkerLon = 0;
  uint32_t m_crMarker = 0;
  std::string m_strMarker;
  int m_bSubSolar = 0, m_bApex = 0, m_bSubEarth = 0;
  double m_dSubSolarLat = 0, m_dSubSolarLon = 0, m_dApexLat = 0, m_dApexLon = 0, m_dSubEarthLat = 0,
         m_dSubEarthLon = 0;
  std::vector<PathPoint> m_cloneImpacts;  // lat, lon
  std::vector<PathPoint> m_cloneClosest;  // lat, lon, km
  std::vector<GlobeCloneTrack> m_cloneTracks;
  bool m_bShown = false;
};

class HeadlessOrbitDiagram : public OrbitDiagramSink {
public:
  void SetImpactJd(double jd) override { m_dImpactJd = jd; }
  void ShowOrbit(const DisplayOrbit& orbit, const std::string& altTitle, const std::vector<double>& obsTimes,
                 bool bDrawArc) override;
  void ResetContents() override;
  void ShowGeocentricScene() override { m_bGeocentric = true; }
  void SelectRange(int row) override { m_nRange = row; }
  double m_dImpactJd = 0;
  bool m_bGeocentric = false;
  int m_nRange = 0;
  DisplayOrbit m_orbit;
  std::string m_strAltTitle;
  std::vector<double> m_obsTimes;
  bool m_bDrawArc = false;
  int m_nShown = 0;  // hand-overs received
};

// What the list hand-overs wrote.
struct HeadlessHandOver {
  double m_orbit[6] = {};  // T, q, e, peri, node, incl
  std::string m_strName;
  double m_dH = 0, m_dGK = 0;
  int m_bAsteroid = 0;
  double m_dStartJd = 0;
  int m_nShown = 0;  // hand-overs received
};

class HeadlessMagCurve : public MagCurveSink {
public:
  void SetObject(double T, double q, double e, double peri, double node, double incl, const std::string& name,
                 double h, double gk, int bAsteroid) override;
  void SetSolution(const DisplayOrbit& orbit, const ObservationRecord*, int count, const std::string&) override {
    m_solution = orbit;
    m_nSolutionObs = count;
    ++m_nSolutions;
  }
  void Clear() override { ++m_nCleared; }
  HeadlessHandOver m_got;
  DisplayOrbit m_solution;
  int m_nSolutionObs = 0, m_nSolutions = 0, m_nCleared = 0;
};

class HeadlessVisibilityChart : public VisibilityChartSink {
public:
  void SetStartDate(double jd) override;
  void SetObject(double T, double q, double e, double peri, double node, double incl, const std::string& name,
                 double h, double gk, int bAsteroid) override;
  HeadlessHandOver m_got;
};

class HeadlessSearchRange : public SearchRangeSink {
public:
  void SetObject(const std::string& name, double T, double q, double e, double peri, double node, double incl,
                 double H, double K) override;
  void SetVaisalaFamily(const SearchRangeFamily& family) override {
    m_family = family;
    ++m_nFamilies;
  }
  HeadlessHandOver m_got;
  SearchRangeFamily m_family;
  int m_nFamilies = 0;  // families received
};

// No window is open until a writer opens the globe; the orbit diagram opens
// only when a test asks for it.
class HeadlessToolSinks : public ToolWindowSinks {
public:
  GlobeSink* Globe() override { return m_bGlobeOpen ? &m_globe : nullptr; }
  GlobeSink* OpenGlobe() override {
    m_bGlobeOpen = true;
    return &m_globe;
  }
  OrbitDiagramSink* OrbitDiagram() override { return m_bDiagramOpen ? &m_diagram : nullptr; }
  OrbitDiagramSink* OpenOrbitDiagram() override {
    m_bDiagramOpen = true;
    return &m_diagram;
  }

  MagCurveSink* MagCurve() override { return m_bMagCurveOpen ? &m_magCurve : nullptr; }
  MagCurveSink* OpenMagCurve() override {
    m_bMagCurveOpen = true;
    return &m_magCurve;
  }
  VisibilityChartSink* VisibilityChart() override { return m_bChartOpen ? &m_chart : nullptr; }
  VisibilityChartSink* OpenVisibilityChart() override {
    m_bChartOpen = true;
    return &m_chart;
  }
  SearchRangeSink* SearchRange() override { return m_bSearchRangeOpen ? &m_searchRange : nullptr; }
  SearchRangeSink* OpenSearchRange() override {
    m_bSearchRangeOpen = true;
    return &m_searchRange;
  }

  HeadlessGlobe m_globe;
  HeadlessOrbitDiagram m_diagram;
  HeadlessMagCurve m_magCurve;
  HeadlessVisibilityChart m_chart;
  HeadlessSearchRange m_searchRange;
  bool m_bGlobeOpen = false;
  bool m_bDiagramOpen = false;
  bool m_bMagCurveOpen = false;
  bool m_bChartOpen = false;
  bool m_bSearchRangeOpen = false;
};
