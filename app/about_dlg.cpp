#include "app/about_dlg.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/sizer.h>
#include <wx/generic/statbmpg.h>
#include <wx/stattext.h>

#include "app/form_view.h"
#include "app/main_frame.h"
#include "app/version_info.h"
#include "platform/app_services.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/app_strings.h"

namespace {

enum { IDC_VERSION = 1119, IDC_LEGAL = 1432, IDC_PICTURE = 1144 };

// The picture: a comet over a dark sky, drawn once.
wxBitmap AboutPicture()
{
  wxBitmap bmp(64, 64, 24);
  wxMemoryDC dc(bmp);
  dc.SetBackground(wxBrush(wxColour(10, 20, 60)));
  dc.Clear();
  dc.SetPen(*wxTRANSPARENT_PEN);
  for (int i = 0; i < 12; ++i) {
    const int shade = 80 + i * 14;
    dc.SetBrush(wxBrush(wxColour(shade, shade, 255)));
    dc.DrawCircle(44 - i * 3, 20 + i * 2, 7 - i / 2);
  }
  dc.SetBrush(*wxWHITE_BRUSH);
  dc.DrawCircle(46, 19, 4);
  dc.SetBrush(wxBrush(wxColour(255, 240, 180)));
  for (const wxPoint& p : {wxPoint(8, 8), wxPoint(20, 50), wxPoint(55, 45), wxPoint(30, 12), wxPoint(10, 36)})
    dc.DrawRectangle(p.x, p.y, 2, 2);
  dc.SelectObject(wxNullBitmap);
  return bmp;
}

} // namespace

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, ToWx(AppText::kAboutCaption))
{
  m_pPicture = new wxGenericStaticBitmap(this, IDC_PICTURE, AboutPicture());
  m_pVersion = new wxStaticText(this, IDC_VERSION, ToWx(AppText::kAboutTemplateVersion));
  m_pLegal = new wxStaticText(this, IDC_LEGAL, wxString());

  auto* text = new wxBoxSizer(wxVERTICAL);
  text->Add(m_pVersion, 0, wxBOTTOM, 4);
  text->Add(m_pLegal, 0, wxBOTTOM, 8);
  for (const char* line : AppText::kAboutLines)
    text->Add(new wxStaticText(this, wxID_ANY, ToWx(line)), 0, wxBOTTOM, 4);

  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(m_pPicture, 0, wxALL, 10);
  row->Add(text, 1, wxTOP | wxRIGHT | wxBOTTOM, 10);
  auto* top = new wxBoxSizer(wxVERTICAL);
  top->Add(row, 1, wxEXPAND);
  top->Add(new wxButton(this, wxID_OK, "OK"), 0, wxALIGN_RIGHT | wxALL, 10);
  SetSizerAndFit(top);

  // Filled before the box shows.
  m_pVersion->SetLabel(ToWx(FormatVersionLine(CompiledVersion())));
  m_pLegal->SetLabel(ToWx(AppText::kAboutLegalNotice));
  GetSizer()->SetSizeHints(this);

  m_pPicture->Bind(wxEVT_LEFT_DCLICK, &CAboutDlg::OnPictureDoubleClick, this);
}

void CAboutDlg::OnPictureDoubleClick(wxMouseEvent& /*event*/)
{
  OnToggleDeveloperMode();
}

void CAboutDlg::OnToggleDeveloperMode()
{
  ToggleDeveloperMode();
}

void ToggleDeveloperMode()
{
  CTessaruneApp& app = TheApp();
  app.m_bDeveloper = app.m_bDeveloper == 0 ? 1 : 0;
  if (auto* frame = wxDynamicCast(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, CMainFrame))
    if (CFormView* view = frame->FindFunctionView(FunctionView::Determination))
      view->ApplyDeveloperLayout();
}
