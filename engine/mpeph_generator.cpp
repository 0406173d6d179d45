#include "engine/mpeph_generator.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/frames.h"
#include "astro/time_scales.h"
#include "data/element_file.h"
#include "data/element_record.h"
#include "data/mp_names.h"
#include "engine/determination_host.h"
#include "engine/force_model.h"
#include "engine/integration_drivers.h"
#include "engine/orbit_engine.h"
#include "engine/quiet_run_settings.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

const char* const kMpephAsteroidLabels[kMpephGenAsteroids] = {
    "(1) Ceres", "(2) Pallas", "(4) Vesta", "(7) Iris", "(324) Bamberga", "(10) Hygiea", "(15) Eunomia"};

namespace {

constexpr const char* kCaption = "Tessarune";
constexpr const char* kMsgNoView = "軌道計算の画面が開いていないため生成できません。";
constexpr const char* kMsgBadFields = "開始年・終了年・元期の間隔(10〜400日)を確かめてください。";
constexpr const char* kMsgTooMany = "組数が多すぎます。間隔を広げてください。";
constexpr const char* kMsgNoMemory = "メモリーが足りません。";
constexpr const char* kMsgBusy = "ほかの計算が動いています。";
constexpr const char* kMsgAborted = "中止しました。ファイルは作っていません。";
constexpr const char* kMsgDone = "正常に作成しました。";
constexpr const char* kMsgWriteFailed = "書き込みに失敗しました。";
constexpr const char* kMsgOldFileKept = "元のファイルはそのままです。";

// Records within this many days of the time reached keep its elements.
constexpr double kNoIntegrationDays = 12.0;
constexpr int kProgressEvery = 100;
constexpr int kMaxLineRead = 511;
constexpr size_t kMinCatalogueLine = 103;

void Message(const std::string& text)
{
  Ui().ShowMessage(kCaption, text, MsgIcon::Warning, MsgButtons::Ok);
}

// The slot of an elliptic catalogue line; false for any other.
bool SlotFromCatalogueLine(std::string_view line, MpephSlot& slot)
{
  if (!IsMpcorbLine(line))
    return false;
  ElementRecord rec;
  ParseMpcorbLine(&rec, line);
  if (!(rec.m_dA > 0 && rec.m_dQ > 0 && rec.m_dE >= 0 && rec.m_dE < 1 && rec.m_dEpoch > 0))
    return false;
  const double n = kGaussK / std::pow(rec.m_dA, 1.5);
  slot = {rec.m_dEpoch, rec.m_dEpoch - rec.m_dM * kRadPerDeg / n, rec.m_dQ, rec.m_dE,
          rec.m_dPeri * kRadPerDeg, rec.m_dNode * kRadPerDeg, rec.m_dIncl * kRadPerDeg};
  return true;
}

// A fresh run from the slot's catalogue elements at their epoch.
void StartFromSlot(OrbitEngine* engine, const MpephSlot& slot, IntegrationState* state)
{
  *state = IntegrationState{};
  SetupIntegrationState(engine, state);
  state->m_chMode = kModeCalculation;
  state->m_chElementForm = 'C';
  state->m_nBodies = 1;
  state->m_nSolveMask = 127;
  const double a = slot.q / (1.0 - slot.e), n = kGaussK / std::pow(a, 1.5);
  const double revolutions = (slot.epoch - slot.T) * n / kTwoPi;
  double M0 = (revolutions - std::trunc(revolutions)) * kTwoPi;
  if (M0 <= 0)
    M0 += kTwoPi;
  ElementBlock& el = state->m_el;
  el.m_dT = slot.T;
  el.m_dQ = slot.q;
  el.m_dE = slot.e;
  el.m_dPeri = slot.peri;
  el.m_dNode = slot.node;
  el.m_dIncl = slot.incl;
  OrbitOrientationVectors(el.m_dPeri, el.m_dNode, el.m_dIncl, el.m_dP, el.m_dQvec);
  el.m_dA1 = el.m_dA2 = el.m_dA3 = 0;
  el.m_dA = a;
  el.m_dN = n;
  el.m_dM = M0;
  el.m_dEpoch = state->m_dEpoch = slot.epoch;
  state->m_pApproach = nullptr;
  state->m_pImpacts = nullptr;
  state->m_pGeoTrack = nullptr;
  state->m_pElementLog = nullptr;
  state->m_nOrbitKind = 0;
  state->m_nStepCount = 0;
  state->m_nSingleBody = 0;
}

// One pass of one asteroid over epochs first, first + step, ... (step ±1),
// count of them. 0, -9 cancelled, -1 failed.
int RunPass(OrbitEngine* engine, DetClass* det, int asteroid, const MpephSlot& slot, const MpephSpan& span,
            int first, int step, int count, int counter, MpephRecord* records, MpephProgress& progress)
{
  auto state = std::make_unique<IntegrationState>();
  StartFromSlot(engine, slot, state.get());
  const int epochs = span.n + 1;
  for (int i = 0, k = first; i < count; ++i, k += step, ++counter) {
    if (PumpAndCheckCancel(engine) == 1)
      return kEngineCancelled;
    const double t = span.jd0 + k * span.interval;
    state->m_dEnd = t;
    state->m_dDirection = t >= state->m_dEpoch ? 1.0 : -1.0;
    state->m_dStep = state->m_dDirection;
    state->m_dStep2 = 1.0;
    if (std::fabs(t - state->m_dEpoch) > kNoIntegrationDays) {
      int r;
      {
        QuietRunSettings quiet(engine, det);
        r = IntegrateOrbit(engine, progress.MessageWindow(), nullptr, state.get());
      }
      if (r == kEngineCancelled)
        return kEngineCancelled;
      if (r != kEngineDone) {
        progress.AppendLog(FormatC("  JD %.1f で積分が失敗しました。", t));
        return kEngineFailed;
      }
      state->m_dEpoch = state->m_el.m_dEpoch;
    }
    const ElementBlock& el = state->m_el;
    if (!(el.m_dQ > 0 && el.m_dE >= 0 && el.m_dE < 1)) {
      progress.AppendLog(FormatC("  JD %.1f で軌道が楕円でなくなりました。", t));
      return kEngineFailed;
    }
    records[static_cast<size_t>(asteroid) * epochs + k] = {t, el.m_dT, el.m_dQ, el.m_dE, el.m_dPeri, el.m_dNode,
                                                           el.m_dIncl};
    if (counter % kProgressEvery == 0)
      progress.ShowProgress(FormatC("  %s  JD %.1f  (%d / %d)", kMpephAsteroidLabels[asteroid], t, k + 1, epochs));
  }
  return kEngineDone;
}

} // namespace

