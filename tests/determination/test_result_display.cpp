// What the orbit-determination view shows of a solution: the element report
// and element blocks (checked against the engine's numbers and an
// independent orientation of the orbit), the 1/a uncertainty, the
// non-gravitational fields and verdict, and the hand-over to the orbit diagram.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "astro/time_scales.h"
#include "determination/element_text.h"
#include "determination/obs_loading.h"
#include "platform/numbers.h"
#include "tests/determination/determination_test_support.h"

namespace {

constexpr double kDegR = M_PI / 180.0;
constexpr double kEps = 0.40909280420293637;

// P and Q of the orbit, J2000 equatorial, by rotating the in-plane axes.
void Orientation(double peri, double node, double incl, double P[3], double Q[3]) {
  const double cw = std::cos(peri), sw = std::sin(peri), cn = std::cos(node), sn = std::sin(node);
  const double ci = std::cos(incl), si = std::sin(incl);
  const double pe[3] = {cw * cn - sw * sn * ci, cw * sn + sw * cn * ci, sw * si};
  const double qe[3] = {-sw * cn - cw * sn * ci, -sw * sn + cw * cn * ci, cw * si};
  const double ce = std::cos(kEps), se = std::sin(kEps);
  P[0] = pe[0], P[1] = ce * pe[1] - se * pe[2], P[2] = se * pe[1] + ce * pe[2];
  Q[0] = qe[0], Q[1] = ce * qe[1] - se * qe[2], Q[2] = se * qe[1] + ce * qe[2];
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& eol) {
  std::vector<std::string> out;
  size_t p = 0;
  while (p <= text.size()) {
    const size_t e = text.find(eol, p);
    out.push_back(text.substr(p, e == std::string::npos ? std::string::npos : e - p));
    if (e == std::string::npos) break;
    p = e + eol.size();
  }
  return out;
}

// The numbers of a line after the label (letters, dots and blanks skipped).
std::vector<double> Numbers(const std::string& line) {
  std::vector<double> v;
  const char* s = line.c_str();
  while (*s) {
    if ((*s >= '0' && *s <= '9') || ((*s == '+' || *s == '-') && s[1] >= '0' && s[1] <= '9')) {
      char* end = nullptr;
      v.push_back(std::strtod(s, &end));
      s = end;
    } else {
      ++s;
    }
  }
  return v;
}

const std::string* LineStarting(const std::vector<std::string>& lines, const std::string& head) {
  for (const auto& l : lines)
    if (l.rfind(head, 0) == 0) return &l;
  return nullptr;
}

class ResultDisplayTest : public DeterminationTest {};

// 2015 AB opened as a user opens it, three picks, two-body and perturbed
// improvement: every number of the report agrees with the engine's solution.
TEST_F(ResultDisplayTest, ReportOfTheImprovedOrbitAgreesWithTheEngine) {
  TSR_REQUIRE_DATA(path, "obs/mpc80/orbfit_2015AB.obs");
  HeadlessToolSinks sinks;
  sinks.m_bDiagramOpen = true;
  SetToolSinks(&sinks);
  CDeterminationDisplay& view = *m_view;
  OrbitEngine& engine = *view.m_pEngine;
  view.SetItemText(kIdStepCombo, kStepAutomatic);
  OpenObsFile(view, File("2015AB.obs", ObservationLinesBetween(ReadTestFile(path), 1960, 2060)));
  ASSERT_EQ(engine.m_nCalcState, kCalcLoaded);
  ASSERT_TRUE(PickAndDetermine(view, CalendarToJd(2015, 1, 1), CalendarToJd(2015, 2, 28)));
  const std::string preliminary = view.GetItemText(kIdResultEdit);
  EXPECT_EQ(preliminary.rfind("Orbital elements:\r\n" + view.m_strObjectName + "\r\n", 0), 0u) << preliminary;
  EXPECT_EQ(sinks.m_diagram.m_nShown, 1);
  EXPECT_TRUE(sinks.m_diagram.m_orbit.m_bValid);

  ASSERT_EQ(ImproveTwoBody(view, 20), 0);
  ASSERT_EQ(ImproveToConvergence(view, 30), 0) << engine.m_strMessage;
  ASSERT_EQ(engine.m_nCalcState, kCalcImprovedPerturbed);
  ASSERT_TRUE(engine.m_bCovarianceValid && engine.m_bErrValid);
  const std::string report = FormatMpcElements(view, engine.m_state.m_el, kReportPerturbed);
  EXPECT_EQ(view.GetItemText(kIdResultEdit), report);
  // The automatic step shows the step it used; the step log went to the calculation log.
  EXPECT_FALSE(view.GetItemText(kIdStepUsedLabel).empty());
  if (!engine.m_strStepLog.empty()) {
    EXPECT_NE(view.m_strCalcLog.find("【積分間隔のログ】\r\n"), std::string::npos);
  }
  const std::vector<std::string> lines = SplitLines(report, "\r\n");

  const ElementBlock& el = engine.m_state.m_el;
  const double a = el.m_dQ / (1 - el.m_dE);
  double P[3], Q[3];
  Orientation(el.m_dPeri, el.m_dNode, el.m_dIncl, P, Q);
  ASSERT_EQ(engine.m_state.m_bAsteroid, 1);  // minor-planet form

  const std::string* epochLine = LineStarting(lines, "Epoch ");
  ASSERT_TRUE(epochLine);
  std::vector<double> v = Numbers(*epochLine);
  ASSERT_EQ(v.size(), 3u);  // year, day, JD
  EXPECT_NEAR(v[2], el.m_dEpoch, 0.05);
  const std::string* mLine = LineStarting(lines, "M ");
  ASSERT_TRUE(mLine);
  const double n = 0.01720209895 / std::pow(a, 1.5);
  double mean = std::fmod((el.m_dEpoch - el.m_dT) * n, 2 * M_PI);
  if (mean <= 0) mean += 2 * M_PI;
  EXPECT_NEAR(Numbers(*mLine)[0], mean / kDegR, 6e-6);
  struct Row {
    const char* head;
    double first, second, px, qx;
    double tol;
  };
  const Row rows[] = {
      {"n ", n / kDegR, el.m_dPeri / kDegR, P[0], Q[0], 6e-6},
      {"a ", a, el.m_dNode / kDegR, P[1], Q[1], 6e-6},
      {"e ", el.m_dE, el.m_dIncl / kDegR, P[2], Q[2], 6e-6},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.head);
    const std::string* line = LineStarting(lines, r.head);
    ASSERT_TRUE(line);
    v = Numbers(*line);
    ASSERT_EQ(v.size(), 4u) << *line;
    EXPECT_NEAR(v[0], r.first, r.tol);
    EXPECT_NEAR(v[1], r.second, 6e-6);
    EXPECT_NEAR(v[2], r.px, 6e-9);
    EXPECT_NEAR(v[3], r.qx, 6e-9);
  }
  const std::string* pLine = LineStarting(lines, "P");
  ASSERT_TRUE(pLine);
  EXPECT_NEAR(Numbers(*pLine)[0], a * std::sqrt(a), 0.006);

