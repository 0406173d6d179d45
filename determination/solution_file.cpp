#include "determination/solution_file.h"

#include "astro/angle_units.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "astro/jpl_eph.h"
#include "astro/mpeph_store.h"
#include "astro/time_scales.h"
#include "determination/det_form.h"
#include "determination/determination_display.h"
#include "determination/element_text.h"
#include "engine/correction_step.h"
#include "engine/differential_correction.h"
#include "engine/improvement_epoch.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/fixed_field.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

constexpr double kGaussK = 0.01720209895;
constexpr const char* kBom = "\xEF\xBB\xBF";
constexpr const char* kCaption = "Tessarune";
constexpr int kFlagsPerLine = 80;
constexpr int kWeightsPerLine = 10;
constexpr double kWeightMin = 0.1, kWeightMax = 100.0;

const char* const kErrorKeys[12] = {"ErrT", "ErrPeri", "ErrNode", "ErrIncl", "Errq", "Erre",
                                    "Erra", "ErrP",    "ErrN",    "ErrA1",   "ErrA2", "ErrA3"};
const char* const kErrorLines[12] = {
    "ErrT         = %.17g   # 日", "ErrPeri      = %.17g",      "ErrNode      = %.17g",
    "ErrIncl      = %.17g",        "Errq         = %.17g   # AU", "Erre         = %.17g",
    "Erra         = %.17g   # AU", "ErrP         = %.17g   # 年", "ErrN         = %.17g",
    "ErrA1        = %.17g",        "ErrA2        = %.17g",        "ErrA3        = %.17g"};

// The engine's formal errors in the file's order.
double* ErrorField(OrbitEngine& e, int k) {
  double* fields[12] = {&e.m_dErrT, &e.m_dErrPeri, &e.m_dErrNode, &e.m_dErrIncl, &e.m_dErrQ,  &e.m_dErrE,
                        &e.m_dErrA, &e.m_dErrP,    &e.m_dErrN,    &e.m_dErrA1,   &e.m_dErrA2, &e.m_dErrA3};
  return fields[k];
}

std::string CalendarComment(double jd, const char* dayFormat) {
  double y = 0, m = 0, d = 0;
  JdToCalendar(jd, y, m, d);
  return FormatC("%d/%d/", static_cast<int>(y), static_cast<int>(m)) + FormatC(dayFormat, d);
}

char FlagOf(const ObservationRecord& o) {
  if (o.m_nUnknownStation) return 'X';
  if (o.m_bByHand) return 'F';
  if (o.m_bRejected) return 'R';
  return '.';
}

void AddLine(std::string& out, const std::string& line) { out += line + "\r\n"; }

// Perturber codes: the coarse one of the program, the precise one of the Center.
std::string CoarsePerturberCode(int set, bool asteroids) {
  static const char* const kCodes[7] = {"M-P", "M-Pv", "M-Pc", "M-Pp", "M-Pe", "M-Ph", "M-Pv+"};
  return asteroids && set >= 1 && set <= 6 ? kCodes[set] : "M-P";
}

// A number at the start of the value (blanks skipped); false when none.
bool LeadingNumber(std::string_view v) {
  size_t i = 0;
  while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
  if (i < v.size() && v[i] == '.') ++i;
  return i < v.size() && v[i] >= '0' && v[i] <= '9';
}

void ReadDouble(std::string_view v, bool& has, double& value) {
  has = LeadingNumber(v);
  value = ReadDecimal(v);
}

void ReadInt(std::string_view v, bool& has, int& value) {
  has = LeadingNumber(v);
  value = static_cast<int>(ReadInteger(v));
}

bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  if (line.empty() || line[0] == '#') return false;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimSpace(line.substr(0, eq));
  value = line.substr(eq + 1);
  const size_t hash = value.find('#');
  if (hash != std::string_view::npos) value = value.substr(0, hash);
  value = TrimSpace(value);
  return true;
}

