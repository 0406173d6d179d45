#include "ephemeris/ui/whois_view.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/wupdlock.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "app/form_template.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "data/ui/info_help.h"
#include "data/ui/info_mark.h"
#include "determination/ui/wx_control_window.h"
#include "engine/orbit_engine.h"
#include "platform/text_util.h"
#include "platform/threads.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_controls.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_menus.h"

namespace {

constexpr int kColumnWidths[kWhoisColumns] = {42, 156, 62, 58, 58, 50, 50, 62, 60, 60, 58, 58, 78};
constexpr bool kColumnLeft[kWhoisColumns] = {false, true, true, false, false, false, false,
                                             false, false, false, false, false, true};
enum ContextCommand : int { kCtxFind = 1, kCtxFindNext, kCtxCopySelected, kCtxCopyAll };

constexpr MenuItemDef kWhoisFileItems[] = {{ID_APP_EXIT, "終了(&X)"}};
constexpr MenuItemDef kWhoisWindowItems[] = {kResetPositionsItem};
constexpr MenuPopupDef kWhoisMenu[] = {
    {"ﾌｧｲﾙ(&F)", kWhoisFileItems},
    kFunctionPopup,
    {"ｳｨﾝﾄﾞｳ(&W)", kWhoisWindowItems},
    kHelpPopup,
};

wxFont ListFont() {
  wxFont f(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE).FaceName("Noto Sans Mono CJK JP"));
  return f.IsOk() ? f : wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE));
}

}  // namespace

CWhoisObs::CWhoisObs(CChildFrame* frame) : CFormView(frame, FunctionView::WhoisObs) {
  BuildForm();
  BindEvents();
  // A download or a match pumps events while it works for this view: its
  // frame and the main window (which would take the view with it) stay.
  if (frame) frame->Bind(wxEVT_CLOSE_WINDOW, &CWhoisObs::OnCloseWhileRunning, this);
  if (CMainFrame* main = wxGetApp().MainFrame()) main->Bind(wxEVT_CLOSE_WINDOW, &CWhoisObs::OnCloseWhileRunning, this);
}

CWhoisObs::~CWhoisObs() {
  if (CMainFrame* main = wxGetApp().MainFrame()) main->Unbind(wxEVT_CLOSE_WINDOW, &CWhoisObs::OnCloseWhileRunning, this);
  DestroyChildren();
  m_widgets.clear();
}

void CWhoisObs::OnCloseWhileRunning(wxCloseEvent& event) {
  if (m_model.Running() && event.CanVeto()) {
    event.Veto();
    Ui().ShowMessage("Tessarune", kMsgOtherCalculationRunning, MsgIcon::Warning, MsgButtons::Ok);
    return;
  }
  event.Skip();
}

