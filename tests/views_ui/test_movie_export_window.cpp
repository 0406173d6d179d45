// The animations and the video export of the orbit diagram and the globe in
// the running program: each window opened by its command, its animation
// button pressed on and off, and its video button answered through a double of the save
// dialog; the files are decoded and their first and last frames compared
// with the windows' own pictures of the same states, drawn the way the copy
// button draws them.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/textctrl.h>

#include "app/registry/window_registry.h"
#include "determination/determination_display.h"
#include "determination/solution_file.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/data/test_observation_support.h"
#include "tests/determination_ui/dialog_watch.h"
#include "tests/determination_ui/view_session.h"
#include "tests/engine/test_improvement_support.h"
#include "tests/platform_video/movie_decode.h"
#include "views/ui/globe_wnd.h"
#include "views/ui/orbit_view_wnd.h"
#include "views/ui/wx_scene_canvas.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180;

COrbitViewWnd* Orbit()
{
  return dynamic_cast<COrbitViewWnd*>(OpenWindows().m_pOrbitViewDlg);
}

CGlobeWnd* Globe()
{
  return dynamic_cast<CGlobeWnd*>(OpenWindows().m_pGlobeDlg);
}

std::string ButtonLabel(wxWindow* w, int id)
{
  wxWindow* b = w->FindWindow(id);
  return b ? b->GetLabel().utf8_string() : std::string();
}

// 1I as the orbit-determination view hands it over.
void PublishInterstellar()
{
  DisplayOrbit o;
  o.m_dT = 2458006.0073;
  o.m_dQ = 0.255240;
  o.m_dE = 1.201133;
  o.m_dPeri = 241.8105 * kDeg;
  o.m_dNode = 24.5997 * kDeg;
  o.m_dIncl = 122.7417 * kDeg;
  o.m_dEpoch = 2458080.5;
  o.m_strName = "1I/2017 U1";
  o.m_bValid = 1;
  ToolSinks().OrbitDiagram()->ShowOrbit(o, "", {}, false);
}

// An approach ending in an impact, as the engine writes it: a path of 25
// points over six hours descending to the surface, and the impact marker.
constexpr double kImpactJd = 2454746.6146;
void PublishImpact()
{
  GlobeSink* g = ToolSinks().Globe();
  g->ResetContents();
  g->SetCaption("2008 TC3");
  for (int i = 0; i <= 24; ++i) {
    const double f = i / 24.0;
    g->AddTrackPoint(8 + 13.1 * f, 5 + 25.5 * f, 60000 - (60000 - 6378.137) * f * f, kImpactJd - 0.25 + 0.25 * f);
  }
  g->SetMarker(1, 21.1, 30.5, 0x0000FF, "衝突");
  g->SetSubSolar(1, -5.8, 138.0);
  g->ShowGlobe();
}

RgbPicture Picture(const wxImage& img)
{
  RgbPicture p;
  p.width = img.GetWidth();
  p.height = img.GetHeight();
  p.rgb.assign(img.GetData(), img.GetData() + size_t(p.width) * p.height * 3);
  return p;
}

wxImage ToImage(const RgbPicture& p)
{
  wxImage img(p.width, p.height);
  std::copy(p.rgb.begin(), p.rgb.end(), img.GetData());
  return img;
}

void SaveFrame(const RgbPicture& p, const std::string& name)
{
  ToImage(p).SaveFile(ToWx(ScreenshotDir() + name + ".png"), wxBITMAP_TYPE_PNG);
}

// The orbit diagram's picture of frame i of n of a heliocentric export, at
// the output size, drawn the way the copy button draws it.
RgbPicture OrbitDirect(const MovieFrameSettings& s, int i, int n, double startJd, double endJd)
{
  COrbitViewWnd* w = Orbit();
  const int animating = w->m_bAnimating, atRest = w->m_bAtRest;
  const double jd = w->m_dAnimJd;
  w->m_bAnimating = w->m_bExporting = 1;
  COrbitFrameSource(w, startJd, endJd).PrepareFrame(i, n);
  const wxBitmap bmp = DrawSceneBitmap(
      s.nOutputWidth, s.nOutputHeight, nullptr,
      [&](ISceneCanvas& c) { w->DrawScene(c, s.nSourceWidth, s.nSourceHeight); }, s.fScale);
  w->m_bExporting = 0;
  w->m_bAnimating = animating, w->m_bAtRest = atRest, w->m_dAnimJd = jd;
  return Picture(bmp.ConvertToImage());
}

