#pragma once
// Base of the function views (orbit determination, ephemerides, comet list,
// identification, observation check, move epoch, Väisälä): a form that fills
// its child frame. Menu and update-UI events of the active frame reach the
// view before the main frame (see CChildFrame).
#include <string>

#include <wx/scrolwin.h>

#include "app/command_routing.h"

class CChildFrame;

class CFormView : public wxScrolledWindow {
public:
  CFormView(CChildFrame* frame, FunctionView kind);

  FunctionView Kind() const { return m_kind; }

  // Once, after the frame was made and before it is shown.
  virtual void OnInitialUpdate() {}
  // Developer mode was switched at run time (About box).
  virtual void ApplyDeveloperLayout() {}
  // A file named on the command line, after the initial update.
  virtual void OpenCommandLineFile(const std::string& path) { (void)path; }

private:
  FunctionView m_kind;
};
