#include "views/ui/movie_export_ui.h"

#include <wx/filedlg.h>
#include <wx/progdlg.h>
#include <wx/timer.h>

#include "platform/wx/wx_ui_services.h"

namespace {

MovieSaveAsk& SaveDialogDouble()
{
  static MovieSaveAsk ask;
  return ask;
}

} // namespace

void SetMovieSaveDialogDouble(MovieSaveAsk ask)
{
  SaveDialogDouble() = std::move(ask);
}

bool AskMovieSavePathWx(wxWindow* owner, const MovieSaveRequest& request, std::string& path, int& index)
{
  if (SaveDialogDouble())
    return SaveDialogDouble()(request, path, index);
  wxFileDialog dlg(owner, ToWx("名前を付けて保存"), ToWx(request.defaultDir), ToWx(request.defaultName), ToWx(request.filter),
                   wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  dlg.SetFilterIndex(request.filterIndex - 1);
  if (dlg.ShowModal() != wxID_OK)
    return false;
  path = dlg.GetPath().utf8_string();
  index = dlg.GetFilterIndex() + 1;
  return true;
}

MovieExportProgress::MovieExportProgress(wxWindow* parent, const wxString& title) : m_pParent(parent), m_title(title)
{
}

MovieExportProgress::~MovieExportProgress() = default;

bool MovieExportProgress::Update(int done, int total)
{
  // The last frame closes the dialog: at its maximum it would wait for a click.
  if (done >= total) {
    m_pDialog.reset();
    return true;
  }
  if (!m_pDialog)
    m_pDialog = std::make_unique<wxProgressDialog>(m_title, ToWx("動画を保存しています…"), total, m_pParent,
                                                   wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_CAN_ABORT |
                                                       wxPD_ELAPSED_TIME | wxPD_REMAINING_TIME);
  const bool bGoOn = m_pDialog->Update(done, wxString::Format(ToWx("%d / %d コマ"), done, total));
  if (!bGoOn)
    m_pDialog.reset();
  return bGoOn;
}

void RunMovieExport(wxWindow* parent, const wxString& title, wxTimer& timer,
                    std::unique_ptr<MovieExportProgress>& slot, const std::function<void()>& exportVideo,
                    const std::function<bool()>& resume)
{
  const bool bTimer = timer.IsRunning();
  timer.Stop();
  slot = std::make_unique<MovieExportProgress>(parent, title);
  exportVideo();
  slot.reset();
  if (bTimer && resume())
    timer.Start(60);
}
