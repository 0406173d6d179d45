#include "ephemeris/eph_list.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "astro/angle_units.h"
#include "astro/time_scales.h"
#include "data/element_file.h"
#include "engine/determination_host.h"
#include "engine/orbit_engine.h"
#include "engine/tool_sinks.h"
#include "ephemeris/ephemeris_fields.h"
#include "ephemeris/ephemeris_globe.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

// Japan Standard Time is 9 hours ahead of UT.
constexpr double kJstOffsetDays = 0.375;
// Objects between two progress texts of a long list.
constexpr int kProgressStride = 1024;

// The calculation holds the current engine's busy guard, so that the frames
// refuse to close and other commands wait while it pumps events.
class ListBusy {
public:
  ListBusy() : m_engine(CurrentDetermination()->m_pEngine) {
    m_bHeld = m_engine && BeginBusyCommand(m_engine) == 0;
  }
  ~ListBusy() {
    if (m_bHeld) EndBusy(m_engine);
  }
  ListBusy(const ListBusy&) = delete;
  ListBusy& operator=(const ListBusy&) = delete;
  bool Held() const { return m_bHeld; }
  // Keeps the window alive; true when the user asked to stop (Esc or the cancel dialog).
  bool StopAsked() { return PumpAndCheckCancel(m_engine) != 0 || EscapeRequested(); }

private:
  OrbitEngine* m_engine;
  bool m_bHeld = false;
};

} // namespace

void CEphList::InitForm() {
  EphListForm f = ReadForm();
  f.bUt = 1;
  f.bM2 = 0;
  f.year = f.month = f.day = "0";
  const std::time_t now = Now();
  std::tm local{};
  if (now != static_cast<std::time_t>(-1) && localtime_r(&now, &local)) {
    f.year = FormatC("%d", local.tm_year + 1900);
    f.month = FormatC("%d", local.tm_mon + 1);
    f.day = FormatC("%d", local.tm_mday);
  }
  f.hour = "0";
  WriteForm(f);
  m_bUt = 1;
  m_pRows.clear();
  m_nRows = 0;
}

double CEphList::InstantOf(const EphListForm& form) const {
  const double jd = CalendarToJd(static_cast<double>(ReadInteger(form.year)),
                                 static_cast<double>(ReadInteger(form.month)), ReadNumber(form.day));
  return m_bUt ? jd : jd - kJstOffsetDays;
}

void CEphList::OnOpenElementFile() {
  // A calculation that pumps events reads the records being replaced.
  if (CurrentCalculationRunning()) {
    Ui().ShowMessage("Tessarune", kMsgOtherCalculationRunning, MsgIcon::Warning, MsgButtons::Ok);
    return;
  }
  std::vector<ElementRecord> records;
  int count = 0;
  ElementFileWhy why;
  if (ReadElementFile("", &records, &count, nullptr, &why) != 1) {
    ShowElementFileRefusal(why);
    return;
  }
  records.resize(static_cast<size_t>(count));
  SetElements(std::move(records));
}

void CEphList::SetElements(std::vector<ElementRecord> records) {
  m_pElements = std::move(records);
  m_nElements = static_cast<int>(m_pElements.size());
}

int CEphList::OnCalc() {
  if (m_pElements.empty()) return kListCalcNothing;
  const EphListForm form = ReadForm();
  const double instant = InstantOf(form);
  // Without the Sun and the Moon of every day the places and peaks would be wrong.
  const std::string refusal = PlanetaryFileRefusal(instant, instant + kCometListDays, kEphListTitle);
  if (!refusal.empty()) {
    Ui().ShowMessage("Tessarune", refusal, MsgIcon::Warning, MsgButtons::Ok);
    return kListCalcNothing;
  }

  std::vector<CometListRow> rows;
  std::vector<EphemerisRow> table;
  try {
    rows.reserve(m_pElements.size());
    table.resize(kCometListDays);
  } catch (const std::bad_alloc&) {
    return kListCalcNothing;
  }
  ListBusy busy;
  if (!busy.Held()) {
    Ui().ShowMessage("Tessarune", kMsgOtherCalculationRunning, MsgIcon::Warning, MsgButtons::Ok);
    return kListCalcBusy;
  }
  ScopedWaitCursor wait;
  Ui().SetStatusText(kListStatusComputing);
  ClearEscapeKey();

  // Every object is computed on the same days: the Sun and the Moon once.
  FillEphemerisSunAndMoon(instant, 1.0, kCometListDays, table.data());
  const int total = static_cast<int>(m_pElements.size());
  for (int i = 0; i < total; ++i) {
    if (i > 0 && i % kProgressStride == 0) Ui().SetStatusText(FormatC(kListStatusProgress, i, total));
    if (busy.StopAsked()) {
      Ui().SetStatusText("");
      return kListCalcStopped;
    }
    CometListRow row = MakeCometListRow(m_pElements[static_cast<size_t>(i)]);
    // The filter needs only the orbit: rows it drops are not computed.
    if (form.bFirstReturn && !PassesCometListFirstReturn(row, instant)) continue;
    FillEphemerisObjectRows(1, 1, kCometListDays, row.m_dT, row.m_dQ, row.m_dE, row.m_dPeri / kDegPerRad,
                            row.m_dNode / kDegPerRad, row.m_dIncl / kDegPerRad, row.m_dH1, row.m_dH2, row.m_dK1,
                            row.m_dK2, 0.0, table.data());
    StoreCometListEphemeris(row, instant, table.data());
    rows.push_back(std::move(row));
  }

  if (!TrimText(form.limit).empty()) {
    const double limit = ReadNumber(form.limit);
    std::erase_if(rows, [&](const CometListRow& r) { return !PassesBrightnessLimit(r, limit, form.bM2 != 0); });
  }
  std::sort(rows.begin(), rows.end(),
            [](const CometListRow& a, const CometListRow& b) { return a.m_dPeriDays < b.m_dPeriDays; });
  Ui().SetStatusText(kListStatusShowing);

  m_pRows = std::move(rows);
  m_nRows = static_cast<int>(m_pRows.size());
  m_dListJd = instant;
  if (m_nSortColumn >= 0) SortRows();
  ShowRows();
  Ui().SetStatusText("");
  return kListCalcDone;
}

