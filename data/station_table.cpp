#include "data/station_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/text_bytes.h"
#include "data/text_columns.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "platform/fixed_field.h"

namespace {

// A line longer than this many characters is read in pieces, each its own record.
constexpr size_t kPieceChars = 249;

// The pieces of the file, each a record's line: lines split at line feeds
// (their trailing carriage returns removed, as text mode reads CR LF) and cut
// into pieces of at most kPieceChars characters. Counting and filling use the
// same pieces, so the table always holds exactly what is filled into it.
std::vector<std::string_view> SplitPieces(std::string_view text)
{
  std::vector<std::string_view> pieces;
  ForEachLine(text, [&](std::string_view line) {
    do {
      const size_t cut = Utf8Prefix(line, kPieceChars).size();
      pieces.push_back(line.substr(0, cut));
      line.remove_prefix(cut);
    } while (!line.empty());
  });
  return pieces;
}

void FillRecord(StationRecord& rec, std::string_view piece)
{
  // Columns 1-30 are codes and numbers; the name is kept as written.
  const size_t nameOffset = Utf8Prefix(piece, 30).size();
  const std::string columns = ToColumnText(piece.substr(0, nameOffset));
  // copy(), not memcpy: an empty line's views may have no data pointer at all.
  FixedColumns(columns, 1, 3).copy(rec.m_szCode, 3);

  std::string_view name = piece.substr(nameOffset);
  name = Utf8Prefix(name, kStationNameChars);
  name.copy(rec.m_szName, name.size());

  rec.m_dLongitude = FixedDouble(columns, 5, 13);
  const double c = FixedDouble(columns, 14, 21);
  const double s = FixedDouble(columns, 22, 30);
  rec.m_dRhoCos = c * kStationRadiusAu * kStationScale;
  rec.m_dRhoSin = s * kStationRadiusAu * kStationScale;
}

} // namespace

int LoadStationTable(StationRecord** ppTable)
{
  std::string bytes;
  if (!ReadWholeFile(TheApp().m_szStationsFile, bytes))
    return -1;
  // Decoded as the observation reader decodes, so that a file the code
  // update kept in UTF-8 reads back as written.
  const std::string text = DecodeColumnFile(bytes);

  const std::vector<std::string_view> pieces = SplitPieces(text);
  auto* table = static_cast<StationRecord*>(std::calloc(pieces.size() + 1, sizeof(StationRecord)));
  if (table == nullptr)
    return -2;
  *ppTable = table;
  for (size_t i = 0; i < pieces.size(); ++i) {
    FillRecord(table[i], pieces[i]);
    // A line that reads as the end record (code END at longitude -1.0, no
    // observatory's code) would hide every station after it: it keeps no code.
    if (IsStationTableEnd(table[i]))
      table[i].m_szCode[0] = '\0';
  }

  StationRecord& end = table[pieces.size()];
  std::memcpy(end.m_szCode, "END", 4);
  end.m_dLongitude = -1.0;
  end.m_dRhoCos = -1.0;
  end.m_dRhoSin = -1.0;
  return static_cast<int>(pieces.size());
}

bool IsStationTableEnd(const StationRecord& rec)
{
  return rec.m_dLongitude == -1.0 && std::strcmp(rec.m_szCode, "END") == 0;
}

int FindStation(std::string_view szCode, const StationRecord* pTable, double* pdLongitude, double* pdRhoCos,
                double* pdRhoSin)
{
  char code[3] = {0, 0, 0};
  std::memcpy(code, szCode.data(), std::min<size_t>(3, szCode.size()));
  for (const StationRecord* rec = pTable; !IsStationTableEnd(*rec); ++rec) {
    if (std::memcmp(rec->m_szCode, code, 3) == 0) {
      *pdLongitude = rec->m_dLongitude;
      *pdRhoCos = rec->m_dRhoCos;
      *pdRhoSin = rec->m_dRhoSin;
      return 0;
    }
  }
  return -1;
}
