#pragma once
// What the exporting windows show around a writer: the save dialog with the
// export types, and the progress of a long export with its cancel button.
#include <functional>
#include <memory>
#include <string>

#include <wx/string.h>

#include "views/movie_export.h"

class wxProgressDialog;
class wxTimer;
class wxWindow;

// The framework's save dialog with the overwrite prompt; false when cancelled.
bool AskMovieSavePathWx(wxWindow* owner, const MovieSaveRequest& request, std::string& path, int& index);
// Display tests answer the save dialog through a double of it (null: the
// toolkit's dialog again).
void SetMovieSaveDialogDouble(MovieSaveAsk ask);

// A progress dialog that blocks every other window of the program while an
// export runs; Update is false once the user has cancelled.
class MovieExportProgress {
public:
  MovieExportProgress(wxWindow* parent, const wxString& title);
  ~MovieExportProgress();
  bool Update(int done, int total);

private:
  wxWindow* m_pParent;
  wxString m_title;
  std::unique_ptr<wxProgressDialog> m_pDialog;
};

// Runs a window's export with its progress in slot. The progress dialog
// lets events through, so the animation's timer waits meanwhile (it must not
// move the frames' state) and starts again when resume() holds afterwards.
void RunMovieExport(wxWindow* parent, const wxString& title, wxTimer& timer,
                    std::unique_ptr<MovieExportProgress>& slot, const std::function<void()>& exportVideo,
                    const std::function<bool()>& resume);
