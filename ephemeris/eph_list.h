#pragma once
// The comet-list view "彗星一覧" without its window: the form's values, the
// element file, the calculation of the rows, the column sort, the cells of
// the owner-data list, the hand-over of a selected row to the tool windows
// and the copy menu. The window reads and writes the form through ReadForm
// and WriteForm and shows the rows when ShowRows is called.
#include <ctime>
#include <string>
#include <vector>

#include "data/element_record.h"
#include "ephemeris/comet_list_rows.h"

// Controls of the form (dialog 101).
enum EphListControl : int {
  kListCalc = 1026,         // "計算(&C)"
  kListZoneJst = 1042,      // "JA(+9)"
  kListZoneUt = 1043,       // "UT(+0)"
  kListYear = 1033,
  kListMonth = 1034,
  kListDay = 1035,
  kListHour = 1044,
  kListView = 1007,         // the list
  kListFirstReturn = 1251,  // "初回帰に限定"
  kListM1 = 1338,
  kListM2 = 1339,
  kListLimit = 1340,        // magnitude limit, empty: none
};

inline constexpr const char* kEphListTitle = "彗星一覧";
inline constexpr const char* kListStatusComputing = "計算中です。しばらくお待ちください。";
inline constexpr const char* kListStatusShowing = "計算完了しました。表示処理中です。";
// Progress of a long list, after kListStatusComputing: objects done, of all.
inline constexpr const char* kListStatusProgress = "計算中です。しばらくお待ちください。 %d / %d  [ESC]で中止";
// The copy menu.
inline constexpr const char* kListCopyName = "天体名をコピー(&N)";
inline constexpr const char* kListCopyRow = "1行全体をコピー(&R)";

// The form as the user filled it.
struct EphListForm {
  std::string year, month, day, hour;  // the hour is shown, never read
  std::string limit;                   // empty: no brightness limit
  int bUt = 1;                         // "UT(+0)" (else "JA(+9)")
  int bM2 = 0;                         // the limit applies to m2 (else m1)
  int bFirstReturn = 0;                // "初回帰に限定"
};

enum EphListCalcResult : int {
  kListCalcDone = 0,
  kListCalcNothing = 1,   // no element file, no memory, or the planetary file does not cover the
                          // three years (said in a message box): nothing changed
  kListCalcStopped = 2,   // Esc or the cancel dialog: the previous rows stay
  kListCalcBusy = 3,      // another calculation runs (said in a message box)
};

class CEphList {
public:
  CEphList() = default;
  virtual ~CEphList() = default;
  CEphList(const CEphList&) = delete;
  CEphList& operator=(const CEphList&) = delete;

  // ---- the form (the window overrides these with its widgets) ----
  virtual EphListForm ReadForm() { return m_form; }
  virtual void WriteForm(const EphListForm& form) { m_form = form; }
  // The list shows m_pRows anew: item count, selection cleared, the sort
  // column's arrow (none while m_nSortColumn is -1), redrawn.
  virtual void ShowRows() {}
  virtual std::time_t Now() const { return std::time(nullptr); }

  // "UT(+0)" and "m1" checked, today's local date (0 each when it cannot be
  // had), the hour "0".
  void InitForm();
  void OnZoneJst() { m_bUt = 0; }
  void OnZoneUt() { m_bUt = 1; }
  // The instant (JD) of a form: 0 h of the day in the chosen zone.
  double InstantOf(const EphListForm& form) const;

  // ---- element file ----
  // Asks for a file; its records replace the loaded ones (a cancelled or
  // failed open keeps them).
  void OnOpenElementFile();
  void SetElements(std::vector<ElementRecord> records);

  // ---- calculation and order ----
  // "計算(&C)": the rows of every record at the form's instant, filtered and
  // sorted by days from perihelion, then by the chosen column.
  int OnCalc();
  // A header click: columns 0 to 10 sort (the current one reverses).
  void OnColumnClick(int column);
  std::string GetCellText(int row, int column) const;

  // ---- hand-over and copy ----
  // A row that becomes selected goes to the tool windows.
  void OnItemChanged(int row, bool wasSelected, bool isSelected);
  void PushElementsToWindows(int row);
  // "捜索範囲(変差線)(&R)": the search range shown, the selected row (or -1) pushed.
  void OnSearchRange(int selectedRow);
  // The row the copy menu is for: from the keyboard the selected one, from
  // the mouse the one under the pointer; -1 (no menu) without rows or row.
  int ContextMenuRow(bool fromKeyboard, int selectedRow, int rowUnderPointer) const;
  // "天体名をコピー(&N)" (the name cell) or "1行全体をコピー(&R)" (the 14 cells
  // joined by tabs), each trimmed.
  std::string CopyText(int row, bool wholeRow) const;
  // Puts CopyText on the clipboard when it is not empty.
  void OnCopy(int row, bool wholeRow);

  // ---- state ----
  std::vector<ElementRecord> m_pElements;
  int m_nElements = 0;
  int m_bUt = 1;
  std::vector<CometListRow> m_pRows;
  int m_nRows = 0;
  double m_dListJd = 0;        // instant of the last calculation
  int m_nSortColumn = -1;      // -1: none chosen
  int m_bSortAscending = 1;
  EphListForm m_form;          // the headless form

private:
  void SortRows();
};
