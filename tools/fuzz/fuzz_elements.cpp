// libFuzzer target for element files and catalogues: every layout the element
// reader knows, and the name index built from an MPCORB-style catalogue.
#include <vector>

#include "data/element_file.h"
#include "data/element_record.h"
#include "data/mp_names.h"
#include "platform/app_services.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const bool ready = [] {
    FuzzSetUpApp();
    return TheApp().m_profile.WriteString("SYSTEM", "WHOIS_MPCORB", (FuzzDir() + "MPCORB.DAT").c_str());
  }();
  FuzzCheck(ready, "the catalogue setting is written");
  const std::string path = FuzzWriteFile("elements.txt", FuzzBytes(data, size));

  std::vector<ElementRecord> records;
  int count = -1;
  if (ReadElementFile(path, &records, &count, nullptr) == 1)
    FuzzCheck(count > 0 && static_cast<size_t>(count) <= records.size(), "the count within the records");

  FuzzWriteFile("MPCORB.DAT", FuzzBytes(data, size));
  g_bMpNamesRebuildTried = 0;
  if (BuildMpNamesIndex())
    FuzzCheck(LoadMpNames(), "a written index loads");
  return 0;
}
