#pragma once
// The save command's files without a window: the proposed file name, the
// one-line element layouts of the Minor Planet Center's catalogues, and the
// four formats (8-line report, one station's check report, one-line
// elements, the solution file) written whole through a temporary file.
#include <ctime>
#include <string>

class CDeterminationDisplay;

// Formats of the save dialog.
enum ResultFileFormat : int {
  kResultMpc8Line = 0,
  kResultStationCheck = 1,
  kResultMpc1Line = 2,
  kResultSolution = 3,
};

inline constexpr const char* kMsgResultNotCreated = "ファイルが作成できませんでした。";

// True in the states the save command acts in (improved orbits, 4 and 5).
bool CanSaveResults(const CDeterminationDisplay& view);

// The proposed name: "<packed>_E<epoch>[_A1|_Y1|_C1|_S1].IMP" with
// perturbations, "<packed>_D<today>.IMP" without; "--NAME--" in place of a
// packed name that is empty or holds a blank or one of . > < * / ? \.
std::string DefaultResultFileName(const CDeterminationDisplay& view, const std::tm& today);

// "K25BU" of a date: century letter, two-digit year, month and day each as
// one character (1-9, then A for 10 onwards).
std::string PackedEpoch(int year, int month, int day);

// The element line (LF ended) in the minor-planet layout of the catalogue
// of minor-planet orbits when the view shows the minor-planet form of an
// ellipse (e <= 0.97), else in the layout of the comet catalogue.
std::string FormatMpcOneLine(CDeterminationDisplay& view);

// The file's bytes: formats 0-2 in code page 932 with CR LF ("?" for a
// character it lacks), format 3 the solution file in UTF-8 with its mark.
// station: the code of format 1.
std::string ResultFileBytes(CDeterminationDisplay& view, int format, const std::string& station);

// Writes the file whole or not at all; false with the reason (the old
// file then kept) in *error.
bool WriteResultFile(CDeterminationDisplay& view, const std::string& path, int format, const std::string& station,
                     std::string* error);
