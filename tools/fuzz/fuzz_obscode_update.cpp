// libFuzzer target for the observatory-code update: the page comes through
// the stand-in network, and everything after it (the <pre> block, entities,
// the merge into the station file and its rewrite) is the real code.
#include "data/obscode_update.h"
#include "platform/app_services.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

constexpr const char* kLocal =
    "Code  Long.   cos      sin    Name\r\n"
    "000   0.0000 0.62411 +0.77873 Greenwich\r\n"
    "G96 249.21128 0.845107+0.533611University of Arizona Mt. Lemmon Survey\r\n"
    "ZZ1  10.0000 0.50000 +0.80000 Local only\r\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzSetUpApp();
  FuzzWriteFile("app/stations.txt", kLocal);
  FuzzServeAnswer(FuzzBytes(data, size));
  RunStationCodeUpdate();
  return 0;
}
