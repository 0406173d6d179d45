#pragma once
// The isolated tracklet file of the ITF tests: 2015 TF202's second half as
// one tracklet (optionally moved along its motion) among the real lines of
// the shared observation files, compressed with zlib (the program reads it
// with its own inflater).
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "astro/angle_units.h"
#include "tests/common/test_data.h"
#include "tests/data/test_http_server.h"
#include "tests/neocp/known_real_support.h"

inline constexpr const char* kTracklet = "     ITF0042";

inline std::vector<std::string> Lines(const std::string& text)
{
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 80) out.push_back(line);
  }
  return out;
}

// TF202's second half as the tracklet, each line moved by shiftDeg along the
// object's motion of its night (first to last line of that date).
inline std::vector<std::string> TrackletLines(double shiftDeg)
{
  std::vector<std::string> lines = Lines(ObservationNight("obs/mpc80/orbfit_2015TF202_2.obs", ""));
  auto place = [](const std::string& l, double& ra, double& dec) {
    ra = (std::stod(l.substr(32, 2)) + std::stod(l.substr(35, 2)) / 60 + std::stod(l.substr(38, 6)) / 3600) * 15;
    dec = std::stod(l.substr(45, 2)) + std::stod(l.substr(48, 2)) / 60 + std::stod(l.substr(51, 5)) / 3600;
    if (l[44] == '-') dec = -dec;
  };
  std::vector<std::string> out = lines;
  for (size_t i = 0; i < out.size(); ++i) {
    std::string& l = out[i];
    l.replace(0, 12, kTracklet);
    if (shiftDeg == 0) continue;
    size_t first = i, last = i;
    while (first > 0 && lines[first - 1].compare(15, 10, lines[i], 15, 10) == 0) --first;
    while (last + 1 < lines.size() && lines[last + 1].compare(15, 10, lines[i], 15, 10) == 0) ++last;
    double ra0, dec0, ra1, dec1, ra, dec;
    place(lines[first], ra0, dec0);
    place(lines[last], ra1, dec1);
    place(l, ra, dec);
    const double ura = (ra1 - ra0) * std::cos(dec0 * kRadPerDeg), udec = dec1 - dec0, u = std::hypot(ura, udec);
    ra += shiftDeg * ura / u / std::cos(dec * kRadPerDeg);
    dec += shiftDeg * udec / u;
    const double h = ra / 15;
    const int hh = static_cast<int>(h), mm = static_cast<int>((h - hh) * 60);
    const double ss = ((h - hh) * 60 - mm) * 60;
    const double ad = std::fabs(dec);
    const int dd = static_cast<int>(ad), dm = static_cast<int>((ad - dd) * 60);
    const double ds = ((ad - dd) * 60 - dm) * 60;
    char field[32];
    std::snprintf(field, sizeof field, "%02d %02d %05.2f %c%02d %02d %04.1f", hh, mm, ss, dec < 0 ? '-' : '+', dd, dm, ds);
    l.replace(32, 23, field);
  }
  return out;
}

// The real lines of the shared files (TF202's own left out), the tracklet
// in the middle. The first part is deflated, the rest stored, so that the
// file passes the download's 1 MiB floor and both block kinds are read.
inline bool WriteItf(const std::string& path, const std::vector<std::string>& tracklet)
{
  std::vector<std::string> lines;
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("obs/mpc80"))) {
    if (entry.path().filename().string().find("2015TF202") != std::string::npos) continue;
    for (std::string& l : Lines(ReadTestFile(entry.path().string()))) lines.push_back(std::move(l));
  }
  if (lines.size() < 10000 || tracklet.empty()) return false;
  lines.insert(lines.begin() + static_cast<long>(lines.size() / 3), tracklet.begin(), tracklet.end());
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  std::string out(text.size() + text.size() / 10 + 4096, '\0');
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const size_t half = text.size() / 2;
  z.next_in = reinterpret_cast<Bytef*>(text.data());
  z.avail_in = static_cast<uInt>(half);
  if (deflate(&z, Z_NO_FLUSH) != Z_OK) return false;
  deflateParams(&z, 0, Z_DEFAULT_STRATEGY);
  z.avail_in += static_cast<uInt>(text.size() - half);
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
  out.resize(z.total_out);
  deflateEnd(&z);
  return out.size() > (size_t(1) << 20) && WriteBytesFile(path, out);
}


// The view holding TF202's first half (written to obsPath), solved: the
// reference orbit of the whole arc improved three times on the first half
// alone. The mean residual in rms; false when data or the fit fails.
inline bool SolveTf202FirstHalf(CDeterminationDisplay& view, const std::string& obsPath, double& rms)
{
  TestOrbit tf;
  if (!ReadReferenceOrbit(TestDataPath("orbits/orbfit_testout/2015TF202.oel"), "2015TF202_1=2015TF202_2", tf) ||
      !WriteBytesFile(obsPath, ObservationNight("obs/mpc80/orbfit_2015TF202_1.obs", "")))
    return false;
  std::string message;
  if (LoadScanObject(view, obsPath, "", message) != 1) return false;
  ApplyCloneElements(OrbitRecord(tf), &view.m_pEngine->m_state);
  const std::string start = obsPath + "_start_EX.IMP";
  int used = 0;
  if (!WriteSolutionFileForBatch(view, start, view.m_pEngine->m_state, "", 1) ||
      ReimproveNominalForBatch(view, obsPath, start, rms, used) != 0)
    return false;
  view.m_strObjectName = "2015 TF202";
  return rms > 0;
}
