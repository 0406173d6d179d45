#include "data/ui/info_help.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include "data/ui/window_routines.h"
#include "platform/wx/first_show.h"
#include "platform/wx/wx_ui_services.h"

CInfoHelp* g_pInfoHelp = nullptr;

namespace {

constexpr int kWindowWidth = 620;
constexpr int kWindowHeight = 480;
constexpr int kMargin = 12;
const wxColour kHeadingColour(40, 85, 150);
const wxColour kTextColour(30, 30, 30);

} // namespace

CInfoHelpCanvas::CInfoHelpCanvas(wxWindow* parent, const std::string& text)
    : wxScrolledWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxVSCROLL), m_strText(text)
{
  SetBackgroundColour(*wxWHITE);
  SetScrollRate(0, 16);
  Bind(wxEVT_PAINT, &CInfoHelpCanvas::OnPaint, this);
  Bind(wxEVT_SIZE, &CInfoHelpCanvas::OnSize, this);
}

int CInfoHelpCanvas::Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly)
{
  const wxFont text = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  const wxFont heading = text.Bold().Larger();
  const int top = y;
  size_t pos = 0;
  while (pos <= m_strText.size()) {
    size_t end = m_strText.find('\n', pos);
    if (end == std::string::npos)
      end = m_strText.size();
    std::string line = m_strText.substr(pos, end - pos);
    while (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty()) {
      if (end < m_strText.size())
        y += 8;
    } else {
      const bool isHeading = line.rfind("■", 0) == 0;
      dc.SetFont(isHeading ? heading : text);
      dc.SetTextForeground(isHeading ? kHeadingColour : kTextColour);
      y += CTessaruneLib::DrawWrappedText(&dc, line, x, y, width, false, bMeasureOnly) + 2;
    }
    pos = end + 1;
  }
  return y - top;
}

void CInfoHelpCanvas::OnPaint(wxPaintEvent&)
{
  wxPaintDC dc(this);
  DoPrepareDC(dc);
  Draw(dc, kMargin, kMargin, GetClientSize().x - 2 * kMargin, false);
}

void CInfoHelpCanvas::OnSize(wxSizeEvent& event)
{
  wxClientDC dc(this);
  const int height = Draw(dc, kMargin, kMargin, GetClientSize().x - 2 * kMargin, true);
  SetVirtualSize(GetClientSize().x, height + 2 * kMargin);
  Refresh();
  event.Skip();
}

CInfoHelp::CInfoHelp(wxWindow* parent, const std::string& title, const std::string& text)
    : wxDialog(parent, wxID_ANY, ToWx(title), wxDefaultPosition, wxSize(kWindowWidth, kWindowHeight),
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER)
{
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  m_pCanvas = new CInfoHelpCanvas(this, text);
  sizer->Add(m_pCanvas, 1, wxEXPAND);
  auto* close = new wxButton(this, wxID_CANCEL, ToWx("閉じる"));
  close->SetDefault();
  sizer->Add(close, 0, wxALIGN_RIGHT | wxALL, 8);
  SetSizer(sizer);
  SetEscapeId(wxID_CANCEL);
  SetAffirmativeId(wxID_CANCEL);
  // Modeless: the buttons and Esc close the window instead of ending a modal loop.
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); }, wxID_CANCEL);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
}

CInfoHelp::~CInfoHelp()
{
  if (g_pInfoHelp == this)
    g_pInfoHelp = nullptr;
}

void ShowInfoHelp(const std::string& title, const std::string& text, wxWindow* parent)
{
  if (g_pInfoHelp) {
    if (FromWx(g_pInfoHelp->GetTitle()) == title) {
      g_pInfoHelp->Show();
      g_pInfoHelp->Raise();
      return;
    }
    CInfoHelp* old = g_pInfoHelp;
    g_pInfoHelp = nullptr;
    old->Destroy();
  }
  auto* help = new CInfoHelp(parent, title, text);
  g_pInfoHelp = help;
  // Readable and closable also beside the modal dialog that opened it.
  KeepOutOfModalGrabs(help);
  help->Show();
}
