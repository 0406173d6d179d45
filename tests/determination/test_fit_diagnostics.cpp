// The fit diagnostics on small fixtures made here: station statistics
// against a recomputation, their flags, the table's order and summary, the
// station commands; era bins, the break proposal; the non-gravitational
// verdict and its report.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "astro/time_scales.h"
#include "determination/determination_display.h"
#include "determination/era_stats.h"
#include "determination/nongrav_check.h"
#include "determination/station_stats.h"
#include "determination/det_form.h"
#include "platform/ui_services.h"

namespace {

constexpr double kArcsec = M_PI / 180.0 / 3600.0;

struct FixtureObs {
  const char* code;
  double ra, dec;  // arcsec
  int rejected = 0, unknown = 0, byHand = 0;
  int year = 2001;
};

std::vector<ObservationRecord> MakeObs(const std::vector<FixtureObs>& list) {
  std::vector<ObservationRecord> obs(list.size() + 1);
  for (size_t i = 0; i < list.size(); ++i) {
    ObservationRecord& o = obs[i];
    std::memset(&o, 0, sizeof o);
    std::strncpy(o.m_szStation, list[i].code, 3);
    o.m_dJdTt = o.m_dJdUtc = CalendarToJd(list[i].year, 6, 15.0 + static_cast<double>(i % 10));
    o.m_dResRa = list[i].ra * kArcsec;
    o.m_dResDec = list[i].dec * kArcsec;
    o.m_bRejected = static_cast<unsigned char>(list[i].rejected);
    o.m_nUnknownStation = list[i].unknown;
    o.m_bByHand = static_cast<unsigned char>(list[i].byHand);
    o.m_dWeight = 1.0;
  }
  std::memset(&obs.back(), 0, sizeof(ObservationRecord));
  obs.back().m_dJdUtc = -1.0;
  return obs;
}

// The fixture's records as the view's observations (count without the end record).
void SetViewObs(CDeterminationDisplay& view, const std::vector<ObservationRecord>& obs) {
  auto* records = static_cast<ObservationRecord*>(std::calloc(obs.size(), sizeof(ObservationRecord)));
  std::memcpy(records, obs.data(), obs.size() * sizeof(ObservationRecord));
  std::free(view.m_pDetClass->m_pOrbObs);
  view.m_pDetClass->m_pOrbObs = records;
  view.m_pDetClass->m_nObsCount = static_cast<int>(obs.size()) - 1;
}

// n observations of a station whose mean offset is bias at angle (degrees
// from north through east), with a spread of ±spread around it.
void AddStation(std::vector<FixtureObs>& list, const char* code, int n, double bias, double angle,
                double spread = 0.5) {
  const double ra = bias * std::sin(angle * M_PI / 180), dec = bias * std::cos(angle * M_PI / 180);
  for (int i = 0; i < n; ++i) {
    const double s = (i % 2 ? spread : -spread) * (n % 2 && i == n - 1 ? 0 : 1);
    list.push_back({code, ra + s, dec - s});
  }
}

std::vector<StationResidualStats> Stats(const std::vector<ObservationRecord>& obs, double mean,
                                        std::vector<unsigned char>* flags = nullptr) {
  const int n = static_cast<int>(obs.size()) - 1;
  std::vector<StationResidualStats> stats(static_cast<size_t>(n));
  std::vector<unsigned char> f(static_cast<size_t>(n));
  stats.resize(static_cast<size_t>(ComputeStationResidualStats(obs.data(), n, mean, stats.data(), f.data())));
  if (flags) *flags = f;
  return stats;
}

const StationResidualStats* Find(const std::vector<StationResidualStats>& stats, const std::string& code) {
  for (const auto& s : stats)
    if (code == s.code) return &s;
  return nullptr;
}

TEST(StationStats, AgreeWithARecomputationPerStation) {
  std::vector<FixtureObs> list = {
      {"703", 1.0, -0.5}, {"G96", 0.2, 0.1},  {"703", 2.0, 0.5, 1},  {"F51", -0.3, 0.4}, {"703", 1.4, -1.1},
      {"G96", 0.4, -0.3}, {"XXX", 9.0, 9.0, 1, 1}, {"F51", 0.1, 0.2}, {"703", 0.6, -0.2}, {"G96", -0.2, 0.0},
  };
  const auto obs = MakeObs(list);
  std::vector<unsigned char> flags;
  const auto stats = Stats(obs, 0.5, &flags);
  ASSERT_EQ(stats.size(), 4u);
  // Independent sums over the fixture's own arcsecond values.
  struct Sum {
    int used = 0, excluded = 0;
    double ra = 0, dec = 0, sq = 0;
  };
  std::map<std::string, Sum> sums;
  for (const auto& o : list) {
    Sum& s = sums[o.code];
    if (o.rejected || o.unknown) {
      ++s.excluded;
      continue;
    }
    ++s.used;
    s.ra += o.ra;
    s.dec += o.dec;
    s.sq += o.ra * o.ra + o.dec * o.dec;
  }
  int total = 0;
  for (const auto& [code, s] : sums) {
    SCOPED_TRACE(code);
    const StationResidualStats* st = Find(stats, code);
    ASSERT_TRUE(st);
    EXPECT_EQ(st->used, s.used);
    EXPECT_EQ(st->excluded, s.excluded);
    total += st->used + st->excluded;
    if (s.used == 0) continue;
    EXPECT_NEAR(st->meanRa, s.ra / s.used, 1e-9);
    EXPECT_NEAR(st->meanDec, s.dec / s.used, 1e-9);
    EXPECT_NEAR(st->bias, std::hypot(s.ra, s.dec) / s.used, 1e-9);
    EXPECT_NEAR(st->scatter, std::sqrt(s.sq / (2.0 * s.used)), 1e-9);
    double angle = std::atan2(s.ra, s.dec) * 180 / M_PI;
    EXPECT_NEAR(st->angle, angle < 0 ? angle + 360 : angle, 1e-9);
  }
  EXPECT_EQ(total, static_cast<int>(list.size()));
  for (size_t k = 1; k < stats.size(); ++k) EXPECT_GE(stats[k - 1].bias, stats[k].bias);
  EXPECT_EQ(StationCellText(*Find(stats, "XXX"), 6, ""), "-");
}

TEST(StationStats, FlagsByTheSolutionsMeanResidualAndTheFixedLimits) {
  struct Case {
    double meanResidual, bias;
    int used, flag;
  };
  const Case cases[] = {
      {0.2, 0.95, 5, 0}, {0.2, 1.05, 5, 1}, {0.2, 1.95, 5, 1}, {0.2, 2.05, 5, 2},  // thresholds 1 and 2
      {3.0, 1.9, 5, 0},  {3.0, 2.1, 5, 1},  {3.0, 3.9, 5, 1},  {3.0, 4.1, 5, 2},   // 6 and 9, capped at 2 and 4
      {1.0, 2.9, 5, 1},  {1.0, 3.1, 5, 2},                                         // 2 and 3
      {0.2, 10.0, 4, 0},                                                            // four observations: never
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mean " << c.meanResidual << " bias " << c.bias << " used " << c.used);
    std::vector<FixtureObs> list;
    AddStation(list, "A01", c.used, c.bias, 30);
    AddStation(list, "B02", 6, 0.0, 0);
    std::vector<unsigned char> flags;
    const auto stats = Stats(MakeObs(list), c.meanResidual, &flags);
    EXPECT_NEAR(Find(stats, "A01")->bias, c.bias, 1e-9);
    EXPECT_EQ(Find(stats, "A01")->flag, c.flag);
    EXPECT_EQ(flags[0], c.flag);
    EXPECT_EQ(flags[c.used], 0);
  }
}

// Hundreds of stations whose observations interleave, their biases in an
// order unlike their first appearance: every observation carries the flag
// of its own station after the sort, and codes that differ only after a NUL
// are one station, as the three-character comparison has them.
TEST(StationStats, ManyInterleavedStationsKeepTheirOwnFlags) {
  constexpr int kStations = 300;
  std::vector<std::string> codes;
  std::vector<double> bias;
  for (int s = 0; s < kStations; ++s) {
    const char letters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    codes.push_back({letters[s / 36 % 36], letters[s % 36], letters[(s * 7) % 36]});
    bias.push_back((s * 37 % kStations) / 30.0);  // 0 to 10"
  }
  std::vector<FixtureObs> list;
  std::vector<int> stationOf;
  for (int round = 0; round < 6; ++round)
    for (int s = 0; s < kStations; ++s) {
      // Six observations each, ± the spread in turn: the mean is the bias.
      const double spread = round % 2 ? 0.5 : -0.5;
      list.push_back({codes[s].c_str(), bias[s] + spread, -spread});
      stationOf.push_back(s);
    }
  list.push_back({"7", 0.3, 0.3});
  list.push_back({"7", 0.3, 0.3});
  auto obs = MakeObs(list);
  obs[list.size() - 2].m_szStation[2] = 'A';
  obs[list.size() - 1].m_szStation[2] = 'B';
  std::vector<unsigned char> flags;
  const auto stats = Stats(obs, 0.2, &flags);
  ASSERT_EQ(stats.size(), static_cast<size_t>(kStations + 1));
  ASSERT_TRUE(Find(stats, "7"));
  EXPECT_EQ(Find(stats, "7")->excluded + Find(stats, "7")->used, 2);
  for (size_t i = 0; i + 2 < list.size(); ++i) {
    const int s = stationOf[i];
    // With a mean residual of 0.2" the limits are 1" and 2".
    const int expected = bias[s] >= 2.0 - 1e-9 ? 2 : bias[s] >= 1.0 - 1e-9 ? 1 : 0;
    ASSERT_EQ(flags[i], expected) << "observation " << i << " of " << codes[s] << ", bias " << bias[s];
    ASSERT_EQ(Find(stats, codes[s])->flag, expected) << codes[s];
  }
  for (size_t k = 1; k < stats.size(); ++k) EXPECT_GE(stats[k - 1].bias, stats[k].bias);
}

// A view that shows no statistics leaves them to the first reader: a refresh
// computes nothing, and the statistics asked for afterwards (here by the
// exclusion test) are those of the refreshed residuals.
TEST(StationStats, HeadlessViewComputesThemWhenAskedFor) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDeterminationDisplay view(false);
  std::vector<FixtureObs> list;
  AddStation(list, "703", 6, 2.0, 0);
  AddStation(list, "G96", 6, 1.0, 90);
  SetViewObs(view, MakeObs(list));
  view.m_pEngine->m_dMeanResidual = 0.8;
  view.RefreshResidualList(view.m_pDetClass->m_pOrbObs, 1);
  EXPECT_EQ(view.m_nStationStats, 0);
  std::string text;
  EXPECT_EQ(RunStationExclusionTest(view, text), -1);
  EXPECT_EQ(text, "先に摂動計算の軌道改良を収束させてください。");
  ASSERT_EQ(view.m_nStationStats, 2);
  EXPECT_STREQ(view.m_pStationStats[0].code, "703");
  EXPECT_EQ(view.m_pObsBiasFlag[0], 1);
  EXPECT_EQ(view.m_pObsBiasFlag[6], 0);
  // Residuals hidden: nothing is left to compute.
  view.RefreshResidualList(view.m_pDetClass->m_pOrbObs, 0);
  view.EnsureStationStats();
  EXPECT_EQ(view.m_nStationStats, 0);
}