bool ParseKey(std::string_view key, std::string_view v, SolutionFileRecord& r) {
  struct DoubleKey {
    const char* key;
    bool SolutionFileRecord::*has;
    double SolutionFileRecord::*value;
  };
  static const DoubleKey kDoubles[] = {
      {"Epoch", &SolutionFileRecord::hasEpoch, &SolutionFileRecord::epoch},
      {"T", &SolutionFileRecord::hasT, &SolutionFileRecord::T},
      {"q", &SolutionFileRecord::hasQ, &SolutionFileRecord::q},
      {"e", &SolutionFileRecord::hasE, &SolutionFileRecord::e},
      {"Peri", &SolutionFileRecord::hasPeri, &SolutionFileRecord::peri},
      {"Node", &SolutionFileRecord::hasNode, &SolutionFileRecord::node},
      {"Incl", &SolutionFileRecord::hasIncl, &SolutionFileRecord::incl},
      {"Daystep", &SolutionFileRecord::hasStep, &SolutionFileRecord::step},
      {"RejectOld", &SolutionFileRecord::hasRejectOld, &SolutionFileRecord::rejectOld},
      {"RejectNew", &SolutionFileRecord::hasRejectNew, &SolutionFileRecord::rejectNew},
  };
  struct IntKey {
    const char* key;
    bool SolutionFileRecord::*has;
    int SolutionFileRecord::*value;
  };
  static const IntKey kInts[] = {
      {"MpOrbit", &SolutionFileRecord::hasMpOrbit, &SolutionFileRecord::mpOrbit},
      {"Effect", &SolutionFileRecord::hasEffect, &SolutionFileRecord::effect},
      {"NonGravModel", &SolutionFileRecord::hasModel, &SolutionFileRecord::model},
      {"EffectA3", &SolutionFileRecord::hasEffectA3, &SolutionFileRecord::effectA3},
      {"Perturbation", &SolutionFileRecord::hasPerturbation, &SolutionFileRecord::perturbation},
      {"MpPertSet", &SolutionFileRecord::hasPertSet, &SolutionFileRecord::pertSet},
      {"FixEcc", &SolutionFileRecord::hasFixEcc, &SolutionFileRecord::fixEcc},
      {"RejectYear", &SolutionFileRecord::hasRejectYear, &SolutionFileRecord::rejectYear},
  };
  for (const DoubleKey& k : kDoubles)
    if (key == k.key) {
      ReadDouble(v, r.*k.has, r.*k.value);
      return true;
    }
  for (const IntKey& k : kInts)
    if (key == k.key) {
      ReadInt(v, r.*k.has, r.*k.value);
      return true;
    }
  for (int i = 0; i < 3; ++i)
    if (key == FormatC("A%d", i + 1)) {
      ReadDouble(v, r.hasA[i], r.A[i]);
      return true;
    }
  for (int i = 0; i < 12; ++i)
    if (key == kErrorKeys[i]) {
      r.errors[i] = ReadDecimal(v);
      return true;
    }
  if (key == "ErrValid") {
    r.errValid = static_cast<int>(ReadInteger(v));
  } else if (key == "Per5Mp") {
    r.hasPertSet = true;
    r.pertSet = ReadInteger(v) != 0 ? 6 : 0;
  } else if (key == "ObsFlags") {
    r.flags += v;
  } else if (key == "ObsWeights") {
    r.weights += " ";
    r.weights += v;
  } else {
    return false;
  }
  return true;
}

// What keeps the record from giving an orbit ("" when it gives one).
std::string MissingElements(const SolutionFileRecord& r) {
  const struct {
    const char* key;
    bool has;
    double value;
  } needed[] = {{"Epoch", r.hasEpoch, r.epoch}, {"T", r.hasT, r.T},          {"q", r.hasQ, r.q},
                {"e", r.hasE, r.e},             {"Peri", r.hasPeri, r.peri}, {"Node", r.hasNode, r.node},
                {"Incl", r.hasIncl, r.incl}};
  std::string missing, invalid;
  for (const auto& n : needed) {
    if (!n.has)
      missing += missing.empty() ? n.key : std::string(", ") + n.key;
    else if (!std::isfinite(n.value))
      invalid += invalid.empty() ? n.key : std::string(", ") + n.key;
  }
  if (r.hasQ && std::isfinite(r.q) && !(r.q > 0)) invalid += invalid.empty() ? "q" : ", q";
  if (r.hasE && std::isfinite(r.e) && !(r.e >= 0)) invalid += invalid.empty() ? "e" : ", e";
  std::string text;
  if (!missing.empty()) text += "ない値: " + missing;
  if (!invalid.empty()) text += (text.empty() ? "" : "、") + std::string("正しくない値: ") + invalid;
  return text;
}

