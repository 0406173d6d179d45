// The globe's animation (the object flying its approach path over the
// turning body, or a spin of the clone tracks) and its export as a video.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "astro/time_scales.h"
#include "platform/app_services.h"
#include "views/globe.h"

namespace {

constexpr const char* kNoPath =
    "接近軌跡がありません。元期の移動などで接近軌跡を表示してから保存してください。";

} // namespace

double NormaliseLongitude(double lonDeg)
{
  while (lonDeg > 180)
    lonDeg -= 360;
  while (lonDeg < -180)
    lonDeg += 360;
  return lonDeg;
}

uint32_t CGlobeDlg::TickCount() const
{
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CGlobeDlg::StopAnimation()
{
  SetAnimationTimer(false);
  if (m_bSpinning) {
    m_dViewLon = WrapLongitude(m_dViewLon - m_dSpinAngle);
    m_bSpinning = 0;
    m_dSpinAngle = 0;
  } else {
    m_dViewLon = WrapLongitude(m_dViewLon - m_dAnimLonShift);
    m_bAnimating = 0;
    m_dAnimLonShift = 0;
  }
  SetAnimationCaption("アニメ(&M)");
  Redraw();
}

void CGlobeDlg::OnAnimate()
{
  if (m_bSpinning || m_bAnimating) {
    StopAnimation();
    return;
  }
  if (SpinsClones()) {
    m_bSpinning = 1;
    m_dwSpinTick = TickCount();
    m_dSpinAngle = 0;
  } else {
    double start = 0, end = 0, tc = 0;
    if (!GetPathWindow(start, end) || !FindClosestPathPoint(tc))
      return;
    m_nAnimHold = 0;
    m_dAnimJd = m_dAnimPrevJd = start;
    m_dAnimLonShift = (tc - start) * RotationRate();
    m_dViewLon = WrapLongitude(m_dViewLon + m_dAnimLonShift);
    m_bAnimating = 1;
  }
  SetAnimationCaption("停止(&M)");
  SetAnimationTimer(true);
}

void CGlobeDlg::OnTimer()
{
  if (m_bSpinning) {
    if (!SpinsClones()) {
      StopAnimation();
      return;
    }
    const uint32_t now = TickCount();
    uint32_t dt = now - m_dwSpinTick;
    if (dt > 240)
      dt = 60;
    m_dwSpinTick = now;
    const double e = SpinSign() * 36 * dt / 1000.0;
    m_dSpinAngle = std::fmod(m_dSpinAngle + e, 360.0);
    m_dViewLon = WrapLongitude(m_dViewLon + e);
    Redraw();
    return;
  }
  if (!m_bAnimating)
    return;
  double start = 0, end = 0;
  if (!GetPathWindow(start, end)) {
    StopAnimation();
    return;
  }
  double t = m_dAnimJd;
  if (m_nAnimHold < 1) {
    const double step = (end - start) / 150;
    t = m_dAnimJd + step;
    // Summed steps pass the end by a rounding at the 150th: that is the end itself.
    if (t > end && t < end + 1e-3 * step)
      t = end;
    if (t > end) {
      if (m_bMarker) {
        t = end;
        m_nAnimHold = 50;
      } else {
        t = start;
      }
    }
  } else if (m_nAnimHold-- >= 2) {
    return;  // the picture holds at the impact
  } else {
    t = start;
  }
  m_dAnimJd = t;
  const double e = (t - m_dAnimPrevJd) * -RotationRate();
  m_dViewLon = NormaliseLongitude(m_dViewLon + e);
  m_dAnimLonShift += e;
  m_dAnimPrevJd = t;
  Redraw();
}

int CGlobeDlg::FillGlobeFrameSettings(int w, int count, int intervalMs, MovieFrameSettings& s,
                                      CGlobeFrameSource& source, double& savedJd, double& savedLon,
                                      int& savedAnimating)
{
  double start = 0, end = 0;
  const bool bPath = GetPathWindow(start, end) != 0;
  if (!bPath && !SpinsClones())
    return 0;
  int W = 0, H = 0;
  ClientSize(W, H);
  if (!FillMovieFrameSettings(W, H, GetPictureHeight(), w, count, intervalMs, m_bMarker ? 3000 : 0, s))
    return 0;
  savedAnimating = m_bAnimating;
  savedJd = m_dAnimJd;
  savedLon = m_dViewLon;
  source.m_pView = this;
  source.m_bSpin = bPath ? 0 : 1;
  if (!bPath) {
    s.nHoldTime = 0;
    s.nFrameCount = int(10000.0 / intervalMs + 0.5);  // one turn in 10 s
    source.m_dStartLon = m_dViewLon - m_dSpinAngle;
    source.m_dStartJd = source.m_dEndJd = source.m_dRefJd = 0;
    return 1;
  }
  m_bAnimating = 1;  // the frames show the moving object
  source.m_dStartJd = start;
  source.m_dEndJd = end;
  source.m_dStartLon = m_dViewLon - m_dAnimLonShift;
  double tc = 0;
  source.m_dRefJd = FindClosestPathPoint(tc) ? tc : (start + end) / 2;
  return 1;
}

void CGlobeDlg::OnExportVideo()
{
  double start = 0, end = 0;
  const bool bPath = GetPathWindow(start, end) != 0;
  if (!bPath && !SpinsClones()) {
    ShowMovieExportMessage(GlobeBodyOf(m_nBody).title, kNoPath);
    return;
  }
  std::string kind;
  double jd = 0;
  if (bPath) {
    kind = GlobeBodyOf(m_nBody).english;
    if (!FindClosestPathPoint(jd))
      jd = (start + end) / 2;
  } else {
    kind = "Spin";
    const GlobeCloneTrack* pick = nullptr;
    for (int i = 0; i < m_nCloneTrackCount && !pick; ++i)
      if (m_pCloneTracks[size_t(i)].m_nKind == 2)
        pick = &m_pCloneTracks[size_t(i)];
    jd = (pick ? pick : &m_pCloneTracks[0])->m_dJd;
    if (!(jd > 0)) {
      const std::time_t now = std::time(nullptr);
      std::tm t{};
      localtime_r(&now, &t);
      jd = CalendarToJd(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) +
           (t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec) / 86400.0;
    }
  }
  std::string path;
  int row = 1;
  const MovieSaveAsk ask = [this](const MovieSaveRequest& r, std::string& p, int& i) {
    return AskMovieSavePath(r, p, i);
  };
  if (!ChooseMovieFile("GLOBEEXPORTTYPE", "Globe", m_strCaption, kind, jd, ask, path, row))
    return;
  const MovieExportType& type = g_aMovieExportTypes[row - 1];
  MovieFrameSettings s;
  CGlobeFrameSource source;
  double savedJd = 0, savedLon = 0;
  int savedAnimating = 0;
  if (!FillGlobeFrameSettings(type.nWidth, type.bGif ? 150 : 225, type.bGif ? 60 : 40, s, source, savedJd, savedLon,
                              savedAnimating)) {
    int w = 0, h = 0;
    ClientSize(w, h);
    ShowMovieExportMessage(GlobeBodyOf(m_nBody).title,
                           "画面が小さすぎるため動画を保存できません(" + std::to_string(w) + "×" +
                               std::to_string(h) + ")。");
    return;
  }
  std::string error;
  bool cancelled = false, ok = false;
  {
    ScopedWaitCursor busy;
    ok = type.bGif ? WriteGifAnimation(path, source, s, &error, &cancelled)
                   : WriteMp4Movie(path, source, s, &error, &cancelled);
  }
  ExportFinished();
  m_bAnimating = savedAnimating;
  m_dAnimJd = savedJd;
  m_dViewLon = savedLon;
  Redraw();
  ShowMovieExportResult(GlobeBodyOf(m_nBody).title, ok, type.bGif != 0, cancelled, error);
}

void CGlobeFrameSource::PrepareFrame(int index, int count)
{
  CGlobeDlg& v = *m_pView;
  if (m_bSpin) {
    v.m_dViewLon = WrapLongitude(m_dStartLon + v.SpinSign() * 360.0 * index / std::max(1, count));
    return;
  }
  const double t = m_dStartJd + (m_dEndJd - m_dStartJd) * index / std::max(1, count - 1);
  v.m_dAnimJd = t;
  v.m_dViewLon = NormaliseLongitude(m_dStartLon - (t - m_dRefJd) * v.RotationRate());
}

void CGlobeFrameSource::DrawFrame(MovieFrame& frame, int width, int height)
{
  m_pView->DrawMovieFrame(frame, width, height);
}