TEST(StationStats, TugOfWarOnlyForOppositeBiasesOfSimilarSize) {
  struct Case {
    double bias1, angle1, bias2, angle2;
    bool reported;
  };
  const Case cases[] = {
      {2.0, 10, 2.4, 185, true},   // 175° apart
      {2.0, 10, 2.4, 150, false},  // 140° apart
      {1.6, 10, 4.5, 190, false},  // ratio above 2.5
      {2.0, 350, 2.0, 165, true},  // the difference folds across north
      {1.4, 10, 1.4, 190, false},  // below 1.5"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.angle1 << " " << c.angle2);
    std::vector<FixtureObs> list;
    AddStation(list, "691", 6, c.bias1, c.angle1);
    AddStation(list, "E12", 6, c.bias2, c.angle2);
    AddStation(list, "G96", 6, 0.1, 90);
    const auto stats = Stats(MakeObs(list), 0.5);
    const std::string summary = StationSummaryText(stats.data(), static_cast<int>(stats.size()));
    EXPECT_EQ(summary.find("引っ張り合いの疑い") != std::string::npos, c.reported) << summary;
    EXPECT_EQ(summary.find("3観測所 / 18観測。"), 0u) << summary;
  }
  EXPECT_EQ(StationSummaryText(nullptr, 0), "集計できる観測がありません。");
}

