#pragma once
// The globe's window "地球儀": the picture with two rows of buttons along its
// bottom. Everything the picture shows and every rule of the view lives in
// CGlobeDlg; this class is its window.
#include <wx/bitmap.h>
#include <wx/dialog.h>

#include "views/globe.h"

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

  wxPanel* m_pPicture = nullptr;
  std::vector<wxButton*> m_buttons;
  int m_nWheelSum = 0;  // GTK's smooth scrolling sends fractions of a notch
};

// Command 32796 and the writers: the one globe window, made (hidden) when missing.
CGlobeWnd* GlobeWindow(wxWindow* mainFrame);
