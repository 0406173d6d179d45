#pragma once
// The document template of a function view: its resource number, the view it
// makes and the menu that view brings. A template whose view does not exist
// in this build makes no frame, and the command that asked for it does nothing.
#include <functional>
#include <span>

#include "app/command_routing.h"

class wxDocument;
class wxMenuBar;
class wxMDIParentFrame;
class CChildFrame;
class CFormView;

class CFormTemplate {
public:
  using ViewFactory = std::function<CFormView*(CChildFrame*)>;
  using MenuFactory = std::function<wxMenuBar*()>;

  CFormTemplate(int resourceId, FunctionView kind) : m_nResourceId(resourceId), m_kind(kind) {}

  int ResourceId() const { return m_nResourceId; }
  FunctionView Kind() const { return m_kind; }

  // Registered by the subsystem that owns the view.
  void SetViewFactory(ViewFactory make) { m_makeView = std::move(make); }
  void SetMenuFactory(MenuFactory make) { m_makeMenu = std::move(make); }
  bool CanMakeView() const { return static_cast<bool>(m_makeView); }

  // A new child frame of parent holding a new view; null when the view
  // cannot be made. doc is always null for the function views.
  CChildFrame* CreateNewFrame(wxMDIParentFrame* parent, wxDocument* doc = nullptr) const;
  // Runs the view's initial update and, when asked, shows the frame maximised.
  void InitialUpdateFrame(CChildFrame* frame, wxDocument* doc = nullptr, bool makeVisible = true) const;

private:
  int m_nResourceId;
  FunctionView m_kind;
  ViewFactory m_makeView;
  MenuFactory m_makeMenu;
};

// The subsystems above the shell register their views here before start-up
// (the program's main, a test); the application hands them to its templates.
void RegisterFunctionView(FunctionView kind, CFormTemplate::ViewFactory makeView,
                          CFormTemplate::MenuFactory makeMenu);
// Gives every template the factories registered for its view.
void ApplyRegisteredViews(std::span<CFormTemplate* const> templates);
