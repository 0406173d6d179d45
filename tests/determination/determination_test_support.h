#pragma once
// The orbit-determination view without windows for the loading and display
// tests: the real-observation set-up of the engine tests (observatory codes,
// DE405), the station list in force, a data folder of its own (no comet list,
// no download tried).
#include <filesystem>
#include <memory>
#include <string>

#include "data/comet_list.h"
#include "determination/determination_display.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "tests/engine/test_improvement_support.h"

#include <gtest/gtest.h>

// An 80-column observation line: 12 designation columns, "YYYY MM DD.ddddd",
// magnitude text (5 columns) and station code.
inline std::string ObsLine(const std::string& desig12, const std::string& date, const std::string& mag,
                           const std::string& code, const std::string& radec = "10 00 00.00 +10 00 00.0") {
  std::string l = desig12;
  l.resize(12, ' ');
  l += "  C" + date + " " + radec;
  l.resize(65, ' ');
  l += mag;
  l.resize(70, ' ');
  l += "V";
  l.resize(77, ' ');
  return l + code;
}

class DeterminationTest : public RealStationsTest {
protected:
  void SetUp() override {
    RealStationsTest::SetUp();
    if (IsSkipped()) return;
    m_view = std::make_unique<CDeterminationDisplay>();
  }
  void TearDown() override {
    m_view.reset();
    RealStationsTest::TearDown();
  }

  std::string File(const std::string& name, const std::string& text) { return WriteTestFile(s_dir, name, text); }
  bool Reported(const std::string& part) const {
    for (const auto& m : m_ui.m_messages)
      if (m.text.find(part) != std::string::npos) return true;
    return false;
  }

  std::unique_ptr<CDeterminationDisplay> m_view;
};
