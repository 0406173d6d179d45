#pragma once
// The observation list as text and colours: the eight cells of a row, the
// row's colours, the hover text of the status bar. Window-free; the list
// control asks for each visible cell when it paints.
#include <cstdint>
#include <string>

struct ObservationRecord;
struct StationRecord;

inline constexpr int kObsColumnCount = 8;

struct ObsColumnDef {
  const char* heading;
  int width;  // pixels
  bool rightAligned;
};
extern const ObsColumnDef kObsColumns[kObsColumnCount];

// What a cell depends on besides its record.
struct ObsCellContext {
  int calcState = 0;        // the engine's CalcState
  int residualsShown = 0;   // CDetermination::m_bResidualsShown
};

// Text of column 0-7 of the record; "" for another column.
std::string FormatObsCell(const ObservationRecord& obs, int column, const ObsCellContext& context);

// Colours as 0x00BBGGRR; hasBackground/hasText false keep the defaults.
struct ObsRowColours {
  bool hasBackground = false;
  uint32_t background = 0;
  bool hasText = false;
  uint32_t text = 0;
};
// biasFlag: the row's station-bias flag (0 when the row has none).
ObsRowColours ObsRowColour(const ObservationRecord& obs, int biasFlag);

// Status-bar text for row (0-based) of the list; stations may be null when
// no table could be loaded.
std::string ObsHoverText(int row, const ObservationRecord& obs, const StationRecord* stations);
