#include "data/ui/file_dialogs.h"

#include <wx/dirdlg.h>
#include <wx/filedlg.h>

#include "data/file_naming.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"
#include "platform/wx/wx_ui_services.h"

namespace {

struct FormatRow {
  const char* label;
  const char* guide;
};

const FormatRow kFormats[4] = {
    {"MPC 8行形式", "MPC 8行形式で軌道要素と残差を保存します。"},
    {"残差チェック形式", "軌道要素と指定した観測所の残差のみ保存します。"},
    {"MPC 1行形式", "MPC 1行形式で軌道要素と残差を保存します。"},
    {"Tessarune形式(再現用)", "求めた解をそのまま復元できる桁数で保存します(MPCの書式ではありません)。"},
};

// The first three characters of a UTF-8 text.
std::string FirstThreeChars(const std::string& text)
{
  size_t chars = 0, i = 0;
  for (; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == 3)
      break;
  }
  return text.substr(0, i);
}

int OpenObservationFile(const std::string& title, std::string& path, wxWindow* owner)
{
  path.clear();
  wxFileDialog dlg(owner, ToWx(title), ToWx(TheApp().m_szObsFolder), wxEmptyString,
                   ToWx(FileFilterWildcard(ObservationFileFilters())), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  dlg.SetFilterIndex(0);
  if (dlg.ShowModal() != wxID_OK)
    return 0;
  path = FromWx(dlg.GetPath());
  return path.empty() ? 0 : 1;
}

int SaveWithFormat(const std::string& title, std::string& path, wxWindow* owner, int* pnFormat,
                   std::string* station)
{
  const std::string proposed = path;
  const size_t slash = proposed.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : proposed.substr(0, slash);
  const std::string name = slash == std::string::npos ? proposed : proposed.substr(slash + 1);
  CFileOptionDlg options;
  wxFileDialog dlg(owner, ToWx(title), ToWx(folder), ToWx(name), wxEmptyString,
                   wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  dlg.SetCustomizeHook(options);
  if (dlg.ShowModal() != wxID_OK)
    return 0;

  // The name as confirmed, with the default extension and, when the user
  // chose another format than the first one (a click on its button), the
  // suffix rule of that format. A name the rule changed was not the one the
  // dialog asked about, so an existing file of that name is asked about here.
  bool changed = false;
  std::string chosen = FromWx(dlg.GetPath());
  if (options.m_nFormat != kSaveMpc8Line)
    chosen = AdjustSolutionFilePath(chosen, options.m_nFormat == kSaveSolution, &changed);
  const std::string withExt = WithDefaultExtension(chosen, "imp");
  changed = changed || withExt != chosen;
  chosen = withExt;
  if (changed && FileExists(chosen) &&
      Ui().ShowMessage(title, FormatC("%s は既にあります。\n上書きしますか?", chosen.c_str()), MsgIcon::Warning,
                       MsgButtons::YesNo) != MsgAnswer::Yes)
    return 0;
  path = chosen;
  if (pnFormat)
    *pnFormat = options.m_nFormat;
  if (station)
    *station = options.m_nFormat != kSaveMpc8Line ? options.m_szStation : std::string();
  return 1;
}

} // namespace

void CFileOptionDlg::AddCustomControls(wxFileDialogCustomize& customizer)
{
  customizer.AddStaticText(ToWx("保存形式"));
  for (int f = 0; f < 4; ++f) {
    m_apFormat[f] = customizer.AddRadioButton(ToWx(kFormats[f].label));
    m_apFormat[f]->Bind(wxEVT_RADIOBUTTON, [this, f](wxCommandEvent&) { ApplyFormat(f); });
  }
  m_pStationLabel = customizer.AddStaticText(ToWx("観測所コード:"));
  m_pStation = customizer.AddTextCtrl();
  m_pGuide = customizer.AddStaticText(ToWx("ガイド"));
  // As the dialog initialises: no guide, then format 0.
  m_pGuide->SetLabelText(wxEmptyString);
  ApplyFormat(kSaveMpc8Line);
  m_bInitialized = 1;
}

void CFileOptionDlg::ApplyFormat(int format)
{
  if (format < 0 || format > 3)
    return;
  m_nFormat = format;
  if (m_apFormat[format])
    m_apFormat[format]->SetValue(true);
  const bool station = format == kSaveStationCheck;
  if (m_pStationLabel)
    m_pStationLabel->Enable(station);
  if (m_pStation)
    m_pStation->Enable(station);
  if (m_pGuide)
    m_pGuide->SetLabelText(ToWx(kFormats[format].guide));
}

void CFileOptionDlg::TransferDataFromCustomControls()
{
  for (int f = 0; f < 4; ++f)
    if (m_apFormat[f] && m_apFormat[f]->GetValue())
      m_nFormat = f;
  if (m_pStation)
    m_szStation = FirstThreeChars(FromWx(m_pStation->GetValue()));
}

int ShowFileDialog(const std::string& szTitle, int nType, std::string& szPath, wxWindow* hWnd, int* pnFormat,
                   std::string* szStation)
{
  switch (nType) {
  case kFileDialogOpenObservations: return OpenObservationFile(szTitle, szPath, hWnd);
  case kFileDialogSaveWithFormat: return SaveWithFormat(szTitle, szPath, hWnd, pnFormat, szStation);
  default: return 0;
  }
}

int BrowseFolderCallback(wxWindow* owner, std::string& folder)
{
  std::string start = folder;
  while (start.size() > 1 && start.back() == '/')
    start.pop_back();
  const wxString from = FolderExists(start) ? ToWx(start) : wxString("/");
  wxDirDialog dlg(owner, ToWx("フォルダを選んでください"), from, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dlg.ShowModal() != wxID_OK)
    return 0;
  std::string chosen = FromWx(dlg.GetPath());
  while (chosen.size() > 1 && chosen.back() == '/')
    chosen.pop_back();
  if (chosen.empty())
    return 0;
  folder = chosen;
  return 1;
}