// Through the view: a box, or in batch mode a collected note (a scan or a
// worker must never stop at a box).
void ShowLoadMessage(CDeterminationDisplay& view, const std::string& text) {
  view.ReportMessage(text, kCaption, kBoxOk | kBoxIconWarning, 1);
}

// The file's bytes when its size is 1 .. 4 MiB; a message and false otherwise.
bool ReadSolutionBytes(CDeterminationDisplay& view, const std::string& path, std::string& bytes) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) {
    ShowLoadMessage(view, kMsgSolutionOpenFailed);
    return false;
  }
  const long size = std::ftell(f.get());
  if (size < 1 || size > kSolutionFileMaxBytes) {
    ShowLoadMessage(view, kMsgSolutionBadSize);
    return false;
  }
  std::rewind(f.get());
  bytes.resize(static_cast<size_t>(size));
  if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
    ShowLoadMessage(view, kMsgSolutionOpenFailed);
    return false;
  }
  return true;
}

// Flags from the file over the observations; weights back to 1.0. Returns
// the number of flag characters.
int ApplyFlags(ObservationRecord* obs, int count, std::string flags) {
  flags.erase(std::remove_if(flags.begin(), flags.end(), [](char c) { return c == ' ' || c == '\t'; }), flags.end());
  const int n = static_cast<int>(flags.size());
  for (int i = 0; i < count; ++i) {
    ObservationRecord& o = obs[i];
    o.m_dWeight = 1.0;
    if (i >= n) continue;
    const char c = flags[static_cast<size_t>(i)];
    const bool known = c == 'X' || c == 'F' || c == 'R';
    o.m_nUnknownStation = c == 'X' ? 1 : 0;
    o.m_bByHand = c == 'F' ? 1 : 0;
    o.m_bRejected = known ? 1 : 0;
  }
  return n;
}

// "index:weight" entries; a weight outside 0.1 .. 100 (or no number) is
// left at 1.0 with a note in the log.
std::string ApplyWeights(ObservationRecord* obs, int count, const std::string& weights) {
  std::string notes;
  std::string_view rest = TrimSpace(weights);
  while (!rest.empty()) {
    const size_t blank = rest.find(' ');
    const std::string_view piece = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view() : TrimSpace(rest.substr(blank));
    const size_t colon = piece.find(':');
    if (piece.empty() || colon == std::string_view::npos || colon == 0) continue;
    const long index = ReadInteger(piece.substr(0, colon));
    if (index < 0 || index >= count) continue;
    const std::string_view text = piece.substr(colon + 1);
    const double w = ReadDecimal(text);
    if (!LeadingNumber(text) || !(w >= kWeightMin && w <= kWeightMax)) {
      notes += FormatC("観測 %ld の重み %s は 0.1〜100 の範囲外なので 1.0 にしました。\r\n", index + 1,
                       std::string(text).c_str());
      continue;
    }
    obs[index].m_dWeight = w;
  }
  return notes;
}

