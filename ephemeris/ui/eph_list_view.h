#pragma once
// The comet list "彗星一覧" on wxWidgets: the form of dialog 101 over the
// headless CEphList, and an owner-data list whose cells come from its rows.
#include <map>

#include "app/form_view.h"
#include "ephemeris/eph_list.h"

class wxListCtrl;
class wxListEvent;
class wxContextMenuEvent;

class CEphListView : public CFormView, public CEphList {
public:
  explicit CEphListView(CChildFrame* frame);
  ~CEphListView() override;

  void OnInitialUpdate() override;

  EphListForm ReadForm() override;
  void WriteForm(const EphListForm& form) override;
  void ShowRows() override;

  wxWindow* Widget(int id) const;
  wxListCtrl* List() const;
  // The selected row, -1 when none.
  int SelectedRow() const;

private:
  void CreateControls();
  void BindControls();
  void PlaceList();
  void OnListContextMenu(wxContextMenuEvent& event);

  std::map<int, wxWindow*> m_widgets;
  int m_nListTop = 0, m_nListLeft = 0;
};

// The view's template, registered with the shell; call before the application starts.
void RegisterEphListView();
