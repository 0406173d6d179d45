#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/registry/window_registry.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/ui_services.h"

namespace {

// A view whose clock reads 09:05:07.
class FixedTimeView : public CDetermination {
public:
  FixedTimeView() : CDetermination(false) {}
  HostControl& Ctl(int id) { return Control(id); }

protected:
  std::tm LocalTimeNow() override {
    std::tm t{};
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    return t;
  }
};

const std::string kStamp = "――― 09:05:07 ―――\r\n";

TEST(CalcLog, StampsEachEntryAndEndsItWithALineBreak) {
  FixedTimeView view;
  view.AppendCalcLog("one");
  view.AppendCalcLog("two\r\n");
  view.AppendCalcLog("");  // nothing, not even a stamp
  EXPECT_EQ(view.m_strCalcLog, kStamp + "one\r\n" + kStamp + "two\r\n");
  EXPECT_EQ(view.Ctl(kIdCalcLogEdit).m_strText, view.m_strCalcLog);

  view.m_nBatchMode = 1;
  view.AppendCalcLog("three");
  EXPECT_NE(view.m_strCalcLog.find("three"), std::string::npos);
  view.m_nBatchMode = 2;
  const std::string before = view.m_strCalcLog;
  view.AppendCalcLog("four");
  EXPECT_EQ(view.m_strCalcLog, before);
}

// The limits count characters, not bytes: the stamp holds six three-byte
// characters (18 characters in all) and the log Japanese text.
TEST(CalcLog, TrimsToTheLast200000CharactersPast262144) {
  FixedTimeView view;
  const size_t stampChars = CountCharacters(kStamp);
  EXPECT_EQ(stampChars, 18u);
  // Fill to exactly 262144 characters: not trimmed.
  const std::string kana = "あ";
  std::string body;
  const size_t bodyChars = kCalcLogMaxChars - stampChars - 2;
  for (size_t i = 0; i < bodyChars; ++i) body += kana;
  view.AppendCalcLog(body);
  EXPECT_EQ(CountCharacters(view.m_strCalcLog), kCalcLogMaxChars);
  EXPECT_EQ(view.m_strCalcLog.compare(0, kStamp.size(), kStamp), 0);

  // One more entry passes the limit: the last 200000 characters stay, cut
  // at a character boundary.
  view.AppendCalcLog("end");
  EXPECT_EQ(CountCharacters(view.m_strCalcLog), kCalcLogKeepChars);
  const std::string tail = kStamp + "end\r\n";
  ASSERT_GE(view.m_strCalcLog.size(), tail.size());
  EXPECT_EQ(view.m_strCalcLog.substr(view.m_strCalcLog.size() - tail.size()), tail);
  EXPECT_EQ(view.m_strCalcLog.compare(0, kana.size(), kana), 0);
}

TEST(CalcLog, ProgressIsShownOnlyWhileRegistered) {
  FixedTimeView view;
  view.AppendCalcLog("log");
  view.Ctl(kIdCalcLogEdit).m_strText = "untouched";
  view.ShowCalcLogProgress("x");
  EXPECT_EQ(view.Ctl(kIdCalcLogEdit).m_strText, "untouched");
  const std::string progress = "【AI自動改良の経過】\r\n";
  view.m_strCalcLogProgressStamp = kStamp;
  view.m_pCalcLogProgress = &progress;
  view.ShowCalcLogProgress("now");
  EXPECT_EQ(view.Ctl(kIdCalcLogEdit).m_strText, view.m_strCalcLog + kStamp + progress + "now");
  view.ShowCalcLogProgress(nullptr);
  EXPECT_EQ(view.Ctl(kIdCalcLogEdit).m_strText, view.m_strCalcLog + kStamp + progress);
  EXPECT_EQ(view.m_strCalcLog, kStamp + "log\r\n");
}

TEST(ReportMessage, BatchCollectsInteractiveAsks) {
  HeadlessUiServices ui;
  ScopedUi scoped(ui);
  FixedTimeView view;
  view.m_nBatchMode = 1;
  EXPECT_EQ(view.ReportMessage("a\r\nb\rc", "cap", kBoxOk, 1), 1);
  EXPECT_EQ(view.ReportMessage("d\ne", "cap", kBoxYesNo, 7), 7);
  EXPECT_EQ(view.m_strBatchMessages, "a b c / d e");
  EXPECT_TRUE(ui.m_messages.empty());

  view.m_nBatchMode = 0;
  ui.m_scriptedAnswers = {MsgAnswer::Yes};
  EXPECT_EQ(view.ReportMessage("q?", "cap", kBoxYesNo | kBoxIconQuestion, 1), 6);
  ASSERT_EQ(ui.m_messages.size(), 1u);
  EXPECT_EQ(ui.m_messages[0].icon, MsgIcon::Question);
  EXPECT_EQ(ui.m_messages[0].buttons, MsgButtons::YesNo);
}

TEST(ApplyStepSetting, ComboTextGivesStepClassAndSign) {
  FixedTimeView view;
  const struct {
    const char* text;
    double direction;
    double step;
    int stepClass;
    int automatic;
  } cases[] = {
      {"1日", 1, 1.0, 0, 0},       {"0.5日", 1, 0.5, 1, 0},   {"0.25日", -1, -0.25, 2, 0},
      {"3時間", 1, 0.125, 3, 0},   {"5.3秒", 1, 6.103515625e-05, 3, 0},
      {"-2", 1, 2.0, 0, 0},        // other texts: days, absolute value
      {"自動", -1, -0.03125, 3, 1},  // 10-day fit: 2^-5 day
      {"0.1", 1, 0.1, 3, 0},
      // no positive number: the automatic step, never a step of 0
      {"", -1, -0.03125, 3, 1},      {"0", 1, 0.03125, 3, 1},   {"abc", 1, 0.03125, 3, 1},
      {"nan", 1, 0.03125, 3, 1},     {"1e999", 1, 0.03125, 3, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    IntegrationState s{};
    s.m_dDirection = c.direction;
    s.m_chMode = 'N';
    s.m_dEpoch = 2451545.0;
    s.m_dObsFirst = 2451540.0;
    s.m_dObsLast = 2451550.0;
    view.Ctl(kIdStepCombo).m_strText = c.text;
    EXPECT_EQ(view.ApplyStepSetting(&s), 0);
    EXPECT_EQ(s.m_dStep, c.step);
    EXPECT_EQ(s.m_dStep2, c.step * c.step);
    EXPECT_EQ(s.m_nStepClass, c.stepClass);
    EXPECT_EQ(s.m_bStepControlWanted, c.automatic);
  }
}

TEST(RejectThresholds, InvalidFieldsKeepTheStoredValues) {
  FixedTimeView view;
  view.Ctl(kIdRejectYear).m_strText = "999";
  view.Ctl(kIdRejectOld).m_strText = "0";
  view.Ctl(kIdRejectNew).m_strText = "1.25";
  int year = 0;
  double before = 0, after = 0;
  view.GetRejectThresholds(year, before, after);
  EXPECT_EQ(year, 1820);
  EXPECT_EQ(before, 6.0);
  EXPECT_EQ(after, 1.25);
  EXPECT_EQ(view.Ctl(kIdRejectYear).m_strText, "1820");
  EXPECT_EQ(view.Ctl(kIdRejectOld).m_strText, "6.0");
  EXPECT_EQ(view.Ctl(kIdRejectNew).m_strText, "1.2");  // "%.1f" of 1.25 (binary 1.25 rounds to even)
  view.Ctl(kIdRejectYear).m_strText = "1900";
  view.Ctl(kIdRejectOld).m_strText = "abc";
  view.GetRejectThresholds(year, before, after);
  EXPECT_EQ(year, 1900);
  EXPECT_EQ(before, 6.0);
}

TEST(ElementSummary, LineWithAndWithoutResidual) {
  FixedTimeView view;
  OrbitEngine& e = *view.m_pEngine;
  ElementBlock& el = e.m_state.m_el;
  el.m_dT = 2451545.0;  // 2000/1/1.5
  el.m_dQ = 1.5;
  el.m_dE = 0.25;
  el.m_dPeri = 3.141592653589793 / 2;
  el.m_dNode = 3.141592653589793 / 4;
  el.m_dIncl = 3.141592653589793 / 180;
  e.m_state.m_dEpoch = 2451600.5;
  e.m_dMeanResidual = 0.4567;
  e.m_nUsedObs = 42;
  EXPECT_EQ(view.FormatElementSummaryLine(1),
            "T=2000/1/1.50000 q=1.5000000 e=0.2500000 Peri=90.00000 Node=45.00000 Incl=1.00000 元期JD=2451600.5 "
            "平均残差=0.457\" 有効=42");
  e.m_bNonGrav = 1;
  e.m_bNonGravA3 = 1;
  e.m_nNonGravModel = 1;
  el.m_dA1 = 1.5e-8;
  el.m_dA2 = -2e-9;
  el.m_dA3 = 1e-10;
  EXPECT_EQ(view.FormatElementSummaryLine(0),
            "T=2000/1/1.50000 q=1.5000000 e=0.2500000 Peri=90.00000 Node=45.00000 Incl=1.00000 元期JD=2451600.5 "
            "平均残差=----\" 有効=---- Y1=+1.5000 Y2=-0.200000 Y3=+0.010000");
}

TEST(OpLog, WrittenOnlyWhileOnWithByteOrderMarkOnce) {
  FixedTimeView view;
  const std::string path = TempFolder() + "tsr_engine_oplog_test.txt";
  std::remove(path.c_str());
  view.m_strOpLogPath = path;
  view.WriteOpLog("off\r\n");
  EXPECT_FALSE(FileExists(path));
  view.m_bOpLog = 1;
  view.WriteOpLog("一\r\n");
  view.WriteOpLog("二\r\n");
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "\xEF\xBB\xBF一\r\n二\r\n");

  // The manual change of the variation amounts: state copy, flags, log block.
  OrbitEngine& e = *view.m_pEngine;
  e.m_dVariation[0] = 0.002;
  e.m_bCorrectionStopped = e.m_bHaveSaved = e.m_nWorsenRetries = 1;
  view.OnVariationAmountsConfirmed();
  EXPECT_EQ(e.m_state.m_dVariation[0], 0.002);
  EXPECT_EQ(e.m_state.m_dVariation[8], 1e-11);
  EXPECT_EQ(e.m_bCorrectionStopped + e.m_bHaveSaved + e.m_nWorsenRetries, 0);
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  const std::string block = "] === 要素変化量の変更(手動) ===\r\n要素変化量: T=0.002 Peri=1e-05 Node=1e-05 Inc=1e-05 "
                            "q=1e-06 e=1e-06 A1=1e-10 A2=1e-11 A3=1e-11\r\n";
  ASSERT_GE(bytes.size(), block.size());
  EXPECT_EQ(bytes.substr(bytes.size() - block.size()), block);
  std::remove(path.c_str());
}

TEST(Fallback, CurrentViewFallsBackAndDestructionClearsIt) {
  OpenWindows().m_pDetermination = nullptr;
  CDetermination* current = CurrentDetermination();
  EXPECT_EQ(current, &FallbackDetermination());
  EXPECT_EQ(OpenWindows().m_pDetermination, current);
  EXPECT_EQ(current->m_pEngine->m_pDet, current->m_pDetClass);
  EXPECT_EQ(current->m_pDetClass->m_pEngine, current->m_pEngine);
  {
    CDetermination view;
    EXPECT_EQ(OpenWindows().m_pDetermination, &view);
  }
  EXPECT_EQ(OpenWindows().m_pDetermination, nullptr);
  // A view closed while another one is current leaves that one current.
  auto first = std::make_unique<CDetermination>();
  CDetermination second;
  EXPECT_EQ(OpenWindows().m_pDetermination, &second);
  first.reset();
  EXPECT_EQ(OpenWindows().m_pDetermination, &second);
}

TEST(NonGravControls, ModelChoosesTheShownParameters) {
  FixedTimeView view;
  view.SetNonGravModel(3);
  EXPECT_EQ(view.m_pEngine->m_nNonGravModel, 3);
  EXPECT_EQ(view.Ctl(kIdNonGravModelCombo).m_nSelection, 3);
  EXPECT_FALSE(view.Ctl(1103).m_bVisible);
  EXPECT_TRUE(view.Ctl(1506).m_bVisible);
  view.ResetNonGravParameters();
  EXPECT_EQ(view.m_pEngine->m_state.m_el.m_dA1, 1e-10);
  EXPECT_EQ(view.m_pEngine->m_state.m_el.m_dA2, 0.0);
  view.SetNonGravModel(0);
  view.ResetNonGravParameters();
  EXPECT_TRUE(view.Ctl(kIdNonGravA3Check).m_bVisible);
  EXPECT_FALSE(view.Ctl(1509).m_bVisible);
  EXPECT_EQ(view.m_pEngine->m_state.m_el.m_dA3, 1e-11);
}

TEST(OrbitEngineLife, ConstructionResetAndCache) {
  OrbitEngine engine;
  EXPECT_EQ(engine.m_dStopResidual, 9999999999.9);
  EXPECT_EQ(engine.m_dVariation[0], 0.001);
  EXPECT_NE(engine.m_state.m_pGeoTrack, nullptr);
  EXPECT_EQ(engine.m_nPassLast, -1);
  EXPECT_EQ(engine.m_nSnapFixE, -1);
  EXPECT_EQ(engine.m_pPerturberCache, nullptr);
  DetClass det;
  engine.m_bNonGrav = engine.m_bNonGravA3 = 1;
  engine.m_nNonGravModel = 2;
  engine.m_bCovarianceValid = 1;
  ASSERT_EQ(ResetOrbitEngine(&engine, &det), 0);
  EXPECT_EQ(engine.m_pDet, &det);
  EXPECT_EQ(engine.m_bNonGrav + engine.m_bNonGravA3 + engine.m_nNonGravModel + engine.m_bCovarianceValid, 0);
  ASSERT_NE(engine.m_pPerturberCache, nullptr);
  double* cache = engine.m_pPerturberCache;
  for (int i = 0; i < 11 * 46; ++i) EXPECT_EQ(cache[i], 0.0);
  ResetOrbitEngine(&engine, &det);
  EXPECT_EQ(engine.m_pPerturberCache, cache) << "allocated once";
}

TEST(PackedComet, NumberedAndProvisionalForms) {
  const struct {
    const char* text;
    bool comet;
  } cases[] = {
      {"0029P", true},      {" 0001D=K19Q040 ", true}, {"CK19Q040", true}, {"PJ95O010", true},
      {"XI80A010", true},   {"K19Q04A", false},        {"00433", false},   {"029P", false},
      {"CL20A010", false},  {"", false},               {"=0029P", false},  {"C", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPackedCometDesignation(c.text), c.comet) << c.text;
}

}  // namespace

namespace {

// The log edit as a window that counts how it was written.
class CountingEdit : public EngineWindow {
public:
  std::string GetText() const override { return m_text; }
  void SetText(const std::string& text) override {
    m_text = text;
    ++m_sets;
  }
  void AppendText(const std::string& text) override {
    m_text += text;
    ++m_appends;
  }
  std::string m_text;
  int m_sets = 0, m_appends = 0;
};

// A view whose log edit is an Edit.
template <class Edit>
class EditLogView : public FixedTimeView {
public:
  EngineWindow* Window(int id) override { return id == kIdCalcLogEdit ? &m_edit : FixedTimeView::Window(id); }
  Edit m_edit;
};
using CountingLogView = EditLogView<CountingEdit>;

}  // namespace

// An entry goes to the edit alone; the whole log is set only when the edit
// showed something else (placeholder, progress) or the log was cut.
TEST(CalcLog, PaneTakesEachEntryAloneUnlessItShowedSomethingElse) {
  CountingLogView view;
  view.ClearCalcLog();
  EXPECT_EQ(view.m_edit.m_text, kCalcLogPlaceholder);
  view.AppendCalcLog("one");
  view.AppendCalcLog("two");
  EXPECT_EQ(view.m_edit.m_sets, 2);
  EXPECT_EQ(view.m_edit.m_appends, 1);
  EXPECT_EQ(view.m_edit.m_text, view.m_strCalcLog);

  const std::string progress = "経過\r\n";
  view.m_pCalcLogProgress = &progress;
  view.ShowCalcLogProgress(nullptr);
  view.m_pCalcLogProgress = nullptr;
  view.AppendCalcLog("three");
  EXPECT_EQ(view.m_edit.m_sets, 4);
  EXPECT_EQ(view.m_edit.m_text, view.m_strCalcLog);

  view.AppendCalcLog(std::string(kCalcLogMaxChars, 'x'));  // cut: set whole
  EXPECT_EQ(view.m_edit.m_sets, 5);
  EXPECT_EQ(view.m_edit.m_appends, 1);
  EXPECT_EQ(view.m_edit.m_text, view.m_strCalcLog);
  view.AppendCalcLog("four");
  EXPECT_EQ(view.m_edit.m_appends, 2);
  EXPECT_EQ(view.m_edit.m_text, view.m_strCalcLog);
}

namespace {

// The log pane as the window's edit holds it: "\n" line ends, characters
// as positions, and a text that is no valid UTF-8 converted to nothing; an
// end replaced from inside a character or a "\r\n" then shows.
std::u32string PaneCharacters(const std::string& text) {
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r') lf += text[i];
    else if (i + 1 == text.size() || text[i + 1] != '\n') lf += '\n';
  std::u32string out;
  for (size_t i = 0; i < lf.size();) {
    const auto lead = static_cast<unsigned char>(lf[i]);
    const int more = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0 || i + more >= lf.size()) return {};
    char32_t c = more == 0 ? lead : lead & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
      const auto b = static_cast<unsigned char>(lf[i + k]);
      if ((b & 0xC0) != 0x80) return {};
      c = (c << 6) | (b & 0x3F);
    }
    out += c;
    i += 1 + more;
  }
  return out;
}

