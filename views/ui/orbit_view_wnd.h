#pragma once
// The orbit diagram's window "軌道図": a tool window with the picture above
// a strip of controls. Everything the picture shows and every rule of the
// view lives in COrbitViewDlg; this class is its window.
#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/image.h>

#include "views/orbit_view.h"

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
  int m_nWheelSum = 0;  // GTK's smooth scrolling sends fractions of a notch
};

// Command 32801: makes the window once, shows it, and returns it.
COrbitViewWnd* OpenOrbitView(wxWindow* mainFrame);
