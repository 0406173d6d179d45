#pragma once
// The orbit diagram's window "軌道図": a tool window with the picture above
// a strip of controls. Everything the picture shows and every rule of the
// view lives in COrbitViewDlg; this class is its window.
#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/timer.h>

#include <memory>

#include "views/orbit_view.h"
#include "views/ui/movie_export_ui.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxPanel;
class wxTextCtrl;

class COrbitViewWnd : public wxDialog, public COrbitViewDlg {
public:
  explicit COrbitViewWnd(wxWindow* parent);
  ~COrbitViewWnd() override;

  bool HasWindow() const override { return true; }
  void ClientSize(int& w, int& h) const override;
  void Redraw() override;
  double LoadSunImage(const std::string& path) override;
  // The sink's calls, with the controls kept in step.
  void ShowGeocentricScene() override;
  void SelectRange(int row) override;
  std::string AnimationEditText(int id) const override;
  void SetAnimationEditText(int id, const std::string& text) override;
  void SetAnimationCaption(const std::string& caption) override;
  void SetAnimationTimer(bool bOn) override;
  bool AskMovieSavePath(const MovieSaveRequest& request, std::string& path, int& index) override;
  void DrawMovieFrame(MovieFrame& frame, int width, int height) override;
  bool ExportProgress(int done, int total) override;
  void ExportFinished() override { m_pProgress.reset(); }

  // The scene as a bitmap of the picture's size (black ground).
  wxBitmap RenderPicture();
  // The picture on the clipboard as a bitmap.
  void CopyPicture();

  wxPanel* Picture() const { return m_pPicture; }

private:
  void BuildStrip(wxPanel* strip);
  void OnPaint();
  void OnMouse(wxMouseEvent& e);
  void OnWheelEvent(wxMouseEvent& e);
  void OnRightUpEvent(wxMouseEvent& e);
  void OnKey(wxKeyEvent& e);
  void OnGeocentricBox();
  void EnableGeocentricBoxes();
  void UpdateCursor(int x, int y);
  // The export with its progress: the animation's timer waits meanwhile.
  void ExportVideo();

  wxPanel* m_pPicture = nullptr;
  wxTextCtrl* m_pDaysBack = nullptr;
  wxTextCtrl* m_pSpeed = nullptr;
  wxCheckBox* m_pEarthCa = nullptr;
  wxCheckBox* m_pMoon = nullptr;
  wxCheckBox* m_pKeep = nullptr;
  wxCheckBox* m_pGeocentric = nullptr;
  wxChoice* m_pRange = nullptr;
  wxChoice* m_pStereo = nullptr;
  wxImage m_sunImage;
  wxTimer m_timer;
  std::unique_ptr<MovieExportProgress> m_pProgress;
  int m_nWheelSum = 0;  // GTK's smooth scrolling sends fractions of a notch
};

// Command 32801: makes the window once, shows it, and returns it.
COrbitViewWnd* OpenOrbitView(wxWindow* mainFrame);
