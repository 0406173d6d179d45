#include "ephemeris/ui/eph_list_view.h"

#include <algorithm>
#include <cmath>

#include <wx/bitmap.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/app_menus.h"
#include "app/child_frame.h"
#include "app/form_template.h"
#include "app/num_edit.h"
#include "platform/wx/wx_ui_services.h"
#include "resources/eph_list_menus.h"

namespace {

enum class Kind { Group, Label, Edit, Radio, Check, Button };

struct Control {
  int id;
  Kind kind;
  const char* text;
  int x, y, w, h;
  NumEditShape shape{};
  bool firstInGroup = false;
};

// Dialog 101: the command row above the list.
constexpr Control kControls[] = {
    {kListCalc, Kind::Button, "計算(&C)", 10, 14, 90, 32},
    {0, Kind::Group, "Time zoon", 110, 2, 170, 54},
    {kListZoneJst, Kind::Radio, "JA(+9)", 120, 22, 76, 26, {}, true},
    {kListZoneUt, Kind::Radio, "UT(+0)", 198, 22, 76, 26},
    {0, Kind::Label, "Time:", 290, 26, 44, 20},
    {0, Kind::Label, "YYYY   MM  DD   HH", 338, 2, 180, 18},
    {kListYear, Kind::Edit, "", 336, 20, 56, 28, {1, 4, 0, 0}},
    {kListMonth, Kind::Edit, "", 396, 20, 40, 28, {1, 2, 0, 0}},
    {kListDay, Kind::Edit, "", 440, 20, 56, 28, {2, 2, 3, 0}},
    {kListHour, Kind::Edit, "", 500, 20, 40, 28, {1, 2, 0, 0}},
    {kListFirstReturn, Kind::Check, "初回帰に限定", 556, 22, 130, 26},
    {0, Kind::Group, "光度で限定(明るい方)", 696, 2, 230, 54},
    {kListM1, Kind::Radio, "m1", 706, 22, 50, 26, {}, true},
    {kListM2, Kind::Radio, "m2", 758, 22, 50, 26},
    {kListLimit, Kind::Edit, "", 812, 20, 56, 28, {2, 2, 1, 1}},
    {0, Kind::Label, "等", 872, 26, 24, 20},
};
constexpr int kListTop = 64;
constexpr int kListLeft = 10;
constexpr double kDesignCharWidth = 6.0;

struct Column {
  const char* title;
  wxListColumnFormat align;
  int width;
};
constexpr Column kColumns[kCometListColumns] = {
    {"Object", wxLIST_FORMAT_LEFT, 173},     {"経過日数", wxLIST_FORMAT_RIGHT, 56},
    {"真近点角", wxLIST_FORMAT_RIGHT, 56},   {"R.A.(2000.0)", wxLIST_FORMAT_RIGHT, 74},
    {"Decl.", wxLIST_FORMAT_RIGHT, 66},      {"Delta(AU)", wxLIST_FORMAT_RIGHT, 60},
    {"r(AU)", wxLIST_FORMAT_RIGHT, 56},      {"Elong", wxLIST_FORMAT_RIGHT, 42},
    {"Phase", wxLIST_FORMAT_RIGHT, 42},      {"m1", wxLIST_FORMAT_RIGHT, 38},
    {"m2", wxLIST_FORMAT_RIGHT, 38},         {"Moon", wxLIST_FORMAT_RIGHT, 40},
    {"Peek Date", wxLIST_FORMAT_LEFT, 72},   {"Peek m1", wxLIST_FORMAT_RIGHT, 48},
};

// The owner-data list: a cell's text is made when it is drawn.
class CometListCtrl : public wxListCtrl {
public:
  CometListCtrl(wxWindow* parent, const CEphList& model, const wxPoint& pos, const wxSize& size)
      : wxListCtrl(parent, kListView, pos, size,
                   wxLC_REPORT | wxLC_VIRTUAL | wxLC_HRULES | wxLC_VRULES | wxLC_SINGLE_SEL),
        m_model(model) {}
  wxString OnGetItemText(long item, long column) const override {
    return ToWx(m_model.GetCellText(static_cast<int>(item), static_cast<int>(column)));
  }
  // The image list only sets the row height: no row shows an image.
  int OnGetItemImage(long) const override { return -1; }
  int OnGetItemColumnImage(long, long) const override { return -1; }

