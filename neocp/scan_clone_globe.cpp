// Button 1535: the clone tracks of the screening, read back from the row's
// clone-track file and handed to the globe.
#include <string>
#include <vector>

#include "astro/frames.h"
#include "engine/tool_sinks.h"
#include "neocp/earth_screening.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "platform/ui_services.h"

namespace {

constexpr const char* kCloneGlobeCaption = "地球儀にクローンを表示";

void ShowCloneGlobeMessage(const std::string& text)
{
  Ui().ShowMessage(kCloneGlobeCaption, text, MsgIcon::Information, MsgButtons::Ok);
}

GlobeCloneTrack ToGlobeTrack(const CloneTrackRecord& r)
{
  GlobeCloneTrack t;
  t.m_nKind = r.nominal ? 2 : (r.impact ? 1 : 0);
  t.m_bPlausible = r.plausible;
  int n = r.track.count < 0 ? 0 : r.track.count;
  if (n > kApproachTrackMax)
    n = kApproachTrackMax;
  t.m_nPoints = n;
  t.m_dJd = r.jd;
  for (int i = 0; i < n; ++i) {
    t.m_adMinutes[i] = r.track.minutes[i];
    t.m_adLat[i] = r.track.lat[i];
    t.m_adLon[i] = r.track.lon[i];
    t.m_adKm[i] = r.track.km[i];
  }
  return t;
}

} // namespace

void CNeocpScanDlg::OnShowClonesOnGlobe()
{
  if (m_bRunning)
    return;
  const int index = GetSelectedRow();
  if (index < 0 || m_pRows[index].clones_path.empty())
    return;
  const NeocpScanRow& row = m_pRows[index];
  std::string text;
  if (!ReadUtf8File(row.clones_path, text)) {
    ShowCloneGlobeMessage("地球儀用の記録を読めませんでした。\r\n" + row.clones_path);
    return;
  }
  std::vector<CloneTrackRecord> recs;
  if (!ParseGlobeCloneTracks(text, recs)) {
    ShowCloneGlobeMessage("地球儀用の記録の形式が違います。\r\n" + row.clones_path);
    return;
  }
  if (recs.empty()) {
    ShowCloneGlobeMessage(row.desig + " は、名目軌道もクローン" + std::to_string(row.n_valid) +
                          "本も、月の軌道の内側まで来ませんでした。\r\n"
                          "地球儀は月の軌道より外を映せないので、出せるものがありません。");
    return;
  }
  CloneGlobeView view;
  PrepareCloneGlobeView(row, recs, view);
  GlobeSink* globe = ToolSinks().OpenGlobe();
  if (!globe)
    return;
  globe->ResetContents();
  globe->SetBody(kBodyEarth);
  globe->SetOrbitElements(row.tpass, row.qdis, row.ecc, row.peri, row.node, row.inc);
  if (view.subSolarValid)
    globe->SetSubSolar(1, view.subSolarLat, view.subSolarLon);
  if (view.apexValid)
    globe->SetApex(1, view.apexLat, view.apexLon);
  globe->SetCaption(view.caption);
  for (const CloneTrackRecord& r : recs)
    globe->AddCloneTrack(ToGlobeTrack(r));
  globe->SetSubCaption(view.info);
  globe->ShowGlobe();
  SetStatusText(view.status);
}