TEST(StationStats, ColumnClicksSortStablyWithEmptyStationsLast) {
  std::vector<FixtureObs> list;
  AddStation(list, "703", 6, 1.0, 0);
  AddStation(list, "G96", 8, 3.0, 0);
  list.push_back({"C51", 5, 5, 1});  // no used observation
  AddStation(list, "F51", 6, 1.0, 0);
  const auto stats = Stats(MakeObs(list), 0.5);
  auto codes = [&](const StationSort& sort) {
    std::string out;
    for (int k : StationRowOrder(stats.data(), static_cast<int>(stats.size()), sort)) out += std::string(stats[k].code) + " ";
    return out;
  };
  StationSort sort;
  EXPECT_EQ(codes(sort), "G96 703 F51 C51 ");  // descending bias, first of equals first
  struct Step {
    int column;
    const char* order;
    const char* title;
  };
  const Step steps[] = {
      {0, "703 C51 F51 G96 ", "コード ▲"},     {0, "G96 F51 C51 703 ", "コード ▼"},
      {6, "G96 703 F51 C51 ", "偏りの大きさ\" ▼"}, {6, "703 F51 G96 C51 ", "偏りの大きさ\" ▲"},
      {7, "703 F51 G96 C51 ", "偏りの大きさ\" ▲"}, {1, "703 F51 G96 C51 ", "偏りの大きさ\" ▲"},
      {3, "C51 G96 703 F51 ", "除外数 ▼"},
  };
  for (const Step& s : steps) {
    ClickStationColumn(sort, s.column);
    EXPECT_EQ(codes(sort), s.order) << s.column;
    EXPECT_EQ(StationColumnTitle(sort.column, sort), s.title);
  }
  EXPECT_EQ(StationColumnTitle(0, sort), "コード");
}

