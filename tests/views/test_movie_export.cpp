// The animations of the orbit diagram and the globe step by step, and their
// exports run headless through the real writers with windows that draw a
// marker of each frame's state: the files are decoded and checked against
// the frame counts, holds and states the windows must produce.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "astro/time_scales.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "tests/common/folder_checks.h"
#include "tests/common/test_data.h"
#include "tests/platform_video/movie_decode.h"
#include "tests/views/sized_globe.h"
#include "views/movie_export.h"
#include "views/orbit_view.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

// A white bar whose left edge is at share x of the frame's width: how a
// decoded frame tells which state it shows.
void PaintBar(MovieFrame& f, double share)
{
  const int x0 = std::clamp(int(share * (f.nWidth - 16) + 0.5), 0, f.nWidth - 16);
  for (int y = 0; y < f.nHeight; ++y)
    for (int x = x0; x < x0 + 16; ++x)
      std::fill_n(f.pBgra + size_t(y) * f.nStride + size_t(x) * 4, 3, uint8_t(255));
}

// The share of the width where a decoded frame's bar starts.
double BarShare(const RgbPicture& p)
{
  const int y = p.height / 2;
  for (int x = 0; x < p.width; ++x)
    if (p.rgb[(size_t(y) * p.width + x) * 3] > 128) {
      // The bar's first column may be a blend with the black beside it.
      return double(x) / (p.width - 16);
    }
  return -1;
}

// The orbit diagram with a client area, its two edits, a save dialog that
// answers as the test says and frames that record and mark their state.
struct ScriptedSaveDialog {
  std::string answerPath;  // "" cancels the dialog
  int answerType = 1;
  int asks = 0;
  MovieSaveRequest request;
  bool Ask(const MovieSaveRequest& r, std::string& path, int& index)
  {
    ++asks;
    request = r;
    if (answerPath.empty())
      return false;
    path = answerPath;
    index = answerType;
    return true;
  }
};

struct FilmedOrbitView : COrbitViewDlg, ScriptedSaveDialog {
  int w = 640, h = 400;
  std::map<int, std::string> edits;
  std::string caption;
  bool timer = false;
  int redraws = 0;
  struct Shot {
    double jd, spin;
    int atRest, exporting;
  };
  std::vector<Shot> shots;

  bool HasWindow() const override { return true; }
  void ClientSize(int& cw, int& ch) const override { cw = w, ch = h; }
  void Redraw() override { ++redraws; }
  std::string AnimationEditText(int id) const override
  {
    const auto it = edits.find(id);
    return it == edits.end() ? std::string() : it->second;
  }
  void SetAnimationEditText(int id, const std::string& text) override { edits[id] = text; }
  void SetAnimationCaption(const std::string& c) override { caption = c; }
  void SetAnimationTimer(bool on) override { timer = on; }
  bool AskMovieSavePath(const MovieSaveRequest& r, std::string& path, int& index) override
  {
    return Ask(r, path, index);
  }
  void DrawMovieFrame(MovieFrame& f, int, int) override
  {
    shots.push_back({m_dAnimJd, m_dSpin, m_bAtRest, m_bExporting});
    const double start = ReferenceJd() - m_nDaysBack;
    PaintBar(f, m_bGeocentric ? m_dSpin / 360 : (m_dAnimJd - start) / m_nDaysBack);
  }
};

// 1I as the orbit-determination view hands it over (elements of 2017 November).
void ShowInterstellar(COrbitViewDlg& v)
{
  v.SetObject(2458006.0073, 0.255240, 1.201133, 241.8105 * kDeg, 24.5997 * kDeg, 122.7417 * kDeg, 2458080.5,
              "1I/2017 U1");
}

struct MovieExportTest : ::testing::Test {
  void SetUp() override
  {
    dir = MakeTempDir("movie");
    TheApp().m_profile.SetPath(dir + "Tessarune.INI");
    GeoTrackBuffer::Instance().Reset();
  }
  void TearDown() override { GeoTrackBuffer::Instance().Reset(); }