// The restored settings into the engine and the view's controls.
void ApplySettings(CDeterminationDisplay& view, const SolutionFileRecord& r) {
  OrbitEngine& engine = *view.m_pEngine;
  IntegrationState& s = engine.m_state;
  ElementBlock& el = s.m_el;
  s.m_dEpoch = el.m_dEpoch = r.epoch;
  el.m_dT = r.T;
  el.m_dQ = r.q;
  el.m_dE = r.e;
  el.m_dPeri = r.peri;
  el.m_dNode = r.node;
  el.m_dIncl = r.incl;
  double* a[3] = {&el.m_dA1, &el.m_dA2, &el.m_dA3};
  for (int i = 0; i < 3; ++i)
    if (r.hasA[i] && std::isfinite(r.A[i])) *a[i] = r.A[i];
  if (r.hasMpOrbit) s.m_bAsteroid = r.mpOrbit;
  if (r.hasStep && std::isfinite(r.step) && r.step != 0) {
    s.m_dStep = r.step;
    s.m_dStep2 = r.step * r.step;
  }
  if (r.hasEffect) engine.m_bNonGrav = r.effect;
  if (r.hasModel) engine.m_nNonGravModel = r.model >= 0 && r.model <= 3 ? r.model : 0;
  if (r.hasEffectA3) engine.m_bNonGravA3 = r.effectA3;
  if (r.hasPerturbation) engine.m_bPerturbations = r.perturbation;
  if (r.hasPertSet) engine.m_nAsteroidSet = r.pertSet >= 0 && r.pertSet <= 6 ? r.pertSet : 0;
  if (r.hasFixEcc) view.m_pDetClass->m_bFixEcc = r.fixEcc;
  if (r.hasRejectYear) view.m_nRejectYear = r.rejectYear;
  if (r.hasRejectOld && std::isfinite(r.rejectOld)) view.m_dRejectOld = r.rejectOld;
  if (r.hasRejectNew && std::isfinite(r.rejectNew)) view.m_dRejectNew = r.rejectNew;

  // a, n and M of the block.
  if (el.m_dE >= 0 && el.m_dE <= 0.97) {
    el.m_dA = el.m_dQ / (1.0 - el.m_dE);
    el.m_dN = kGaussK / std::pow(el.m_dA, 1.5);
    el.m_dM = MeanAnomalyAtEpoch(el.m_dEpoch, el.m_dT, el.m_dA);
  } else {
    el.m_dA = el.m_dN = el.m_dM = -1.0;
  }
  SyncOrientationVectors(el);

  view.SetItemText(kIdRejectYear, FormatC("%d", view.m_nRejectYear));
  view.SetItemText(kIdRejectOld, FormatC("%.1f", view.m_dRejectOld));
  view.SetItemText(kIdRejectNew, FormatC("%.1f", view.m_dRejectNew));
}

