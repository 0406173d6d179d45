#include "neocp/view_orbit_search.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "data/element_file.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "ephemeris/ident_catalogue.h"
#include "neocp/known_catalogues.h"
#include "neocp/known_match.h"
#include "neocp/scan_dlg.h"
#include "neocp/scan_files.h"
#include "neocp/scan_run_end.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

constexpr size_t kBlockBytes = size_t(1) << 20;
constexpr size_t kMaxLineChars = 1023;

// A difference in radians reduced into (-180, 180] degrees.
double SignedDegrees(double radians)
{
  double d = std::fmod(radians, 2 * kPi);
  if (d <= 0)
    d += 2 * kPi;
  d *= kDegPerRad;
  return d > 180 ? d - 360 : d;
}

} // namespace

bool CloseOrbitDistance(const CloseOrbitList& list, const ElementRecord& r, double& closeness)
{
  if (!(r.m_dQ > 0) || !(r.m_dE >= 0) || r.m_dE >= 1)
    return false;
  const double incl = r.m_dIncl * kRadPerDeg;
  const double de = (list.e - r.m_dE) / 0.02;
  const double dq = (list.q - r.m_dQ) / 0.02;
  const double di = (list.incl - incl) * kDegPerRad;
  const double dnode = SignedDegrees(list.node - r.m_dNode * kRadPerDeg);
  const double dperi = SignedDegrees(list.peri - r.m_dPeri * kRadPerDeg);
  const double s = std::max(0.05, std::sin((list.incl + incl) / 2));
  closeness = std::sqrt(de * de + dq * dq + di * di + (s * dnode) * (s * dnode) + dperi * dperi);
  return true;
}

int OrbitCloseness(CloseOrbitList& list, const ElementRecord& r, int comet)
{
  double closeness = 0;
  if (!CloseOrbitDistance(list, r, closeness) || !(closeness <= kCloseOrbitLimit))
    return 1;
  int at = 0;
  while (at < list.count && !(list.entries[at].closeness > closeness))
    ++at;
  if (at >= kCloseOrbitMax)
    return 1;
  const int last = std::min(list.count, kCloseOrbitMax - 1);
  for (int i = last; i > at; --i)
    list.entries[i] = list.entries[i - 1];
  if (list.count < kCloseOrbitMax)
    ++list.count;

  CloseOrbitCandidate& c = list.entries[at];
  c.designation = std::string(TrimSpace(r.m_szKey));
  c.name = std::string(TrimSpace(r.m_szName));
  if (c.name.empty())
    c.name = c.designation;
  c.closeness = closeness;
  c.q = r.m_dQ;
  c.e = r.m_dE;
  c.peri = r.m_dPeri * kRadPerDeg;
  c.node = r.m_dNode * kRadPerDeg;
  c.incl = r.m_dIncl * kRadPerDeg;
  c.comet = comet;
  if (comet || r.m_dM == 0 || !(r.m_dA > 0))
    c.T = r.m_dEpoch;
  else
    c.T = r.m_dEpoch - r.m_dM * kRadPerDeg / (kGaussK / std::pow(r.m_dA, 1.5));
  return 1;
}

int ReadCatalogueBlocks(const std::string& path, int64_t& fileSize,
                        const std::function<bool(std::string_view, int64_t)>& onLine)
{
  fileSize = 0;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file)
    return 0;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    fileSize = std::ftell(file.get());
    std::rewind(file.get());
  }
  std::unique_ptr<char[]> block(new (std::nothrow) char[kBlockBytes]);
  if (!block)
    return 0;
  std::string line;
  line.reserve(kMaxLineChars);
  int64_t taken = 0;
  size_t n;
  while ((n = std::fread(block.get(), 1, kBlockBytes, file.get())) > 0) {
    for (size_t i = 0; i < n; ++i) {
      const char ch = block[i];
      if (ch == '\n') {
        if (!onLine(line, taken + int64_t(i) + 1))
          return 1;
        line.clear();
      } else if (ch != '\r' && line.size() < kMaxLineChars) {
        line += ch;
      }
    }
    taken += int64_t(n);
  }
  if (std::ferror(file.get()))
    return 0;
  if (!line.empty())
    onLine(line, taken);
  return 1;
}

std::string FormatViewOrbitHeading(std::time_t now, const std::string& name, double T, const CloseOrbitList& list,
                                   double periodYears)
{
  return FormatC("―― 軌道計算の画面の軌道で探す %s ――\r\n  取り込んだ軌道: %s  T=%.5f q=%.6f AU e=%.6f ω=%.4f° "
                 "Ω=%.4f° i=%.4f°  公転周期 %.2f年\r\n",
                 FormatLocalTime(now, "%Y/%m/%d %H:%M:%S").c_str(), name.c_str(), T, list.q, list.e,
                 list.peri * kDegPerRad, list.node * kDegPerRad, list.incl * kDegPerRad, periodYears);
}

std::string FormatCloseOrbitLine(int number, const CloseOrbitCandidate& c, const CloseOrbitList& list, double T,
                                 double periodYears)
{
  const double revolutions = periodYears > 0 ? (c.T - T) / (periodYears * 365.25) : 0;
  return FormatC("   %2d. %s%-28s (%s)  近さ %.2f   Δq=%+.4f Δe=%+.4f Δω=%+.2f° ΔΩ=%+.2f° Δi=%+.2f°   "
                 "近日点通過は %+.2f 回ぶん違い\r\n",
                 number, c.comet ? "彗星 " : "", c.name.c_str(), c.designation.c_str(), c.closeness, c.q - list.q,
                 c.e - list.e, SignedDegrees(c.peri - list.peri), SignedDegrees(c.node - list.node),
                 (c.incl - list.incl) * kDegPerRad, revolutions);
}

