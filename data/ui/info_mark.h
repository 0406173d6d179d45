#pragma once
// The information mark: a small round button drawn as a ringed "i", grey, blue
// while the pointer is over it, with the hand cursor. A click reaches the
// owner as an ordinary button event of the mark's id.
#include <wx/control.h>

class CInfoMark : public wxControl {
public:
  static constexpr int kSize = 16;  // pixels, the mark's usual size

  CInfoMark(wxWindow* parent, int id, const wxPoint& pos = wxDefaultPosition,
            const wxSize& size = wxSize(kSize, kSize));

  bool AcceptsFocus() const override { return false; }

  int m_bHover = 0;  // 1 while the pointer is over the mark

protected:
  wxSize DoGetBestSize() const override { return wxSize(kSize, kSize); }

private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void SetHover(int hover);
};