class CharacterEdit : public EngineWindow {
public:
  std::string GetText() const override { return {}; }
  void SetText(const std::string& text) override {
    m_chars = PaneCharacters(text);
    ++m_sets;
  }
  bool ReplaceEnd(const std::string& oldEnd, const std::string& newEnd) override {
    const std::u32string removed = PaneCharacters(oldEnd);
    const size_t from = m_chars.size() - removed.size();
    if (removed.size() > m_chars.size() || m_chars.compare(from, removed.size(), removed) != 0) return false;
    m_chars.replace(from, removed.size(), PaneCharacters(newEnd));
    ++m_replaces;
    return true;
  }
  std::u32string m_chars;
  int m_sets = 0, m_replaces = 0;
};


}  // namespace

// A running procedure's progress replaces only the pane's end, never from
// inside a character ("中" and "串" share their first two bytes) or a line
// end ("\r\n" against a lone "\r"), and its entry then takes the progress's
// place: the pane holds what setting it whole would.
TEST(CalcLog, ProgressReplacesThePaneEndAtCharacterAndLineBoundaries) {
  EditLogView<CharacterEdit> view;
  view.AppendCalcLog("開始\r\n");
  std::string run = "反復 1\r\n";
  view.m_strCalcLogProgressStamp = "[12:00:00]\r\n";
  view.m_pCalcLogProgress = &run;
  const char* texts[] = {"計算中", "計算串", "x\r\ny", "x\rz", nullptr, "終"};
  for (const char* text : texts) {
    view.ShowCalcLogProgress(text);
    EXPECT_EQ(view.m_edit.m_chars,
              PaneCharacters(view.m_strCalcLog + view.m_strCalcLogProgressStamp + run + (text ? text : "")))
        << (text ? text : "(none)");
  }
  run += "反復 2\r\n";
  view.ShowCalcLogProgress(nullptr);
  EXPECT_EQ(view.m_edit.m_chars, PaneCharacters(view.m_strCalcLog + view.m_strCalcLogProgressStamp + run));
  view.m_pCalcLogProgress = nullptr;
  view.AppendCalcLogEntry(view.m_strCalcLogProgressStamp, run);
  EXPECT_EQ(view.m_edit.m_chars, PaneCharacters(view.m_strCalcLog));
  EXPECT_EQ(view.m_edit.m_sets, 1);
  EXPECT_EQ(view.m_edit.m_replaces, 8);
}