  v = Numbers(*LineStarting(lines, "Mean "));
  EXPECT_NEAR(v[1], engine.m_dMeanResidual, 6e-7);

  // 1/a and its sigma from the covariance, by a numerical derivative.
  const std::string* inv = LineStarting(lines, "1/a = ");
  ASSERT_TRUE(inv);
  v = Numbers(inv->substr(4));
  const double h = 1e-7;
  const double dq = ((1 - el.m_dE) / (el.m_dQ + h) - (1 - el.m_dE) / (el.m_dQ - h)) / (2 * h);
  const double de = ((1 - el.m_dE - h) / el.m_dQ - (1 - el.m_dE + h) / el.m_dQ) / (2 * h);
  const double var = dq * dq * engine.m_covariance[4][4] + 2 * dq * de * engine.m_covariance[4][5] +
                     de * de * engine.m_covariance[5][5];
  EXPECT_NEAR(v[0], 1 / a, 6e-11);
  EXPECT_NEAR(v[1], std::sqrt(var), 1e-6 * std::sqrt(var) + 6e-11);

  const std::string* dQ = LineStarting(lines, "Delta(q)    = +/- ");
  ASSERT_TRUE(dQ);
  EXPECT_NEAR(Numbers(*dQ)[0], std::sqrt(engine.m_covariance[4][4]), 6e-11);
  EXPECT_NE(LineStarting(lines, "軌道分類: "), nullptr);
  // The element blocks of the run close the report.
  ASSERT_FALSE(view.m_strElementBlock.empty());
  EXPECT_EQ(report.substr(report.size() - view.m_strElementBlock.size()), view.m_strElementBlock);