TEST(StationStats, ExcludeAndReenableKeepAnEarlierExclusionByHand) {
  auto obs = MakeObs({{"703", 1, 1}, {"703", 1, 1, 1, 0, 1}, {"G96", 0, 0}, {"703", 1, 1, 1}});
  const int n = 4;
  ExcludeStation(obs.data(), n, "703");
  for (int i : {0, 1, 3}) {
    EXPECT_EQ(obs[i].m_bRejected, 1);
    EXPECT_EQ(obs[i].m_bByHand, 1);
  }
  EXPECT_EQ(obs[1].m_bStationRejected, 0);
  EXPECT_EQ(obs[2].m_bRejected, 0);
  ReenableStation(obs.data(), n, "703");
  EXPECT_EQ(obs[0].m_bRejected + obs[0].m_bByHand + obs[0].m_bStationRejected, 0);
  EXPECT_EQ(obs[3].m_bRejected + obs[3].m_bByHand, 0);
  EXPECT_EQ(obs[1].m_bRejected, 1);  // excluded by hand before
  EXPECT_EQ(obs[1].m_bByHand, 1);
  SetStationWeight(obs.data(), n, "703", 0.5);
  EXPECT_EQ(obs[1].m_dWeight, 0.5);
  EXPECT_EQ(obs[2].m_dWeight, 1.0);
}

