#pragma once
// What the fuzz targets share: a private folder for the files the readers
// take by path, the project's reference data for seeds and fixed inputs, a
// headless user interface that keeps nothing, and the stand-in network.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A folder of this process's own (ending in "/"), removed at exit.
const std::string& FuzzDir();

// Writes the bytes to FuzzDir() + name and returns the path.
std::string FuzzWriteFile(const std::string& name, std::string_view bytes);

// The reference data folder (ending in "/"): TESSARUNE_TESTDATA, else
// ../shared/data beside the repository; "" when absent.
const std::string& FuzzDataDir();

// Once per process: TheApp()'s folders and settings file inside FuzzDir(), and
// a headless user interface that answers by default and forgets its messages.
void FuzzSetUpApp();

// The stand-in network (tools/fuzz/http_stand_in.cpp): every request is
// answered with status 200 and this body; the URLs asked for are kept.
void FuzzServeAnswer(std::string_view body);
const std::vector<std::string>& FuzzRequestedUrls();

// Stops the run (libFuzzer keeps the input) when a reader breaks its own promise.
void FuzzCheck(bool condition, const char* what);

inline std::string_view FuzzBytes(const std::uint8_t* data, std::size_t size)
{
  return {reinterpret_cast<const char*>(data), size};
}