  // A geocentric track of n points a day apart around 2029 April 13.
  static void RecordTrack(int n)
  {
    for (int i = 0; i < n; ++i) {
      const double pos[3] = {0.001 * i, 0.0005, 0.0002};
      GeoTrackBuffer::Instance().Append(2462239.5 + i, pos);
    }
  }

  std::string dir;
  HeadlessUiServices ui;
  ScopedUi scoped{ui};
};

} // namespace

TEST(MovieExportNames, DefaultFileNames)
{
  struct Case {
    const char *prefix, *name, *kind;
    double jd;
    const char *ext, *want;
  } cases[] = {
      {"Orbit", "2024 AB", "Epoch", CalendarToJd(2024, 1, 15.0), "mp4", "Orbit-2024_AB-Epoch2024-Jan-15.0.mp4"},
      {"Geo", "  ", "Spin", CalendarToJd(2029, 4, 13.94), "gif", "Geo-object-Spin2029-Apr-13.9.gif"},
      {"Globe", "", "Earth", CalendarToJd(2008, 10, 7.115), "mp4", "Globe-object-Earth2008-Oct-7.1.mp4"},
      {"Globe", " C/2023 A3: x? ", "Spin", CalendarToJd(2023, 6, 1.5), "mp4", "Globe-C_2023_A3__x_-Spin2023-June-1.5.mp4"},
      {"Orbit", "a\"b*c<d>e\\f|g", "Epoch", CalendarToJd(2001, 7, 4.25), "gif", "Orbit-a_b_c_d_e_f_g-Epoch2001-July-4.2.gif"},
      {"Orbit", "X", "Epoch", CalendarToJd(2020, 5, 31.0), "mp4", "Orbit-X-Epoch2020-May-31.0.mp4"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MakeExportFileName(c.prefix, c.name, c.kind, c.jd, c.ext), c.want);
}

TEST_F(MovieExportTest, OrbitEditsAreClampedAndWrittenBack)
{
  struct Case {
    const char *days, *speed;
    int wantDays;
    double wantSpeed;
    const char *daysText, *speedText;
  } cases[] = {
      {"0", "0.05", 60, 2, "60", "2"},          {"abc", "25", 60, 20, "60", "20"},
      {"250000", "0.1", 100000, 0.1, "100000", "0.1"}, {"45", "3.5", 45, 3.5, "45", "3.5"},
      {"", "", 60, 2, "60", "2"},
  };
  for (const Case& c : cases) {
    FilmedOrbitView v;
    v.edits = {{kOrbitIdDaysBack, c.days}, {kOrbitIdSpeed, c.speed}};
    v.ReadAnimationEdits();
    EXPECT_EQ(v.m_nDaysBack, c.wantDays) << c.days;
    EXPECT_DOUBLE_EQ(v.m_dSpeed, c.wantSpeed) << c.speed;
    EXPECT_EQ(v.edits[kOrbitIdDaysBack], c.daysText);
    EXPECT_EQ(v.edits[kOrbitIdSpeed], c.speedText);
  }
  struct Count {
    bool gif;
    double speed;
    int want;
  } counts[] = {{true, 2, 75}, {false, 2, 113}, {false, 20, 11}, {true, 20, 10}, {true, 0.1, 1500}, {false, 0.1, 2250}};
  for (const Count& c : counts)
    EXPECT_EQ(COrbitViewDlg::ExportFrameCount(c.gif, c.speed), c.want) << c.gif << " " << c.speed;
}

TEST_F(MovieExportTest, OrbitHeliocentricPassHoldsAndStartsAgain)
{
  FilmedOrbitView v;
  ShowInterstellar(v);
  v.m_dImpactJd = 2458020.5;  // an impact time ends the pass instead of the epoch
  v.edits = {{kOrbitIdDaysBack, "60"}, {kOrbitIdSpeed, "2"}};
  v.OnAnimation();
  ASSERT_TRUE(v.timer);
  EXPECT_EQ(v.caption, "停止(&M)");
  const double start = 2458020.5 - 60;
  EXPECT_DOUBLE_EQ(v.m_dAnimJd, start);
  // 60 / 75 days a tick: the 75th tick reaches the impact time and holds.
  for (int i = 1; i <= 74; ++i) {
    v.OnTimer();
    ASSERT_NEAR(v.m_dAnimJd, start + i * 0.8, 1e-7) << i;  // days, rounding of JDs summed
  }
  v.OnTimer();
  EXPECT_EQ(v.m_dAnimJd, 2458020.5);
  EXPECT_EQ(v.m_nHoldTicks, 50);
  const int redraws = v.redraws;
  for (int i = 0; i < 49; ++i)
    v.OnTimer();
  EXPECT_EQ(v.redraws, redraws) << "the hold redraws nothing";
  EXPECT_EQ(v.m_dAnimJd, 2458020.5);
  v.OnTimer();
  EXPECT_EQ(v.m_dAnimJd, start);
  EXPECT_EQ(v.redraws, redraws + 1);
  v.OnAnimation();
  EXPECT_FALSE(v.timer);
  EXPECT_EQ(v.caption, "アニメ(&M)");
  EXPECT_EQ(v.m_bAnimating, 0);
}

TEST_F(MovieExportTest, OrbitGeocentricTurnStopsAfterOneTurnAndNeedsATrack)
{
  FilmedOrbitView v;
  ShowInterstellar(v);
  v.OnGeocentricCheck(true);
  v.edits = {{kOrbitIdSpeed, "2"}};
  v.OnAnimation();
  EXPECT_FALSE(v.timer);
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].text,
            "地心の軌跡がありません。軌道改良か[計算結果から元期を移動]を実行してから再生してください。");
  RecordTrack(5);
  v.OnAnimation();
  ASSERT_TRUE(v.timer);
  int ticks = 0;
  while (v.m_bAnimating && ticks < 1000) {
    v.OnTimer();
    ++ticks;
  }
  EXPECT_EQ(ticks, 75);  // 4.8 degrees a tick
  EXPECT_FALSE(v.timer);
  EXPECT_EQ(v.m_dSpin, 0);

  FilmedOrbitView empty;
  empty.OnAnimation();
  EXPECT_EQ(ui.m_messages.back().text, "軌道要素がありません。軌道を計算してから再生してください。");
}

