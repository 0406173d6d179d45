#pragma once
// The clipboard as the display tests of the picture windows read it.
#include <wx/clipbrd.h>

inline void ClearClipboard()
{
  if (wxTheClipboard->Open()) {
    wxTheClipboard->Clear();
    wxTheClipboard->Close();
  }
}

// Whether the clipboard holds a bitmap, and its size.
inline bool ClipboardBitmapSize(wxSize& size)
{
  if (!wxTheClipboard->Open())
    return false;
  wxBitmapDataObject data;
  const bool bHas = wxTheClipboard->IsSupported(wxDF_BITMAP) && wxTheClipboard->GetData(data);
  if (bHas)
    size = data.GetBitmap().GetSize();
  wxTheClipboard->Close();
  return bHas;
}