TEST(StationStats, WeightFieldAcceptsOnlyTheRange) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDeterminationDisplay view(false);
  const std::pair<const char*, bool> cases[] = {{"0.05", false}, {"0.1", true}, {"100", true}, {"200", false},
                                                {"abc", false}};
  for (const auto& [text, ok] : cases) {
    view.SetItemText(kIdWeightEdit, text);
    double w = 0;
    ui.m_messages.clear();
    EXPECT_EQ(ReadStationWeight(view, w), ok) << text;
    ASSERT_EQ(ui.m_messages.size(), ok ? 0u : 1u) << text;
    if (!ok) {
      EXPECT_EQ(ui.m_messages[0].caption, kStationStatsCaption);
      EXPECT_EQ(ui.m_messages[0].text, "軌道改良画面の[ウエイト設定]の欄に、掛けたい値を入れてから押してください(0.1 〜 100)。");
      EXPECT_EQ(ui.m_messages[0].icon, MsgIcon::Information);
    }
  }
}

TEST(StationStats, ExclusionTestRefusesWithoutTwoStationsOrAConvergedSolution) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDeterminationDisplay view(false);
  std::string text;
  EXPECT_EQ(RunStationExclusionTest(view, text), -1);
  EXPECT_EQ(text, "観測所が2つ以上ないと比べられません。");
  std::vector<FixtureObs> list;
  AddStation(list, "703", 6, 1.0, 0);
  AddStation(list, "G96", 6, 1.0, 90);
  SetViewObs(view, MakeObs(list));
  view.m_pEngine->m_nCalcState = kCalcImprovedTwoBody;
  view.m_pEngine->m_dMeanResidual = 0.8;
  view.ComputeStationStats();
  ASSERT_EQ(view.m_nStationStats, 2);
  EXPECT_EQ(RunStationExclusionTest(view, text), -1);
  EXPECT_EQ(text, "先に摂動計算の軌道改良を収束させてください。");
  view.m_pEngine->m_nCalcState = kCalcImprovedPerturbed;
  view.m_pEngine->m_bBusy = 1;
  EXPECT_EQ(RunStationExclusionTest(view, text), -8);
  EXPECT_EQ(text, "ほかの計算を実行中です。終わってからもう一度お試しください。");
  view.m_pEngine->m_bBusy = 0;
}

// ---- era statistics ----

std::vector<ObservationRecord> EraObs(const std::vector<std::pair<int, double>>& yearValue) {
  std::vector<FixtureObs> list;
  for (const auto& [year, value] : yearValue) {
    FixtureObs o{"500", value, -0.5 * value};
    o.year = year;
    list.push_back(o);
  }
  return MakeObs(list);
}

std::vector<EraBin> Bins(const std::vector<ObservationRecord>& obs, int years) {
  std::vector<EraBin> bins;
  BinResiduals(obs.data(), static_cast<int>(obs.size()) - 1, years, bins);
  return bins;
}

TEST(EraStats, PeriodsStartOnTheDecadeAndSkipEmptyYears) {
  std::vector<std::pair<int, double>> values;
  for (int y = 1895; y <= 2023; y += 4) values.push_back({y, 1.0});
  values.push_back({2023, 1.0});
  const auto obs = EraObs(values);
  const auto tens = Bins(obs, 10);
  ASSERT_EQ(tens.size(), 14u);
  EXPECT_EQ(EraCellText(tens.front(), 0), "1890-1899");
  EXPECT_EQ(EraCellText(tens.back(), 0), "2020-2029");
  const auto ones = Bins(obs, 1);
  EXPECT_EQ(ones.size(), values.size() - 1);  // 2023 twice
  EXPECT_EQ(EraCellText(ones.front(), 0), "1895年");
  EXPECT_EQ(ones.back().count, 2);
  // At most 200 periods: later observations are left out.
  EXPECT_EQ(Bins(EraObs({{1800, 1}, {1999, 1}, {2000, 1}}), 1).size(), 2u);
  EXPECT_EQ(Bins(EraObs({{100, 1}, {2099, 1}, {2100, 1}}), 10).back().startYear, 2090);
}

