// The element file of the ephemeris view: loading with the record pick,
// showing a record in the form, and the filter that keeps periodic comets
// due for their first return.
#include <cmath>
#include <cstdlib>

#include "astro/angle_units.h"
#include "astro/constants.h"
#include "astro/time_scales.h"
#include "data/element_file.h"
#include "ephemeris/ephemerides.h"
#include "ephemeris/ephemeris_fields.h"
#include "ephemeris/ephemeris_form.h"
#include "platform/numbers.h"
#include "platform/text_util.h"
#include "platform/ui_services.h"

namespace {

std::string Field(const char* format, double value) { return value == -1.0 ? std::string() : FormatC(format, value); }

// T of a record: its own, or from M at the epoch when it has M, a and an epoch.
double RecordT(const ElementRecord& r, double a) {
  if (r.m_dM != -1.0 && a > 0 && r.m_dEpoch > 0) return r.m_dEpoch - r.m_dM / kDegPerRad / (kGaussK / std::pow(a, 1.5));
  return r.m_dT;
}

}  // namespace

// Discovery date from the provisional designation after "P/": year, then the
// half-month letter six places after the slash (I and J share a half-month).
double FirstReturnDiscoveryJd(const std::string& name) {
  const size_t slash = name.find('/');
  if (slash == std::string::npos || name.size() < slash + 5) return 0;
  const std::string yearText = name.substr(slash + 1, 4);
  char* end = nullptr;
  const long year = std::strtol(yearText.c_str(), &end, 10);
  if (year < 1000 || year > 3000) return 0;
  int month = 1, day = 1;
  if (name.size() > slash + 6) {
    const char c = name[slash + 6];
    if (c >= 'A' && c <= 'Y') {
      const int index = c <= 'I' ? (c - 'B') + 1 : (c - 'B');
      month = index / 2 + 1;
      day = index % 2 == 0 ? 1 : 16;
    }
  }
  return CalendarToJd(year, month, day);
}


bool PassesFirstReturn(const ElementRecord& r, double startJd) {
  const double e = r.m_dE;
  if (!(e >= 0 && e <= 0.999)) return false;
  const double a = r.m_dA > 0 ? r.m_dA : r.m_dQ / (1.0 - e);
  if (!(a > 0)) return false;
  const double P = std::pow(a, 1.5) * 365.25;
  if (!(P > 1)) return false;
  const double T = RecordT(r, r.m_dA);
  if (TrimText(r.m_szName).rfind("P/", 0) != 0) return false;
  const double D = FirstReturnDiscoveryJd(TrimText(r.m_szName));
  if (!(D > 0)) return false;
  const double lastAphelion = (std::floor((startJd - T) / P - 0.5) + 0.5) * P + T;
  return lastAphelion > D;
}

void CEphemerides::SetElements(std::vector<ElementRecord> records, int current) {
  m_pElements = std::move(records);
  m_nElements = static_cast<int>(m_pElements.size());
  m_nCurElement = current;
}

void CEphemerides::OnOpenElementFile() {
  std::vector<ElementRecord> records;
  int count = 0, picked = 0;
  ElementFileWhy why;
  if (ReadElementFile("", &records, &count, &picked, &why) != 1) {
    // A file of no known layout would otherwise leave the form as it was, unexplained.
    ShowElementFileRefusal(why);
    return;
  }
  records.resize(static_cast<size_t>(count));
  SetElements(std::move(records), picked);
  ShowRecord(m_nCurElement);
  int found = FindFirstReturnRecord(m_nCurElement, 1);
  if (found < 0) found = FindFirstReturnRecord(m_nCurElement, -1);
  if (found >= 0 && found != m_nCurElement) {
    m_nCurElement = found;
    ShowRecord(found);
  }
}

