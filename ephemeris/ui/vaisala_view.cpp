#include "ephemeris/ui/vaisala_view.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "app/form_template.h"
#include "app/main_frame.h"
#include "app/registry/window_registry.h"
#include "app/tessarune_wx_app.h"
#include "data/ui/file_dialogs.h"
#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/vaisala_menus.h"

namespace {

constexpr const char* kExplanation =
    "バイサラ軌道とは: 発見直後は観測が数十分ぶんしかなく軌道を決める条件が足りないので、"
    "「いま近日点の近くにいる」と仮定して補います。\n"
    "　距離までは決まらないので候補が距離ごとに並びます。どれも観測に合うため、いずれか(＊印が最良)で2～4日は追跡できます。\n"
    "　[表示]-[捜索範囲(距離変差線)]で全候補の予報位置を並べると、翌晩どこを捜せばよいかが分かります。";

// The panes show LF line ends; the texts of the view keep CR LF.
wxString PaneText(const std::string& text)
{
  std::string lf;
  lf.reserve(text.size());
  for (char c : text)
    if (c != '\r')
      lf += c;
  return ToWx(lf);
}

wxArrayString Items(const std::vector<std::string>& lines)
{
  wxArrayString items;
  for (const std::string& l : lines)
    items.Add(ToWx(l));
  return items;
}

} // namespace

CVaisalaView::CVaisalaView(CChildFrame* frame) : CFormView(frame, FunctionView::Vaisala), CVaisala(true)
{
  // Columns line up only in a fixed-width face that also draws the Japanese marks.
  m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP"));
  if (!m_font.IsOk())
    m_font = wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE));
  BuildControls();
  BindCommands();
}

CVaisalaView::~CVaisalaView()
{
  DestroyChildren();
}

void CVaisalaView::BuildControls()
{
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  auto* left = new wxBoxSizer(wxVERTICAL);
  auto* right = new wxBoxSizer(wxVERTICAL);

  auto* explanation = new wxStaticText(this, wxID_ANY, ToWx(kExplanation));
  explanation->Wrap(560);
  auto* helpRow = new wxBoxSizer(wxHORIZONTAL);
  helpRow->Add(explanation, 1, wxRIGHT, 4);
  helpRow->Add(new CInfoMark(this, IDC_HELP_VAISALA), 0, wxALIGN_TOP);
  left->Add(helpRow, 0, wxALL | wxEXPAND, 6);

  auto* mode = new wxStaticBoxSizer(wxHORIZONTAL, this, ToWx("楕円/放物線"));
  m_pElliptic = new wxRadioButton(mode->GetStaticBox(), IDC_ELLIPTIC, ToWx("楕円軌道"), wxDefaultPosition,
                                  wxDefaultSize, wxRB_GROUP);
  m_pParabolic = new wxRadioButton(mode->GetStaticBox(), IDC_PARABOLIC, ToWx("放物線軌道"));
  mode->Add(m_pElliptic, 0, wxALL, 4);
  mode->Add(m_pParabolic, 0, wxALL, 4);
  left->Add(mode, 0, wxLEFT | wxRIGHT, 6);

  auto* candidatesRow = new wxBoxSizer(wxHORIZONTAL);
  candidatesRow->Add(new wxStaticText(this, wxID_ANY, ToWx("軌道の候補:  (＊)マークが最良の候補です。")), 0,
                     wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  candidatesRow->Add(new CInfoMark(this, IDC_HELP_RANGE), 0, wxALIGN_CENTER_VERTICAL);
  left->Add(candidatesRow, 0, wxLEFT | wxTOP, 6);
  m_pCandidates = new wxListBox(this, IDC_CANDIDATES, wxDefaultPosition, wxSize(560, 200), 0, nullptr,
                                wxLB_SINGLE | wxLB_HSCROLL);
  m_pCandidates->SetFont(m_font);
  left->Add(m_pCandidates, 1, wxALL | wxEXPAND, 6);

  left->Add(new wxStaticText(this, wxID_ANY, ToWx("Epoch(元期):")), 0, wxLEFT, 6);
  m_pEpoch = new wxTextCtrl(this, IDC_EPOCH, wxString(), wxDefaultPosition, wxSize(220, 48),
                            wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP);
  left->Add(m_pEpoch, 0, wxALL, 6);

  right->Add(new wxStaticText(this, wxID_ANY, ToWx("バイサラ軌道:")), 0, wxLEFT | wxTOP, 6);
  m_pText = new wxTextCtrl(this, IDC_TEXT, wxString(), wxDefaultPosition, wxSize(520, 260),
                           wxTE_MULTILINE | wxTE_READONLY | wxHSCROLL | wxTE_DONTWRAP);
  m_pText->SetFont(m_font);
  right->Add(m_pText, 3, wxALL | wxEXPAND, 6);
  right->Add(new wxStaticText(this, wxID_ANY, ToWx("候補の観測残差:")), 0, wxLEFT, 6);
  m_pResiduals = new wxListBox(this, IDC_RESIDUALS, wxDefaultPosition, wxSize(520, 160), 0, nullptr,
                               wxLB_SINGLE | wxLB_HSCROLL);
  m_pResiduals->SetFont(m_font);
  right->Add(m_pResiduals, 2, wxALL | wxEXPAND, 6);

  top->Add(left, 0, wxEXPAND);
  top->Add(right, 1, wxEXPAND);
  SetSizer(top);
}

void CVaisalaView::BindCommands()
{
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnOpenObsFile(); }, ID_OPEN_OBS_FILE);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnSearchRange(); }, ID_SEARCH_RANGE);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnEphemerides(); }, ID_EPHEMERIDES);
  for (int id : {static_cast<int>(ID_OPEN_OBS_FILE), static_cast<int>(ID_SEARCH_RANGE)})
    Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, id);
  // With a chosen orbit the ephemeris view can take it over.
  Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Enable(HasChosenOrbit()); }, ID_EPHEMERIDES);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnElliptic(); }, IDC_ELLIPTIC);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnParabolic(); }, IDC_PARABOLIC);
  Bind(wxEVT_LISTBOX, [this](wxCommandEvent& e) { OnCandidateSelect(e.GetSelection()); }, IDC_CANDIDATES);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(kVaisalaHelpTitle, kVaisalaHelpText, this); },
       IDC_HELP_VAISALA);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(kVaisalaRangeHelpTitle, kVaisalaRangeHelpText, this); },
       IDC_HELP_RANGE);
}

