#pragma once
// The options sheet "環境設定" (commands 148 and 32814): four pages, each
// built the first time it is shown; OK runs the OK step of each built page.
// What the steps write lives in app/option_rules.
#include <wx/panel.h>
#include <wx/propdlg.h>

class wxButton;
class wxGauge;
class wxStaticText;
class wxTextCtrl;

class COption;

// A page whose controls are made the first time it is shown.
class COptionPage : public wxPanel {
public:
  COptionPage(COption* sheet, wxWindow* parent);
  bool Built() const { return m_built; }
  void EnsureBuilt();
  virtual void OnActivated() {}
  virtual void OnOK() = 0;

protected:
  virtual void Build() = 0;
  wxTextCtrl* Edit(int id) const;
  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  // "参照" for a folder (the chosen path without a final "/") or an existing file.
  void BrowseFolder(int editId);
  void BrowseFile(int editId, const char* title);
  COption* m_sheet;

private:
  bool m_built = false;
};

class COptionPageBasic : public COptionPage {
public:
  using COptionPage::COptionPage;
  void OnOK() override;

protected:
  void Build() override;
};

class COptionPageEph : public COptionPage {
public:
  using COptionPage::COptionPage;
  void OnOK() override;

protected:
  void Build() override;
};

class COptionPageMpc : public COptionPage {
public:
  using COptionPage::COptionPage;
  void OnOK() override;
  bool Busy() const { return m_busy; }
  int m_nAbort = 0;

protected:
  void Build() override;

private:
  void OnStationDownload();
  void OnCatalogueDownload();
  void OnCometDownload();
  void SetBusy(bool busy);
  wxGauge* m_progress = nullptr;
  wxStaticText* m_status = nullptr;
  bool m_busy = false;
};

class COptionPageLoc : public COptionPage {
public:
  using COptionPage::COptionPage;
  void OnOK() override;
  void OnActivated() override;

protected:
  void Build() override;

private:
  void Refill();
  void MigrateToDocuments();
  wxStaticText* m_lines[5] = {};
  wxStaticText* m_status = nullptr;
};

class COption : public wxPropertySheetDialog {
public:
  explicit COption(wxWindow* parent);
  COptionPageBasic* m_pageBasic;
  COptionPageEph* m_pageEph;
  COptionPageMpc* m_pageMpc;
  COptionPageLoc* m_pageLoc;
  // The MPC page's downloads lock OK, Cancel and the tabs.
  void Lock(bool locked);
  bool Locked() const { return m_locked; }

private:
  void OnOK(wxCommandEvent& event);
  bool m_locked = false;
};

// Commands 148 and 32814: the sheet, or the busy message while a calculation runs.
void RunOptionSheet(wxWindow* parent);