TEST_F(MovieExportTest, OrbitExportsDecodeWithTheirFramesAndHold)
{
  FilmedOrbitView v;
  ShowInterstellar(v);
  v.edits = {{kOrbitIdDaysBack, "60"}, {kOrbitIdSpeed, "2"}};
  v.OnAnimation();
  v.OnTimer();
  const double animJd = v.m_dAnimJd;

  // MP4: 113 frames and 75 copies of the last for the 3 s hold.
  v.answerPath = dir + "orbit.mp4";
  v.answerType = 1;
  v.OnExportVideo();
  EXPECT_EQ(v.request.defaultName, "Orbit-1I_2017_U1-Epoch2017-Nov-23.0.mp4");
  EXPECT_EQ(v.request.filterIndex, 1);
  ASSERT_EQ(v.shots.size(), 113u);
  EXPECT_EQ(v.shots.front().jd, 2458080.5 - 60);
  EXPECT_EQ(v.shots.back().jd, 2458080.5);
  EXPECT_EQ(v.shots.front().atRest, 0);
  EXPECT_EQ(v.shots.back().atRest, 1);
  EXPECT_EQ(v.shots.front().exporting, 1);
  const DecodedMp4 mp4 = DecodeMp4(v.answerPath);
  ASSERT_TRUE(mp4.ok);
  EXPECT_EQ(mp4.width, 1280);
  EXPECT_EQ(mp4.height, 800);
  EXPECT_EQ(mp4.profile, 100);
  EXPECT_DOUBLE_EQ(mp4.fps, 25);
  EXPECT_EQ(mp4.frames, 188);
  EXPECT_NEAR(mp4.seconds, 7.52, 1e-9);
  EXPECT_NEAR(BarShare(mp4.first), 0, 0.01);
  EXPECT_NEAR(BarShare(mp4.last), 1, 0.01);
  ASSERT_FALSE(ui.m_messages.empty());
  EXPECT_EQ(ui.m_messages.back().text, "MP4を保存しました。");
  // The running animation goes on from where it was.
  EXPECT_EQ(v.m_bAnimating, 1);
  EXPECT_EQ(v.m_dAnimJd, animJd);
  EXPECT_EQ(v.m_bExporting, 0);

  // GIF: 75 frames of 6 hundredths, the last held 3 s, 640 wide; the type is remembered.
  v.shots.clear();
  v.answerPath = dir + "orbit.gif";
  v.answerType = 4;
  v.OnExportVideo();
  EXPECT_EQ(TheApp().GetProfileInt("SYSTEM", "ORBITVIEWEXPORTTYPE", 0), 4);
  ASSERT_EQ(v.shots.size(), 76u);  // the palette's frame first
  const DecodedGif gif = DecodeGif(v.answerPath);
  ASSERT_TRUE(gif.ok);
  EXPECT_EQ(gif.width, 640);
  EXPECT_EQ(gif.height, 400);
  EXPECT_EQ(gif.loop, 0);
  EXPECT_LE(gif.colours, 256);
  std::vector<int> delays(75, 6);
  delays.back() = 300;
  EXPECT_EQ(gif.delays, delays);
  EXPECT_EQ(ui.m_messages.back().text, "アニメーションGIFを保存しました。");
  v.answerPath.clear();
  v.OnExportVideo();
  EXPECT_EQ(v.request.filterIndex, 4);
  EXPECT_EQ(v.request.defaultExt, "gif");
}

