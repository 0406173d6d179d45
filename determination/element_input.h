#pragma once
// The start-element input ("軌道改良用の軌道要素入力") without its window: the
// texts the dialog shows, the reading and checks of OK with the asteroid
// form's conversion to T and q, the two element memos of the settings file,
// and command 32793, which hands the typed elements to the engine and
// computes their residuals.
#include <array>
#include <string>

class CDeterminationDisplay;
class CTessaruneApp;

// The sixteen element fields, in the memo keys' order.
enum ElementField : int {
  kElmTYear, kElmTMonth, kElmTDay, kElmM, kElmQ, kElmA, kElmE, kElmPeri, kElmNode, kElmIncl,
  kElmEpochYear, kElmEpochMonth, kElmEpochDay, kElmA1, kElmA2, kElmA3,
  kElmFieldCount
};
inline constexpr const char* kElementMemoKeys[kElmFieldCount] = {
    "TY", "TM", "TD", "M", "Q", "A", "E", "PERI", "NODE", "INCL", "EPY", "EPM", "EPD", "A1", "A2", "A3"};
using ElementTexts = std::array<std::string, kElmFieldCount>;

// The values exchanged with the view. Angles in radians, M in radians after
// OK (both forms), A1-A3 in AU/day²; an epoch of 0/0/0 means none.
struct ElementInput {
  int m_bAsteroidForm = 0;
  double m_dTYear = 0, m_dTMonth = 0, m_dTDay = 0;
  double m_dEpochYear = 0, m_dEpochMonth = 0, m_dEpochDay = 0;
  double m_dM = 0, m_dQ = 0, m_dA = 0, m_dE = 0;
  double m_dPeri = 0, m_dNode = 0, m_dIncl = 0;
  double m_dA1 = 0, m_dA2 = 0, m_dA3 = 0;
  int m_bCancelled = 1;
};

inline constexpr const char* kElementInputCaption = "Tessarune";
inline constexpr const char* kMsgAsteroidFormAE =
    "小惑星形式では、軌道長半径aは正の値、離心率eは0以上1未満である必要があります。";
inline constexpr const char* kMsgAsteroidFormEpoch =
    "小惑星形式では、上のEpoch欄(要素が接触している日付)が必要です。\r\nMはその日付での平均近点離角として扱います。";
inline constexpr const char* kMsgCometFormQE =
    "彗星形式では、近日点距離qは正の値、離心率eは0以上である必要があります。";

// The texts the dialog opens with: the members when T is set (angles in
// degrees), else the example elements of 2011 March 26.893368; M, a and the
// A fields empty; the epoch when its year is set.
ElementTexts InitialElementTexts(const ElementInput& in);

// OK: reads the texts (empty gives 0) into out. The comet form needs q > 0
// and e >= 0; the asteroid form a > 0, 0 <= e < 1 and an epoch, and gets T
// and q from the epoch, a and M. "" when accepted, else the message to show
// with the dialog kept open.
std::string AcceptElementTexts(const ElementTexts& texts, int asteroidForm, ElementInput& out);

// The memos "ELMMEMO1" and "ELMMEMO2" (memo 1 or 2): the note and the
// sixteen field texts as shown. Saving writes all seventeen keys (nothing in
// worker mode); a memo whose "Q" is empty is absent and recalls nothing.
void SaveElementMemo(CTessaruneApp& app, int memo, const std::string& note, const ElementTexts& texts);
bool LoadElementMemo(const CTessaruneApp& app, int memo, std::string& note, ElementTexts& texts);
std::string ElementMemoNote(const CTessaruneApp& app, int memo);

// Command 32793 before the dialog: the engine's elements and epoch in state 5
// with perturbations on, else zeros.
ElementInput PrefillElementInput(const CDeterminationDisplay& view);

// Command 32793 after the dialog. Nothing when it was cancelled, and nothing
// (with a box) while a calculation runs: the engine's elements stay. Else
// the engine takes the elements, perturbations go on, and the residuals are
// computed at the dialog's epoch (then also the elements' own) or at the
// Epoch fields' date. The improvement's code; -1 when nothing was done.
int ApplyElementInput(CDeterminationDisplay& view, const ElementInput& in);
