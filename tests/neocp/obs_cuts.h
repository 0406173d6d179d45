#pragma once
// Arcs cut from 80-column observation files by time, station and count, as
// an object stood on the NEOCP at some moment; the fixture of the batch
// orbit tests (planetary file, station table, a folder of their own).
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "astro/time_scales.h"
#include "tests/engine/test_improvement_support.h"

class ScanObservationTest : public RealObservationTest {
protected:
  void SetUp() override {
    RealObservationTest::SetUp();
    if (IsSkipped()) return;
    m_stations = std::make_unique<ScopedStationsFile>(s_stationsFile);
    m_dir = MakeTempDir("batch_orbit");
  }
  void TearDown() override {
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
  }
  std::string File(const std::string& name, const std::string& text) { return WriteTestFile(m_dir, name, text); }

  std::unique_ptr<ScopedStationsFile> m_stations;
  std::string m_dir;
};

struct ObsCut {
  const char* file;   // under obs/mpc80
  double from, to;    // JD UTC, [from, to); from 0: the first line's time; to below 1: days after it
  const char* station;  // null: every station
  int maxLines;         // 0: no limit
};

inline double ObsLineUtc(const std::string& line) {
  return CalendarToJd(std::atof(line.substr(15, 4).c_str()), std::atof(line.substr(20, 2).c_str()),
                      std::atof(line.substr(23, 9).c_str()));
}

inline std::string CutObsLines(const std::string& text, const ObsCut& cut, int& count) {
  std::istringstream in(text);
  std::string line, out;
  count = 0;
  double first = 0.0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 80) continue;
    const double t = ObsLineUtc(line);
    if (first == 0.0) first = t;
    const double from = cut.from == 0.0 ? first : cut.from;
    const double to = cut.to < 1.0 ? first + cut.to : cut.to;
    if (t < from || t >= to) continue;
    if (cut.station && line.compare(77, 3, cut.station) != 0) continue;
    if (cut.maxLines > 0 && count >= cut.maxLines) continue;
    out += line + "\n";
    ++count;
  }
  return out;
}
