// libFuzzer target for the station list as the observation reader loads it.
#include <cstdlib>
#include <cstring>

#include "data/station_table.h"
#include "platform/app_services.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzSetUpApp();
  FuzzWriteFile("app/stations.txt", FuzzBytes(data, size));
  StationRecord* table = nullptr;
  const int count = LoadStationTable(&table);
  if (count < 0)
    return 0;
  FuzzCheck(table != nullptr && std::strcmp(table[count].m_szCode, "END") == 0, "the table ends in END");
  // Every record's code finds a station (the first of its code).
  for (int i = 0; i < count; ++i) {
    double lon = 0, rc = 0, rs = 0;
    if (std::strlen(table[i].m_szCode) == 3 && !IsStationTableEnd(table[i]))
      FuzzCheck(FindStation(table[i].m_szCode, table, &lon, &rc, &rs) == 0, "a listed code is found");
  }
  std::free(table);
  return 0;
}
