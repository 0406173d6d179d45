// libFuzzer target for the settings file: reads in every encoding the file
// may have, and a write that must read back.
#include "platform/ini_file.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  IniFile ini(FuzzWriteFile("Tessarune.INI", FuzzBytes(data, size)));
  ini.GetString("SYSTEM", "DE441FILE");
  ini.GetInt("SYSTEM", "OBSTZ", 9);
  if (ini.WriteString("SYSTEM", "DE441FILE", "/fuzz/de441.bin"))
    FuzzCheck(ini.GetString("SYSTEM", "DE441FILE") == "/fuzz/de441.bin", "a written value reads back");
  // A deletion removes the first of repeated keys only, as the profile
  // functions do; the next one then reads.
  ini.WriteString("SYSTEM", "DE441FILE", nullptr);
  return 0;
}