// ---- the search of the dialog ----

std::time_t CNeocpScanDlg::WallClockNow() const
{
  return m_fnWallClock ? m_fnWallClock() : std::time(nullptr);
}

void CNeocpScanDlg::OnSearchByViewOrbit()
{
  if (m_bRunning || !m_pView || !m_pView->m_pEngine)
    return;
  OrbitEngine* engine = m_pView->m_pEngine;
  if (engine->m_bBusy || engine->m_bAutoRunning) {
    Ui().ShowMessage("", kMatchBusyMessage, MsgIcon::None, MsgButtons::Ok);
    return;
  }
  const ElementBlock& el = engine->m_state.m_el;
  if (!(el.m_dQ > 0) || !(el.m_dE >= 0) || el.m_dE >= 1) {
    Ui().ShowMessage(kViewOrbitCaption, kViewOrbitNotElliptic, MsgIcon::Information, MsgButtons::Ok);
    return;
  }
  const std::string mpcorb = FindMpcorbFile();
  if (mpcorb.empty()) {
    Ui().ShowMessage(kViewOrbitCaption, kMatchNoMpcorbMessage, MsgIcon::Information, MsgButtons::Ok);
    return;
  }
  std::string cometNote;
  const std::string comets = FindCometElementsFile(cometNote);

  auto list = std::make_unique<CloseOrbitList>();
  list->q = el.m_dQ;
  list->e = el.m_dE;
  list->peri = el.m_dPeri;
  list->node = el.m_dNode;
  list->incl = el.m_dIncl;
  const double T = el.m_dT;
  std::string name(TrimSpace(m_pView->m_strObjectName));
  if (name.empty())
    name = kViewOrbitUnnamed;
  const double period = std::pow(list->q / (1 - list->e), 1.5);

  BeginScanRun();
  ScanRunEnd runEnd(*this, engine);
  SetProgressRange(100);
  SetProgressPos(0);
  const uint32_t start = NowMs();
  AppendLog(FormatViewOrbitHeading(WallClockNow(), name, T, *list, period));
  if (!cometNote.empty())
    AppendLog("  " + cometNote + "\r\n");

  ElementRecord record;
  int64_t compared = 0;
  bool stopped = false;
  bool unreadable = false;
  bool cometUnreadable = false;
  for (int pass = 0; pass < 2 && !stopped && !unreadable; ++pass) {
    if (pass == 1 && comets.empty())
      break;
    m_strReadingFile = pass == 0 ? kMpcorbFileName : kCometElementsFileName;
    int64_t size = 0;
    const int read = ReadCatalogueBlocks(pass == 0 ? mpcorb : comets, size, [&](std::string_view line, int64_t taken) {
      if (pass == 0) {
        if (!IsMpcorbLine(line))
          return true;
        ParseMpcorbLine(&record, line);
      } else if (!ParseCometElementLine(line, &record)) {
        return true;
      }
      ++compared;
      OrbitCloseness(*list, record, pass);
      if (compared % kCloseOrbitProgressRecords != 0)
        return true;
      if (m_bAbort) {
        stopped = true;
        return false;
      }
      const int percent = size > 0 ? static_cast<int>(taken * 100 / size) : 0;
      SetProgressPos(percent);
      SetStatusText(FormatC("取り込んだ軌道に近い既知天体を探しています: %s を読んでいます... %d%%",
                            m_strReadingFile.c_str(), percent));
      StartObjectClock();
      PumpMessages();
      return true;
    });
    if (!read) {
      // The asteroid candidates stay listed when only the comet list fails.
      if (pass == 0)
        unreadable = true;
      else
        cometUnreadable = true;
    }
  }

  if (unreadable) {
    AppendLog("  軌道要素のファイルを読めませんでした。\r\n");
  } else if (list->count > 0) {
    AppendLog("  軌道の近い既知天体(近い順。近日点通過時刻は比べていないので、公転周期の整数倍だけ離れていれば"
              "同じ天体の別の出現でありうる):\r\n");
    for (int j = 0; j < list->count; ++j)
      AppendLog(FormatCloseOrbitLine(j + 1, list->entries[j], *list, T, period));
  } else {
    AppendLog("  軌道の近い既知天体はありませんでした(この天体は、まだどこにも登録されていないようです)。\r\n");
  }
  if (cometUnreadable)
    AppendLog("  軌道要素のファイルを読めませんでした(AllCometEls.txt。彗星との照合は飛ばしました)。\r\n");

  m_strSearchSummary.clear();
  if (!stopped)
    SearchItf(engine, name, list->count);

  runEnd.End();
  if (stopped || unreadable)
    compared = 0;
  AppendLog(FormatC("―― 探索を%s  比べた既知の天体 %lld個  軌道の近い候補 %d個  所要 %.0f秒 ――\r\n",
                    stopped ? "中止" : "終了", static_cast<long long>(compared), list->count,
                    (NowMs() - start) / 1000.0));
  if (stopped)
    SetStatusText("中止しました。");
  else if (!m_strSearchSummary.empty())
    SetStatusText(m_strSearchSummary);
  else
    SetStatusText(FormatC("%s の軌道に近い既知天体は %d個でした(記録の欄を参照)", name.c_str(), list->count));
  UpdateControls();
}
