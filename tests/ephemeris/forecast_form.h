#pragma once
// The forecast dialog's controls as plain fields, with the tab in front and
// the calls the view's controls received.
#include <map>
#include <string>

#include "engine/determination_host.h"
#include "ephemeris/forecast.h"

class TestForecastForm : public ForecastForm {
public:
  std::string Text(int id) override { return m_controls[id].m_strText; }
  void SetText(int id, const std::string& text) override { m_controls[id].m_strText = text; }
  int Selection(int id) override { return m_controls[id].m_nSelection; }
  int Checked(int id) override { return m_controls[id].m_nChecked; }
  EngineWindow* Window(int id) override { return &m_controls[id]; }
  void ShowTab(int tab) override {
    if (tab == 1) m_controls[kFcLog].m_strText.clear();
    m_nTab = tab;
  }
  void SetEpoch(const std::string& y, const std::string& m, const std::string& d) {
    SetText(kFcEpochYear, y);
    SetText(kFcEpochMonth, m);
    SetText(kFcEpochDay, d);
  }
  std::string Epoch() { return Text(kFcEpochYear) + "/" + Text(kFcEpochMonth) + "/" + Text(kFcEpochDay); }

  std::map<int, HostControl> m_controls;
  int m_nTab = 0;
};

// A view that counts the control updates the engine asks for.
class CountingView : public CDetermination {
public:
  void UpdateControlsForState(int state) override {
    ++m_nUpdates;
    m_nLastState = state;
  }
  int m_nUpdates = 0;
  int m_nLastState = -1;
};