void CWhoisObs::BuildForm() {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto label = [this](const char* text) { return new wxStaticText(this, wxID_ANY, ToWx(text)); };
  auto button = [this](int id, const char* text) {
    auto* b = new wxButton(this, id, ToWx(text));
    m_widgets[id] = b;
    return b;
  };
  auto edit = [this](int id, int width) {
    auto* e = new wxTextCtrl(this, id, wxString(), wxDefaultPosition, wxSize(width, -1));
    m_widgets[id] = e;
    return e;
  };
  auto status = [this](int id) {
    auto* s = new wxStaticText(this, id, wxString(), wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE);
    m_widgets[id] = s;
    return s;
  };

  auto* obsBox = new wxStaticBoxSizer(wxVERTICAL, this, ToWx("探したい天体の観測データ(80カラム形式 / ADES)"));
  auto* paste = new wxTextCtrl(this, kWhPaste, wxString(), wxDefaultPosition, wxSize(-1, 96),
                               wxTE_MULTILINE | wxHSCROLL | wxTE_DONTWRAP);
  paste->SetFont(ListFont());
  m_widgets[kWhPaste] = paste;
  obsBox->Add(paste, 0, wxEXPAND | wxALL, 2);
  auto* obsRow = new wxBoxSizer(wxHORIZONTAL);
  obsRow->Add(button(kWhRead, "観測を読み込む(&R)"), 0, wxRIGHT, 4);
  obsRow->Add(button(kWhClear, "クリア(&L)"), 0, wxRIGHT, 8);
  obsRow->Add(status(kWhObsStatus), 1, wxALIGN_CENTER_VERTICAL);
  obsBox->Add(obsRow, 0, wxEXPAND | wxALL, 2);
  top->Add(obsBox, 0, wxEXPAND | wxALL, 4);

  auto* catBox = new wxStaticBoxSizer(wxVERTICAL, this, ToWx("既知の天体の軌道要素(MPCORB.DAT)"));
  auto* catRow = new wxBoxSizer(wxHORIZONTAL);
  catRow->Add(label("ファイル:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  catRow->Add(edit(kWhPath, 360), 1, wxRIGHT, 4);
  catRow->Add(button(kWhBrowse, "参照..."), 0, wxRIGHT, 4);
  catRow->Add(button(kWhDownload, "ダウンロード(&W)"), 0, wxRIGHT, 4);
  catRow->Add(button(kWhInspect, "調べる(&E)"), 0);
  catBox->Add(catRow, 0, wxEXPAND | wxALL, 2);
  catBox->Add(status(kWhCatalogueStatus), 0, wxEXPAND | wxALL, 2);
  top->Add(catBox, 0, wxEXPAND | wxALL, 4);

  auto* condBox = new wxStaticBoxSizer(wxVERTICAL, this, ToWx("照合の条件"));
  auto* row1 = new wxBoxSizer(wxHORIZONTAL);
  m_widgets[kWhExplain] = new CInfoMark(this, kWhExplain);
  row1->Add(m_widgets[kWhExplain], 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  row1->Add(label("1段目 窓 経路:"), 0, wxALIGN_CENTER_VERTICAL);
  row1->Add(edit(kWhPathWindow, 56), 0, wxLEFT | wxRIGHT, 2);
  row1->Add(label("度 直交:"), 0, wxALIGN_CENTER_VERTICAL);
  row1->Add(edit(kWhCrossWindow, 56), 0, wxLEFT | wxRIGHT, 2);
  row1->Add(label("度   精査する候補:"), 0, wxALIGN_CENTER_VERTICAL);
  row1->Add(edit(kWhRefineCount, 56), 0, wxLEFT | wxRIGHT, 2);
  row1->Add(label("件まで   スレッド数:"), 0, wxALIGN_CENTER_VERTICAL);
  auto* threads = new wxChoice(this, kWhThreads);
  for (const std::string& s : WhoisThreadChoices(AvailableProcessors())) threads->Append(ToWx(s));
  threads->SetSelection(0);
  m_widgets[kWhThreads] = threads;
  row1->Add(threads, 0, wxLEFT, 2);
  condBox->Add(row1, 0, wxALL, 2);
  auto* row2 = new wxBoxSizer(wxHORIZONTAL);
  row2->Add(label("2段目 許容残差:"), 0, wxALIGN_CENTER_VERTICAL);
  row2->Add(edit(kWhTolerance, 56), 0, wxLEFT | wxRIGHT, 2);
  row2->Add(label("秒   等級差の上限:"), 0, wxALIGN_CENTER_VERTICAL);
  row2->Add(edit(kWhMagTolerance, 56), 0, wxLEFT | wxRIGHT, 2);
  row2->Add(label("等"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  row2->Add(label("(等級差は1段目の絞り込みにも使います。観測に光度があるときだけ)"), 0, wxALIGN_CENTER_VERTICAL);
  condBox->Add(row2, 0, wxALL, 2);
  auto* row3 = new wxBoxSizer(wxHORIZONTAL);
  row3->Add(button(kWhMatch, "照合(&S)"), 0, wxRIGHT, 4);
  row3->Add(button(kWhStop, "中止(&T)"), 0, wxRIGHT, 8);
  m_progress = new wxGauge(this, kWhProgress, 100, wxDefaultPosition, wxSize(160, -1));
  m_widgets[kWhProgress] = m_progress;
  row3->Add(m_progress, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
  row3->Add(status(kWhRunStatus), 1, wxALIGN_CENTER_VERTICAL);
  condBox->Add(row3, 0, wxEXPAND | wxALL, 2);
  auto* engineText = new wxTextCtrl(this, kWhEngineText, wxString(), wxDefaultPosition, wxSize(-1, 40),
                                    wxTE_MULTILINE | wxTE_READONLY);
  m_widgets[kWhEngineText] = engineText;
  m_engineText = std::make_unique<WxControlWindow>(engineText);
  condBox->Add(engineText, 0, wxEXPAND | wxALL, 2);
  top->Add(condBox, 0, wxEXPAND | wxALL, 4);

  m_list = new wxListCtrl(this, kWhList, wxDefaultPosition, wxSize(-1, 200), wxLC_REPORT | wxLC_HRULES | wxLC_VRULES);
  m_list->SetFont(ListFont());
  for (int i = 0; i < kWhoisColumns; ++i)
    m_list->AppendColumn(ToWx(kWhoisColumnTitles[i]), kColumnLeft[i] ? wxLIST_FORMAT_LEFT : wxLIST_FORMAT_RIGHT,
                         kColumnWidths[i]);
  m_widgets[kWhList] = m_list;
  top->Add(m_list, 1, wxEXPAND | wxALL, 4);
  SetSizer(top);
}

void CWhoisObs::BindEvents() {
  auto on = [this](int id, void (WhoisModel::*handler)(WhoisForm&)) {
    Bind(wxEVT_BUTTON, [this, handler](wxCommandEvent&) { (m_model.*handler)(*this); }, id);
  };
  on(kWhRead, &WhoisModel::OnReadObservations);
  on(kWhClear, &WhoisModel::OnClear);
  on(kWhDownload, &WhoisModel::OnDownloadMpcorb);
  on(kWhInspect, &WhoisModel::OnInspectMpcorb);
  on(kWhMatch, &WhoisModel::OnMatch);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_model.OnStop(); }, kWhStop);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowseMpcorb(); }, kWhBrowse);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowInfoHelp(kWhoisHelpTitle, WhoisHelpText(), this); }, kWhExplain);
  m_list->Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& e) {
    wxPoint at = e.GetPosition();
    at = at == wxDefaultPosition ? wxPoint(16, 16) : m_list->ScreenToClient(at);
    OnContextMenu(at);
  });
  m_list->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& e) {
    if (e.GetKeyCode() == 'F' && e.GetModifiers() == wxMOD_CONTROL)
      FindInList(false);
    else if (e.GetKeyCode() == WXK_F3 && e.GetModifiers() == wxMOD_NONE)
      FindInList(true);
    else
      e.Skip();
  });
}

