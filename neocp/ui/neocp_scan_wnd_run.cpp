// The scan run's window side of the scan dialog: its buttons, the progress
// bar, the list's selection after a run, the file choice and the boxes.
#include <algorithm>

#include <wx/filedlg.h>

#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "neocp/ui/neocp_scan_wnd.h"
#include "neocp/ui/scan_list_ctrl.h"
#include "platform/app_services.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_strings.h"

void CNeocpScanWnd::BindScanRunEvents()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnScanAll(); }, kIdScanAll);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnScanSelected(); }, kIdScanSelected);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnScanFiles(); }, kIdScanFiles);
}

void CNeocpScanWnd::SelectListPositions(const std::vector<int>& positions)
{
  CNeocpScanDlg::SelectListPositions(positions);
  if (!m_pList)
    return;
  for (long i = 0; i < m_pList->GetItemCount(); ++i)
    m_pList->SetItemState(i, 0, wxLIST_STATE_SELECTED);
  for (int p : positions)
    m_pList->SetItemState(p, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
}

void CNeocpScanWnd::EnsureListItemVisible(int position)
{
  if (m_pList && position >= 0 && position < m_pList->GetItemCount()) {
    m_pList->EnsureVisible(position);
    m_pList->Update();
  }
}

void CNeocpScanWnd::SelectListItem(int position, bool center)
{
  CNeocpScanDlg::SelectListItem(position, center);
  if (!m_pList || position < 0 || position >= m_pList->GetItemCount())
    return;
  const long bits = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
  m_pList->SetItemState(position, bits, bits);
  m_pList->EnsureVisible(position);
  wxRect bounds;
  if (!center || !m_pList->GetItemRect(position, bounds) || bounds.height <= 0)
    return;
  // Scroll the item to the middle of the page.
  const int page = m_pList->GetCountPerPage();
  const int top = m_pList->GetTopItem();
  const int lines = std::max(0, position - page / 2) - top;
  m_pList->ScrollList(0, lines * bounds.height);
}

void CNeocpScanWnd::ShowScanMessage(const std::string& text)
{
  CNeocpScanDlg::ShowScanMessage(text);
  Ui().ShowMessage(AppText::kAppTitle, text, MsgIcon::Warning, MsgButtons::Ok);
}

bool CNeocpScanWnd::ChooseObservationFiles(std::vector<std::string>& files)
{
  if (m_bRunning)
    return false;
  const std::string folder = TheApp().m_szObsFolder;
  wxFileDialog dialog(this, ToWx("走査する観測ファイルを選んでください(複数選べます)"), ToWx(folder), wxString(),
                      ToWx("観測ファイル (*.obs;*.txt)|*.obs;*.txt|すべてのファイル (*.*)|*"),
                      wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK)
    return false;
  wxArrayString paths;
  dialog.GetPaths(paths);
  for (const wxString& p : paths)
    files.push_back(FromWx(p));
  return !files.empty();
}

void CNeocpScanWnd::PostCloseMainWindow()
{
  CNeocpScanDlg::PostCloseMainWindow();
  if (wxWindow* main = wxGetApp().MainFrame())
    main->GetEventHandler()->CallAfter([main] { main->Close(); });
}
