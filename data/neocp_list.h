#pragma once
// The NEO Confirmation Page list ("neocp.json"): its objects as records, the
// update text in Japanese, the table's cell texts and its sort order.
#include <string>
#include <string_view>

// One object of the list. Every number is -9999.0 when its key is missing or
// not a number. A plain record: arrays of it are one zero-filled block from
// the C heap, released with free().
struct NeocpEntry {
  char m_szDesig[64];      // "Temp_Desig", at most 15 characters (UTF-8)
  char m_szUpdated[256];   // "Updated" after ConvertUpdatedText, at most 63 characters (UTF-8)
  double m_dScore;         // "Score", NEO-likeness 0..100
  double m_dDiscYear;      // "Discovery_year"
  double m_dDiscMonth;     // "Discovery_month"
  double m_dDiscDay;       // "Discovery_day", with fraction
  double m_dRa;            // "R.A.", hours
  double m_dDec;           // "Decl.", degrees
  double m_dV;             // "V", magnitude
  double m_dH;             // "H", absolute magnitude
  double m_dArc;           // "Arc", days
  double m_dNotSeenDays;   // "Not_Seen_dys", days since last seen
  double m_dNObs;          // "NObs", number of observations
};

inline constexpr size_t kNeocpDesigChars = 15;
inline constexpr size_t kNeocpUpdatedChars = 63;

// Sort state of CompareNeocpEntries, set by the caller before each sort:
// the column (0 designation, 1 score, 2 discovery date, 3 R.A., 4 Decl., 5 V,
// 6 observations, 7 arc, 8 H, 9 days not seen, 10 update text) and 1 for
// descending.
extern int g_nNeocpSortColumn;
extern int g_bNeocpSortDescending;

// "Updated Sept. 12.5 UT" -> "更新 9月12.5日"; a text of another form is kept
// (cut to 63 characters).
std::string ConvertUpdatedText(std::string_view text);

// The objects of neocp.json that have a "Temp_Desig", in file order. The count;
// *ppEntries receives the array (free() it) only when the count is above 0.
int ParseNeocpJson(std::string_view json, NeocpEntry** ppEntries);

// Cell texts; -9999.0 always shows as "-".
std::string FormatRaCell(double hours);     // "05 30.0"
std::string FormatDecCell(double degrees);  // "+20 09"
std::string FormatNumberCell(double value, const char* format);

// For qsort over NeocpEntry: by g_nNeocpSortColumn, equal keys by designation;
// missing numbers last in either direction.
int CompareNeocpEntries(const void* a, const void* b);
