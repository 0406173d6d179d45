#pragma once
// Element files: four fixed-column line layouts, recognised by fixed blanks,
// digits and decimal points (never by a header), read into ElementRecord.
//   1  short one-line minor-planet line (packed designation, H, G, epoch, M, ...)
//   2  minor-planet catalogue line ("MPCORB.DAT")
//   3  MPC one-line comet line ("AllCometEls.txt")
//   4  long one-line comet line
// Columns are 1-based. A line's CR/LF terminator is ignored everywhere.
#include <string>
#include <string_view>
#include <vector>

#include "data/element_record.h"

// --- Recognising and parsing lines --------------------------------------------

// 1 when the line passes the tests of layout 1 / 2 / 3 / 4, else 0.
int IsShortMinorPlanetLine(std::string_view line);
int IsMpcorbLine(std::string_view line);
int IsCometOneLine(std::string_view line);
int IsLongCometLine(std::string_view line);

// The first layout, in the order 1, 2, 3, 4, whose tests the line passes; 0 for none.
int ElementLineLayout(std::string_view line);

// Fills the record from a layout 2 line: m_nLayout 2, m_bMpcorb 1, the line's
// fields, and -1.0 in m_dT, m_dH1, m_dK1 and m_dMagSpare. Malformed numbers
// read as the column conversion gives them (blank is 0).
void ParseMpcorbLine(ElementRecord* pElement, std::string_view line);

// Fills the record from a line of the given layout (1-4); every field the
// layout does not carry is reset to -1.0. Does not test the layout.
void ParseElementLine(ElementRecord* pElement, std::string_view line, int layout);

// Julian day of a packed five-character date (K205V = 2020 May 31.0): century
// letter (code - 55: I 18, J 19, K 20, L 21) and two year digits, then month
// and day each as a digit or a letter (code - 55: A 10, V 31).
double PackedDateToJd(std::string_view packed);

// --- The user's choices ----------------------------------------------------------

// What ReadElementFile asks of the windows. data/ui installs the dialogs;
// the headless default cancels both questions.
class ElementFileUi {
public:
  virtual ~ElementFileUi() = default;
  // Asks for an element file to open; false when the user cancels.
  virtual bool AskElementFilePath(std::string& path) = 0;
  // Lets the user pick one of the records; its index, or -1 when nothing was chosen.
  virtual int SelectObject(const std::vector<ElementRecord>& records, int count) = 0;
};

// The installed implementation (a cancelling headless one until data/ui installs its own).
ElementFileUi& ElementFilePrompts();
// Installs an implementation; null restores the headless default. The caller keeps ownership.
void SetElementFileUi(ElementFileUi* ui);

// The object-selection dialog's state, apart from its window: the list's
// texts in record order, the first selected, and the index handed back.
class ObjectSelection {
public:
  ObjectSelection(const std::vector<ElementRecord>& records, int count);
  const std::vector<std::string>& Names() const { return m_names; }
  // Selection when the dialog opens: the first record, -1 for an empty list.
  int InitialSelection() const { return m_names.empty() ? -1 : 0; }
  // OK with the list's current selection (-1 when none, or outside the list).
  void Confirm(int listSelection);
  void Cancel() { m_nSelected = -1; }
  int Selected() const { return m_nSelected; }

private:
  std::vector<std::string> m_names;
  int m_nSelected = -1;
};

// --- Reading a file -----------------------------------------------------------------

// Reads every line of a known layout (the first that fits, in the order 1-4)
// into records. strPath empty: the user is asked for the file first.
// pnSelected not null: the user picks one record, whose index is stored there.
// Returns 1 done; 0 the user cancelled the file or the pick, or no line has
// a known layout; -1 the file cannot be read or memory runs out. The outputs
// are written only when the result is 1. Lines longer than 510 characters
// are cut there.
// pWhy not null: what became of the read and the path read, so that a caller
// can tell a file with no record from a cancelled choice.
enum class ElementFileOutcome { Done, Cancelled, NoRecord, Unreadable };
struct ElementFileWhy {
  ElementFileOutcome outcome = ElementFileOutcome::Cancelled;
  std::string path;
};
int ReadElementFile(const std::string& strPath, std::vector<ElementRecord>* pElements, int* pnCount,
                    int* pnSelected, ElementFileWhy* pWhy = nullptr);
// The message for a file that held no record or could not be read (empty
// for a read done or cancelled).
std::string ElementFileRefusal(const ElementFileWhy& why);
// Shows that message in a box, when there is one (the views that let the user pick a file).
void ShowElementFileRefusal(const ElementFileWhy& why);
