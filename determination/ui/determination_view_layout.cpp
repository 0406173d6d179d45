// The view's layout: the anchoring pass, the splitter between the tab area
// and the list, the cursor over the form, and the developer arrangement of
// the improvement buttons.
#include <wx/notebook.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include "app/num_edit.h"
#include "determination/det_settings.h"
#include "determination/ui/determination_view.h"
#include "platform/app_services.h"

void CDeterminationView::BindLayoutEvents()
{
  Bind(wxEVT_SIZE, &CDeterminationView::OnSize, this);
  Bind(wxEVT_LEFT_DOWN, &CDeterminationView::OnLeftDown, this);
  Bind(wxEVT_MOTION, &CDeterminationView::OnMouseMove, this);
  Bind(wxEVT_LEFT_UP, &CDeterminationView::OnLeftUp, this);
  Bind(wxEVT_SET_CURSOR, &CDeterminationView::OnSetCursor, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_layout.EndDrag(); });
  // The line itself gets the pointer where it lies: its events are the view's.
  if (wxWindow* line = Widget(kIdSplitterLine)) {
    auto forward = [this, line](wxMouseEvent& e) {
      wxMouseEvent moved(e);
      moved.SetPosition(ScreenToClient(line->ClientToScreen(e.GetPosition())));
      moved.SetEventObject(this);
      ProcessWindowEvent(moved);
    };
    line->Bind(wxEVT_LEFT_DOWN, forward);
    line->Bind(wxEVT_LEFT_UP, forward);
    line->Bind(wxEVT_MOTION, forward);
    line->SetCursor(wxCursor(wxCURSOR_SIZENS));
  }
  // A read-only Epoch field takes no click: neither the caret nor its menu.
  for (int id : {kIdEpochYear, kIdEpochMonth, kIdEpochDay})
    if (auto* edit = dynamic_cast<wxTextCtrl*>(Widget(id)))
      for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_DCLICK, wxEVT_RIGHT_DOWN})
        edit->Bind(type, [edit](wxMouseEvent& e) {
          if (edit->IsEditable())
            e.Skip();
        });
}

wxPoint CDeterminationView::FormPoint(const wxPoint& client) const
{
  return CalcUnscrolledPosition(client);
}

void CDeterminationView::BuildLayoutTable()
{
  std::vector<LayoutChild> children;
  for (wxWindow* w : m_formChildren) {
    const wxRect r = w->GetRect();
    const wxPoint at = FormPoint(r.GetPosition());
    children.push_back({w->GetId() > 0 ? w->GetId() : 0, {at.x, at.y, at.x + r.width, at.y + r.height}});
  }
  m_layout.Build(children, 0, 0);
  m_layout.SetSplitOffset(StoredSplitOffset(TheApp()));
  const wxSize client = GetClientSize();
  if (client.x > 0 && client.y > 0)
    ApplyLayout(client.x, client.y);
}

void CDeterminationView::ApplyLayout(int width, int height)
{
  // GTK draws the tabs inside the control: the 60 pixels are the page's
  // (measured once the control has been laid out, before a first drag).
  if (wxWindow* page = m_pTabs ? m_pTabs->GetCurrentPage() : nullptr; page && page->GetSize().y >= 60) {
    const int chrome = m_pTabs->GetSize().y - page->GetSize().y;
    if (chrome > 0 && chrome < 120)
      m_layout.SetTabChromeHeight(chrome);
  }
  bool growthChanged = false;
  for (const LayoutPlacement& p : m_layout.Apply(width, height, &growthChanged)) {
    wxWindow* w = m_formChildren[static_cast<size_t>(p.index)];
    const wxRect target(CalcScrolledPosition(wxPoint(p.rect.left, p.rect.top)),
                        wxSize(p.rect.Width(), p.rect.Height()));
    if (w->GetRect() != target)
      w->SetSize(target);
  }
  if (growthChanged)
    Refresh();
}

void CDeterminationView::OnSize(wxSizeEvent& event)
{
  event.Skip();
  const wxSize client = GetClientSize();
  auto* frame = dynamic_cast<wxTopLevelWindow*>(GetParent());
  if (client.x < 1 || client.y < 1 || (frame && frame->IsIconized()))
    return;
  // Scroll bars only once the frame has a real size: GTK complains about
  // scroll bars allocated in a frame's first, tiny size.
  if (!m_bScrollSet && !m_layout.Empty() && client.x > kScrollMinClient && client.y > kScrollMinClient) {
    m_bScrollSet = true;
    SetVirtualSize(m_layout.DesignedWidth(), m_layout.DesignedHeight());
    SetScrollRate(10, 10);
  }
  ApplyLayout(client.x, client.y);
}

void CDeterminationView::OnLeftDown(wxMouseEvent& event)
{
  const wxPoint at = FormPoint(event.GetPosition());
  if (!m_layout.Empty() && m_layout.BeginDrag(at.x, at.y)) {
    CaptureMouse();
    return;
  }
  event.Skip();
}

void CDeterminationView::OnMouseMove(wxMouseEvent& event)
{
  if (!m_layout.IsDragging()) {
    event.Skip();
    return;
  }
  if (m_layout.DragTo(FormPoint(event.GetPosition()).y)) {
    const wxSize client = GetClientSize();
    ApplyLayout(client.x, client.y);
  }
}

void CDeterminationView::OnLeftUp(wxMouseEvent& event)
{
  if (!m_layout.IsDragging()) {
    event.Skip();
    return;
  }
  const int offset = m_layout.EndDrag();
  if (HasCapture())
    ReleaseMouse();
  StoreSplitOffset(TheApp(), offset);
}

void CDeterminationView::OnSetCursor(wxSetCursorEvent& event)
{
  const wxPoint at = FormPoint(wxPoint(event.GetX(), event.GetY()));
  const LayoutRect hit = m_layout.SplitterHitArea();
  const bool overLine = !hit.Empty() && at.x >= hit.left && at.x < hit.right && at.y >= hit.top && at.y < hit.bottom;
  if (m_layout.IsDragging() || overLine) {
    event.SetCursor(wxCursor(wxCURSOR_SIZENS));
    return;
  }
  event.Skip();
}

void CDeterminationView::ApplyDeveloperLayout()
{
  const bool developer = TheApp().m_bDeveloper != 0;
  ShowItem(kIdAiImprove, developer);
  const bool writable = developer || m_pEngine->m_bEpochFromField;
  for (int id : {kIdEpochYear, kIdEpochMonth, kIdEpochDay})
    if (auto* edit = dynamic_cast<CNumEdit*>(Widget(id)))
      edit->SetEditable(writable);

  wxWindow* ai = Widget(kIdAiImprove);
  wxWindow* automatic = Widget(kIdAutoImprove);
  if (m_nAiRowHeight == 0 && ai && automatic) {
    const int height = automatic->GetPosition().y - ai->GetPosition().y;
    m_nAiRowHeight = height >= 1 ? height : 0;
  }
  if (m_nAiRowHeight == 0 || (developer ? 1 : 0) == m_bDevLayout)
    return;
  const int dy = developer ? m_nAiRowHeight : -m_nAiRowHeight;
  for (int id : {kIdAutoImprove, kIdManualImprove, kIdAutoStopCheck})
    if (wxWindow* w = Widget(id))
      w->Move(w->GetPosition() + wxPoint(0, dy));
  if (wxWindow* group = Widget(kIdImproveGroup))
    group->SetSize(group->GetSize() + wxSize(0, dy));
  Refresh();
  m_bDevLayout = developer ? 1 : 0;
}
