#include "engine/controls_by_id.h"

std::string ControlsById::GetItemText(int id) { return Control(id).m_strText; }
void ControlsById::SetItemText(int id, const std::string& text) { Control(id).m_strText = text; }
int ControlsById::IsChecked(int id) { return Control(id).m_nChecked; }
void ControlsById::SetCheck(int id, int checked) { Control(id).m_nChecked = checked; }
bool ControlsById::IsItemEnabled(int id) { return Control(id).m_bEnabled; }
void ControlsById::EnableItem(int id, bool enable) { Control(id).m_bEnabled = enable; }
bool ControlsById::IsItemVisible(int id) { return Control(id).m_bVisible; }
void ControlsById::ShowItem(int id, bool show) { Control(id).m_bVisible = show; }
bool ControlsById::IsReadOnly(int id) { return Control(id).m_bReadOnly; }
void ControlsById::SetReadOnly(int id, bool readOnly) { Control(id).m_bReadOnly = readOnly; }
int ControlsById::GetSelection(int id) { return Control(id).m_nSelection; }
void ControlsById::SetSelection(int id, int index) { Control(id).m_nSelection = index; }
EngineWindow* ControlsById::Window(int id) { return &Control(id); }