int FindMpephAsteroids(const std::string& path, MpephSlot slots[kMpephGenAsteroids])
{
  for (int i = 0; i < kMpephGenAsteroids; ++i)
    slots[i] = MpephSlot{};
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file)
    return -1;
  char prefixes[kMpephGenAsteroids][8];
  for (int i = 0; i < kMpephGenAsteroids; ++i)
    std::snprintf(prefixes[i], sizeof prefixes[i], "%05d", kMpephAsteroidNumbers[i]);
  int found = 0;
  char buf[kMaxLineRead + 1];
  while (found < kMpephGenAsteroids && std::fgets(buf, sizeof buf, file.get())) {
    const std::string_view line(buf, std::strlen(buf));
    if (line.size() < kMinCatalogueLine)
      continue;
    for (int i = 0; i < kMpephGenAsteroids; ++i) {
      if (slots[i].q > 0 || line.compare(0, 5, prefixes[i]) != 0)
        continue;
      if (SlotFromCatalogueLine(line, slots[i]))
        ++found;
      break;
    }
  }
  return found;
}

int ReadMpephSpan(const std::string& startYear, const std::string& endYear, const std::string& interval,
                  MpephSpan& span, std::string& message)
{
  span = MpephSpan{};
  const bool numbers = ParseDouble(startYear, span.startYear) && ParseDouble(endYear, span.endYear) &&
                       ParseDouble(interval, span.interval);
  if (!numbers || !(span.startYear >= -3000 && span.startYear < span.endYear && span.endYear <= 5000) ||
      !(span.interval >= 10 && span.interval <= 400)) {
    message = kMsgBadFields;
    return -1;
  }
  span.jd0 = YmdToJd(static_cast<int>(span.startYear), 1, 1.0);
  const double intervals = (YmdToJd(static_cast<int>(span.endYear), 1, 1.0) - span.jd0) / span.interval;
  if (!(intervals >= 1 && intervals < 200000)) {
    message = kMsgTooMany;
    return -1;
  }
  span.n = static_cast<int>(intervals);
  return 0;
}

