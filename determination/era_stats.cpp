#include "determination/era_stats.h"

#include "astro/angle_units.h"

#include <algorithm>
#include <cmath>

#include "astro/time_scales.h"
#include "data/observation_record.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "platform/numbers.h"

namespace {

constexpr int kMinCount = 5;

// Element k/2 of the k sorted values; 0 for none.
double MedianOf(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int CountOf(const std::vector<EraBin>& bins, int first, int last) {
  int n = 0;
  for (int m = first; m <= last; ++m) n += bins[m].count;
  return n;
}

double MedianOfMedians(const std::vector<EraBin>& bins, int first, int last) {
  std::vector<double> medians;
  for (int m = first; m <= last; ++m) medians.push_back(bins[m].median);
  return MedianOf(medians);
}

bool AnyCounted(const std::vector<EraBin>& bins, int first, int last) {
  for (int m = first; m <= last; ++m)
    if (bins[m].count >= kMinCount) return true;
  return false;
}

void MarkOutliers(std::vector<EraBin>& bins) {
  std::vector<double> medians;
  for (const EraBin& b : bins) medians.push_back(b.median);
  const double overall = MedianOf(medians);
  for (EraBin& b : bins) {
    if (b.count >= kMinCount && b.p90 >= 10.0 && b.p90 >= 6.0 * b.median) b.outlier = 1;
    if (b.count >= 2 && overall > 0 && b.median >= 5.0 * overall && b.median >= 10.0) b.outlier = 1;
  }
}

}  // namespace

void BinResiduals(const ObservationRecord* obs, int count, int years, std::vector<EraBin>& bins) {
  bins.clear();
  if (!obs || count <= 0) return;
  const int w = years == 1 ? 1 : 10;
  std::vector<std::pair<int, double>> values;
  for (int i = 0; i < count && obs[i].m_dJdUtc != -1.0; ++i) {
    const ObservationRecord& o = obs[i];
    if (o.m_nUnknownStation || o.m_bByHand) continue;
    double y = 0, m = 0, d = 0;
    JdToCalendar(o.m_dJdTt, y, m, d);
    const double value = std::max(std::fabs(o.m_dResRa), std::fabs(o.m_dResDec)) * kArcsecPerRad;
    if (!std::isfinite(value)) continue;  // no residual to sort
    values.emplace_back(static_cast<int>(y), value);
  }
  if (values.empty()) return;
  int first = values[0].first, last = values[0].first;
  for (const auto& v : values) {
    first = std::min(first, v.first);
    last = std::max(last, v.first);
  }
  if (w != 1) first -= first % w;
  const int periods = std::min((last - first) / w + 1, kEraMaxBins);
  std::vector<std::vector<double>> byPeriod(static_cast<size_t>(periods));
  for (const auto& v : values) {
    const int index = (v.first - first) / w;
    if (index >= 0 && index < periods) byPeriod[index].push_back(v.second);
  }
  for (int m = 0; m < periods && static_cast<int>(bins.size()) < kEraMaxBins; ++m) {
    std::vector<double>& v = byPeriod[m];
    if (v.empty()) continue;
    std::sort(v.begin(), v.end());
    const int n = static_cast<int>(v.size());
    EraBin b{};
    b.startYear = first + m * w;
    b.endYear = first + (m + 1) * w - 1;
    b.count = n;
    b.median = v[n / 2];
    b.p90 = v[std::min(static_cast<int>(std::floor(n * 0.9)), n - 1)];
    b.pctOver2 = 100.0 * static_cast<double>(std::count_if(v.begin(), v.end(), [](double x) { return x >= 2.0; })) / n;
    b.pctOver5 = 100.0 * static_cast<double>(std::count_if(v.begin(), v.end(), [](double x) { return x >= 5.0; })) / n;
    bins.push_back(b);
  }
  MarkOutliers(bins);
}

double MedianP90(const std::vector<EraBin>& bins, int first, int last) {
  std::vector<double> p90s;
  for (int m = std::max(first, 0); m <= last && m < static_cast<int>(bins.size()); ++m)
    if (bins[m].count >= kMinCount) p90s.push_back(bins[m].p90);
  return MedianOf(p90s);
}

EraProposal FindEraBreak(const std::vector<EraBin>& bins10) {
  EraProposal p;
  const int n = static_cast<int>(bins10.size());
  if (n <= 1) return p;
  int best = -1;
  double bestRatio = 0;
  for (int j = 0; j <= n - 2; ++j) {
    if (CountOf(bins10, 0, j) < kMinCount || CountOf(bins10, j + 1, n - 1) < kMinCount) continue;
    const double older = MedianOfMedians(bins10, 0, j), newer = MedianOfMedians(bins10, j + 1, n - 1);
    if (!(newer > 0)) continue;
    const double ratio = older / newer;
    if (best < 0 || ratio > bestRatio) {
      best = j;
      bestRatio = ratio;
    }
  }
  if (best < 0 || bestRatio < 1.5) return p;
  p.breakYear = bins10[best].endYear;
  const double pOld = AnyCounted(bins10, 0, best) ? MedianP90(bins10, 0, best) : 6.0;
  const double pNew = AnyCounted(bins10, best + 1, n - 1) ? MedianP90(bins10, best + 1, n - 1) : 2.0;
  p.newThreshold = std::max(1.0, std::trunc(pNew + 0.999));
  p.oldThreshold = std::max(p.newThreshold, std::trunc(pOld + 0.999));
  return p;
}

EraTable ComputeEraTable(const CDetermination& view, int yearly) {
  EraTable t;
  const DetClass* det = view.m_pDetClass;
  const ObservationRecord* obs = det ? det->m_pOrbObs : nullptr;
  const int count = det ? det->m_nObsCount : 0;
  BinResiduals(obs, count, yearly ? 1 : 10, t.bins);
  if (yearly)
    BinResiduals(obs, count, 10, t.bins10);
  else
    t.bins10 = t.bins;
  t.proposal = FindEraBreak(t.bins10);
  const double m = view.m_pEngine ? view.m_pEngine->m_dMeanResidual : 0.0;
  if (t.bins.empty()) {
    t.summary = "集計できる観測がありません。先に軌道改良を行って残差を求めてください。";
  } else if (m > 5.0) {
    t.summary = FormatC("【まだ読めません】平均残差が %.1f\" あり、軌道が観測に合っていません。"
                        "この表の残差は観測の質ではなく軌道の誤差を映しているため、時代の違いが出ません。"
                        "改良を収束させてから開き直してください。",
                        m);
  } else {
    t.summary = FormatC("%d期間に分けて集計しました(%s)。", static_cast<int>(t.bins.size()),
                        yearly ? "1年ごと" : "10年ごと");
    t.summary += t.proposal.breakYear > 0
                     ? FormatC("  測った結果、境目は %d年、しきい値は %.0f\" / %.0f\" が目安です。",
                               t.proposal.breakYear, t.proposal.oldThreshold, t.proposal.newThreshold)
                     : std::string("  時代による精度の段差ははっきりしません(1つのしきい値で足ります)。");
  }
  t.canApply = t.proposal.breakYear > 0 && m <= 5.0;
  return t;
}

const EraColumn kEraColumnInfo[kEraColumns] = {
    {"期間", 0, 76}, {"観測数", 1, 52}, {"中央値", 1, 52}, {"90%点", 1, 52},
    {"2\"以上", 1, 48}, {"5\"以上", 1, 48}, {"所見", 0, 46},
};

const char* const kEraExplanation =
    "中央値はその時代のふつうの観測の残差、90%点はしきい値の目安です(平均は少数の巨大な残差に引きずられるので使いません)。"
    "\r\n観測技術の進歩はなだらかなので中央値もなだらかに下がります。そこに単年だけ突出した年があれば、"
    "観測の精度ではなく天体の側の事情(彗星ならアウトバーストで像が拡散した年)が疑われます。"
    "[年ごと]に切り替えて、光度式の画面でその年の光度と見比べてください。";

std::string EraCellText(const EraBin& bin, int column) {
  switch (column) {
  case 0:
    return bin.startYear == bin.endYear ? FormatC("%d年", bin.startYear)
                                        : FormatC("%d-%d", bin.startYear, bin.endYear);
  case 1: return FormatC("%d", bin.count);
  case 2: return FormatC("%.2f", bin.median);
  case 3: return FormatC("%.2f", bin.p90);
  case 4: return FormatC("%.0f%%", bin.pctOver2);
  case 5: return FormatC("%.0f%%", bin.pctOver5);
  case 6: return bin.outlier ? "突出" : "";
  default: return "";
  }
}

void ShowRejectThresholds(CDetermination& view, int year, double oldThreshold, double newThreshold) {
  view.SetItemText(kIdRejectYear, FormatC("%d", year));
  view.SetItemText(kIdRejectOld, FormatC("%.1f", oldThreshold));
  view.SetItemText(kIdRejectNew, FormatC("%.1f", newThreshold));
}
