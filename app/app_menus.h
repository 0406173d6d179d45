#pragma once
// Menu bars and prompts built from the tables in resources/.
#include <span>

#include <wx/string.h>

#include "resources/app_menus.h"

class wxMenu;
class wxMenuBar;

// The prompt shown in the status bar for a command ("" when it has none).
wxString CommandPrompt(int id);
// The tooltip of a toolbar command ("" when it has none).
wxString CommandTooltip(int id);

wxMenu* BuildPopup(const MenuPopupDef& popup);
wxMenuBar* BuildMenuBar(std::span<const MenuPopupDef> popups);
