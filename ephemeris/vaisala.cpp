// The Väisälä view without its window: reading the file, the candidate
// families of both modes, the chosen orbit and the hand-over to the search
// range.
#include "ephemeris/vaisala.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/registry/window_registry.h"
#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "data/comet_list.h"
#include "data/designation.h"
#include "data/observation_reader.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "resources/info_topics.h"

namespace {

constexpr int kEllipseDistances = 14;   // 0.25 ... 3.50 AU
constexpr int kParabolaDistances = 197; // 0.1 ... 5.0 AU

double EllipseDistance(int i) { return 0.25 * (i + 1); }
double ParabolaDistance(int i) { return 0.1 + 0.025 * i; }
// The probes' distances on their 0.1 AU grid, exactly as written (0.9, not 0.9000000000000001).
double ProbeDistance(const VaisalaProbe& p, int i) { return std::round((p.firstDelta + p.step * i) * 100.0) / 100.0; }

void Message(const std::string& text) { Ui().ShowMessage("Tessarune", text, MsgIcon::Warning, MsgButtons::Ok); }

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

}  // namespace

CVaisala::CVaisala(bool bRegister) : m_bRegistered(bRegister) {
  if (m_bRegistered) OpenWindows().m_pVaisala = this;
}

CVaisala::~CVaisala() {
  std::free(m_pOrbObs);
  if (m_bRegistered && OpenWindows().m_pVaisala == this) OpenWindows().m_pVaisala = nullptr;
}

void CVaisala::OnOpenObsFile() {
  std::string path;
  if (!AskObsFile(path)) {
    SetFrameTitle("");
    return;
  }
  OpenObsFile(path);
}

bool CVaisala::OpenObsFile(const std::string& path) {
  SetFrameTitle(path);
  szObsFile = path;
  if (path.empty()) return false;
  ObservationRecord* obs = nullptr;
  const int result = CTessaruneLib::GetMpcObs(path, &obs);
  if (result < 0) {
    switch (result) {
    case -1: Message("観測ファイルを開くことができませんでした。"); break;
    case -2:
      Message("観測所コードファイル(Stations.txt)を開くことができませんでした。\r"
              "[オプション]→[環境設定]でファイルの場所を確認してください。");
      break;
    case -3:
      Message(CTessaruneLib::SunPositionRefusal());
      break;
    default:
      Message("未定義のエラーが発生しました。\rresult = CTessaruneLib::GetMpcObs(szObsFile, &m_pOrbObs))");
      break;
    }
    szObsFile.clear();
    return false;
  }
  std::free(m_pOrbObs);
  m_pOrbObs = obs;
  int count = 0;
  while (m_pOrbObs[count].m_dJdUtc != -1.0) ++count;
  m_nObs = count;

  // The names in file order, before the sort.
  std::vector<std::string> packed;
  for (int i = 0; i < count; ++i) {
    const std::string desig(m_pOrbObs[i].m_szDesig, strnlen(m_pOrbObs[i].m_szDesig, 12));
    if (std::find(packed.begin(), packed.end(), desig) != packed.end()) continue;
    if (static_cast<int>(packed.size()) == kMaxDesignations) break;
    packed.push_back(desig);
  }
  m_strName.clear();
  for (const std::string& p : packed) {
    std::string name = UnpackDesignation(p);
    AppendCometName(p, name);
    if (!m_strName.empty()) m_strName += " = ";
    m_strName += Trim(name);
  }

  std::stable_sort(m_pOrbObs, m_pOrbObs + count,
                   [](const ObservationRecord& a, const ObservationRecord& b) { return a.m_dJdTt < b.m_dJdTt; });
  m_nFirst = 0;
  m_nLast = count - 1;
  ComputeVaisalaCandidates();
  return true;
}

void CVaisala::OnElliptic() {
  m_bParabolic = 0;
  ComputeVaisalaCandidates();
}

void CVaisala::OnParabolic() {
  m_bParabolic = 1;
  ComputeVaisalaCandidates();
}

