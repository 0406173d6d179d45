// libFuzzer target for the comet list (AllCometEls.txt): the download through
// the stand-in network, which keeps only an answer that reads as a list, then
// the names. Every designation the list holds must be found again under it.
#include <string>
#include <vector>

#include "data/comet_list.h"
#include "platform/app_services.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzSetUpApp();
  FuzzWriteFile("app/AllCometEls.txt", FuzzBytes(data, size));
  FuzzServeAnswer(FuzzBytes(data, size));
  DownloadCometElements();

  g_mapCometNames.clear();
  g_bCometNamesLoaded = 0;
  g_bCometElsDownloadTried = 1;  // no second download inside AppendCometName
  if (LoadCometNames() != 1)
    return 0;
  std::vector<std::string> keys;
  for (const auto& entry : g_mapCometNames)
    keys.push_back(entry.first);
  for (const std::string& key : keys) {
    std::string name;
    FuzzCheck(FindCometName(key, name) == 1, "a stored designation is found");
    std::string text = "C/2020 F3";
    AppendCometName(key, text);
  }
  return 0;
}