void CEphList::SortRows() {
  const int column = m_nSortColumn;
  const bool ascending = m_bSortAscending != 0;
  std::sort(m_pRows.begin(), m_pRows.end(), [=](const CometListRow& a, const CometListRow& b) {
    const int c = CompareCometListColumn(a, b, column);
    return ascending ? c < 0 : c > 0;
  });
}

void CEphList::OnColumnClick(int column) {
  if (column < 0 || column > kLastSortColumn) return;
  if (column == m_nSortColumn) {
    m_bSortAscending = m_bSortAscending ? 0 : 1;
  } else {
    m_nSortColumn = column;
    m_bSortAscending = 1;
  }
  SortRows();
  ShowRows();
}

std::string CEphList::GetCellText(int row, int column) const {
  if (row < 0 || row >= m_nRows || row >= static_cast<int>(m_pRows.size())) return std::string();
  return CometListCell(m_pRows[static_cast<size_t>(row)], column);
}

void CEphList::OnItemChanged(int row, bool wasSelected, bool isSelected) {
  if (!wasSelected && isSelected) PushElementsToWindows(row);
}

void CEphList::PushElementsToWindows(int index) {
  if (index < 0 || index >= m_nRows || index >= static_cast<int>(m_pRows.size())) return;
  const CometListRow& row = m_pRows[static_cast<size_t>(index)];
  if (!(row.m_dQ > 0)) return;
  const std::string name = TrimText(row.m_szName);
  const double peri = row.m_dPeri / kDegPerRad, node = row.m_dNode / kDegPerRad, incl = row.m_dIncl / kDegPerRad;
  const double epoch = m_dListJd > 0 ? m_dListJd : (row.m_dEpoch > 0 ? row.m_dEpoch : row.m_dT);
  const bool asteroid = row.m_bAsteroidForm != 0;
  const double h = asteroid ? row.m_dH2 : row.m_dH1;
  const double gk = asteroid ? row.m_dG : row.m_dK1;

  ToolWindowSinks& sinks = ToolSinks();
  if (OrbitDiagramSink* diagram = sinks.OpenOrbitDiagram()) {
    DisplayOrbit orbit;
    orbit.m_dT = row.m_dT;
    orbit.m_dQ = row.m_dQ;
    orbit.m_dE = row.m_dE;
    orbit.m_dPeri = peri;
    orbit.m_dNode = node;
    orbit.m_dIncl = incl;
    orbit.m_dEpoch = epoch;
    orbit.m_strName = name;
    orbit.m_nMpOrbit = row.m_dMeanAnomalyForm != 0 ? 1 : 0;
    orbit.m_bAsteroid = asteroid ? 1 : 0;
    orbit.m_bValid = 1;
    diagram->ShowOrbit(orbit, std::string(), {}, false);
  }
  if (MagCurveSink* curve = sinks.OpenMagCurve())
    curve->SetObject(row.m_dT, row.m_dQ, row.m_dE, peri, node, incl, name, h, gk, asteroid ? 1 : 0);
  if (VisibilityChartSink* chart = sinks.VisibilityChart()) {
    const EphListForm form = ReadForm();
    const long year = ReadInteger(form.year), month = ReadInteger(form.month);
    const double day = std::trunc(ReadNumber(form.day));
    if (year > 0 && month >= 1 && month <= 12 && day >= 1)
      chart->SetStartDate(CalendarToJd(static_cast<double>(year), static_cast<double>(month), day));
    chart->SetObject(row.m_dT, row.m_dQ, row.m_dE, peri, node, incl, name, h, gk, asteroid ? 1 : 0);
  }
  if (SearchRangeSink* range = sinks.SearchRange())
    range->SetObject(name, row.m_dT, row.m_dQ, row.m_dE, peri, node, incl, asteroid ? 0 : row.m_dH1,
                     row.m_dK1 == 0 ? 10.0 : row.m_dK1);
}

void CEphList::OnSearchRange(int selectedRow) {
  ToolSinks().OpenSearchRange();
  if (selectedRow >= 0) PushElementsToWindows(selectedRow);
}

int CEphList::ContextMenuRow(bool fromKeyboard, int selectedRow, int rowUnderPointer) const {
  if (m_nRows <= 0) return -1;
  const int row = fromKeyboard ? selectedRow : rowUnderPointer;
  return row >= 0 && row < m_nRows ? row : -1;
}

std::string CEphList::CopyText(int row, bool wholeRow) const {
  if (!wholeRow) return TrimText(GetCellText(row, 0));
  std::string text;
  for (int c = 0; c < kCometListColumns; ++c) {
    if (c > 0) text += '\t';
    text += TrimText(GetCellText(row, c));
  }
  return text;
}

void CEphList::OnCopy(int row, bool wholeRow) {
  if (row < 0 || row >= m_nRows) return;
  const std::string text = CopyText(row, wholeRow);
  if (!text.empty()) Ui().SetClipboardText(text);
}
