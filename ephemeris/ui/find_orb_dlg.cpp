#include "ephemeris/ui/find_orb_dlg.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "app/main_frame.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_resource_ids.h"

CFindOrbDlg::CFindOrbDlg(wxWindow* parent, const FindOrbElements& orbit)
    : wxDialog(parent, wxID_ANY, ToWx(kFindOrbTitle), wxDefaultPosition, wxSize(1100, 520),
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      CFindOrb(orbit)
{
  // The catalogue lines need a fixed-width face.
  m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP"));
  if (!m_font.IsOk())
    m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE));
  m_pHeader = new wxTextCtrl(this, wxID_ANY, ToWx(FindOrbHeaderText(m_orbit)), wxDefaultPosition, wxSize(-1, 56),
                             wxTE_MULTILINE | wxTE_READONLY);
  m_pHeader->SetFont(m_font);
  m_pList = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(-1, 320), 0, nullptr, wxLB_SINGLE | wxLB_HSCROLL);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->Add(new wxButton(this, kSearchButtonId, wxString::FromUTF8("検索(&F)")), 0, wxRIGHT, 8);
  buttons->AddStretchSpacer();
  buttons->Add(new wxButton(this, wxID_OK, "OK"), 0, wxRIGHT, 8);
  buttons->Add(new wxButton(this, wxID_CANCEL, wxString::FromUTF8("キャンセル")), 0);
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(m_pHeader, 0, wxEXPAND | wxALL, 8);
  top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  top->Add(m_pList, 1, wxEXPAND | wxALL, 8);
  SetSizer(top);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSearchButton(); }, kSearchButtonId);
}

void CFindOrbDlg::OnSearchButton()
{
  m_pList->SetFont(m_font);
  m_pList->Clear();
  OnSearch();
  wxArrayString lines;
  for (const std::string& line : m_lines)
    lines.Add(ToWx(line));
  if (!lines.empty())
    m_pList->Append(lines);
}

void RegisterFindOrbDialog()
{
  RegisterToolWindowCommand(ID_FIND_ORB, [](wxWindow* window) {
    auto* view = dynamic_cast<CDetermination*>(window);
    if (!view || !view->m_pEngine)
      return;
    const ElementBlock& el = view->m_pEngine->m_state.m_el;
    FindOrbElements orbit;
    orbit.T = el.m_dT;
    orbit.q = el.m_dQ;
    orbit.e = el.m_dE;
    orbit.peri = el.m_dPeri;
    orbit.node = el.m_dNode;
    orbit.incl = el.m_dIncl;
    orbit.a = el.m_dA;
    orbit.M = el.m_dM;
    CFindOrbDlg dlg(window, orbit);
    dlg.ShowModal();
  });
}