TEST(EraStats, MedianNinetyPercentPointSharesAndOutliers) {
  auto values = [](double low) {
    std::vector<std::pair<int, double>> v;
    v.push_back({1950, 50});  // one observation: never marked
    for (double x : {11.0, 12.0, 13.0}) v.push_back({1960, x});  // median 12
    for (int year : {1970, 1980, 1990}) v.insert(v.end(), 2, {year, low});
    for (double x : {0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 15.0}) v.push_back({2001, x});
    for (int i = 0; i < 6; ++i) v.push_back({2011, 0.4});
    return v;
  };
  const auto bins = Bins(EraObs(values(0.4)), 10);  // overall median 0.4
  ASSERT_EQ(bins.size(), 7u);
  const EraBin& b2000 = bins[5];
  EXPECT_EQ(b2000.count, 10);
  EXPECT_DOUBLE_EQ(b2000.median, 3.0);  // index 5 of 10
  EXPECT_DOUBLE_EQ(b2000.p90, 15.0);    // index 9
  EXPECT_NEAR(b2000.pctOver2, 70.0, 1e-6);  // 2.0 counts
  EXPECT_NEAR(b2000.pctOver5, 30.0, 1e-6);
  EXPECT_EQ(b2000.outlier, 0);  // p90 15 ≥ 10 but not ≥ 6 × 3
  EXPECT_EQ(bins[0].outlier, 0);  // 1950: a single 50"
  EXPECT_EQ(bins[1].outlier, 1);  // 1960: median 12 ≥ 5 × 0.4
  EXPECT_EQ(EraCellText(b2000, 4), "70%");
  EXPECT_EQ(EraCellText(bins[1], 6), "突出");
  EXPECT_EQ(EraCellText(bins[2], 6), "");
  // An overall median of 3 (above 2.4) leaves 1960 unmarked.
  EXPECT_EQ(Bins(EraObs(values(3.0)), 10)[1].outlier, 0);
  // A period of five with a wild 90% point.
  EXPECT_EQ(Bins(EraObs({{1990, 1}, {1990, 1}, {1990, 1}, {1990, 1}, {1990, 12}}), 10)[0].outlier, 1);
}

TEST(EraStats, BreakProposal) {
  auto decade = [](std::vector<std::pair<int, double>>& v, int year, int n, double value) {
    for (int i = 0; i < n; ++i) v.push_back({year, value});
  };
  struct Case {
    const char* what;
    std::vector<std::pair<int, double>> values;
    int breakYear;
    double oldThreshold, newThreshold;
  };
  std::vector<Case> cases;
  {
    Case c{"plates to CCD", {}, 1989, 5, 1};
    decade(c.values, 1980, 6, 4.2);
    decade(c.values, 1990, 6, 0.3);
    cases.push_back(c);
  }
  {
    Case c{"ratio 1.49: none", {}, 0, 0, 0};
    decade(c.values, 1980, 6, 1.49);
    decade(c.values, 1990, 6, 1.0);
    cases.push_back(c);
  }
  {
    Case c{"four old observations: never split there", {}, 0, 0, 0};
    decade(c.values, 1980, 4, 5.0);
    decade(c.values, 1990, 6, 1.0);
    cases.push_back(c);
  }
  {
    Case c{"no old period of five: 6; no new one: 2", {}, 1989, 6, 2};
    decade(c.values, 1970, 3, 5.0);
    decade(c.values, 1980, 3, 5.0);
    decade(c.values, 1990, 3, 1.0);
    decade(c.values, 2000, 3, 1.0);
    cases.push_back(c);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const EraProposal p = FindEraBreak(Bins(EraObs(c.values), 10));
    EXPECT_EQ(p.breakYear, c.breakYear);
    EXPECT_EQ(p.oldThreshold, c.oldThreshold);
    EXPECT_EQ(p.newThreshold, c.newThreshold);
  }
}