void CEphemerides::ShowRecord(int index) {
  if (index < 0 || index >= m_nElements) return;
  const ElementRecord& r = m_pElements[static_cast<size_t>(index)];
  // The field holds 30 characters; the readable name comes padded with blanks.
  SetItemText(kEphObject, std::string(Utf8Prefix(TrimText(r.m_szName), 30)));
  const double T = RecordT(r, r.m_dA);
  if (T > 0) {
    double y, m, d;
    JdToCalendar(T, y, m, d);
    SetItemText(kEphTDay, FormatC("%.5f", d));
    SetItemText(kEphTYear, FormatC("%d", static_cast<int>(y)));
    SetItemText(kEphTMonth, FormatC("%d", static_cast<int>(m)));
  } else {
    for (int id : {kEphTYear, kEphTMonth, kEphTDay}) SetItemText(id, "");
  }
  SetEpochFields(r.m_dEpoch > 0 ? r.m_dEpoch : 0);
  SetItemText(kEphH2, Field("%2.2f", r.m_dH));
  SetItemText(kEphM, Field("%3.5f", r.m_dM));
  SetItemText(kEphQ, Field("%3.8f", r.m_dQ));
  SetItemText(kEphPeri, Field("%3.5f", r.m_dPeri));
  SetItemText(kEphNode, Field("%3.5f", r.m_dNode));
  SetItemText(kEphIncl, Field("%3.5f", r.m_dIncl));
  SetItemText(kEphE, Field("%.7f", r.m_dE));
  SetItemText(kEphA, Field("%.7f", r.m_dA));
  SetItemText(kEphG, Field("%.2f", r.m_dG));
  if (TrimText(GetItemText(kEphStartYear)).empty()) {
    const std::time_t now = Now();
    const std::time_t later = now + 31536000;
    std::tm a{}, b{};
    localtime_r(&now, &a);
    localtime_r(&later, &b);
    SetItemText(kEphStartYear, FormatC("%d", a.tm_year + 1900));
    SetItemText(kEphStartMonth, FormatC("%d", a.tm_mon + 1));
    SetItemText(kEphStartDay, FormatC("%d", a.tm_mday));
    SetItemText(kEphEndYear, FormatC("%d", b.tm_year + 1900));
    SetItemText(kEphEndMonth, FormatC("%d", b.tm_mon + 1));
    SetItemText(kEphEndDay, FormatC("%d", b.tm_mday));
  }
  if (TrimText(GetItemText(kEphStep)).empty()) SetItemText(kEphStep, "10");
  SetItemText(kEphH1, Field("%.1f", r.m_dH1));
  SetItemText(kEphK1, Field("%.1f", r.m_dK1));
  SetItemText(kEphK2, Field("%.1f", r.m_dMagSpare));
  if (r.m_nLayout == 1 || r.m_nLayout == 2) {
    OnAsteroidMagnitude();
    OnAsteroidElements();
  } else {
    OnCometMagnitude();
    OnCometElements();
  }
  DeriveAsteroidElements();
  SetOutputText("");
}

int CEphemerides::FindFirstReturnRecord(int start, int step) {
  if (m_pElements.empty() || m_nElements <= 0) return -1;
  const bool inside = start >= 0 && start < m_nElements;
  if (!IsChecked(kEphFirstReturn)) return inside ? start : -1;
  const std::string yearText = TrimText(GetItemText(kEphStartYear));
  const double y = ReadNumber(yearText), m = ReadNumber(GetItemText(kEphStartMonth)),
               d = ReadNumber(GetItemText(kEphStartDay));
  if (yearText.empty() || y < 1000 || m < 1 || m > 12 || d < 1 || d >= 32) return inside ? start : -1;
  const double startJd = CalendarToJd(y, m, d);
  for (int i = start; i >= 0 && i < m_nElements; i += step)
    if (PassesFirstReturn(m_pElements[static_cast<size_t>(i)], startJd)) return i;
  return -1;
}

bool CEphemerides::OnRecordSpin(int delta) {
  if (m_nCurElement < 0 || m_nCurElement >= m_nElements) return false;
  const int dir = delta >= 1 ? 1 : -1;
  const int found = FindFirstReturnRecord(m_nCurElement + dir, dir);
  if (found < 0) return false;
  m_nCurElement = found;
  ShowRecord(found);
  OnCalc();
  return true;
}

void CEphemerides::OnFirstReturnOnly() {
  if (!IsChecked(kEphFirstReturn) || m_nElements <= 0 || m_nCurElement < 0 || m_nCurElement >= m_nElements) return;
  int found = FindFirstReturnRecord(m_nCurElement, 1);
  if (found < 0) found = FindFirstReturnRecord(m_nCurElement, -1);
  if (found < 0) {
    Ui().ShowMessage("Tessarune", kEphNoFirstReturn, MsgIcon::Information, MsgButtons::Ok);
    SetCheck(kEphFirstReturn, 0);
    return;
  }
  if (found != m_nCurElement) {
    m_nCurElement = found;
    ShowRecord(found);
    OnCalc();
  }
}