  // The row at a point of the client area, header included (the generic
  // control's HitTest counts from below the header); -1 when none.
  int RowAt(const wxPoint& at) const {
    const long first = GetTopItem();
    const long last = std::min<long>(GetItemCount(), first + GetCountPerPage() + 2);
    for (long i = first; i < last; ++i) {
      wxRect rect;
      if (GetItemRect(i, rect) && rect.Contains(at))
        return static_cast<int>(i);
    }
    return -1;
  }

private:
  const CEphList& m_model;
};

enum CopyMenuId : int { kCopyNameId = wxID_HIGHEST + 1, kCopyRowId };

} // namespace

CEphListView::CEphListView(CChildFrame* frame) : CFormView(frame, FunctionView::EphList)
{
  CreateControls();
  BindControls();
  Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
    PlaceList();
    e.Skip();
  });
}

CEphListView::~CEphListView()
{
  // The list asks this view for its cells until it goes.
  DestroyChildren();
  m_widgets.clear();
}

void CEphListView::CreateControls()
{
  for (const Control& c : kControls) {
    const wxPoint pos(c.x, c.y);
    const wxSize size(c.w, c.h);
    const wxString text = ToWx(c.text);
    const int id = c.id != 0 ? c.id : wxID_ANY;
    wxWindow* w = nullptr;
    switch (c.kind) {
    case Kind::Group: w = new wxStaticBox(this, id, text, pos, size); break;
    case Kind::Label: w = new wxStaticText(this, id, text, pos, size); break;
    case Kind::Edit: {
      auto* edit = new CNumEdit(this, id, pos, size);
      edit->Configure(c.shape);
      w = edit;
      break;
    }
    case Kind::Radio: w = new wxRadioButton(this, id, text, pos, size, c.firstInGroup ? wxRB_GROUP : 0); break;
    case Kind::Check: w = new wxCheckBox(this, id, text, pos, size); break;
    case Kind::Button: w = new wxButton(this, id, text, pos, size); break;
    }
    if (w && c.id != 0)
      m_widgets[c.id] = w;
  }
  m_nListTop = kListTop;
  m_nListLeft = kListLeft;
  m_widgets[kListView] = new CometListCtrl(this, *this, wxPoint(kListLeft, kListTop), wxSize(400, 200));
}

void CEphListView::BindControls()
{
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCalc(); }, kListCalc);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnZoneJst(); }, kListZoneJst);
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnZoneUt(); }, kListZoneUt);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnOpenElementFile(); }, ID_OPEN_ELEMENT_FILE);
  Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, ID_OPEN_ELEMENT_FILE);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnSearchRange(SelectedRow()); }, ID_SEARCH_RANGE);

  wxListCtrl* list = List();
  list->Bind(wxEVT_LIST_COL_CLICK, [this](wxListEvent& e) { OnColumnClick(e.GetColumn()); });
  // A row that becomes selected (the list reports no other kind here).
  list->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent& e) {
    OnItemChanged(static_cast<int>(e.GetIndex()), false, true);
  });
  list->Bind(wxEVT_CONTEXT_MENU, &CEphListView::OnListContextMenu, this);
}

void CEphListView::OnInitialUpdate()
{
  if (auto* frame = dynamic_cast<CChildFrame*>(GetParent()))
    frame->SetTitle(ToWx(kEphListTitle));
  wxListCtrl* list = List();
  list->SetFont(Widget(kListYear)->GetFont());
  // The row height follows an image list one pixel wide.
  const int rowHeight = static_cast<int>(std::lround((list->GetCharHeight() + 3) * 1.2));
  auto* images = new wxImageList(1, rowHeight, false, 1);
  images->Add(wxBitmap(1, rowHeight));
  list->AssignImageList(images, wxIMAGE_LIST_SMALL);
  // The widths were drawn for a face 6 pixels wide on average: a wider face
  // widens the columns in proportion, so that dates and declinations fit.
  const double scale = std::max(1.0, list->GetCharWidth() / kDesignCharWidth);
  for (int c = 0; c < kCometListColumns; ++c)
    list->InsertColumn(c, ToWx(kColumns[c].title), kColumns[c].align,
                       static_cast<int>(std::lround(kColumns[c].width * scale)));
  InitForm();
  ShowRows();
  PlaceList();
}

