// What the four illustrated pages share: their text items, their title and
// the one-window-per-page opening.
#include "app/help_pages.h"

#include <wx/dc.h>

#include "data/ui/window_routines.h"

CImpactHelp* g_pImpactHelp = nullptr;
COrgFutHelp* g_pOrgFutHelp = nullptr;
CPrepareHelp* g_pPrepareHelp = nullptr;

namespace {

struct ItemStyle {
  unsigned colour;
  int indent, spaceBefore;
  bool centred;
};

constexpr ItemStyle kItemStyles[] = {
    {0x965528, 0, 10, false},  // heading
    {0x1E1E1E, 10, 0, false},  // paragraph
    {0x1E1EA0, 0, 6, true},    // formula line
    {0x646464, 10, 10, false}, // note
};

const wxFont& ItemFont(const CHelpCanvas& canvas, int kind)
{
  switch (kind) {
  case kHelpParagraph: return canvas.m_fontText;
  case kHelpNote: return canvas.m_fontSmall;
  default: return canvas.m_fontHeading;
  }
}

// Shows the page behind pointer, or makes it on parent.
template <class Page, class... Args>
void ShowPage(Page*& pointer, wxWindow* parent, Args... args)
{
  if (pointer && !pointer->IsBeingDeleted()) {
    pointer->Show();
    pointer->Raise();
    return;
  }
  pointer = new Page(args...);
  if (!pointer->CreatePage(parent)) {
    delete pointer;
    pointer = nullptr;
  }
}

} // namespace

int DrawHelpItems(const CHelpCanvas& canvas, wxDC& dc, int x, int y, int width, bool bMeasureOnly,
                  const std::vector<HelpTextItem>& items)
{
  const int top = y;
  const wxFont previous = dc.GetFont();
  for (const HelpTextItem& item : items) {
    const ItemStyle& style = kItemStyles[item.kind];
    y += style.spaceBefore;
    dc.SetFont(ItemFont(canvas, item.kind));
    dc.SetTextForeground(ColorRefColour(style.colour));
    y += CTessaruneLib::DrawWrappedText(&dc, item.text, x + style.indent, y, width - style.indent, style.centred,
                                        bMeasureOnly) +
         3;
  }
  dc.SetFont(previous);
  return y - top;
}

int DrawHelpTitle(const CHelpCanvas& canvas, wxDC& dc, int x, int y, int width, bool bMeasureOnly,
                  const std::string& title)
{
  const wxFont previous = dc.GetFont();
  dc.SetFont(canvas.m_fontTitle);
  dc.SetTextForeground(ColorRefColour(0x6E3214));
  const int height = CTessaruneLib::DrawWrappedText(&dc, title, x, y, width, false, bMeasureOnly);
  dc.SetFont(previous);
  if (!bMeasureOnly) {
    dc.SetPen(wxPen(ColorRefColour(0xD7C0AF), 1));
    dc.DrawLine(x, y + height + 4, x + width, y + height + 4);
  }
  return height;
}

void CImpactHelp::OnPageClosed()
{
  if (g_pImpactHelp == this)
    g_pImpactHelp = nullptr;
}

void COrgFutHelp::OnPageClosed()
{
  if (g_pOrgFutHelp == this)
    g_pOrgFutHelp = nullptr;
}

void CPrepareHelp::OnPageClosed()
{
  if (g_pPrepareHelp == this)
    g_pPrepareHelp = nullptr;
}

void CNgHelp::OnPageClosed()
{
  if (m_pOwner && m_pOwner->m_pNgHelp == this)
    m_pOwner->m_pNgHelp = nullptr;
}

void ShowImpactHelp(wxWindow* parent)
{
  ShowPage(g_pImpactHelp, parent);
}

void ShowOrgFutHelp(wxWindow* parent)
{
  ShowPage(g_pOrgFutHelp, parent);
}

void ShowPrepareHelp(wxWindow* parent)
{
  ShowPage(g_pPrepareHelp, parent);
}

void ShowNgHelp(CNgHelpOwner* owner, wxWindow* parent)
{
  ShowPage(owner->m_pNgHelp, parent, owner);
}
