// "観測所別の残差": the station table with its sorting and colours, the
// station commands and the leave-one-station-out test.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "data/station_table.h"
#include "data/ui/window_routines.h"
#include "determination/det_form.h"
#include "determination/ui/determination_view.h"
#include "determination/ui/fit_diagnostics_dlgs.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"

namespace {

constexpr const char* kExplanation =
    "「偏り」が大きい観測所は、決まった向きへずれた位置を報告しているため、いくら改良しても残差が下がりません(赤=特に大きい、黄=注意)。\r\n"
    "「ばらつき」だけが大きい観測所は精度が低いだけで、最小二乗法が平均してくれるので害は小さめです。";

std::string StationName(const StationRecord* table, const char* code) {
  for (int i = 0; table && !IsStationTableEnd(table[i]); ++i)
    if (std::strncmp(table[i].m_szCode, code, 3) == 0) return table[i].m_szName;
  return {};
}

wxColour Rgb(unsigned c) { return wxColour((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

}  // namespace

CObsStat::CObsStat(CDeterminationView* view)
    : wxDialog(view, wxID_ANY, ToWx(kStationStatsCaption), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_pView(view)
{
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* explain = new wxStaticText(this, IDC_EXPLAIN, wxEmptyString);
  m_list = new wxListCtrl(this, IDC_LIST, wxDefaultPosition, wxDefaultSize,
                          wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN | wxLC_HRULES | wxLC_VRULES);
  int width = 0;
  for (int c = 0; c < kStationColumns; ++c) {
    // GTK's fonts are wider than the pixel widths were made for: room for the title and its sort mark.
    const int w = std::max(kStationColumnInfo[c].width,
                           m_list->GetTextExtent(ToWx(std::string(kStationColumnInfo[c].title) + " ▼")).x + 16);
    m_list->AppendColumn(ToWx(kStationColumnInfo[c].title),
                         kStationColumnInfo[c].rightAligned ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, w);
    width += w;
  }
  m_list->SetMinSize(wxSize(width + 24, 300));
  explain->SetLabel(WrapTextForWindow(explain, kExplanation, width + 24));
  top->Add(explain, 0, wxALL, 8);
  top->Add(m_list, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);
  m_summary = new wxStaticText(this, IDC_SUMMARY, wxEmptyString, wxDefaultPosition, wxSize(width + 24, -1));
  top->Add(m_summary, 0, wxEXPAND | wxALL, 8);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  const std::pair<int, const char*> buttons[] = {{IDC_EXCLUDE, "観測所を除外(&R)"}, {IDC_ENABLE, "観測所を有効化(&E)"},
                                                 {IDC_WEIGHT, "ウエイト設定(&W)"},  {IDC_WEIGHT_RESET, "解除"},
                                                 {IDC_TEST, "除外試験(&F)..."}};
  for (const auto& [id, label] : buttons) {
    row->Add(new wxButton(this, id, ToWx(label)), 0, wxRIGHT, 4);
    if (id != IDC_TEST)
      Bind(wxEVT_BUTTON, [this, id = id](wxCommandEvent&) { OnStationCommand(id); }, id);
  }
  row->AddStretchSpacer();
  row->Add(new wxButton(this, wxID_OK, ToWx("閉じる")));
  top->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  SetSizerAndFit(top);
  SetEscapeId(wxID_OK);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnTest(); }, IDC_TEST);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Destroy(); }, wxID_OK);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
  Bind(wxEVT_LIST_COL_CLICK, &CObsStat::OnColumnClick, this, IDC_LIST);
  Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { UpdateButtons(); }, IDC_LIST);
  Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { UpdateButtons(); }, IDC_LIST);
  CTessaruneLib::PlaceNearMainWindow(this);
  LoadStationTable(&m_pStations);
  FillTable();
}

CObsStat::~CObsStat()
{
  std::free(m_pStations);
  if (m_pView->m_pObsStat == this)
    m_pView->m_pObsStat = nullptr;
}

std::string CObsStat::SummaryText() const { return FromWx(m_summary->GetLabel()); }

std::string CObsStat::SelectedCode() const
{
  const long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
  return row >= 0 && row < static_cast<long>(m_rowCodes.size()) ? m_rowCodes[row] : std::string();
}

