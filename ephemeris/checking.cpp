// The observation check against the default element file.
#include "ephemeris/checking.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "astro/angle_units.h"
#include "astro/frames.h"
#include "astro/jpl_eph.h"
#include "astro/observatory.h"
#include "astro/time_scales.h"
#include "astro/two_body.h"
#include "data/element_file.h"
#include "data/observation_reader.h"
#include "data/station_table.h"
#include "platform/app_services.h"
#include "platform/numbers.h"
#include "platform/ui_services.h"

namespace {

constexpr int kMaxShiftUpdates = 9;
constexpr int kMaxLightTimePasses = 100;

void Message(const char* text) { Ui().ShowMessage("Tessarune", text, MsgIcon::Warning, MsgButtons::Ok); }

double Wrap2Pi(double x) {
  x = std::fmod(x, kTwoPi);
  return x < 0 ? x + kTwoPi : x;
}

// Into (-pi, pi].
double WrapPi(double x) { return x - kTwoPi * std::ceil((x - kPi) / kTwoPi); }

struct Place {
  double ra, dec;
};

// The place seen from the observer for perihelion time T, the object's light
// time fixed by distance. False when the two-body solution fails.
bool PlaceAt(const ObservationRecord& o, double T, double q, double e, const double P[3], const double Q[3],
             double distance, Place& place) {
  double helio[3];
  if (TwoBodyGeocentricPositionEx(o.m_dJdTt, T, q, e, P, Q, distance, helio, nullptr) != 0) return false;
  const double x = helio[0] + o.m_dSun[0], y = helio[1] + o.m_dSun[1], z = helio[2] + o.m_dSun[2];
  place.ra = Wrap2Pi(std::atan2(y, x));
  // Never through z / x: that divides by zero at 6h and 18h.
  place.dec = std::atan2(z, std::hypot(x, y));
  return true;
}

// The observer distance with light time, iterated from 1 AU to 1e-6 AU.
bool LightTimeDistance(const ObservationRecord& o, double T, double q, double e, const double P[3], const double Q[3],
                       double& distance) {
  distance = 1.0;
  for (int pass = 0; pass < kMaxLightTimePasses; ++pass) {
    double helio[3];
    if (TwoBodyGeocentricPositionEx(o.m_dJdTt, T, q, e, P, Q, distance, helio, nullptr) != 0) return false;
    const double x = helio[0] + o.m_dSun[0], y = helio[1] + o.m_dSun[1], z = helio[2] + o.m_dSun[2];
    const double next = std::sqrt(x * x + y * y + z * z);
    const bool settled = std::fabs(next - distance) <= 1e-6;
    distance = next;
    if (settled) return true;
  }
  return true;
}

bool CheckOne(const ObservationRecord& o, const ElementRecord& el, CheckResult& r) {
  double P[3], Q[3];
  OrbitOrientationVectors(el.m_dPeri * kRadPerDeg, el.m_dNode * kRadPerDeg, el.m_dIncl * kRadPerDeg, P, Q);
  const double T = el.m_dT, q = el.m_dQ, e = el.m_dE;
  double distance;
  Place c, one;
  if (!LightTimeDistance(o, T, q, e, P, Q, distance) || !PlaceAt(o, T, q, e, P, Q, distance, c) ||
      !PlaceAt(o, T + 1.0, q, e, P, Q, distance, one))
    return false;
  const double F = WrapPi(o.m_dRa - c.ra);
  const double m = WrapPi(c.ra - one.ra);  // right ascension lost per day of later T
  // The linear estimate of the shift, then Newton steps on the wrapped difference.
  double w = m != 0 ? -F / m : 0.0;
  Place shifted;
  double d = 0;
  for (int updates = 0;; ++updates) {
    if (!PlaceAt(o, T + w, q, e, P, Q, distance, shifted)) return false;
    d = WrapPi(o.m_dRa - shifted.ra);
    if (std::fabs(d) <= kRadPerDeg || updates == kMaxShiftUpdates || m == 0) break;
    w -= d / m;
  }
  r.m_szDesig.assign(o.m_szDesig, strnlen(o.m_szDesig, 12));
  double y, mo, day;
  JdToCalendar(o.m_dJdTt, y, mo, day);
  r.m_nYear = static_cast<int>(y);
  r.m_nMonth = static_cast<int>(mo);
  r.m_dDay = day;
  r.m_dResRa = std::cos(c.dec) * F * kArcsecPerRad;
  r.m_dResDec = (o.m_dDec - c.dec) * kArcsecPerRad;
  r.m_dShiftT = w;
  r.m_dResRaAfter = std::cos(c.dec) * d * kArcsecPerRad;
  r.m_dResDecAfter = (o.m_dDec - shifted.dec) * kArcsecPerRad;
  r.m_szStation.assign(o.m_szStation, strnlen(o.m_szStation, 3));
  return true;
}

// Points the observer-to-Sun vectors of the ordinary observations at the
// station table's places (an unknown code is the geocentre). False when the
// planetary file cannot give the Sun.
bool RecomputeSunVectors(ObservationRecord* obs, int count, const StationRecord* stations) {
  for (int i = 0; i < count; ++i) {
    ObservationRecord& o = obs[i];
    if (o.m_chObsType == 'S' || o.m_chObsType == 'V') continue;
    double lon = 0, rhoCos = 0, rhoSin = 0;
    if (!stations || FindStation(o.m_szStation, stations, &lon, &rhoCos, &rhoSin) != 0) lon = rhoCos = rhoSin = 0;
    double sun[3];
    if (JplPosition(o.m_dJdTt, 11, 3, sun) != 0) return false;
    ObservatoryPosition(o.m_dJdUtc, lon, rhoCos, rhoSin, sun);
    for (int k = 0; k < 3; ++k) o.m_dSun[k] = sun[k];
  }
  return true;
}

}  // namespace

