#pragma once
// The observations of (99942) Apophis of 2004-2021 (7,818 lines), the MPC's
// observatory codes and the DE405 file of 1960-2060, prepared once per
// benchmark program; ok is false (and the benchmarks skip) when the
// reference data is absent.
#include <filesystem>
#include <memory>
#include <string>

#include "astro/jpl_eph.h"
#include "tests/astro/test_jpl_scope.h"
#include "tests/common/test_data.h"
#include "tests/engine/test_improvement_support.h"

namespace {

struct ApophisSetup {
  bool ok = false;
  std::string dir, observations, stations;
  std::unique_ptr<JplReaderScope> jpl;

  ApophisSetup() {
    const std::string obs = TestDataPath("obs/mpc80/neosjl_99942.dat");
    const std::string de = TestDataPath("de/lnxp1960p2060.405");
    const std::string lines = StationLinesFromObsCodesPage();
    if (obs.empty() || !TestDataFileExists(obs) || de.empty() || !TestDataFileExists(de) || lines.empty()) return;
    dir = MakeTempDir("bench_apophis");
    stations = WriteTestFile(dir, "stations.txt", lines);
    observations = WriteTestFile(dir, "obs.txt", ObservationLinesBetween(ReadTestFile(obs), 1960, 2060));
    jpl = std::make_unique<JplReaderScope>(dir + "no-de441.bin", de);
    ok = g_pJplEph->IsOpen();
  }
  ~ApophisSetup() {
    jpl.reset();
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

ApophisSetup& Setup() {
  static ApophisSetup setup;
  return setup;
}

}  // namespace