void ApplyControls(CDeterminationDisplay& view) {
  OrbitEngine& engine = *view.m_pEngine;
  view.SetCheck(kIdNonGravCheck, engine.m_bNonGrav);
  view.SetCheck(kIdNonGravA3Check, engine.m_bNonGravA3);
  view.SetNonGravModel(engine.m_nNonGravModel);
  view.SetCheck(kIdPerturbationsCheck, engine.m_bPerturbations);
  view.SetSelection(kIdPerturberSet, engine.m_nAsteroidSet);
  view.FillApproachBodies();
  view.SetCheck(kIdAsteroidCheck, engine.m_state.m_bAsteroid);
  WriteEpochFields(&view, engine.m_state.m_el.m_dEpoch);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

double MeanAnomalyAtEpoch(double epoch, double T, double a) {
  const double n = kGaussK / std::pow(a, 1.5);
  double m = std::fmod((epoch - T) * n, kTwoPi);
  if (m <= 0) m += kTwoPi;
  return m;
}

std::string FormatSolutionFileText(CDeterminationDisplay& view, const IntegrationState& state) {
  OrbitEngine& engine = *view.m_pEngine;
  const ElementBlock& el = state.m_el;
  std::string out;
  AddLine(out, "# Tessarune 軌道要素(再現用)");
  AddLine(out, "# この形式はMPCの書式ではありません。Tessaruneで解を復元するためのものです。");
  AddLine(out, "# 数値は%.17g形式です(doubleをビット単位で往復できる桁数)。");
  AddLine(out, "");
  AddLine(out, "Object       = " + view.m_strObjectName);
  AddLine(out, "PackNames    = " + view.m_strPackNames);
  AddLine(out, "ObsFile      = " + view.m_szObsFile);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  AddLine(out, std::string("SavedAt      = ") + stamp);
  AddLine(out, "");
  AddLine(out, FormatC("Epoch        = %.17g   # ", el.m_dEpoch) + CalendarComment(el.m_dEpoch, "%.6f") + " TT");
  AddLine(out, FormatC("T            = %.17g   # ", el.m_dT) + CalendarComment(el.m_dT, "%.8f") + " TT");
  AddLine(out, FormatC("q            = %.17g   # AU", el.m_dQ));
  AddLine(out, FormatC("e            = %.17g", el.m_dE));
  AddLine(out, FormatC("Peri         = %.17g   # %.10f 度", el.m_dPeri, el.m_dPeri * kDegPerRad));
  AddLine(out, FormatC("Node         = %.17g   # %.10f 度", el.m_dNode, el.m_dNode * kDegPerRad));
  AddLine(out, FormatC("Incl         = %.17g   # %.10f 度", el.m_dIncl, el.m_dIncl * kDegPerRad));
  // The block's a is -1 beyond e = 0.97; derived here so that no stale value is written.
  const double a = el.m_dE <= 0.97 && el.m_dE >= 0 ? el.m_dQ / (1.0 - el.m_dE) : -1.0;
  AddLine(out, FormatC("# a          = %.17g   # AU (q/(1-e) から求まる従属量)", a));
  if (el.m_dE < 1 && a > 0)
    AddLine(out, FormatC("# M          = %.17g   # 度 (TとEpochから求まる従属量)",
                         MeanAnomalyAtEpoch(el.m_dEpoch, el.m_dT, a) * kDegPerRad));
  AddLine(out, FormatC("MpOrbit      = %d   # 0=彗星形式で表示, 1=小惑星形式で表示", engine.m_state.m_bAsteroid));
  AddLine(out, "");
  AddLine(out, FormatC("Effect       = %d   # 0=重力のみ, 1=非重力効果あり", engine.m_bNonGrav));
  AddLine(out, FormatC("NonGravModel = %d   # 0=水氷(マースデンTypeII), 1=CO・N2(薮下), 2=CO2, 3=太陽光圧",
                       engine.m_nNonGravModel));
  AddLine(out, FormatC("EffectA3     = %d   # A3(軌道面直交成分)も解くか", engine.m_bNonGravA3));
  AddLine(out, FormatC("A1           = %.17g", el.m_dA1));
  AddLine(out, FormatC("A2           = %.17g", el.m_dA2));
  AddLine(out, FormatC("A3           = %.17g", el.m_dA3));
  AddLine(out, "");
  AddLine(out, FormatC("Perturbation = %d   # 摂動計算あり", engine.m_bPerturbations));
  AddLine(out, FormatC("MpPertSet    = %d   # 摂動体に加える小惑星(0:なし=M-P 1:M-Pv 2:M-Pc 3:M-Pp 4:M-Pe "
                       "5:M-Ph 6:従来5個)",
                       engine.m_nAsteroidSet));
  AddLine(out, FormatC("FixEcc       = %d   # 離心率を固定して解いた", view.m_pDetClass->m_bFixEcc));
  AddLine(out, FormatC("Daystep      = %.17g   # 積分間隔(日)", state.m_dStep));
  if (engine.m_bPerturbations == 1) {
    const bool asteroids = GetPerturberTable().m_bLoaded != 0;
    const int de = g_pJplEph && g_pJplEph->IsOpen() ? g_nJplDeNumber : 0;
    AddLine(out, "PertCoarse   = " + CoarsePerturberCode(engine.m_nAsteroidSet, asteroids) +
                     "   # 摂動体の大まかな記号(冥王星を含むので、MPCのM-vなどにPを入れた独自の記号)");
    AddLine(out, "PertPrecise  = " + MakePerturberSetCode(asteroids ? engine.m_nAsteroidSet : 0, de) +
                     "   # 摂動体の詳しい記号(MPCの定義どおり。16進2桁=加えた天体、最後の1文字=惑星暦の版)");
  }
  int year = 0;
  double before = 0, after = 0;
  view.GetRejectThresholds(year, before, after);
  AddLine(out, FormatC("RejectYear   = %d", year));
  AddLine(out, FormatC("RejectOld    = %.17g   # 境目の年以前のしきい値(\")", before));
  AddLine(out, FormatC("RejectNew    = %.17g   # 境目の年より後のしきい値(\")", after));
  AddLine(out, FormatC("MeanResidual = %.17g   # このときの平均残差(\")", engine.m_dMeanResidual));
  AddLine(out, FormatC("UsedObs      = %d   # 改良に採用した観測数", engine.m_nUsedObs));
  if (engine.m_bErrValid == 1) {
    AddLine(out, "");
    AddLine(out, "ErrValid     = 1   # 以下の形式誤差が有効");
    for (int k = 0; k < 12; ++k) AddLine(out, FormatC(kErrorLines[k], *ErrorField(engine, k)));
  }
  AddLine(out, "");

  const DetClass& det = *view.m_pDetClass;
  const ObservationRecord* obs = det.m_pOrbObs;
  const int count = obs ? det.m_nObsCount : 0;
  std::string flags;
  int rejected = 0, byHand = 0, unknown = 0;
  for (int i = 0; i < count; ++i) {
    const char c = FlagOf(obs[i]);
    flags += c;
    rejected += c == 'R';
    byHand += c == 'F';
    unknown += c == 'X';
  }
  AddLine(out, FormatC("ObsCount     = %d   # 除外%d 手動除外%d コード不明%d", count, rejected, byHand, unknown));
  size_t at = 0;
  do {
    AddLine(out, "ObsFlags     = " + flags.substr(at, kFlagsPerLine));
    at += kFlagsPerLine;
  } while (at <= flags.size() && !flags.empty());
  std::string weights;
  int entries = 0;
  for (int i = 0; i < count; ++i) {
    if (obs[i].m_dWeight == 1.0) continue;
    if (entries > 0 && entries % kWeightsPerLine == 0) {
      AddLine(out, "ObsWeights   = " + weights);
      weights.clear();
    }
    if (!weights.empty()) weights += ' ';
    weights += FormatC("%d:%.17g", i, obs[i].m_dWeight);
    ++entries;
  }
  if (entries > 0) AddLine(out, "ObsWeights   = " + weights);
  return out;
}

std::string SolutionFileTextForBatch(CDeterminationDisplay& view, const IntegrationState& state,
                                     const std::string& note, int dropFit) {
  std::string out;
  if (!note.empty()) {
    std::string n = note;
    for (size_t p = 0; (p = n.find("\r\n", p)) != std::string::npos;) n.erase(p, 1);
    ForEachLine(n, [&](std::string_view line) { AddLine(out, "# " + std::string(line)); });
  }
  const std::string text = FormatSolutionFileText(view, state);
  if (!dropFit) return out + text;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view key, value;
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string_view::npos || eq == 0 || !KeyLine(line, key, value) ||
        (key != "MeanResidual" && key != "UsedObs" && key.substr(0, 3) != "Err"))
      AddLine(out, std::string(line));
  });
  return out;
}