TEST_F(MovieExportTest, OrbitGeocentricExportTurnsOnceWithoutHold)
{
  FilmedOrbitView v;
  ShowInterstellar(v);
  v.OnGeocentricCheck(true);
  v.edits = {{kOrbitIdSpeed, "2"}};
  // Under two track points nothing is asked and nothing is written.
  RecordTrack(1);
  v.answerPath = dir + "geo.mp4";
  v.OnExportVideo();
  EXPECT_EQ(v.asks, 0);
  EXPECT_EQ(ui.m_messages.back().text,
            "地心の軌跡がありません。軌道改良か[計算結果から元期を移動]を実行してから再生してください。");
  EXPECT_FALSE(FileExists(v.answerPath));

  RecordTrack(4);
  v.OnExportVideo();
  EXPECT_EQ(v.request.defaultName.rfind("Geo-1I_2017_U1-Spin2029-Apr-16.0.", 0), 0u) << v.request.defaultName;
  ASSERT_EQ(v.shots.size(), 113u);
  EXPECT_EQ(v.shots.front().spin, 0);
  EXPECT_DOUBLE_EQ(v.shots.back().spin, 360.0 * 112 / 113);
  const DecodedMp4 mp4 = DecodeMp4(v.answerPath);
  EXPECT_EQ(mp4.frames, 113);
  EXPECT_NEAR(mp4.seconds, 113 * 0.04, 1e-9);
  EXPECT_EQ(v.m_dSpin, 0);
}

TEST_F(MovieExportTest, ExtensionFixAsksBeforeOverwritingAndRefusalsSayWhy)
{
  FilmedOrbitView v;
  ShowInterstellar(v);
  v.edits = {{kOrbitIdSpeed, "20"}};
  ASSERT_TRUE(WriteFileAtomic(dir + "clip.mp4", "old"));
  // clip.avi becomes clip.mp4, which exists: "No" keeps the old file.
  v.answerPath = dir + "clip.avi";
  ui.m_scriptedAnswers = {MsgAnswer::No};
  v.OnExportVideo();
  ASSERT_FALSE(ui.m_messages.empty());
  EXPECT_EQ(ui.m_messages.back().caption, "上書きの確認");
  EXPECT_EQ(ui.m_messages.back().text, dir + "clip.mp4\r\nは既にあります。上書きしますか。");
  EXPECT_EQ(Contents(dir + "clip.mp4"), "old");
  ui.m_scriptedAnswers = {MsgAnswer::Yes};
  v.OnExportVideo();
  EXPECT_EQ(DecodeMp4(dir + "clip.mp4").frames, 11 + 75);
  // clip.MP4 stays as it is and is not asked about.
  const size_t asked = ui.m_messages.size();
  v.answerPath = dir + "clip.MP4";
  v.OnExportVideo();
  EXPECT_EQ(ui.m_messages.size(), asked + 1);
  EXPECT_TRUE(FileExists(dir + "clip.MP4"));

  // An empty client area: a message, no file.
  v.w = 0;
  v.answerPath = dir + "empty.mp4";
  v.OnExportVideo();
  EXPECT_NE(ui.m_messages.back().text.find("画面が小さすぎる"), std::string::npos);
  EXPECT_FALSE(FileExists(v.answerPath));
  // No orbit: the save message.
  FilmedOrbitView none;
  none.answerPath = dir + "none.mp4";
  none.OnExportVideo();
  EXPECT_EQ(none.asks, 0);
  EXPECT_EQ(ui.m_messages.back().text, "軌道要素がありません。軌道を計算してから保存してください。");
}

