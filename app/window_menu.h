#pragma once
// The document-window items of a view's menus: "閉じる" in the file menu and,
// in the window menu (added where a view's menus have none), the open views,
// one item per tab, the active one checked; choosing one activates its tab.
class wxMenuBar;

// Adds the items to a view's menu bar and returns it.
wxMenuBar* AddDocumentWindowItems(wxMenuBar* bar);