RgbPicture GlobeDirect(const MovieFrameSettings& s, int i, int n)
{
  CGlobeWnd* g = Globe();
  CGlobeFrameSource src;
  MovieFrameSettings unused;
  double jd = 0, lon = 0;
  int animating = 0;
  g->FillGlobeFrameSettings(s.nOutputWidth, n, s.nFrameInterval, unused, src, jd, lon, animating);
  src.PrepareFrame(i, n);
  const wxBitmap bmp = DrawSceneBitmap(
      s.nOutputWidth, s.nOutputHeight, nullptr,
      [&](ISceneCanvas& c) { g->DrawGlobe(c, s.nSourceWidth, s.nSourceHeight); }, s.fScale);
  g->m_bAnimating = animating, g->m_dAnimJd = jd, g->m_dViewLon = lon;
  return Picture(bmp.ConvertToImage());
}

// The save dialog's double: answers with the next path and 0-based type,
// and keeps what the window asked.
struct SaveAnswers {
  std::vector<std::pair<std::string, int>> answers;
  std::vector<MovieSaveRequest> requests;
  bool Ask(const MovieSaveRequest& r, std::string& path, int& index)
  {
    requests.push_back(r);
    if (requests.size() > answers.size())
      return false;
    path = answers[requests.size() - 1].first;
    index = answers[requests.size() - 1].second + 1;
    return true;
  }
};

bool SavedMessage(const ViewSession& s, const char* text)
{
  return !s.m_ui.m_messages.empty() && s.m_ui.m_messages.back().text == text;
}

// 2008 TC3's orbit fitted to its file without windows, as the impact test
// fits it, written as a solution file in dir; empty (why says so) when the
// fit failed.
std::string FitTc3Solution(const std::string& obsFile, const std::string& dir, std::string& why)
{
  HeadlessUiServices ui;
  ScopedUi scopedUi(ui);
  HeadlessToolSinks sinks;
  ScopedToolSinks scopedSinks(sinks);
  JplReaderScope jpl(dir + "no-de441.bin", TestDataPath("de/lnxp1960p2060.405"));
  const std::string stations = WriteTestFile(dir, "stations.txt", StationLinesFromObsCodesPage());
  CDeterminationDisplay view;
  const int count = LoadSessionObservations(view, obsFile, stations);
  ScopedStationsFile scopedStations(stations);
  const ObservationRecord* obs = view.m_pDetClass->m_pOrbObs;
  const double first = obs[0].m_dJdTt, last = obs[count - 1].m_dJdTt;
  const bool picked = PickAndDetermine(view, first, last - 0.05 * (last - first));
  const int twoBody = picked ? ImproveTwoBody(view, 20) : -100;
  const int fitted = twoBody == 0 ? FitImpactor(view, first, last) : -100;
  why = std::to_string(picked) + " " + std::to_string(twoBody) + " " + std::to_string(fitted) + " " +
        view.m_pEngine->m_strMessage;
  const std::string path = dir + "2008TC3.IMP";
  return fitted == 0 && WriteSolutionFileForBatch(view, path, view.m_pEngine->m_state, "", 0) ? path : "";
}

} // namespace

