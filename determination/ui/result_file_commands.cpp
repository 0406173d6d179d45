// The view's result-file commands: "軌道改良結果を保存(&S)" (144) with the
// save dialog's four formats, and "軌道要素を読み込んで計算(&L)..." (32818),
// which restores a solution file; their enabling is the view's command
// rules (view_commands.h). The files themselves are window-free
// (determination/result_files.h, determination/solution_file.h).
#include <ctime>

#include <wx/filedlg.h>

#include "data/ui/file_dialogs.h"
#include "determination/result_files.h"
#include "determination/solution_file.h"
#include "determination/ui/determination_view.h"
#include "engine/orbit_engine.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/determination_menus.h"

namespace {

constexpr const char* kCaption = "Tessarune";

bool HasObservations(const CDeterminationView& view)
{
  const DetClass* det = view.m_pDetClass;
  return det && det->m_pOrbObs && det->m_nObsCount > 0;
}

} // namespace

void CDeterminationView::BindResultFileCommands()
{
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnSaveResults(); }, ID_SAVE_RESULT);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnLoadSolutionFile(); }, ID_LOAD_SOLUTION);
}

void CDeterminationView::OnSaveResults()
{
  if (!CanSaveResults(*this) || EngineBusy(m_pEngine))
    return;
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  // Offered in the folder of the observation file.
  const size_t slash = m_szObsFile.rfind('/');
  std::string path = (slash == std::string::npos ? std::string() : m_szObsFile.substr(0, slash + 1)) +
                     DefaultResultFileName(*this, today);
  int format = kResultMpc8Line;
  std::string station;
  if (!ShowFileDialog("軌道改良結果を保存", kFileDialogSaveWithFormat, path, this, &format, &station) || path.empty())
    return;
  std::string error;
  if (!WriteResultFile(*this, path, format, station, &error))
    Ui().ShowMessage(kCaption, error, MsgIcon::Warning, MsgButtons::Ok);
}

void CDeterminationView::OnLoadSolutionFile()
{
  if (EngineBusy(m_pEngine))
    return;
  if (!HasObservations(*this)) {
    Ui().ShowMessage(kCaption, kMsgSolutionNeedsObservations, MsgIcon::Warning, MsgButtons::Ok);
    return;
  }
  // File names are case-sensitive here: the filter takes both spellings.
  wxFileDialog dlg(this, L"読み込む再現用ファイルを指定してください", wxEmptyString, wxEmptyString,
                   L"Tessarune 再現用ファイル (*.IMP)|*.IMP;*.imp|すべてのファイル (*.*)|*",
                   wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dlg.ShowModal() != wxID_OK)
    return;
  LoadSolutionFile(*this, FromWx(dlg.GetPath()));
}