TEST(EraStats, SummaryAndTheApplyButtonFollowTheMeanResidual) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  CDeterminationDisplay view(false);
  EraTable t = ComputeEraTable(view, 0);
  EXPECT_EQ(t.summary, "集計できる観測がありません。先に軌道改良を行って残差を求めてください。");
  std::vector<std::pair<int, double>> v;
  for (int i = 0; i < 6; ++i) v.push_back({1975, 4.0});
  for (int i = 0; i < 6; ++i) v.push_back({2005, 0.5});
  SetViewObs(view, EraObs(v));
  view.m_pEngine->m_dMeanResidual = 1.2;
  t = ComputeEraTable(view, 0);
  EXPECT_TRUE(t.canApply);
  EXPECT_EQ(t.summary, "2期間に分けて集計しました(10年ごと)。  測った結果、境目は 1979年、しきい値は 4\" / 1\" が目安です。");
  t = ComputeEraTable(view, 1);
  EXPECT_EQ(t.bins.size(), 2u);
  EXPECT_EQ(t.bins10.size(), 2u);
  EXPECT_EQ(t.summary.find("2期間に分けて集計しました(1年ごと)。"), 0u);
  view.m_pEngine->m_dMeanResidual = 5.5;
  t = ComputeEraTable(view, 0);
  EXPECT_FALSE(t.canApply);
  EXPECT_EQ(t.proposal.breakYear, 1979);
  EXPECT_EQ(t.summary.find("【まだ読めません】平均残差が 5.5\" あり"), 0u) << t.summary;
  ShowRejectThresholds(view, 1979, 4, 1);
  EXPECT_EQ(view.GetItemText(kIdRejectYear) + view.GetItemText(kIdRejectOld) + view.GetItemText(kIdRejectNew),
            "19794.01.0");
}

// ---- the non-gravitational verdict ----

NonGravCheckResult Fitted(int model, double a1, double sigmaA1, double sumSqGrav) {
  NonGravCheckResult r{};
  r.model = model;
  r.used = 20;
  r.addedParams = model == 3 ? 1 : 2;
  r.sumSqNg = 20;
  r.sumSqGrav = sumSqGrav;
  r.residualNg = std::sqrt(20.0 / 40);
  r.residualGrav = std::sqrt(sumSqGrav / 40);
  r.a1 = a1;
  r.sigmaA1 = sigmaA1;
  r.a2 = 0.1;
  r.sigmaA2 = 0.2;
  r.rMin = 1.0;
  r.rMax = 3.0;
  r.gAtRMin = 1.0;
  r.gAtRMax = 0.1;
  r.binCount = kNonGravBins;
  r.binN[0] = 12;
  r.binR[0] = 1.1;
  r.binN[5] = 8;
  r.binR[5] = 2.9;
  JudgeNonGrav(r);
  return r;
}