namespace {

// The globe with its animation timer and clock under the test's control.
struct FilmedGlobe : SizedGlobe, ScriptedSaveDialog {
  std::string caption;
  bool timer = false;
  uint32_t now = 1000;
  std::vector<std::pair<double, double>> shots;  // (m_dAnimJd, m_dViewLon)
  double barStart = 0, barEnd = 1;

  void SetAnimationCaption(const std::string& c) override { caption = c; }
  void SetAnimationTimer(bool on) override { timer = on; }
  uint32_t TickCount() const override { return now; }
  bool AskMovieSavePath(const MovieSaveRequest& r, std::string& path, int& index) override
  {
    return Ask(r, path, index);
  }
  void DrawMovieFrame(MovieFrame& f, int, int) override
  {
    shots.push_back({m_dAnimJd, m_dViewLon});
    PaintBar(f, (m_dAnimJd - barStart) / (barEnd - barStart));
  }
};

constexpr double kTc = 2454746.615;  // the closest point of the test path

// A path of 25 points an hour apart, closest at kTc.
void AddPath(CGlobeDlg& g)
{
  for (int i = -12; i <= 12; ++i)
    g.AddTrackPoint(10 + i, 30 + 2 * i, 7000 + 400.0 * std::abs(i), kTc + i / 24.0);
}

} // namespace

TEST_F(MovieExportTest, GlobePathStepsTurnTheViewAndComeBack)
{
  struct Case {
    bool impact;
  } cases[] = {{false}, {true}};
  for (const Case& c : cases) {
    FilmedGlobe g;
    AddPath(g);
    if (c.impact)
      g.SetMarker(1, 21.1, 30.5, 255, "impact");
    const double userLon = g.m_dViewLon, rate = g.RotationRate();
    g.OnAnimate();
    ASSERT_TRUE(g.timer);
    EXPECT_EQ(g.caption, "停止(&M)");
    const double start = kTc - 0.25, end = kTc + 0.25;
    EXPECT_EQ(g.m_dAnimJd, start);
    // Each step is 4.8 minutes and about 1.2 degrees; the view is the user's
    // own turned by the time from the closest approach.
    for (int i = 1; i <= 150; ++i) {
      const double lon = g.m_dViewLon;
      g.OnTimer();
      ASSERT_NEAR(g.m_dAnimJd, start + i * 0.5 / 150, 1e-7);  // days, rounding of JDs summed
      ASSERT_NEAR((g.m_dAnimJd - start) * 1440 / i, 4.8, 1e-6);
      ASSERT_NEAR(std::fabs(NormaliseLongitude(g.m_dViewLon - lon)), 0.5 / 150 * rate, 1e-5);  // degrees
      ASSERT_NEAR(NormaliseLongitude(g.m_dViewLon - (userLon + (kTc - g.m_dAnimJd) * rate)), 0, 1e-6);
    }
    EXPECT_NEAR(0.5 / 150 * rate, 1.2, 0.01);
    g.OnTimer();  // passes the end
    if (c.impact) {
      EXPECT_EQ(g.m_dAnimJd, end);
      EXPECT_EQ(g.m_nAnimHold, 50);
      for (int i = 0; i < 49; ++i)
        g.OnTimer();
      EXPECT_EQ(g.m_dAnimJd, end) << "held for 49 steps";
      g.OnTimer();
    }
    EXPECT_EQ(g.m_dAnimJd, start);
    g.OnTimer();
    g.OnAnimate();
    EXPECT_FALSE(g.timer);
    EXPECT_NEAR(NormaliseLongitude(g.m_dViewLon - userLon), 0, 1e-9);
    EXPECT_EQ(g.m_bAnimating, 0);
  }
}

