#pragma once
// The Minor Planet Center's lists that follow the NEOCP objects: the Possible
// Comet Confirmation Page ("pccp.txt") and the page of objects that left the
// NEOCP ("ToConfirm_PrevDes.html"), with the designation helpers that read
// what the second one says.
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "data/neocp_list.h"

inline constexpr const char* kMpcNeocpJsonPath = "/Extended_Files/neocp.json";
inline constexpr const char* kMpcPccpPath = "/iau/NEO/pccp.txt";
inline constexpr const char* kMpcPrevDesPath = "/iau/NEO/ToConfirm_PrevDes.html";

// ---- pccp.txt ----
inline constexpr int kPccpMaxTokens = 32;
inline constexpr int kPccpDetailTokens = 12;
// Every line's first token goes into desigs; with entries, the lines of at
// least 12 tokens become entries (designation, score, discovery date, R.A.,
// Decl., V from the front; observations, arc, H and days not seen from the
// last four of at most 32 tokens). A later line of a key replaces the entry.
void ParsePccpText(std::string_view text, std::set<std::string>& desigs,
                   std::map<std::string, NeocpEntry>* entries);

// ---- ToConfirm_PrevDes.html ----
// What one item of the page says.
struct PrevDesItem {
  std::string m_strAssigned;  // left of " = " without "Comet "; empty without " = "
  std::string m_strPhrase;    // the outcome phrase of an item without " = "
  std::string m_strDate;      // "1月5.23日"
  std::string m_strMpec;      // "MPEC 2024-A123" or empty
};
// Items by the NEOCP designation they name; the first item of a key wins.
// The page's bytes are read as Latin-1.
void ParsePrevDesPage(std::string_view page, std::map<std::string, PrevDesItem>& items);

// "Jan. 5.23" -> "1月5.23日"; a text without a month name comes back as given.
std::string FormatJapaneseMonthDay(std::string_view text);

// A known outcome phrase of the page with its Japanese texts.
struct NeocpFate {
  const char* phrase;
  const char* fateShort;
  const char* fate;
};
inline constexpr int kNeocpFateCount = 10;
extern const NeocpFate NeocpFateTable[kNeocpFateCount];
// The table's row of a phrase (exact match), else null.
const NeocpFate* FindNeocpFate(std::string_view phrase);

// ---- designations ----
// "29P", "123456D": 2 to 6 characters, digits then P, D or I.
bool IsNumberedCometDesignation(std::string_view desig);
// The one-word name the NEOCP gives its objects: non-empty, no blank, no "/",
// not "(...)", not a numbered comet.
bool IsTemporaryDesignation(std::string_view desig);
// The packed form ("2024 AB12" -> "K24A12B", "C/2024 A1 (Name)" -> "CK24A010");
// the trimmed text when it does not pack.
std::string ToPackedDesignation(std::string_view text);