bool WriteSolutionFileForBatch(CDeterminationDisplay& view, const std::string& path, const IntegrationState& state,
                               const std::string& note, int dropFit) {
  return WriteFileAtomic(path, kBom + SolutionFileTextForBatch(view, state, note, dropFit));
}

void ParseSolutionFileText(const std::string& text, SolutionFileRecord& rec) {
  std::string_view body = text;
  if (body.size() >= 3 && body.substr(0, 3) == kBom) body.remove_prefix(3);
  ForEachLine(body, [&](std::string_view line) {
    std::string_view key, value;
    if (KeyLine(line, key, value) && ParseKey(key, value, rec)) ++rec.keys;
  });
}

int LoadSolutionFile(CDeterminationDisplay& view, const std::string& path) {
  DetClass* det = view.m_pDetClass;
  if (!det || !det->m_pOrbObs || det->m_nObsCount <= 0) return -1;
  const std::string name = FileNameOf(path);
  std::string bytes;
  if (!ReadSolutionBytes(view, path, bytes)) return -1;
  SolutionFileRecord rec;
  ParseSolutionFileText(bytes, rec);
  if (rec.keys == 0) {
    ShowLoadMessage(view, kMsgSolutionNothingKnown);
    return -1;
  }
  // Nothing changes unless the file gives a whole orbit.
  const std::string missing = MissingElements(rec);
  if (!missing.empty()) {
    ShowLoadMessage(view, "再現用ファイルの軌道要素が揃っていないため、読み込みませんでした。\r\n(" + missing + ")");
    return -1;
  }

  OrbitEngine& engine = *view.m_pEngine;
  ApplySettings(view, rec);
  const int count = det->m_nObsCount;
  const int flagCount = ApplyFlags(det->m_pOrbObs, count, rec.flags);
  if (flagCount != 0 && flagCount != count)
    view.ReportMessage(FormatC("観測の数が合いません(ファイル %d 個、いま読み込んでいる観測 %d 個)。\r\n"
                               "除外の状態は先頭から重ねましたが、別の観測ファイルの可能性があります。",
                               flagCount, count),
                       kCaption, kBoxOk | kBoxIconWarning, 1);
  const std::string weightNotes = ApplyWeights(det->m_pOrbObs, count, rec.weights);
  ApplyControls(view);
  engine.m_bCovarianceValid = 0;
  engine.m_bErrValid = 0;

  TheApp().DoWaitCursor(1);
  engine.m_nCalcState = kCalcLoaded;
  const std::string epochText = EpochDateText(rec.epoch);
  view.WriteOpLogLine(FormatC("[軌道要素を読み込んで計算] %s  ファイルの元期 ", name.c_str()).append(epochText).c_str());
  if (view.m_nBatchMode != 0)
    view.AppendCalcLog("軌道要素を読み込んで計算: 要素の元期 " + epochText + " のまま残差を計算します\r\n" +
                       weightNotes);
  else if (engine.m_bEpochFromField == 1)
    view.AppendCalcLog("軌道要素を読み込んで計算: 要素の元期 " + epochText +
                       " のまま残差を計算します(元期をEpoch欄で指定する=ON)\r\n" + weightNotes);
  else
    view.AppendCalcLog("軌道要素を読み込んで計算: 要素の元期 " + epochText +
                       " から標準の元期へ移動して残差を計算します\r\n" + weightNotes);
  RoundFieldEpoch(&view, rec.epoch);
  // A batch reload measures the stored orbit from its own epoch, as the scan
  // measured it: the orbit of an object next to the Earth, moved to the
  // placement rules' far epoch with the residual run's step, is lost.
  if (view.m_nBatchMode != 0) engine.m_dPendingEpoch = rec.epoch;
  const int result = ImproveOrbitIteration(&engine, rec.epoch, 0);
  TheApp().DoWaitCursor(-1);
  if (result != 0) {
    std::string text = engine.m_strMessage;
    if (text.empty()) text = result == -9 ? "計算を中止しました。" : "残差の計算に失敗しました。";
    view.AppendCalcLog(text + "\r\n");
    ShowLoadMessage(view, "軌道要素は読み込みましたが、残差の計算ができませんでした。\r\n" + text);
  }
  const ElementBlock& el = engine.m_state.m_el;
  if (rec.errValid == 1) {
    if (std::fabs(el.m_dEpoch - rec.epoch) <= 0.01) {
      for (int k = 0; k < 12; ++k) *ErrorField(engine, k) = rec.errors[k];
      engine.m_bErrValid = 1;
    } else {
      view.AppendCalcLog("元期を " + EpochDateText(el.m_dEpoch) +
                         " へ移動したため、ファイルの軌道要素の平均誤差は表示しません。\r\n");
    }
  }
  view.ShowNonGravParams();
  view.ShowElementText(view.Window(kIdResultEdit), &engine.m_state, kReportPerturbed);
  view.RefreshResidualList(det->m_pOrbObs, 1);
  view.UpdateControlsForState(engine.m_nCalcState);
  view.AppendCalcLog("再現用ファイルを読み込みました: " + name + "\r\n");
  view.WriteOpLogLine(("  → 元期 " + EpochDateText(engine.m_state.m_dEpoch) +
                       FormatC("  平均残差 %.6f\"  有効観測 %d", engine.m_dMeanResidual, engine.m_nUsedObs))
                          .c_str());
  return result;
}