int IntegrateMpephTable(OrbitEngine* engine, DetClass* det, const MpephSlot slots[kMpephGenAsteroids],
                        const MpephSpan& span, MpephRecord* records, MpephProgress& progress)
{
  for (int a = 0; a < kMpephGenAsteroids; ++a) {
    const MpephSlot& slot = slots[a];
    if (!(slot.q > 0))
      continue;
    progress.AppendLog(FormatC("%s を計算中...", kMpephAsteroidLabels[a]));
    double s = std::floor((slot.epoch - span.jd0) / span.interval + 0.5);
    s = s < 0 ? 0 : (s > span.n ? span.n : s);
    const int nearest = static_cast<int>(s);
    int r = RunPass(engine, det, a, slot, span, nearest, -1, nearest + 1, 0, records, progress);
    if (r == kEngineDone)
      r = RunPass(engine, det, a, slot, span, nearest + 1, 1, span.n - nearest, 1, records, progress);
    if (r != kEngineDone)
      return r;
  }
  return kEngineDone;
}

std::string MpephFileBytes(const MpephSpan& span, const MpephSlot slots[kMpephGenAsteroids],
                           const MpephRecord* records)
{
  MpephHeader header{};
  std::memcpy(header.magic, kMpephMagic, sizeof header.magic);
  header.nAsteroids = kMpephGenAsteroids;
  header.nEpochs = span.n + 1;
  header.firstEpoch = span.jd0;
  header.step = span.interval;
  for (int i = 0; i < kMpephGenAsteroids; ++i) {
    header.numbers[i] = kMpephAsteroidNumbers[i];
    header.masses[i] = kMpephAsteroidMasses[i];
  }
  header.ceresOsculationEpoch = slots[0].epoch;
  const size_t recordBytes = static_cast<size_t>(kMpephGenAsteroids) * header.nEpochs * sizeof(MpephRecord);
  std::string bytes(sizeof header + recordBytes, '\0');
  std::memcpy(bytes.data(), &header, sizeof header);
  std::memcpy(bytes.data() + sizeof header, records, recordBytes);
  return bytes;
}