TEST_F(MovieExportTest, GlobeSpinTurnsWithTheBodyAndStops)
{
  struct Case {
    int body;
    double sign;
  } cases[] = {{2, -1}, {1, +1}, {6, +1}, {4, -1}};  // the Earth, Venus, Uranus, Jupiter
  for (const Case& c : cases) {
    FilmedGlobe g;
    g.SetBody(c.body);
    GlobeCloneTrack t;
    t.m_nKind = 2;
    t.m_dJd = kTc;
    g.AddCloneTrack(t);
    const double userLon = g.m_dViewLon;
    g.OnAnimate();
    ASSERT_EQ(g.m_bSpinning, 1) << c.body;
    g.now += 60;
    g.OnTimer();
    EXPECT_NEAR(g.m_dSpinAngle, c.sign * 2.16, 1e-12) << c.body;
    g.now += 5000;  // a stall counts as one tick
    g.OnTimer();
    EXPECT_NEAR(g.m_dSpinAngle, c.sign * 4.32, 1e-12) << c.body;
    g.OnAnimate();
    EXPECT_FALSE(g.timer);
    EXPECT_NEAR(g.m_dViewLon, userLon, 1e-9);
  }
  // A path arriving stops the spin.
  FilmedGlobe g;
  GlobeCloneTrack t;
  g.AddCloneTrack(t);
  g.OnAnimate();
  AddPath(g);
  g.OnTimer();
  EXPECT_EQ(g.m_bSpinning, 0);
  EXPECT_FALSE(g.timer);
}

