#pragma once
// Where tests and benchmarks find the project's real reference data (JPL
// files, observations, catalogues). TESSARUNE_TESTDATA overrides; the default
// is ../shared/data beside the repository, whatever the working folder.
#include <string>

#include <gtest/gtest.h>

// The data folder, ending in "/", or "" when it does not exist.
std::string TestDataDir();

// Full path of a file below the data folder; "" when the folder is absent.
std::string TestDataPath(const std::string& relative);

// A fresh empty folder ending in "/", removed when the program ends.
std::string MakeTempDir(const std::string& tag);

// Skips the current test with a message when a data file is missing.
#define TSR_REQUIRE_DATA(var, relative)                                        \
  const std::string var = TestDataPath(relative);                              \
  if (var.empty() || !TestDataFileExists(var))                                 \
  GTEST_SKIP() << MissingDataMessage(relative)

bool TestDataFileExists(const std::string& path);

// The message for missing reference data: names the files and TESSARUNE_TESTDATA.
std::string MissingDataMessage(const std::string& what);
