#pragma once
// The globe's window "地球儀": the picture with two rows of buttons along its
// bottom. Everything the picture shows and every rule of the view lives in
// CGlobeDlg; this class is its window.
#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/timer.h>

#include <memory>

#include "views/globe.h"
#include "views/ui/movie_export_ui.h"

class wxButton;
class wxPanel;

class CGlobeWnd : public wxDialog, public CGlobeDlg {
public:
  explicit CGlobeWnd(wxWindow* parent);
  ~CGlobeWnd() override;

  bool HasWindow() const override { return true; }
  void ClientSize(int& w, int& h) const override;
  int ButtonsTop() const override;
  void Redraw() override;
  void SetTitleText(const std::string& title) override;
  void ShowWindowNow() override;
  bool DecodeImage(const std::string& path, std::vector<unsigned char>& rgb, int& w, int& h) override;
  void CopyPicture() override;
  void SetAnimationCaption(const std::string& caption) override;
  void SetAnimationTimer(bool bOn) override;
  bool AskMovieSavePath(const MovieSaveRequest& request, std::string& path, int& index) override;
  void DrawMovieFrame(MovieFrame& frame, int width, int height) override;
  bool ExportProgress(int done, int total) override;
  void ExportFinished() override { m_pProgress.reset(); }

  // The picture as the copy button puts it on the clipboard: the client
  // width, the height above the buttons.
  wxBitmap RenderPicture();
  wxPanel* Picture() const { return m_pPicture; }

private:
  void BuildButtons();
  void OnPaint();
  void OnMouse(wxMouseEvent& e);
  void OnWheelEvent(wxMouseEvent& e);
  void OnKey(wxKeyEvent& e);
  void UpdateCursor(int x, int y);
  void EndDrag();
  // The export with its progress: the animation's timer waits meanwhile.
  void ExportVideo();

  wxPanel* m_pPicture = nullptr;
  std::vector<wxButton*> m_buttons;
  wxTimer m_timer;
  std::unique_ptr<MovieExportProgress> m_pProgress;
  int m_nWheelSum = 0;  // GTK's smooth scrolling sends fractions of a notch
};

// Command 32796 and the writers: the one globe window, made (hidden) when missing.
CGlobeWnd* GlobeWindow(wxWindow* mainFrame);