void CObsStat::FillTable()
{
  m_pView->EnsureStationStats();
  const std::string selected = SelectedCode();
  const StationResidualStats* stats = m_pView->m_pStationStats.get();
  const int count = m_pView->m_nStationStats;
  m_list->Freeze();
  m_list->DeleteAllItems();
  m_rowCodes.clear();
  for (int c = 0; c < kStationColumns; ++c) {
    wxListItem item;
    item.SetText(ToWx(StationColumnTitle(c, m_sort)));
    item.SetMask(wxLIST_MASK_TEXT);
    m_list->SetColumn(c, item);
  }
  long reselect = -1;
  for (int k : StationRowOrder(stats, count, m_sort)) {
    const StationResidualStats& s = stats[k];
    const long row = m_list->InsertItem(m_list->GetItemCount(), ToWx(s.code));
    for (int c = 1; c < kStationColumns; ++c)
      m_list->SetItem(row, c, ToWx(StationCellText(s, c, c == 1 ? StationName(m_pStations, s.code) : "")));
    if (const unsigned colour = StationRowColour(s.flag))
      m_list->SetItemBackgroundColour(row, Rgb(colour));
    m_rowCodes.emplace_back(s.code);
    if (selected == s.code)
      reselect = row;
  }
  m_summary->SetLabel(ToWx(StationSummaryText(stats, count)));
  m_summary->Wrap(m_list->GetSize().x);
  m_list->Thaw();
  if (reselect >= 0) {
    m_list->SetItemState(reselect, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    m_list->EnsureVisible(reselect);
  }
  UpdateButtons();
  Layout();
}

void CObsStat::UpdateButtons()
{
  const bool any = !SelectedCode().empty();
  for (int id : {IDC_EXCLUDE, IDC_ENABLE, IDC_WEIGHT, IDC_WEIGHT_RESET})
    FindWindow(id)->Enable(any);
}

void CObsStat::OnColumnClick(wxListEvent& event)
{
  ClickStationColumn(m_sort, event.GetColumn());
  FillTable();
}

void CObsStat::OnStationCommand(int id)
{
  const std::string code = SelectedCode();
  DetClass* det = m_pView->m_pDetClass;
  if (code.empty() || !det->m_pOrbObs)
    return;
  auto confirmed = [this](const std::string& question) {
    return m_pView->ReportMessage(question, kStationStatsCaption, kBoxOkCancel | kBoxIconQuestion, 1) == 1;
  };
  double weight = 1.0;
  switch (id) {
  case IDC_EXCLUDE:
    if (!confirmed(ExcludeStationQuestion(code.c_str())))
      return;
    ExcludeStation(det->m_pOrbObs, det->m_nObsCount, code.c_str());
    break;
  case IDC_ENABLE: ReenableStation(det->m_pOrbObs, det->m_nObsCount, code.c_str()); break;
  case IDC_WEIGHT:
    if (!ReadStationWeight(*m_pView, weight) || !confirmed(StationWeightQuestion(code.c_str(), weight)))
      return;
    SetStationWeight(det->m_pOrbObs, det->m_nObsCount, code.c_str(), weight);
    break;
  default:
    if (!confirmed(ResetStationWeightQuestion(code.c_str())))
      return;
    SetStationWeight(det->m_pOrbObs, det->m_nObsCount, code.c_str(), 1.0);
    break;
  }
  AfterStationChange(id == IDC_WEIGHT || id == IDC_WEIGHT_RESET);
}

void CObsStat::AfterStationChange(bool weights)
{
  if (weights) {
    m_pView->m_pEngine->m_bCovarianceValid = 0;
    m_pView->RepaintItem(kIdWeightEdit);
  }
  m_pView->SetObsListItemCount(m_pView->m_pDetClass->m_nObsCount);
  m_pView->ComputeStationStats();
  FillTable();
}

void CObsStat::OnTest()
{
  if (m_pView->ReportMessage(kStationTestQuestion, kStationTestCaption, kBoxOkCancel | kBoxIconQuestion, 1) != 1)
    return;
  std::string text;
  int r = 0;
  {
    ScopedWaitCursor wait;
    Enable(false);
    r = RunStationExclusionTest(*m_pView, text);
    Enable(true);
  }
  m_pView->ReportMessage(text, kStationTestCaption, kBoxOk | (r == 0 ? kBoxIconInformation : kBoxIconWarning), 1);
  FillTable();
}