VaisalaObservations CVaisala::Inputs() const {
  VaisalaObservations in;
  const ObservationRecord& a = m_pOrbObs[m_nFirst];
  const ObservationRecord& b = m_pOrbObs[m_nLast];
  in.t1 = a.m_dJdTt;
  in.t2 = b.m_dJdTt;
  in.ra1 = a.m_dRa;
  in.dec1 = a.m_dDec;
  in.ra2 = b.m_dRa;
  in.dec2 = b.m_dDec;
  for (int i = 0; i < 3; ++i) {
    in.sun1[i] = a.m_dSun[i];
    in.sun2[i] = b.m_dSun[i];
  }
  return in;
}

VaisalaOrbit CVaisala::OrbitAt(double delta) const {
  return m_bParabolic ? VaisalaParabola(delta, Inputs()) : VaisalaEllipse(delta, Inputs());
}

void CVaisala::ClearResults() {
  m_candidateLines.clear();
  m_nCandidateSel = -1;
  m_nCandidateTop = 0;
  m_residualLines.clear();
  m_strText.clear();
  m_strEpochField.clear();
  m_strCandidates.clear();
  m_nCandidates = 0;
  m_nChosen = -1;
  m_nDistances = 0;
  m_chosen[3] = -1.0;
}

void CVaisala::SetChosen(const VaisalaOrbit& o) {
  const double values[9] = {o.T, o.q, o.e, o.peri, o.node, o.incl, o.M, o.a, o.epoch};
  std::copy(values, values + 9, m_chosen);
  if (m_bParabolic) m_chosen[2] = 1.0, m_chosen[6] = m_chosen[7] = m_chosen[8] = -1.0;
}

void CVaisala::ShowOrbit(const VaisalaOrbit& o) {
  m_residualLines.clear();
  for (int i = 0; i < m_nObs; ++i)
    m_residualLines.push_back(VaisalaResidualLine(m_pOrbObs[i], o.T, o.q, o.e, o.peri, o.node, o.incl));
  m_strText = FormatVaisalaElements(m_strName, o.epoch, o.T, o.q, o.e, o.peri, o.node, o.incl, o.a) + "\r\n\r\n" +
              JoinLines(m_residualLines) + "\r\n\r\n" + m_strCandidates;
}

void CVaisala::ComputeVaisalaCandidates() {
  if (!m_pOrbObs || m_nObs < 2) return;
  // Nothing of an earlier calculation survives into this one.
  ClearResults();
  if (m_pOrbObs[m_nFirst].m_dJdTt == m_pOrbObs[m_nLast].m_dJdTt) {
    m_strText = kVaisalaSameInstant;
    ShowResults();
    return;
  }
  const double selected = m_bParabolic ? ComputeParabolic() : ComputeElliptic();
  if (selected < 0) {
    ShowResults();
    return;
  }
  const VaisalaOrbit orbit = OrbitAt(selected);
  if (orbit.Failed()) {
    ShowResults();
    return;
  }
  SetChosen(orbit);
  ShowOrbit(orbit);
  if (!m_bParabolic) {
    double y, m, d;
    const int month = JdToCalendar(orbit.epoch, y, m, d);
    m_strEpochField = FormatC("%d %s %4.1f\r\nTT = JDT %9.1f", static_cast<int>(y), g_aszMonthAbbrev[month - 1], d,
                              orbit.epoch);
  }
  ShowResults();
  if (m_nCandidates > 0)
    if (SearchRangeSink* sink = ToolSinks().SearchRange()) HandFamilyToSearchRange(*sink);
}

