#pragma once
// Test helpers of the ephemeris form: a form after its initial update, the
// worked example on the 1960-2060 planetary file with headless tool windows,
// and the lines of a table.
#include <memory>
#include <string>
#include <vector>

#include "engine/tool_sinks.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_form.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"

struct EphForm : CEphemerides {
  EphForm() { InitForm(); }
};

// The planetary file and the tool windows of a calculation.
class EphCalcTest : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    if (de.empty() || !TestDataFileExists(de)) GTEST_SKIP() << MissingDataMessage("de/lnxp1960p2060.405");
    m_jpl = std::make_unique<JplReaderScope>(de);
  }
  // "入力例(&S)" with HH 0, then "位置推算(&C)".
  void RunExample() {
    m_form.OnSample();
    m_form.SetItemText(kEphHour, "0");
    m_form.OnCalc();
  }

  std::unique_ptr<JplReaderScope> m_jpl;
  HeadlessToolSinks m_sinks;
  ScopedToolSinks m_scopedSinks{m_sinks};
  EphForm m_form;
};

// The lines of a CR LF text from line skip on.
inline std::vector<std::string> TextLines(const std::string& text, size_t skip = 0) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  if (skip >= lines.size()) return {};
  return std::vector<std::string>(lines.begin() + static_cast<long>(skip), lines.end());
}