  // The orbit diagram has the solution and the times of the observations used.
  const DisplayOrbit& shown = sinks.m_diagram.m_orbit;
  EXPECT_EQ(shown.m_dQ, el.m_dQ);
  EXPECT_EQ(shown.m_dEpoch, el.m_dEpoch);
  int used = 0;
  for (int i = 0; i < view.m_pDetClass->m_nObsCount; ++i)
    used += !view.m_pDetClass->m_pOrbObs[i].m_bRejected && !view.m_pDetClass->m_pOrbObs[i].m_bByHand;
  EXPECT_EQ(static_cast<int>(sinks.m_diagram.m_obsTimes.size()), used);
  SetToolSinks(nullptr);
}

// The forms of the element block by eccentricity and element form.
TEST(ElementBlock, FormsByEccentricity) {
  CDeterminationDisplay view(false);
  const double T = 2451545.0;  // 2000 Jan. 1.5 TT
  double P[3], Q[3];
  Orientation(0, 0, 0, P, Q);
  struct Case {
    const char* name;
    double q, e;
    int asteroid, perturbed;
    std::vector<std::string> lines;  // expected lines, "" = any
  };
  const Case cases[] = {
      {"parabola without perturbations", 0.5, 1.0, 0, 0,
       {"", "T 2000 Jan. 1.50000 TT", "q   0.500000             (2000.0)            P               Q",
        "                   Peri.    0.0000      +1.0000000      -0.0000000",
        "                   Node     0.0000      +0.0000000      +0.9174821",
        "e   1.0            Incl.    0.0000      +0.0000000      +0.3977772", "", ""}},
      {"near-parabola, minor-planet form, perturbed: no Epoch line, z and no sigma", 0.5, 0.99, 1, 1,
       {"", "T 2000 Jan. 1.50000 TT", "q   0.5000000            (2000.0)            P               Q",
        "z  +0.0200000      Peri.    0.00000     +1.00000000     -0.00000000",
        "                   Node     0.00000     +0.00000000     +0.91748206",
        "e   0.9900000      Incl.    0.00000     +0.00000000     +0.39777716", ""}},
      {"near-parabola, comet form, perturbed: the Epoch line first", 0.5, 0.99, 0, 1,
       {"", "Epoch 2000 Jan. 1.5 TT = JDT 2451545.0", "T 2000 Jan. 1.50000 TT", "", "", "", "", ""}},
      {"near-parabola with q = 0: both columns blank", 0.0, 0.99, 0, 0,
       {"", "", "", "                   Peri.    0.00000     +1.00000000     -0.00000000", "", "", ""}},
      {"ellipse, comet form, perturbed: the Epoch line first", 1.0, 0.5, 0, 1,
       {"", "Epoch 2000 Jan. 1.5 TT = JDT 2451545.0", "T 2000 Jan. 1.50000 TT", "", "", "", "",
        "P   2.83", ""}},
      {"ellipse, minor-planet form: no T line", 1.0, 0.5, 1, 1,
       {"", "Epoch 2000 Jan.  1.5 TT = JDT 2451545.0",
        "M 360.00000              (2000.0)            P               Q",
        "n   0.34846493     Peri.    0.00000     +1.00000000     -0.00000000",
        "a   2.0000000      Node     0.00000     +0.00000000     +0.91748206", "", "P   2.83", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.ClearElementBlockTexts();
    view.m_pEngine->m_state.m_bAsteroid = c.asteroid;
    view.m_pEngine->m_bPerturbations = c.perturbed;
    const double a = c.e < 1 ? c.q / (1 - c.e) : 0;
    view.FormatElementBlock(0, T, T, c.q, c.e, 0, 0, 0, a, 0, P, Q);
    const std::vector<std::string> got = SplitLines(view.m_strElementBlock, "\r\n");
    ASSERT_EQ(got.size(), c.lines.size()) << view.m_strElementBlock;
    for (size_t i = 0; i < got.size(); ++i)
      if (!c.lines[i].empty()) {
        EXPECT_EQ(got[i], c.lines[i]) << i;
      }
    // The file's block: the same lines with LF, and one more empty line.
    std::string file = view.m_strElementBlock;
    for (size_t p; (p = file.find("\r\n")) != std::string::npos;) file.replace(p, 2, "\n");
    EXPECT_EQ(view.m_strElementBlockFile, file + "\n");
  }
}

TEST(ElementBlock, NearParabolaShowsTheUncertaintyOfOneOverA) {
  CDeterminationDisplay view(false);
  OrbitEngine& engine = *view.m_pEngine;
  engine.m_bCovarianceValid = 1;
  engine.m_nCovarianceSize = 6;
  engine.m_covariance[4][4] = 4e-12;   // q
  engine.m_covariance[5][5] = 9e-10;   // e
  engine.m_covariance[4][5] = engine.m_covariance[5][4] = -1e-12;
  double P[3], Q[3];
  Orientation(0, 0, 0, P, Q);
  view.FormatElementBlock(0, 2451545.0, 2451545.0, 0.5, 0.999, 0, 0, 0, 500, 0, P, Q);
  // d(1/a)/dq = -(1-e)/q² = -0.004, d(1/a)/de = -1/q = -2.
  const double sigma = std::sqrt(0.004 * 0.004 * 4e-12 + 2 * 0.004 * 2 * -1e-12 + 4 * 9e-10);
  EXPECT_NE(view.m_strElementBlock.find(FormatC(" +/-%9.7f      Node", sigma)), std::string::npos)
      << view.m_strElementBlock;
}

TEST(NonGravDisplay, AreaToMassAndVerdict) {
  CDeterminationDisplay view(false);
  OrbitEngine& engine = *view.m_pEngine;
  ObservationRecord* obs = static_cast<ObservationRecord*>(std::calloc(3, sizeof(ObservationRecord)));
  view.m_pDetClass->m_pOrbObs = obs;
  obs[0].m_dJdUtc = obs[0].m_dJdTt = 2460000.5;
  obs[1].m_dJdUtc = obs[1].m_dJdTt = 2460100.5;
  obs[2].m_dJdUtc = -1.0;
  engine.m_nCalcState = kCalcImprovedPerturbed;
  engine.m_bNonGrav = 1;
  engine.m_nUsedObs = 2;
  ElementBlock& el = engine.m_state.m_el;

  // Radiation pressure with A1 = 1e-10 AU/day² and no formal errors.
  engine.m_nNonGravModel = 3;
  el.m_dA1 = 1e-10;
  view.ShowNonGravParams();
  EXPECT_EQ(view.GetItemText(kIdAreaToMassValue), "0.000441");  // 1e-10 × 20.04 / 4.54e-6 m²/kg
  EXPECT_EQ(view.GetItemText(kIdAreaToMassClass), "未判定");
  EXPECT_FALSE(view.IsItemVisible(kIdNonGravA2Value));
  EXPECT_EQ(view.m_nNonGravVerdict, kVerdictNone);  // no formal errors

  // Water-ice model, A1 at four sigma: the sign and the reach of g(r) decide.
  engine.m_nNonGravModel = 0;
  engine.m_bErrValid = 1;
  engine.m_dErrA1 = 1e-9;
  el.m_dA2 = 1e-10;
  el.m_dT = 2460050.5;
  el.m_dE = 0.9;
  el.m_dQ = 1.0;
  struct Case {
    const char* name;
    double a1, from, to;  // days from perihelion
    int verdict;
  };
  const Case cases[] = {
      {"negative A1", -4e-9, -50, 200, kVerdictDoubtful},
      {"positive, the arc reaches from q to beyond 2.5 AU", 4e-9, -50, 200, kVerdictPlausible},
      {"positive, a short arc at perihelion where g(r) hardly varies", 4e-9, -5, 5, kVerdictDoubtful},
      {"below three sigma", 2e-9, -50, 200, kVerdictNotSignificant},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    el.m_dA1 = c.a1;
    obs[0].m_dJdTt = el.m_dT + c.from;
    obs[1].m_dJdTt = el.m_dT + c.to;
    view.ShowNonGravParams();
    EXPECT_EQ(view.m_nNonGravVerdict, c.verdict);
    EXPECT_EQ(view.GetItemText(kIdNonGravA1Value), FormatC("%9.7f", c.a1 * 1e8));
  }
}

}  // namespace

namespace {

// The element report of one orbit (T at J2000.0, angles 0 but the inclination).
std::string Report(CDeterminationDisplay& view, double q, double e, double inclDeg, int mode) {
  ElementBlock el{};
  el.m_dT = el.m_dEpoch = 2451545.0;
  el.m_dQ = q;
  el.m_dE = e;
  el.m_dIncl = inclDeg * kDegR;
  return FormatMpcElements(view, el, mode);
}

TEST(ElementReport, OrbitClassesInTableOrder) {
  CDeterminationDisplay view(false);
  struct Case {
    const char* packed;
    double a, e, inclDeg;
    const char* label;
  };
  const Case cases[] = {
      {"K15A00B", 31.0, 1 - 6.0 / 31.0, 5, "太陽系外縁天体(TNO)"},
      {"K15A00B", 6.0, 1 - 5.3 / 6.0, 5, "ケンタウルス族"},
      // The near-Earth bounds on either side: Q = 0.983, a = 1, q = 1.017, 1.3 and 1.666.
      {"K15A00B", 0.8, 0.2, 5, "アティラ群(軌道全体が地球軌道の内側)"},
      {"K15A00B", 0.99, 0.1, 5, "アテン群(地球接近小惑星)"},
      {"K15A00B", 1.5, 1 - 1.016 / 1.5, 5, "アポロ群(地球接近小惑星)"},
      {"K15A00B", 1.5, 1 - 1.018 / 1.5, 5, "アモール群(地球接近小惑星)"},
      {"K15A00B", 1.5, 1 - 1.29 / 1.5, 5, "アモール群(地球接近小惑星)"},
      {"K15A00B", 1.5, 1 - 1.31 / 1.5, 5, "火星横断小惑星"},
      {"K15A00B", 2.3, 1 - 1.67 / 2.3, 5, "メインベルト小惑星(内側)"},
      {"K15A00B", 2.3, 0.2, 20, "フォカエア群"},
      {"K15A00B", 2.0, 0.1, 10, "メインベルト小惑星(内側)"},
      {"K15A00B", 1.99, 0.1, 10, "分類外の軌道"},
      {"CK23A030", 40.0, 0.99, 10, "長周期彗星"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    view.m_strPackNames = c.packed;
    const std::string text = Report(view, c.a * (1 - c.e), c.e, c.inclDeg, kReportPreliminary);
    EXPECT_NE(text.find(std::string("軌道分類: ") + c.label + " ("), std::string::npos) << text;
  }
}

TEST(ElementReport, ModesLineEndsSignatureAndLongPeriods) {
  CDeterminationDisplay view(false);
  view.m_strObjectName = "2015 AB";
  view.m_strPackNames = "K15A00B";
  view.m_pEngine->m_bPerturbations = 1;
  view.m_strElementBlock = "\r\nSCREEN BLOCK\r\n";
  view.m_strElementBlockFile = "\nFILE BLOCK\n\n";

  // A report file: LF only, the file's block, no speed with the full residual block.
  std::string text = Report(view, 1.0, 0.5, 10, kReportFileFull);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text.find("FILE BLOCK"), std::string::npos);
  EXPECT_EQ(text.find("V = "), std::string::npos);
  EXPECT_EQ(text.find("軌道分類"), std::string::npos);
  // Shown again on the screen: the file mode's rules with CR LF and the screen's block.
  text = Report(view, 1.0, 0.5, 10, kReportRepeat);
  EXPECT_NE(text.find("Orbital elements:\r\n"), std::string::npos);
  EXPECT_NE(text.find("SCREEN BLOCK"), std::string::npos);
  EXPECT_EQ(view.m_nReportMode, kReportFileFull);

  // A period of 1e8 years or more: no "P = " line, the speed all the same.
  text = Report(view, 1.0, 1 - 1.0 / 3e5, 10, kReportPerturbed);
  EXPECT_EQ(text.find("P = "), std::string::npos) << text;
  EXPECT_NE(text.find("V = "), std::string::npos);

  // The signature pads the first element line to 56 characters.
  view.m_bSignature = 1;
  const std::string saved = TheApp().m_szSignature;
  TheApp().m_szSignature = "Observer";
  view.m_pEngine->m_state.m_bAsteroid = 1;
  const std::vector<std::string> lines = SplitLines(Report(view, 1.0, 0.5, 10, kReportPreliminary), "\r\n");
  TheApp().m_szSignature = saved;
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[2].size(), 56u + 8u) << lines[2];
  EXPECT_EQ(lines[2].substr(0, 6), "Epoch ");
  EXPECT_EQ(lines[2].substr(56), "Observer");
}

}  // namespace
