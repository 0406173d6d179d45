// The orbit diagram's animation (a heliocentric pass up to the reference
// time, or one geocentric turn) and its export as a video.
#include <algorithm>
#include <cstdlib>

#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "views/orbit_view.h"

namespace {

constexpr const char* kNoTrack =
    "地心の軌跡がありません。軌道改良か[計算結果から元期を移動]を実行してから再生してください。";
constexpr const char* kNoElementsPlay = "軌道要素がありません。軌道を計算してから再生してください。";
constexpr const char* kNoElementsSave = "軌道要素がありません。軌道を計算してから保存してください。";

int TrackCount()
{
  return GeoTrackBuffer::Instance().m_nCount;
}

} // namespace

void COrbitViewDlg::ReadAnimationEdits()
{
  long days = std::strtol(AnimationEditText(kOrbitIdDaysBack).c_str(), nullptr, 10);
  if (days < 1)
    days = 60;
  m_nDaysBack = int(std::min(days, 100000L));
  SetAnimationEditText(kOrbitIdDaysBack, FormatC("%d", m_nDaysBack));
  double speed = StringToDouble(AnimationEditText(kOrbitIdSpeed));
  if (!(speed >= 0.1))
    speed = 2;
  m_dSpeed = std::min(speed, 20.0);
  SetAnimationEditText(kOrbitIdSpeed, FormatC("%g", m_dSpeed));
}

void COrbitViewDlg::StopAnimation()
{
  SetAnimationTimer(false);
  m_bAnimating = 0;
  m_nHoldTicks = 0;
  m_dSpin = 0;
  SetAnimationCaption("アニメ(&M)");
  Redraw();
}

void COrbitViewDlg::OnAnimation()
{
  if (m_bAnimating) {
    StopAnimation();
    return;
  }
  ReadAnimationEdits();
  if (m_bGeocentric) {
    if (TrackCount() < 2) {
      ShowMovieExportMessage(kOrbitViewTitle, kNoTrack);
      return;
    }
    m_dSpin = 0;
  } else {
    if (!m_bHasObject || !(ReferenceJd() > 0)) {
      ShowMovieExportMessage(kOrbitViewTitle, kNoElementsPlay);
      return;
    }
    m_dAnimJd = ReferenceJd() - m_nDaysBack;
  }
  m_bAnimating = 1;
  m_nHoldTicks = 0;
  SetAnimationCaption("停止(&M)");
  SetAnimationTimer(true);
}

void COrbitViewDlg::OnTimer()
{
  if (!m_bAnimating)
    return;
  if (m_bGeocentric) {
    if (TrackCount() < 2) {
      StopAnimation();
      return;
    }
    m_dSpin += 2.4 * m_dSpeed;
    if (m_dSpin >= 360) {
      StopAnimation();  // one full turn
      return;
    }
    Redraw();
    return;
  }
  const double ref = ReferenceJd();
  if (!m_bHasObject || !(ref > 0)) {
    StopAnimation();
    return;
  }
  const double start = ref - m_nDaysBack;
  if (m_nHoldTicks > 0) {
    if (--m_nHoldTicks > 0)
      return;
    m_dAnimJd = start;
  } else {
    const double step = (ref - start) / 150 * m_dSpeed;
    m_dAnimJd += step;
    // Summed steps fall short of the end by a rounding; that is the end too.
    if (m_dAnimJd >= ref - 1e-3 * step) {
      m_dAnimJd = ref;
      m_nHoldTicks = 50;
    }
  }
  Redraw();
}

int COrbitViewDlg::ExportFrameCount(bool bGif, double speed)
{
  const int n = int((bGif ? 150 : 225) / speed + 0.5);
  return std::clamp(n, 10, bGif ? 1500 : 2250);
}

void COrbitViewDlg::OnExportVideo()
{
  ReadAnimationEdits();
  if (!m_bHasObject || !(ReferenceJd() > 0)) {
    ShowMovieExportMessage(kOrbitViewTitle, kNoElementsSave);
    return;
  }
  // A turn about an empty track has nothing to show, and its file would be
  // named from a track time that does not exist: refused before the dialog.
  double first = 0, last = 0;
  if (m_bGeocentric && (TrackCount() < 2 || !GeoTrackBuffer::Instance().TimeRange(first, last))) {
    ShowMovieExportMessage(kOrbitViewTitle, kNoTrack);
    return;
  }
  std::string path;
  int row = 1;
  const MovieSaveAsk ask = [this](const MovieSaveRequest& r, std::string& p, int& i) {
    return AskMovieSavePath(r, p, i);
  };
  if (!ChooseMovieFile("ORBITVIEWEXPORTTYPE", m_bGeocentric ? "Geo" : "Orbit", m_strName,
                       m_bGeocentric ? "Spin" : "Epoch", m_bGeocentric ? last : ReferenceJd(), ask, path, row))
    return;
  const MovieExportType& type = g_aMovieExportTypes[row - 1];
  const double end = m_bGeocentric ? 0 : ReferenceJd();
  COrbitFrameSource source(this, m_bGeocentric ? 0 : end - m_nDaysBack, end);
  int w = 0, h = 0;
  ClientSize(w, h);
  MovieFrameSettings s;
  if (!FillMovieFrameSettings(w, h, std::max(40, std::min(h, ControlsTop())), type.nWidth,
                              ExportFrameCount(type.bGif != 0, m_dSpeed), type.bGif ? 60 : 40,
                              m_bGeocentric ? 0 : 3000, s)) {
    ShowMovieExportMessage(kOrbitViewTitle, FormatC("画面が小さすぎるため動画を保存できません(%d×%d)。", w, h));
    return;
  }
  const int savedAnimating = m_bAnimating, savedAtRest = m_bAtRest;
  const double savedAnimJd = m_dAnimJd, savedSpin = m_dSpin;
  m_bAnimating = 1;
  m_bExporting = 1;
  std::string error;
  bool cancelled = false, ok = false;
  {
    ScopedWaitCursor busy;
    ok = type.bGif ? WriteGifAnimation(path, source, s, &error, &cancelled)
                   : WriteMp4Movie(path, source, s, &error, &cancelled);
  }
  ExportFinished();
  m_bExporting = 0;
  m_bAnimating = savedAnimating;
  m_dAnimJd = savedAnimJd;
  m_bAtRest = savedAtRest;
  m_dSpin = savedSpin;
  Redraw();
  ShowMovieExportResult(kOrbitViewTitle, ok, type.bGif != 0, cancelled, error);
}

void COrbitFrameSource::PrepareFrame(int index, int count)
{
  COrbitViewDlg& v = *m_pView;
  if (v.m_bGeocentric) {
    v.m_dSpin = index * 360.0 / std::max(count, 1);
    v.m_bAtRest = 0;
    return;
  }
  v.m_dAnimJd = m_dStartJd + (m_dEndJd - m_dStartJd) * index / (count > 1 ? count - 1 : 1);
  v.m_bAtRest = index == count - 1 ? 1 : 0;
}

void COrbitFrameSource::DrawFrame(MovieFrame& frame, int width, int height)
{
  m_pView->DrawMovieFrame(frame, width, height);
}