bool CheckObservations(const ObservationRecord* obs, int count, const std::vector<ElementRecord>& elements,
                       std::vector<CheckResult>& results) {
  for (const ElementRecord& el : elements) {
    for (int i = 0; i < count; ++i) {
      if (std::strncmp(obs[i].m_szDesig, el.m_szKey.c_str(), 12) != 0) continue;
      CheckResult r;
      if (!CheckOne(obs[i], el, r)) return false;
      results.push_back(r);  // grows: a key held twice matches its observations twice
    }
  }
  return true;
}

std::string FormatCheckListing(const std::vector<CheckResult>& results) {
  std::string text;
  for (const CheckResult& r : results)
    text += FormatC("\r\n%.12s %02d %02d %7.4f  %+6.1f  %+6.1f  %7.3f  %+6.1f  %+6.1f  %.3s", r.m_szDesig.c_str(),
                    r.m_nYear, r.m_nMonth, r.m_dDay, r.m_dResRa, r.m_dResDec, r.m_dShiftT, r.m_dResRaAfter,
                    r.m_dResDecAfter, r.m_szStation.c_str());
  return text;
}

void CChecking::OnBrowse() {
  std::string path;
  SetPath(AskObsFile(path) ? path : std::string());
}

void CChecking::OnCheck() {
  std::string path = GetPath();
  if (path.size() > 499) path.resize(499);
  if (path.empty()) {
    Message(kCheckChooseFile);
    return;
  }
  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(path, &obs);
  if (count < 0) {
    Message(kCheckError);
    return;
  }
  StationRecord* stations = nullptr;
  if (LoadStationTable(&stations) <= 0) {
    std::free(stations);
    std::free(obs);
    Message(kCheckError);
    return;
  }
  const bool sunOk = RecomputeSunVectors(obs, count, stations);
  std::free(stations);
  if (!sunOk) {
    std::free(obs);
    Message(kCheckError);
    return;
  }
  if (count == 0) {
    std::free(obs);
    Message(kCheckNoObservation);
    return;
  }
  std::vector<ElementRecord> elements;
  int nElements = 0;
  if (ReadElementFile(TheApp().m_szExeDir + kCheckDefaultElementFile, &elements, &nElements, nullptr) != 1)
    elements.clear();
  elements.resize(static_cast<size_t>(std::max(0, std::min(nElements, static_cast<int>(elements.size())))));
  std::vector<CheckResult> results;
  const bool solved = CheckObservations(obs, count, elements, results);
  std::free(obs);
  if (!solved) {
    Message(kCheckLimitOverflow);
    return;
  }
  SetOutput(results.empty() ? std::string(kCheckNoElements) : FormatCheckListing(results));
}