void CWhoisObs::OnInitialUpdate() {
  if (auto* frame = dynamic_cast<CChildFrame*>(GetParent())) frame->SetTitle(ToWx("天体同定"));
  m_model.InitialUpdate(*this);
  Layout();
}

wxWindow* CWhoisObs::Widget(int id) const {
  auto it = m_widgets.find(id);
  return it == m_widgets.end() ? nullptr : it->second;
}

std::string CWhoisObs::Text(int id) {
  wxWindow* w = Widget(id);
  if (auto* choice = dynamic_cast<wxChoice*>(w)) return FromWx(choice->GetStringSelection());
  return w ? WxControlText(w) : std::string();
}

void CWhoisObs::SetText(int id, const std::string& text) {
  if (wxWindow* w = Widget(id)) SetWxControlText(w, text);
}

void CWhoisObs::Enable(int id, bool enable) {
  EnableWxControl(Widget(id), enable);
}

int CWhoisObs::Selection(int id) {
  auto* choice = dynamic_cast<wxChoice*>(Widget(id));
  return choice ? choice->GetSelection() : -1;
}

void CWhoisObs::SetProgress(int percent) { m_progress->SetValue(std::clamp(percent, 0, 100)); }

void CWhoisObs::ShowRows(const std::vector<std::vector<std::string>>& rows) {
  wxWindowUpdateLocker freeze(m_list);
  m_list->DeleteAllItems();
  for (size_t r = 0; r < rows.size(); ++r) {
    const long item = m_list->InsertItem(static_cast<long>(r), ToWx(rows[r][0]));
    for (int c = 1; c < kWhoisColumns && c < static_cast<int>(rows[r].size()); ++c)
      m_list->SetItem(item, c, ToWx(rows[r][c]));
  }
}

EngineWindow* CWhoisObs::EngineText() { return m_engineText.get(); }

void CWhoisObs::Repaint() {
  for (int id : {kWhRunStatus, kWhProgress, kWhCatalogueStatus})
    if (wxWindow* w = Widget(id)) w->Update();
}

