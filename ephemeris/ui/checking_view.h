#pragma once
// The observation check view on wxWidgets (form 137): the path field, its
// two buttons and the output box of the headless CChecking. Opened by
// command 141, which no menu sends.
#include <wx/font.h>

#include "app/form_view.h"
#include "ephemeris/checking.h"

class wxTextCtrl;

class CCheckingView : public CFormView, public CChecking {
public:
  enum { IDC_BROWSE = 1001, IDC_PATH = 1002, IDC_CHECK = 1003, IDC_OUTPUT = 1004 };

  explicit CCheckingView(CChildFrame* frame);
  ~CCheckingView() override;

  std::string GetPath() override;
  void SetPath(const std::string& path) override;
  void SetOutput(const std::string& text) override;
  bool AskObsFile(std::string& path) override;

  wxTextCtrl* Output() const { return m_pOutput; }

private:
  wxFont m_font;
  wxTextCtrl* m_pPath = nullptr;
  wxTextCtrl* m_pOutput = nullptr;
};

void RegisterCheckingView();
