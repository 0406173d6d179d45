#include "app/window_menu.h"

#include <vector>

#include <wx/menu.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "app/form_view.h"
#include "app/main_frame.h"
#include "app/tessarune_wx_app.h"
#include "platform/wx/wx_ui_services.h"

namespace {

// Before the separator that precedes "終了", else before "終了", else last.
void InsertCloseItem(wxMenu* file)
{
  const size_t count = file->GetMenuItemCount();
  size_t pos = count;
  for (size_t i = 0; i < count; ++i)
    if (file->FindItemByPosition(i)->GetId() == ID_APP_EXIT)
      pos = (i > 0 && file->FindItemByPosition(i - 1)->IsSeparator()) ? i - 1 : i;
  file->Insert(pos, kCloseViewItem.id, ToWx(kCloseViewItem.label));
}

wxMenu* WindowPopup(wxMenuBar* bar)
{
  const int pos = bar->FindMenu(ToWx(kWindowPopupTitle));
  if (pos != wxNOT_FOUND)
    return bar->GetMenu(pos);
  // Before "ﾍﾙﾌﾟ(&H)", the last popup of every view menu.
  auto* menu = new wxMenu;
  const size_t count = bar->GetMenuCount();
  if (count == 0)
    bar->Append(menu, ToWx(kWindowPopupTitle));
  else
    bar->Insert(count - 1, menu, ToWx(kWindowPopupTitle));
  return menu;
}

// The tabs shown, in their order on screen.
std::vector<CChildFrame*> ShownTabs()
{
  std::vector<CChildFrame*> tabs;
  const CMainFrame* main = wxGetApp().MainFrame();
  const wxWindow* client = main ? main->GetClientWindow() : nullptr;
  if (!client)
    return tabs;
  for (wxWindow* w : client->GetChildren())
    if (auto* f = dynamic_cast<CChildFrame*>(w); f && f->IsShown() && !f->IsBeingDeleted())
      tabs.push_back(f);
  return tabs;
}

wxString TabName(const CChildFrame& frame)
{
  if (!frame.GetTitle().empty())
    return frame.GetTitle();
  // A view without a title of its own is named by its command in "機能(&T)".
  if (const CFormView* view = frame.GetFormView())
    for (const MenuItemDef& item : kFunctionItems)
      if (FunctionViewOfCommand(item.id) == view->Kind())
        return wxMenuItem::GetLabelText(ToWx(item.label));
  return wxString();
}

void FillWindowList(wxMenu* menu, size_t fixedItems)
{
  while (menu->GetMenuItemCount() > fixedItems)
    menu->Destroy(menu->FindItemByPosition(menu->GetMenuItemCount() - 1));
  const std::vector<CChildFrame*> tabs = ShownTabs();
  if (!tabs.empty() && fixedItems > 0)
    menu->AppendSeparator();
  const CMainFrame* main = wxGetApp().MainFrame();
  for (size_t i = 0; i < tabs.size() && i < kWindowListSize; ++i) {
    const int id = ID_WINDOW_FIRST + static_cast<int>(i);
    menu->AppendCheckItem(id, wxString::Format("&%zu %s", i + 1, TabName(*tabs[i])));
    menu->Check(id, main && main->GetActiveChild() == tabs[i]);
  }
}

} // namespace

wxMenuBar* AddDocumentWindowItems(wxMenuBar* bar)
{
  if (!bar || bar->GetMenuCount() == 0)
    return bar;
  InsertCloseItem(bar->GetMenu(0));
  wxMenu* window = WindowPopup(bar);
  const size_t fixed = window->GetMenuItemCount();
  window->Bind(wxEVT_MENU_OPEN, [window, fixed](wxMenuEvent& e) {
    if (e.GetMenu() == window)
      FillWindowList(window, fixed);
    e.Skip();
  });
  window->Bind(
      wxEVT_MENU,
      [](wxCommandEvent& e) {
        const std::vector<CChildFrame*> tabs = ShownTabs();
        const size_t index = static_cast<size_t>(e.GetId() - ID_WINDOW_FIRST);
        if (index < tabs.size())
          tabs[index]->ActivateFrame();
      },
      ID_WINDOW_FIRST, ID_WINDOW_FIRST + kWindowListSize - 1);
  FillWindowList(window, fixed);
  return bar;
}