void CEphListView::PlaceList()
{
  wxListCtrl* list = List();
  if (!list)
    return;
  const wxSize client = GetClientSize();
  wxSize size = list->GetSize();
  if (client.x - 2 * m_nListLeft >= 50)
    size.x = client.x - 2 * m_nListLeft;
  if (client.y - m_nListTop - m_nListLeft > 29)
    size.y = client.y - m_nListTop - m_nListLeft;
  list->SetSize(m_nListLeft, m_nListTop, size.x, size.y);
}

wxWindow* CEphListView::Widget(int id) const
{
  const auto it = m_widgets.find(id);
  return it == m_widgets.end() ? nullptr : it->second;
}

wxListCtrl* CEphListView::List() const
{
  return dynamic_cast<wxListCtrl*>(Widget(kListView));
}

int CEphListView::SelectedRow() const
{
  wxListCtrl* list = List();
  return list ? static_cast<int>(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) : -1;
}

EphListForm CEphListView::ReadForm()
{
  auto text = [this](int id) {
    auto* edit = dynamic_cast<wxTextCtrl*>(Widget(id));
    return edit ? FromWx(edit->GetValue()) : std::string();
  };
  auto checked = [this](int id) {
    if (auto* radio = dynamic_cast<wxRadioButton*>(Widget(id)))
      return radio->GetValue() ? 1 : 0;
    auto* check = dynamic_cast<wxCheckBox*>(Widget(id));
    return check && check->GetValue() ? 1 : 0;
  };
  EphListForm f;
  f.year = text(kListYear);
  f.month = text(kListMonth);
  f.day = text(kListDay);
  f.hour = text(kListHour);
  f.limit = text(kListLimit);
  f.bUt = checked(kListZoneUt);
  f.bM2 = checked(kListM2);
  f.bFirstReturn = checked(kListFirstReturn);
  return f;
}

void CEphListView::WriteForm(const EphListForm& f)
{
  const std::pair<int, const std::string*> texts[] = {
      {kListYear, &f.year}, {kListMonth, &f.month}, {kListDay, &f.day}, {kListHour, &f.hour}, {kListLimit, &f.limit}};
  for (const auto& [id, value] : texts)
    if (auto* edit = dynamic_cast<wxTextCtrl*>(Widget(id)))
      edit->ChangeValue(ToWx(*value));
  // GTK unchecks a radio only by checking another of its group.
  if (auto* radio = dynamic_cast<wxRadioButton*>(Widget(f.bUt ? kListZoneUt : kListZoneJst)))
    radio->SetValue(true);
  if (auto* radio = dynamic_cast<wxRadioButton*>(Widget(f.bM2 ? kListM2 : kListM1)))
    radio->SetValue(true);
  if (auto* check = dynamic_cast<wxCheckBox*>(Widget(kListFirstReturn)))
    check->SetValue(f.bFirstReturn != 0);
}

void CEphListView::ShowRows()
{
  wxListCtrl* list = List();
  if (!list)
    return;
  for (long i = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
       i = list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    list->SetItemState(i, 0, wxLIST_STATE_SELECTED);
  list->SetItemCount(m_nRows);
  if (m_nSortColumn >= 0)
    list->ShowSortIndicator(m_nSortColumn, m_bSortAscending != 0);
  else
    list->RemoveSortIndicator();
  list->Refresh();
}

void CEphListView::OnListContextMenu(wxContextMenuEvent& event)
{
  wxListCtrl* list = List();
  const bool fromKeyboard = event.GetPosition() == wxDefaultPosition;
  int underPointer = -1;
  wxPoint at;
  if (!fromKeyboard) {
    at = list->ScreenToClient(event.GetPosition());
    underPointer = static_cast<CometListCtrl*>(list)->RowAt(at);
  }
  const int row = ContextMenuRow(fromKeyboard, SelectedRow(), underPointer);
  if (row < 0)
    return;
  if (fromKeyboard) {
    wxRect rect;
    list->GetItemRect(row, rect);
    at = wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
  }
  wxMenu menu;
  menu.Append(kCopyNameId, ToWx(kListCopyName));
  menu.Append(kCopyRowId, ToWx(kListCopyRow));
  const int chosen = list->GetPopupMenuSelectionFromUser(menu, at);
  if (chosen == kCopyNameId || chosen == kCopyRowId)
    OnCopy(row, chosen == kCopyRowId);
}

void RegisterEphListView()
{
  RegisterFunctionView(
      FunctionView::EphList, [](CChildFrame* frame) -> CFormView* { return new CEphListView(frame); },
      [] { return BuildMenuBar(kEphListMenu); });
}
