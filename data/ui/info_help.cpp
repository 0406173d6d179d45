#include "data/ui/info_help.h"

#include <wx/dc.h>

#include "data/ui/window_routines.h"
#include "platform/wx/wx_ui_services.h"

CInfoHelp* g_pInfoHelp = nullptr;

namespace {

constexpr unsigned kHeadingColour = 0x965528;  // RGB(40, 85, 150)
constexpr unsigned kTextColour = 0x1E1E1E;

} // namespace

int CInfoHelpCanvas::Draw(wxDC& dc, int x, int y, int width, bool bMeasureOnly)
{
  const wxFont previous = dc.GetFont();
  const int height = LayoutInfoTopic(m_strText, y, [&](const std::string& line, bool heading, int top) {
    dc.SetFont(heading ? m_fontHeading : m_fontText);
    dc.SetTextForeground(ColorRefColour(heading ? kHeadingColour : kTextColour));
    const int used = CTessaruneLib::DrawWrappedText(&dc, line, x, top, width, false, bMeasureOnly);
    dc.SetFont(previous);
    return used;
  });
  return height;
}

CInfoHelp::CInfoHelp(const std::string& title, const std::string& text)
    : CHelpDlg(title, 620), m_pCanvas(new CInfoHelpCanvas(text))
{
}

CInfoHelp::~CInfoHelp()
{
  ClosePage();
  if (g_pInfoHelp == this)
    g_pInfoHelp = nullptr;
  // A canvas whose window was never made is no child to be deleted.
  if (!m_pCanvas->GetHandle())
    delete m_pCanvas;
}

bool CInfoHelp::Destroy()
{
  if (g_pInfoHelp == this)
    g_pInfoHelp = nullptr;
  return CHelpDlg::Destroy();
}

void ShowInfoHelp(const std::string& title, const std::string& text, wxWindow* parent)
{
  if (g_pInfoHelp && !g_pInfoHelp->IsBeingDeleted()) {
    if (g_pInfoHelp->m_strTitle == title) {
      g_pInfoHelp->Show();
      g_pInfoHelp->Raise();
      return;
    }
    g_pInfoHelp->Destroy();
  }
  g_pInfoHelp = nullptr;
  auto* help = new CInfoHelp(title, text);
  if (!help->CreatePage(parent)) {
    delete help;
    return;
  }
  g_pInfoHelp = help;
}
