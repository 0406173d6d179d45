#pragma once
// Arcs cut from 80-column observation files by time, station and count, as
// an object stood on the NEOCP at some moment, or split by designation; the
// fixture of the batch orbit tests (planetary file, station table, a folder
// of their own).
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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

// The 80-column lines of a file by designation (columns 1-12, trimmed), in
// the order the designations first appear.
inline std::vector<std::pair<std::string, std::string>> ByDesignation(const std::string& relative) {
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream in(ReadTestFile(TestDataPath(relative)));
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 80) continue;
    std::string desig = line.substr(0, 12);
    desig.erase(0, desig.find_first_not_of(' '));
    desig.erase(desig.find_last_not_of(' ') + 1);
    auto it = std::find_if(out.begin(), out.end(), [&](const auto& p) { return p.first == desig; });
    if (it == out.end()) it = out.insert(out.end(), {desig, ""});
    it->second += line + "\n";
  }
  return out;
}
