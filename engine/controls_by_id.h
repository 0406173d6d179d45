#pragma once
// The controls of a form addressed by control id, as the window-free logic of
// a view or dialog reads and writes them. Headless, every control is an entry
// of a map (a batch run, a worker or a test uses it as it is); a window
// overrides the calls with its widgets.
#include <map>
#include <string>
#include <vector>

#include "engine/orbit_engine.h"

// One control of the headless form; also a window for the engine's writers.
class HostControl : public EngineWindow {
public:
  std::string GetText() const override { return m_strText; }
  void SetText(const std::string& text) override { m_strText = text; }
  void SetProgress(int percent) override { m_nProgress = percent; }

  std::string m_strText;
  int m_nChecked = 0;
  bool m_bEnabled = true;
  bool m_bVisible = true;
  bool m_bReadOnly = false;
  std::vector<std::string> m_items;  // combo box and list entries
  int m_nSelection = -1;
  int m_nProgress = 0;
};

class ControlsById {
public:
  virtual ~ControlsById() = default;

  virtual std::string GetItemText(int id);
  virtual void SetItemText(int id, const std::string& text);
  virtual int IsChecked(int id);
  virtual void SetCheck(int id, int checked);
  virtual bool IsItemEnabled(int id);
  virtual void EnableItem(int id, bool enable);
  virtual bool IsItemVisible(int id);
  virtual void ShowItem(int id, bool show);
  virtual bool IsReadOnly(int id);
  virtual void SetReadOnly(int id, bool readOnly);
  virtual int GetSelection(int id);
  virtual void SetSelection(int id, int index);
  // The control as a window for the engine's writers (edits, labels).
  virtual EngineWindow* Window(int id);

protected:
  HostControl& Control(int id) { return m_controls[id]; }

private:
  std::map<int, HostControl> m_controls;
};