void CVaisalaView::OnInitialUpdate()
{
  SetFrameTitle(kVaisalaTitle);
  m_pElliptic->SetValue(true);
  m_bParabolic = 0;
  Layout();
}

bool CVaisalaView::AskObsFile(std::string& path)
{
  return ShowFileDialog("観測ファイルを選択してください", kFileDialogOpenObservations, path, this, nullptr, nullptr) == 1;
}

void CVaisalaView::SetFrameTitle(const std::string& title)
{
  CVaisala::SetFrameTitle(title);
  if (auto* frame = dynamic_cast<CChildFrame*>(GetParent()))
    frame->SetTitle(ToWx(title));
}

void CVaisalaView::ShowResults()
{
  m_pCandidates->Freeze();
  m_pCandidates->Set(Items(m_candidateLines));
  const int count = static_cast<int>(m_candidateLines.size());
  if (m_nCandidateSel >= 0 && m_nCandidateSel < count) {
    m_pCandidates->SetSelection(m_nCandidateSel);
    m_pCandidates->SetFirstItem(std::min(m_nCandidateTop, count - 1));
  }
  m_pCandidates->Thaw();

  // The residual list keeps the line it showed at the top.
  const int top = m_pResiduals->GetTopItem();
  m_pResiduals->Freeze();
  m_pResiduals->Set(Items(m_residualLines));
  if (top > 0 && top < static_cast<int>(m_residualLines.size()))
    m_pResiduals->SetFirstItem(top);
  m_pResiduals->Thaw();

  m_pText->ChangeValue(PaneText(m_strText));
  m_pEpoch->ChangeValue(PaneText(m_strEpochField));
}

void CVaisalaView::OnEphemerides()
{
  if (!HasChosenOrbit())
    return;
  CMainFrame* main = wxGetApp().MainFrame();
  auto* frame = dynamic_cast<CChildFrame*>(GetParent());
  FillEphemeridesFromCurrentOrbit();
  // The ephemeris view is the one function view shown until it closes.
  if (main && frame && OpenWindows().m_pEphemerides)
    main->HideDeterminationFrame(frame);
}

void RegisterVaisalaView(std::function<void()> closeToolWindows)
{
  RegisterFunctionView(
      FunctionView::Vaisala,
      [close = std::move(closeToolWindows)](CChildFrame* frame) -> CFormView* {
        if (close)
          close();
        return new CVaisalaView(frame);
      },
      [] { return BuildMenuBar(kVaisalaMenu); });
}