int PickProbeIndex(const VaisalaProbe& probe, const std::vector<VaisalaOrbit>& orbits) {
  int best = -1;
  double bestOff = 0;
  for (int i = 0; i < static_cast<int>(orbits.size()); ++i) {
    const VaisalaOrbit& o = orbits[i];
    const double incl = o.incl * kDegPerRad;
    const double off = std::fabs(o.a - probe.aTarget);
    if (o.Failed() || o.a < probe.aMin || o.a > probe.aMax || o.e > probe.eMax || incl < probe.inclMinDeg ||
        incl > probe.inclMaxDeg || !(off < probe.aTolerance))
      continue;
    if (best < 0 || off < bestOff) best = i, bestOff = off;
  }
  return best;
}

int PickEllipseIndex(const std::vector<VaisalaOrbit>& orbits) {
  const int n = static_cast<int>(orbits.size());
  auto pickInClass = [&](bool nearPerihelion) {
    std::vector<int> members;
    for (int i = 0; i < n; ++i) {
      const VaisalaOrbit& o = orbits[i];
      if (!(o.a > 2.15 && o.a < 3.4 && o.e < 0.4)) continue;
      if ((o.M < 20 || o.M > 340) == nearPerihelion) members.push_back(i);
    }
    if (members.empty()) return -1;
    for (int i : members)
      if (orbits[i].e < 0.15) return i;
    for (int i : members)
      if (orbits[i].e < 0.2) return i;
    for (auto it = members.rbegin(); it != members.rend(); ++it)
      if (orbits[*it].e < 0.3) return *it;
    return members.back();
  };
  int pick = pickInClass(true);
  if (pick < 0) pick = pickInClass(false);
  for (double limit : {0.2, 0.4, 0.6, 1.0}) {
    if (pick >= 0) break;
    for (int i = n - 1; i >= 0 && pick < 0; --i)
      if (orbits[i].e < limit) pick = i;
  }
  return pick;
}

double CVaisala::ComputeElliptic() {
  const VaisalaObservations in = Inputs();
  for (const VaisalaProbe& probe : kVaisalaProbes) {
    std::vector<VaisalaOrbit> orbits;
    for (int i = 0; i < probe.count; ++i) orbits.push_back(VaisalaEllipse(ProbeDistance(probe, i), in));
    const int hit = PickProbeIndex(probe, orbits);
    // A family hit: that distance alone, no candidate list.
    if (hit >= 0) return ProbeDistance(probe, hit);
  }
  std::vector<VaisalaOrbit> orbits;
  for (int i = 0; i < kEllipseDistances; ++i) orbits.push_back(VaisalaEllipse(EllipseDistance(i), in));
  const int pick = PickEllipseIndex(orbits);
  if (pick < 0) return -1;

  for (int i = 0; i < kEllipseDistances; ++i) {
    const VaisalaOrbit& o = orbits[i];
    if (!(o.q > 0 && o.q < 100 && o.e >= 0 && o.e < 900 && (o.a == 0 || (o.a > 0 && o.a < 999)))) continue;
    const double delta = EllipseDistance(i);
    if (m_nCandidates < kMaxCandidates) {
      if (i == pick) m_nChosen = m_nCandidates;
      m_candidates[m_nCandidates++] = {delta, o.T, o.q, o.e, o.peri, o.node, o.incl};
    }
    double M = std::fmod((o.epoch - o.T) * kGaussK / std::pow(o.a, 1.5) / kTwoPi, 1.0) * kTwoPi;
    if (M <= 0) M += kTwoPi;
    std::string line = FormatC("delta:%4.2f M:%6.2f q:%4.2f e:%4.2f peri:%6.2f node:%6.2f inc:%6.2f a:%4.2f", delta,
                               M * kDegPerRad, o.q, o.e, o.peri * kDegPerRad, o.node * kDegPerRad,
                               o.incl * kDegPerRad, o.a);
    if (i == pick) {
      line += "  (*)";
      m_nCandidateSel = static_cast<int>(m_candidateLines.size());
    }
    m_candidateLines.push_back(line);
    if (m_nDistances < kMaxCandidates) m_distances[m_nDistances++] = delta;
  }
  if (m_candidateLines.empty()) {
    m_candidateLines.push_back(kVaisalaNoCandidate);
    m_strCandidates = std::string(kVaisalaNoCandidate) + "\r\n";
  } else {
    m_strCandidates = JoinLines(m_candidateLines);
  }
  return EllipseDistance(pick);
}