TEST(MovieExportWindow, OrbitDiagramAndGlobeAnimateAndExportThroughTheirButtons)
{
  ViewSession session("movie_export");
  const std::string dir = MakeTempDir("movie_window");
  SaveAnswers save;
  save.answers = {{dir + "orbit.avi", 0}, {dir + "orbit.gif", 3}, {dir + "globe", 3}};
  SetMovieSaveDialogDouble([&save](const MovieSaveRequest& r, std::string& p, int& i) { return save.Ask(r, p, i); });
  double animJd = 0, userLon = 0;
  std::string captionRunning, captionStopped, globeCaption;
  MovieFrameSettings orbitMp4, globeGif;
  RgbPicture orbitFirst, orbitLast, globeFirst, globeLast;
  int globeSpinning = 0;
  DecodedMp4 mp4;
  DecodedGif gif, globeClip;
  std::vector<ViewStep> steps = {
      {"view open", nullptr, [] { return ViewSession::View() != nullptr; }},
      {"open 軌道図", [] { ViewSession::PostCommand(ID_ORBIT_VIEW); },
       [] { return Orbit() && Orbit()->IsShownOnScreen(); }},
      {"publish 1I", [] { PublishInterstellar(); }, [] { return Orbit()->m_bHasObject == 1; }, 30, 0.3},
      {"click アニメ", [] { ViewSession::ClickButtonOf(Orbit(), kOrbitIdAnimation); },
       [&] {
         captionRunning = ButtonLabel(Orbit(), kOrbitIdAnimation);
         return Orbit()->m_bAnimating && Orbit()->m_dAnimJd > 2458080.5 - 60 + 10;
       }},
      {"screenshot moving", [&] {
         animJd = Orbit()->m_dAnimJd;
         ViewSession::SaveScreenshot(Orbit(), "movie_orbit_animating");
       },
       nullptr},
      {"click 停止", [] { ViewSession::ClickButtonOf(Orbit(), kOrbitIdAnimation); },
       [&] {
         captionStopped = ButtonLabel(Orbit(), kOrbitIdAnimation);
         return !Orbit()->m_bAnimating;
       }},
      {"click 動画保存 and answer MP4", [] { ViewSession::ClickButtonOf(Orbit(), 1477); },
       [&] { return SavedMessage(session, "MP4を保存しました。"); }, 120},
      {"direct pictures of the MP4's ends", [&] {
         int w = 0, h = 0;
         Orbit()->ClientSize(w, h);
         FillMovieFrameSettings(w, h, h, 1280, 113, 40, 3000, orbitMp4);
         orbitFirst = OrbitDirect(orbitMp4, 0, 113, 2458080.5 - 60, 2458080.5);
         orbitLast = OrbitDirect(orbitMp4, 112, 113, 2458080.5 - 60, 2458080.5);
       },
       nullptr},
      {"click 動画保存 and answer GIF", [] { ViewSession::ClickButtonOf(Orbit(), 1477); },
       [&] { return SavedMessage(session, "アニメーションGIFを保存しました。"); }, 120},
      {"open 地球儀", [] { ViewSession::PostCommand(ID_GLOBE); }, [] { return Globe() != nullptr; }},
      {"publish the impact", [] { PublishImpact(); },
       [] { return Globe()->IsShownOnScreen() && Globe()->m_nPathCount == 25; }, 30, 0.3},
      {"click the globe's アニメ", [&] {
         userLon = Globe()->m_dViewLon;
         ViewSession::ClickButtonOf(Globe(), 1364);
       },
       [&] {
         globeCaption = ButtonLabel(Globe(), 1364);
         return Globe()->m_bAnimating && Globe()->m_dAnimJd > kImpactJd - 0.25 + 0.05;
       }},
      {"screenshot flying", [] { ViewSession::SaveScreenshot(Globe(), "movie_globe_animating"); }, nullptr},
      {"click the globe's 停止", [] { ViewSession::ClickButtonOf(Globe(), 1364); },
       [] { return !Globe()->m_bAnimating; }},
      {"click the globe's 動画保存 and answer GIF", [&] {
         session.m_ui.m_messages.clear();
         ViewSession::ClickButtonOf(Globe(), 1365);
       },
       [&] { return SavedMessage(session, "アニメーションGIFを保存しました。"); }, 180},
      {"direct pictures of the GIF's ends", [&] {
         int w = 0, h = 0;
         Globe()->ClientSize(w, h);
         FillMovieFrameSettings(w, h, Globe()->GetPictureHeight(), 640, 150, 60, 3000, globeGif);
         globeFirst = GlobeDirect(globeGif, 0, 150);
         globeLast = GlobeDirect(globeGif, 149, 150);
       },
       nullptr},
      {"clone tracks without a path", [] {
         GlobeSink* g = ToolSinks().Globe();
         g->ResetContents();
         for (int k = -3; k <= 3; ++k) {
           GlobeCloneTrack t;
           t.m_nKind = k == 0 ? 2 : 0;
           t.m_nPoints = 2;
           t.m_dJd = kImpactJd;
           t.m_adMinutes[0] = -30, t.m_adMinutes[1] = 0;
           t.m_adLat[0] = 10 + k, t.m_adLat[1] = 20 + k;
           t.m_adLon[0] = 20, t.m_adLon[1] = 30 + 2 * k;
           t.m_adKm[0] = 20000, t.m_adKm[1] = 9000;
           g->AddCloneTrack(t);
         }
       },
       [] { return Globe()->m_nCloneTrackCount == 7; }},
      {"click アニメ to spin", [] { ViewSession::ClickButtonOf(Globe(), 1364); },
       [&] {
         globeSpinning = Globe()->m_bSpinning;
         return Globe()->m_bSpinning && std::fabs(Globe()->m_dSpinAngle) > 10;
       }},
      {"screenshot spinning", [] { ViewSession::SaveScreenshot(Globe(), "movie_globe_spinning"); }, nullptr},
      {"click 停止 after the spin", [] { ViewSession::ClickButtonOf(Globe(), 1364); },
       [] { return !Globe()->m_bSpinning; }},
      {"decode the files and keep their ends", [&] {
         mp4 = DecodeMp4(dir + "orbit.mp4");
         gif = DecodeGif(dir + "orbit.gif");
         globeClip = DecodeGif(dir + "globe.gif");
         SaveFrame(mp4.first, "movie_orbit_mp4_first");
         SaveFrame(mp4.last, "movie_orbit_mp4_last");
         SaveFrame(orbitLast, "movie_orbit_direct_last");
         SaveFrame(globeClip.first, "movie_globe_gif_first");
         SaveFrame(globeClip.last, "movie_globe_gif_last");
       },
       nullptr},
  };
  ASSERT_TRUE(session.Run({}, std::move(steps)));
  SetMovieSaveDialogDouble(nullptr);
  ASSERT_EQ(save.requests.size(), 3u);
  EXPECT_EQ(save.requests[0].defaultName, "Orbit-1I_2017_U1-Epoch2017-Nov-23.0.mp4");
  EXPECT_EQ(save.requests[1].filterIndex, 1);
  EXPECT_EQ(save.requests[2].defaultName, "Globe-2008_TC3-Earth2008-Oct-7.1.mp4");
  EXPECT_EQ(session.FailedSteps(), "");
  EXPECT_EQ(captionRunning, "停止(&M)");
  EXPECT_EQ(captionStopped, "アニメ(&M)");
  EXPECT_EQ(globeCaption, "停止(&M)");
  EXPECT_EQ(globeSpinning, 1);

  // The orbit diagram's MP4: clip.avi became clip.mp4, 113 frames and the hold.
  ASSERT_TRUE(mp4.ok);
  EXPECT_EQ(mp4.width, 1280);
  EXPECT_EQ(mp4.height % 2, 0);
  EXPECT_EQ(mp4.height, orbitMp4.nOutputHeight);
  EXPECT_EQ(mp4.profile, 100);
  EXPECT_DOUBLE_EQ(mp4.fps, 25);
  EXPECT_EQ(mp4.frames, 188);
  EXPECT_NEAR(mp4.seconds, 7.52, 1e-9);
  std::printf("PSNR orbit MP4 first %.1f dB, last %.1f dB; globe GIF first %.1f dB, last %.1f dB\n", Psnr(orbitFirst, mp4.first),
              Psnr(orbitLast, mp4.last), Psnr(globeFirst, globeClip.first), Psnr(globeLast, globeClip.last));
  EXPECT_GT(Psnr(orbitFirst, mp4.first), 30);
  EXPECT_GT(Psnr(orbitLast, mp4.last), 30);
  EXPECT_LT(Psnr(orbitFirst, mp4.last), Psnr(orbitLast, mp4.last)) << "the last frame is not the first";

  ASSERT_TRUE(gif.ok);
  EXPECT_EQ(gif.width, 640);
  EXPECT_EQ(gif.delays.size(), 75u);
  EXPECT_EQ(gif.delays.back(), 300);
  EXPECT_EQ(gif.loop, 0);
  EXPECT_EQ(session.Setting("ORBITVIEWEXPORTTYPE"), "4");

  // The globe's GIF: "globe" got its extension; 150 frames, held at the impact.
  ASSERT_TRUE(globeClip.ok);
  EXPECT_EQ(globeClip.width, 640);
  EXPECT_EQ(globeClip.height, globeGif.nOutputHeight);
  EXPECT_EQ(globeClip.delays.size(), 150u);
  EXPECT_EQ(globeClip.delays.back(), 300);
  EXPECT_GT(Psnr(globeFirst, globeClip.first), 30);
  EXPECT_GT(Psnr(globeLast, globeClip.last), 30);
  EXPECT_EQ(session.Setting("GLOBEEXPORTTYPE"), "4");
}