TEST(NonGravVerdict, FStatisticSignalAndSignGiveTheVerdict) {
  struct Case {
    const char* what;
    int model;
    double a1, sigmaA1, sumSqGrav;
    double fStat;
    int verdict;
    bool negativeWarning;
  };
  const Case cases[] = {
      {"F 8, S/N 4, A1 > 0", 0, 4.0, 1.0, 30, 8.0, 2, false},
      {"F 8, S/N 4, A1 < 0", 0, -4.0, 1.0, 30, 8.0, 1, true},
      {"F 8, S/N 2.9", 0, 2.9, 1.0, 30, 8.0, 0, false},
      {"F 3.2 (two parameters: hold)", 0, 4.0, 1.0, 24, 3.2, 1, false},
      // one parameter: dof 33, F = 10 / (20/33) = 16.5; 4.5 → hold; 7 → detected
      {"radiation pressure F 16.5", 3, 4.0, 1.0, 30, 16.5, 2, false},
      {"radiation pressure F 4.95 (between 3.84 and 6.63)", 3, 4.0, 1.0, 23, 4.95, 1, false},
      {"no gain", 0, 4.0, 1.0, 19, 0.0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const NonGravCheckResult r = Fitted(c.model, c.a1, c.sigmaA1, c.sumSqGrav);
    EXPECT_NEAR(r.fStat, c.fStat, 1e-9);
    EXPECT_EQ(r.verdict, c.verdict);
    EXPECT_EQ(r.warnings.find("・A1が負です。") != std::string::npos, c.negativeWarning) << r.warnings;
  }
}

TEST(NonGravVerdict, ReportSectionsByModel) {
  const NonGravCheckResult comet = Fitted(0, 4.0, 1.0, 30);
  const std::string t = FormatNonGravVerdict(comet);
  EXPECT_EQ(t.rfind("仮定したモデル: マースデンTypeII(水氷)     有効観測: 20個\r\n---", 0), 0u) << t;
  EXPECT_NE(t.find("      A1 =    +4.0000 ± 1.0000    信号対雑音比 = 4.0  OK\r\n"), std::string::npos) << t;
  EXPECT_NE(t.find("      A2 =    +0.1000 ± 0.2000    信号対雑音比 = 0.5  ← 誤差に埋もれている\r\n"), std::string::npos);
  EXPECT_NE(t.find("残差二乗和 33.3% 減  OK\r\n"), std::string::npos) << t;
  EXPECT_NE(t.find("      その範囲で g(r) は 0.1 〜 1  (10.0倍の変化)  OK\r\n"), std::string::npos) << t;
  // Two bins hold observations: two lines, the empty ones none.
  EXPECT_NE(t.find("         1.10      12      +0.00     +0.00      0.00\r\n"), std::string::npos) << t;
  EXPECT_NE(t.find("         2.90       8"), std::string::npos);
  EXPECT_EQ(t.find("[5] 物理的妥当性の警告"), std::string::npos);
  EXPECT_NE(t.find("判定: 非重力効果は有意に検出されています。"), std::string::npos);

  struct AmCase {
    double a1, sigma;
    const char* cls;
  };
  // A/M = A1 × 1e-8 × 20.04 / 4.54e-6 m²/kg: A1 = 1 gives 0.0441.
  const AmCase am[] = {
      {1.0, 0.1, "人工物の範囲 (A/M ≧ 1e-02 m^2/kg)"},
      {0.02, 0.001, "天然の岩の範囲 (A/M ≦ 1e-03 m^2/kg)"},
      {0.1, 0.01, "中間 (1e-03 〜 1e-02 の空白地帯で、どちらとも言えません)"},
      {0.1, 0.05, "中間 (1e-03 〜 1e-02 の空白地帯で、どちらとも言えません)   ※A1が誤差に埋もれているので目安です"},
      {-0.1, 0.01, "不定 (光圧は太陽へ向かう向きには働きません。別の力か、単なる誤差です)"},
      {0.1, 0.2, "未判定 (誤差が値を上回っており、A/Mはまだ決まっていません)"},
  };
  for (const AmCase& c : am) {
    const std::string p = FormatNonGravVerdict(Fitted(3, c.a1, c.sigma, 30));
    EXPECT_NE(p.find("      → " + std::string(c.cls) + "\r\n\r\n"), std::string::npos) << c.a1 << "\n" << p;
    EXPECT_EQ(p.find("A2 ="), std::string::npos);
    EXPECT_NE(p.find("g(r)=(1AU/r)^2"), std::string::npos);
  }
  NonGravCheckResult none{};
  EXPECT_EQ(FormatNonGravVerdict(none), "判定できませんでした。");
}

TEST(NonGravVerdict, DialogTextsByResult) {
  const NonGravCheckResult r = Fitted(0, 4.0, 1.0, 30);
  const std::pair<int, const char*> cases[] = {
      {0, "◎ 非重力効果は有意に検出されています"}, {-8, "判定できません"}, {-9, "判定を取りやめました"},
      {-1, "判定できません"}, {-2, "判定できません"}, {-20, "判定できません"},
  };
  for (const auto& [result, status] : cases) EXPECT_EQ(NonGravOutcome(result, r).status, status) << result;
  EXPECT_EQ(NonGravOutcome(-2, r).report.rfind("重力のみの解を求める途中で計算が止まりました。", 0), 0u);
  EXPECT_EQ(NonGravOutcome(0, r).verdictState, 2);
  EXPECT_EQ(NonGravOutcome(-9, r).verdictState, -1);
  EXPECT_EQ(NonGravVerdictLineColour(2), 0x007828u);
}

}  // namespace
