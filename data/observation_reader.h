#pragma once
// The observation file reader: MPC 80-column lines (with the two-line forms of
// roving and satellite observers), ADES XML and ADES PSV, in UTF-16 with a
// byte-order mark, UTF-8 or code page 932, into an array of ObservationRecord
// with the observer-to-Sun vectors. Every input is first normalised into a
// temporary file of 80-column lines, from which the records are built.
#include <cstdio>
#include <string>

#include "data/observation_record.h"

// While not zero, GetMpcObs shows no message about an unreadable file or a
// file without observations (the view's batch runs and the NEOCP scan's
// catalogue match raise it; they report the failure from the result code).
extern int g_nObsReadQuiet;

// Raises g_nObsReadQuiet for its lifetime when active, so that every way out
// lowers it.
class QuietObservationReading {
public:
  explicit QuietObservationReading(bool active = true) : m_active(active) { g_nObsReadQuiet += m_active ? 1 : 0; }
  ~QuietObservationReading() { g_nObsReadQuiet -= m_active ? 1 : 0; }
  QuietObservationReading(const QuietObservationReading&) = delete;
  QuietObservationReading& operator=(const QuietObservationReading&) = delete;

private:
  bool m_active;
};

namespace CTessaruneLib {

// Result codes of GetMpcObs (a count of 0 or more is success).
inline constexpr int kObsReadFailed = -1;         // unreadable, empty, undecodable, no usable observation,
                                                  // or the conversion file could not be written or read
inline constexpr int kObsNoStationTable = -2;     // the station table could not be loaded or is empty
inline constexpr int kObsNoSunPosition = -3;      // no planetary file, or a time outside its span
inline constexpr int kObsMissingSecondLine = -4;  // a roving or satellite first line ends the file

// Reads the observation file. On success stores a new array (release it with
// free()) through ppObs and returns the number of observations; on failure
// ppObs keeps its value and everything the call allocated is released.
// Messages go through Ui().
int GetMpcObs(const std::string& szObsFile, ObservationRecord** ppObs);

// The message for kObsNoSunPosition: with a planetary file open, its span and
// the observation of the last read that fell outside it (the file is there:
// pointing the user at a missing file would send them the wrong way); with
// none open, that the file is missing.
std::string SunPositionRefusal();

} // namespace CTessaruneLib

// 1 when the file starts with FF FE, 0 otherwise, -1 when it cannot be opened.
int IsUtf16File(const std::string& path);

// Reads the next line of an open file into buf (UTF-8), at most n - 1
// characters, keeping its line feed (CR LF is read as LF). Mode 1: the file is
// UTF-16LE; other modes: 8-bit text in code page 932. 1 when a line was read,
// 0 at the end of the file or on a read error.
int ReadTextLine(int mode, std::string& buf, int n, std::FILE* file);