namespace {

// Steps 1-4 of a run and the catalogue: false after a refusal (said).
bool PrepareRun(MpephGeneratorWindow& window, const std::string& startYear, const std::string& endYear,
                const std::string& interval, MpephSpan& span, MpephSlot slots[kMpephGenAsteroids])
{
  CDetermination* det = CurrentDetermination();
  if (!det || !det->m_pEngine || !det->m_pDetClass) {
    Message(kMsgNoView);
    return false;
  }
  std::string refusal;
  if (ReadMpephSpan(startYear, endYear, interval, span, refusal) != 0) {
    Message(refusal);
    return false;
  }
  std::string catalogue;
  GetMpcorbPath(catalogue);
  window.ClearLog();
  window.AppendLog(FormatC("摂動用小惑星暦の生成  %.0f年〜%.0f年  元期の間隔 %.0f日  %d組×%d天体", span.startYear,
                           span.endYear, span.interval, span.n + 1, kMpephGenAsteroids));
  window.AppendLog("MPCORB.DAT: " + catalogue);
  const int found = FindMpephAsteroids(catalogue, slots);
  if (found < 0) {
    const std::string text = "MPCORB.DAT を開けません: " + catalogue;
    window.AppendLog(text);
    Message(text);
    return false;
  }
  if (found < kMpephGenAsteroids) {
    std::string text = "MPCORB.DAT に見つからなかった天体があります:";
    for (int i = 0; i < kMpephGenAsteroids; ++i)
      if (!(slots[i].q > 0))
        text += std::string(" ") + kMpephAsteroidLabels[i];
    window.AppendLog(text);
    Message(text);
    return false;
  }
  for (int i = 0; i < kMpephGenAsteroids; ++i)
    window.AppendLog(FormatC("  %s  元期JD %.1f  q=%.6f e=%.6f i=%.3f°", kMpephAsteroidLabels[i], slots[i].epoch,
                             slots[i].q, slots[i].e, slots[i].incl * kDegPerRad));
  return true;
}

// The engine's asteroid set at 0 and the hidden message window for the life
// of the work; both restored however it ends.
class GeneratorRun {
public:
  GeneratorRun(MpephGeneratorWindow& window, OrbitEngine* engine)
      : m_window(window), m_engine(engine), m_set(engine->m_nAsteroidSet)
  {
    m_window.CreateMessageWindow();
    engine->m_nAsteroidSet = 0;
  }
  ~GeneratorRun()
  {
    if (m_busy)
      EndBusy(m_engine);
    m_engine->m_nAsteroidSet = m_set;
    m_window.DestroyMessageWindow();
  }
  GeneratorRun(const GeneratorRun&) = delete;
  GeneratorRun& operator=(const GeneratorRun&) = delete;

  bool Begin()
  {
    m_busy = BeginBusyCommand(m_engine) == 0;
    return m_busy;
  }

private:
  MpephGeneratorWindow& m_window;
  OrbitEngine* m_engine;
  int m_set;
  bool m_busy = false;
};

int WriteTable(MpephGeneratorWindow& window, const std::string& path, const std::string& bytes)
{
  std::string error;
  if (!WriteFileAtomic(path, bytes, &error)) {
    window.AppendLog(error.rfind("一時ファイル", 0) == 0 ? "ファイルを作れません: " + path : kMsgWriteFailed);
    window.AppendLog(kMsgOldFileKept);
    return kMpephWriteFailed;
  }
  window.AppendLog(FormatC("完成: %s  (%d バイト)", path.c_str(), static_cast<int>(bytes.size())));
  Ui().ShowMessage(kCaption, kMsgDone, MsgIcon::Information, MsgButtons::Ok);
  return kMpephWritten;
}

} // namespace

int GenerateAsteroidEphemeris(MpephGeneratorWindow& window, const std::string& startYear,
                              const std::string& endYear, const std::string& interval)
{
  MpephSpan span;
  MpephSlot slots[kMpephGenAsteroids];
  if (!PrepareRun(window, startYear, endYear, interval, span, slots))
    return kMpephRefused;
  std::string path;
  if (!window.ChooseSaveFile(path))
    return kMpephNoFileChosen;
  std::vector<MpephRecord> records;
  try {
    records.assign(static_cast<size_t>(kMpephGenAsteroids) * (span.n + 1), MpephRecord{});
  } catch (const std::bad_alloc&) {
    Message(kMsgNoMemory);
    return kMpephRefused;
  }
  CDetermination* det = CurrentDetermination();
  int result;
  {
    GeneratorRun run(window, det->m_pEngine);
    if (!run.Begin()) {
      window.AppendLog(kMsgBusy);
      result = kEngineFailed;
    } else {
      result = IntegrateMpephTable(det->m_pEngine, det->m_pDetClass, slots, span, records.data(), window);
    }
  }
  if (result != kEngineDone) {
    window.AppendLog(kMsgAborted);
    return kMpephAborted;
  }
  return WriteTable(window, path, MpephFileBytes(span, slots, records.data()));
}