TEST_F(MovieExportTest, GlobeClipsDecodeWithTheirFramesAndTheViewIsRestored)
{
  FilmedGlobe g;
  AddPath(g);
  g.SetMarker(1, 21.1, 30.5, 255, "impact");
  g.SetCaption("2008 TC3");
  g.barStart = kTc - 0.25;
  g.barEnd = kTc + 0.25;
  const double userLon = g.m_dViewLon;

  // The frame size: a 600-wide client with a 500-high picture at 1280 wide.
  MovieFrameSettings s;
  CGlobeFrameSource src;
  double jd = 0, lon = 0;
  int anim = 0;
  g.buttonsTop = 500;
  g.h = 540;
  ASSERT_EQ(g.FillGlobeFrameSettings(1280, 225, 40, s, src, jd, lon, anim), 1);
  EXPECT_EQ(s.nOutputWidth, 1280);
  EXPECT_EQ(s.nOutputHeight, 1066);
  EXPECT_EQ(s.nSourceHeight, 540);
  EXPECT_EQ(s.nHoldTime, 3000);
  g.m_bAnimating = anim;  // as the export restores it

  g.answerPath = dir + "path.gif";
  g.answerType = 4;
  g.OnExportVideo();
  EXPECT_EQ(g.request.defaultName, "Globe-2008_TC3-Earth2008-Oct-7.1.mp4");
  const DecodedGif gif = DecodeGif(g.answerPath);
  ASSERT_TRUE(gif.ok);
  ASSERT_EQ(gif.delays.size(), 150u);
  EXPECT_EQ(gif.delays.back(), 300);
  EXPECT_NEAR(BarShare(gif.first), 0, 0.01);
  EXPECT_NEAR(BarShare(gif.last), 1, 0.01);
  // The user's view at the closest approach, the window's ends at the clip's.
  EXPECT_EQ(g.shots[1].first, g.barStart);
  EXPECT_EQ(g.shots.back().first, g.barEnd);
  EXPECT_NEAR(NormaliseLongitude(g.shots[1].second - (userLon + 0.25 * g.RotationRate())), 0, 1e-9);
  EXPECT_EQ(g.m_bAnimating, 0);
  EXPECT_EQ(g.m_dViewLon, userLon);

  g.answerPath = dir + "path.mp4";
  g.answerType = 1;
  g.OnExportVideo();
  const DecodedMp4 mp4 = DecodeMp4(g.answerPath);
  EXPECT_EQ(mp4.frames, 225 + 75);
  EXPECT_EQ(mp4.width, 1280);
  EXPECT_EQ(mp4.height, 1066);
  EXPECT_EQ(TheApp().GetProfileInt("SYSTEM", "GLOBEEXPORTTYPE", 0), 1);

  // A spin of clone tracks: a 10-second turn, no hold.
  FilmedGlobe spin;
  GlobeCloneTrack t;
  t.m_nKind = 2;
  t.m_dJd = CalendarToJd(2024, 1, 21.0);
  spin.AddCloneTrack(t);
  spin.SetCaption("2024 BX1");
  spin.answerPath = dir + "spin.gif";
  spin.answerType = 4;
  spin.OnExportVideo();
  EXPECT_EQ(spin.request.defaultName, "Globe-2024_BX1-Spin2024-Jan-21.0.mp4");
  const DecodedGif sg = DecodeGif(spin.answerPath);
  EXPECT_EQ(sg.delays, std::vector<int>(167, 6));
  ASSERT_EQ(spin.shots.size(), 168u);
  EXPECT_NEAR(NormaliseLongitude(spin.shots.back().second - (spin.m_dViewLon - 360.0 * 166 / 167)), 0, 1e-9);
  spin.answerPath = dir + "spin.mp4";
  spin.answerType = 1;
  spin.OnExportVideo();
  EXPECT_EQ(DecodeMp4(spin.answerPath).frames, 250);

  // Nothing to record: the message; a window too small: a message, no file.
  FilmedGlobe none;
  none.answerPath = dir + "none.mp4";
  none.OnExportVideo();
  EXPECT_EQ(ui.m_messages.back().text, "接近軌跡がありません。元期の移動などで接近軌跡を表示してから保存してください。");
  FilmedGlobe tiny;
  AddPath(tiny);
  tiny.w = 0;
  tiny.answerPath = dir + "tiny.mp4";
  tiny.OnExportVideo();
  EXPECT_NE(ui.m_messages.back().text.find("画面が小さすぎる"), std::string::npos);
  EXPECT_FALSE(FileExists(tiny.answerPath));
}

// The save dialog opens in Documents the first time, then where the last video
// went, for either window's export; a folder that has gone falls back to Documents.
TEST_F(MovieExportTest, SaveDialogOpensWhereTheLastVideoWent)
{
  std::vector<std::string> asked;
  std::string answer;
  const MovieSaveAsk ask = [&](const MovieSaveRequest& r, std::string& path, int& index) {
    asked.push_back(r.defaultDir);
    path = answer;
    index = 1;
    return !answer.empty();
  };
  std::string path;
  int row = 0;
  const std::string videos = MakeTempDir("movie_videos");
  answer = videos + "first.mp4";
  ASSERT_TRUE(ChooseMovieFile("ORBITVIEWEXPORTTYPE", "Orbit", "1I", "Epoch", 2458080.5, ask, path, row));
  answer.clear();  // cancelled: the folder stays
  EXPECT_FALSE(ChooseMovieFile("GLOBEEXPORTTYPE", "Globe", "1I", "Earth", 2458080.5, ask, path, row));
  std::filesystem::remove_all(videos);
  EXPECT_FALSE(ChooseMovieFile("GLOBEEXPORTTYPE", "Globe", "1I", "Earth", 2458080.5, ask, path, row));
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], DocumentsFolder());
  EXPECT_EQ(asked[1], videos);
  EXPECT_EQ(asked[2], DocumentsFolder());
}
