#pragma once
// The identification view "天体同定" on wxWidgets: the form on the window-free
// WhoisModel, whose WhoisForm calls it implements on its widgets, the
// find dialog, the list's context menu and keys, and the open-file dialog.
#include <map>
#include <memory>

#include <wx/dialog.h>

#include "app/form_view.h"
#include "ephemeris/whois_obs.h"

class wxCloseEvent;
class wxListCtrl;
class wxGauge;
class wxTextCtrl;
class WxControlWindow;

class CWhoisObs : public CFormView, public WhoisForm {
public:
  explicit CWhoisObs(CChildFrame* frame);
  ~CWhoisObs() override;

  void OnInitialUpdate() override;

  // WhoisForm
  std::string Text(int id) override;
  void SetText(int id, const std::string& text) override;
  void Enable(int id, bool enable) override;
  int Selection(int id) override;
  void SetProgress(int percent) override;
  void ShowRows(const std::vector<std::vector<std::string>>& rows) override;
  EngineWindow* EngineText() override;
  void Repaint() override;

  WhoisModel& Model() { return m_model; }
  wxWindow* Widget(int id) const;
  wxListCtrl* List() const { return m_list; }

  // Find by name: a new search (the dialog) or the next hit.
  void FindInList(bool next);
  // Copies all rows or the selected ones to the clipboard.
  void CopyListRows(bool all);

private:
  void BuildForm();
  void BindEvents();
  void OnBrowseMpcorb();
  void OnCloseWhileRunning(wxCloseEvent& event);
  void OnContextMenu(wxPoint at);
  void SearchFrom(int startRow);
  void SelectOnly(int row);

  WhoisModel m_model;
  std::map<int, wxWindow*> m_widgets;
  wxListCtrl* m_list = nullptr;
  wxGauge* m_progress = nullptr;
  std::unique_ptr<WxControlWindow> m_engineText;
};

// "天体名・符号で検索": the text to look for.
class CWhoisFindDlg : public wxDialog {
public:
  CWhoisFindDlg(wxWindow* parent, const std::string& text);
  std::string Value() const;

private:
  wxTextCtrl* m_edit = nullptr;
};

// The view's template, registered with the shell; call before the application starts.
void RegisterWhoisView();
