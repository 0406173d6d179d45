#include "app/app_menus.h"

#include <string>

#include <wx/menu.h>

#include "platform/wx/wx_ui_services.h"
#include "resources/app_strings.h"

namespace {

std::string CommandStringPart(int id, bool tooltip)
{
  for (const AppText::CommandString& s : AppText::kCommandStrings) {
    if (s.id != id)
      continue;
    const std::string text = s.text;
    const size_t nl = text.find('\n');
    if (nl == std::string::npos)
      return tooltip ? std::string() : text;
    return tooltip ? text.substr(nl + 1) : text.substr(0, nl);
  }
  return {};
}

} // namespace

wxString CommandPrompt(int id)
{
  return ToWx(CommandStringPart(id, false));
}

wxString CommandTooltip(int id)
{
  return ToWx(CommandStringPart(id, true));
}

wxMenu* BuildPopup(const MenuPopupDef& popup)
{
  auto* menu = new wxMenu;
  for (const MenuItemDef& item : popup.items) {
    switch (item.kind) {
    case MenuItemKind::Separator: menu->AppendSeparator(); break;
    case MenuItemKind::Check: menu->AppendCheckItem(item.id, ToWx(item.label), CommandPrompt(item.id)); break;
    case MenuItemKind::Normal: menu->Append(item.id, ToWx(item.label), CommandPrompt(item.id)); break;
    }
  }
  return menu;
}

wxMenuBar* BuildMenuBar(std::span<const MenuPopupDef> popups)
{
  auto* bar = new wxMenuBar;
  for (const MenuPopupDef& popup : popups)
    bar->Append(BuildPopup(popup), ToWx(popup.title));
  return bar;
}