// A geocentric turn of a real approach, on 2008 TC3's orbit fitted to its
// file with the improvement steps and then restored from its solution file:
// the clip's first frame is the window's picture at the output size, and the
// track spans a good part of it rather than shrinking to a streak in a black
// frame (a picture comparison alone passed a scale ten times too small).
TEST(MovieExportWindow, GeocentricClipOfARealApproachShowsTheTrackAsTheWindowDoes)
{
  TSR_REQUIRE_DATA(obsFile, "obs/mpc80/neosjl_2008TC3.txt");
  ViewSession session("movie_geocentric");
  const std::string dir = MakeTempDir("movie_geocentric");
  SaveAnswers save;
  save.answers = {{dir + "geo.gif", 3}};
  SetMovieSaveDialogDouble([&save](const MovieSaveRequest& r, std::string& p, int& i) { return save.Ask(r, p, i); });
  MovieFrameSettings settings;
  RgbPicture direct;
  DecodedGif clip;
  int loaded = -2;
  std::string fitCodes, nextFolder;
  DialogWatch<wxFileDialog> saveDialog;
  const std::string solution = FitTc3Solution(obsFile, dir, fitCodes);
  ASSERT_FALSE(solution.empty()) << fitCodes;
  auto view = [] { return ViewSession::View(); };
  std::vector<ViewStep> steps = {
      {"loaded", nullptr, [view] { return view() && view()->m_pEngine->m_nCalcState == kCalcLoaded; }},
      {"restore the solution", [&] { loaded = LoadSolutionFile(*view(), solution); }, nullptr},
      {"open 軌道図", [] { ViewSession::PostCommand(ID_ORBIT_VIEW); },
       [] { return Orbit() && Orbit()->IsShownOnScreen(); }, 30, 0.5},
      {"click 地心", [] { ViewSession::ClickButtonOf(Orbit(), 1479); }, [] { return Orbit()->m_bGeocentric == 1; },
       30, 0.5},
      {"screenshot", [] { ViewSession::SaveScreenshot(Orbit(), "movie_geocentric_window"); }, nullptr},
      {"click 動画保存 and answer GIF", [] { ViewSession::ClickButtonOf(Orbit(), 1477); },
       [&] { return SavedMessage(session, "アニメーションGIFを保存しました。"); }, 120},
      {"direct picture of the first frame", [&] {
         int w = 0, h = 0;
         Orbit()->ClientSize(w, h);
         const int n = COrbitViewDlg::ExportFrameCount(true, Orbit()->m_dSpeed);
         FillMovieFrameSettings(w, h, h, 640, n, 60, 0, settings);
         direct = OrbitDirect(settings, 0, n, 0, 0);
         clip = DecodeGif(dir + "geo.gif");
         SaveFrame(clip.first, "movie_geocentric_gif_first");
       },
       nullptr},
      // The real save dialog the next time: it opens where the clip went.
      {"click 動画保存 again", [] {
         SetMovieSaveDialogDouble(nullptr);
         ViewSession::ClickButtonOf(Orbit(), 1477);
       },
       [&] { return saveDialog.m_pOpen != nullptr; }, 30},
      {"read its folder", [&] {
         nextFolder = FromWx(saveDialog.m_pOpen->GetDirectory());
         ViewSession::SaveScreen("movie_save_dialog_again");
         saveDialog.m_pOpen->EndModal(wxID_CANCEL);
       },
       [&] { return saveDialog.m_pOpen == nullptr; }, 10, 0.5},
  };
  saveDialog.Register();
  ASSERT_TRUE(session.Run({"dev", obsFile}, std::move(steps)));
  saveDialog.Unregister();
  SetMovieSaveDialogDouble(nullptr);
  EXPECT_EQ(session.FailedSteps(), "");
  ASSERT_EQ(loaded, 0);
  ASSERT_GT(GeoTrackBuffer::Instance().m_nCount, 100);
  ASSERT_TRUE(clip.ok);
  EXPECT_EQ(clip.width, 640);
  EXPECT_EQ(clip.height, settings.nOutputHeight);
  EXPECT_GT(Psnr(direct, clip.first), 30) << "the clip is not the window's picture";
  // The track's yellow pixels: their box spans a fifth of the frame at least.
  int x0 = clip.width, x1 = -1, y0 = clip.height, y1 = -1;
  for (int y = 60; y < clip.height; ++y)
    for (int x = 0; x < clip.width; ++x) {
      const uint8_t* p = &clip.first.rgb[3 * (size_t(y) * clip.width + x)];
      if (p[0] > 150 && p[1] > 130 && p[2] < 110)
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  EXPECT_GT(std::max(x1 - x0, y1 - y0), clip.width / 5) << x0 << ".." << x1 << ", " << y0 << ".." << y1;
  EXPECT_EQ(nextFolder, dir);
}