void CWhoisObs::OnBrowseMpcorb() {
  wxFileDialog dlg(this, ToWx("MPCORB.DAT を選んでください"), wxString(), "MPCORB.DAT",
                   ToWx("軌道要素ファイル (*.DAT)|*.DAT|すべてのファイル (*.*)|*.*"), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dlg.ShowModal() == wxID_OK) m_model.OnBrowseChosen(*this, FromWx(dlg.GetPath()));
}

void CWhoisObs::SelectOnly(int row) {
  for (long i = -1; (i = m_list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED)) != -1;)
    m_list->SetItemState(i, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  m_list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  m_list->EnsureVisible(row);
  m_list->SetFocus();
}

void CWhoisObs::SearchFrom(int startRow) {
  const int row = m_model.FindInRows(m_model.m_strSearch, startRow, m_model.Rows());
  if (row >= 0)
    SelectOnly(row);
  else
    m_model.ReportNotInRows(m_model.m_strSearch);
}

void CWhoisObs::FindInList(bool next) {
  if (next && !m_model.m_strSearch.empty()) {
    const long selected = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    SearchFrom(selected < 0 ? 0 : static_cast<int>(selected) + 1);
    return;
  }
  CWhoisFindDlg dlg(this, m_model.m_strSearch);
  if (dlg.ShowModal() != wxID_OK) return;
  const std::string text(TrimSpace(dlg.Value()));
  if (text.empty()) return;
  m_model.m_strSearch = text;
  SearchFrom(0);
}

void CWhoisObs::CopyListRows(bool all) {
  if (m_list->GetItemCount() == 0) return;
  std::vector<std::vector<std::string>> rows;
  const auto& model = m_model.Rows();
  for (long i = -1; (i = m_list->GetNextItem(i, wxLIST_NEXT_ALL, all ? wxLIST_STATE_DONTCARE : wxLIST_STATE_SELECTED)) != -1;)
    if (i < static_cast<long>(model.size())) rows.push_back(model[i]);
  Ui().SetClipboardText(WhoisModel::CopyText(rows));
}

void CWhoisObs::OnContextMenu(wxPoint at) {
  const bool empty = m_list->GetItemCount() == 0;
  wxMenu menu;
  menu.Append(kCtxFind, ToWx("天体名・符号で検索(&F)...\tCtrl+F"))->Enable(!empty);
  menu.Append(kCtxFindNext, ToWx("次を検索(&N)\tF3"))->Enable(!m_model.m_strSearch.empty());
  menu.AppendSeparator();
  menu.Append(kCtxCopySelected, ToWx("選択した行をコピー(&C)"))->Enable(m_list->GetSelectedItemCount() > 0);
  menu.Append(kCtxCopyAll, ToWx("一覧を全部コピー(&A)"))->Enable(!empty);
  switch (m_list->GetPopupMenuSelectionFromUser(menu, at)) {
  case kCtxFind: FindInList(false); break;
  case kCtxFindNext: FindInList(true); break;
  case kCtxCopySelected: CopyListRows(false); break;
  case kCtxCopyAll: CopyListRows(true); break;
  default: break;
  }
}

CWhoisFindDlg::CWhoisFindDlg(wxWindow* parent, const std::string& text)
    : wxDialog(parent, wxID_ANY, ToWx("天体名・符号で検索")) {
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(new wxStaticText(this, wxID_ANY, ToWx("探す文字列(天体名または符号の一部):")), 0, wxALL, 8);
  m_edit = new wxTextCtrl(this, kWhFindText, ToWx(text), wxDefaultPosition, wxSize(260, -1), wxTE_PROCESS_ENTER);
  top->Add(m_edit, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* ok = new wxButton(this, wxID_OK, ToWx("検索"));
  ok->SetDefault();
  buttons->Add(ok, 0, wxRIGHT, 6);
  buttons->Add(new wxButton(this, wxID_CANCEL, ToWx("キャンセル")));
  top->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 8);
  m_edit->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { EndModal(wxID_OK); });
  SetSizerAndFit(top);
  m_edit->SetFocus();
  m_edit->SelectAll();
}

std::string CWhoisFindDlg::Value() const { return FromWx(m_edit->GetValue()); }

void RegisterWhoisView() {
  RegisterFunctionView(
      FunctionView::WhoisObs, [](CChildFrame* frame) -> CFormView* { return new CWhoisObs(frame); },
      [] { return BuildMenuBar(kWhoisMenu); });
}