double CVaisala::ComputeParabolic() {
  const VaisalaObservations in = Inputs();
  const ObservationRecord& second = m_pOrbObs[m_nFirst + 1];
  double bestResidual = 10000;
  int bestLine = -1;
  double bestDelta = -1;
  for (int i = 0; i < kParabolaDistances; ++i) {
    const double delta = ParabolaDistance(i);
    const VaisalaOrbit o = VaisalaParabola(delta, in);
    if (!(o.e <= 900 && o.q > 0 && o.q < 100)) continue;
    double P[3], Q[3], dRa, dDec;
    OrbitOrientationVectors(o.peri, o.node, o.incl, P, Q);
    if (!VaisalaObservedMinusComputed(second, o.T, o.q, 1.0, P, Q, dRa, dDec)) continue;
    const double residual = std::hypot(dRa, dDec) * kArcsecPerRad;
    if (i % 4 == 0 && m_nCandidates < kMaxCandidates)
      m_candidates[m_nCandidates++] = {delta, o.T, o.q, 1.0, o.peri, o.node, o.incl};
    m_candidateLines.push_back(FormatC("Delta = %6.3f    Residual = %f", delta, residual));
    if (m_nDistances < kMaxCandidates) m_distances[m_nDistances++] = delta;
    if (residual < bestResidual) {
      bestResidual = residual;
      bestLine = static_cast<int>(m_candidateLines.size()) - 1;
      bestDelta = delta;
      m_nChosen = m_nCandidates - 1;
    }
  }
  if (bestLine < 0) {
    m_strCandidates = JoinLines(m_candidateLines);
    m_strText = kVaisalaNoBestLine;
    return -1;
  }
  m_candidateLines[bestLine] += "  (*)";
  m_strCandidates = JoinLines(m_candidateLines);
  m_nCandidateSel = bestLine;
  m_nCandidateTop = bestLine < 5 ? 0 : bestLine - 4;
  return bestDelta;
}

void CVaisala::OnCandidateSelect(int index) {
  if (index < 0 || index >= m_nDistances) return;
  const VaisalaOrbit orbit = OrbitAt(m_distances[index]);
  if (orbit.Failed()) return;
  m_nCandidateSel = index;
  ShowOrbit(orbit);
  SetChosen(orbit);
  ShowResults();
}

void CVaisala::HandFamilyToSearchRange(SearchRangeSink& sink) {
  const double lastTT = m_pOrbObs && m_nObs > 0 ? m_pOrbObs[m_nLast].m_dJdTt : 0.0;
  sink.SetVaisalaFamily(MakeSearchRangeFamily(m_strName, m_candidates, m_nCandidates, m_nChosen, lastTT));
}

void CVaisala::OnSearchRange() {
  if (m_nCandidates <= 0) {
    Message(kVaisalaNoFamily);
    return;
  }
  // Opened (and shown) when none is; nothing while the window is not in this build.
  if (SearchRangeSink* sink = ToolSinks().OpenSearchRange()) HandFamilyToSearchRange(*sink);
}

DisplayOrbit CVaisala::ChosenOrbit() const {
  DisplayOrbit o;
  o.m_dT = m_chosen[0];
  o.m_dQ = m_chosen[1];
  o.m_dE = m_chosen[2];
  o.m_dPeri = m_chosen[3];
  o.m_dNode = m_chosen[4];
  o.m_dIncl = m_chosen[5];
  o.m_dEpoch = m_chosen[8] > 0 ? m_chosen[8] : 0;
  o.m_strName = m_strName;
  o.m_bValid = o.m_dQ > 0;
  return o;
}

const char* const kVaisalaHelpText = kTopicVaisala.text;

const char* const kVaisalaRangeHelpText = kTopicVaisalaRange.text;
