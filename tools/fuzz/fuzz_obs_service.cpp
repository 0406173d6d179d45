// libFuzzer target for the observation service's answer: it comes through
// the stand-in network and is merged with the unpublished lines of the file
// already there, for a designation and for a NEOCP object.
#include <string>

#include "data/mpc_obs_client.h"
#include "platform/files.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

constexpr const char* kLocalLines =
    "     K24A01A  C2024 01 10.50000 10 00 00.00 +10 00 00.0          18.5 V      G96\r\n"
    "     K24A01A KC2024 01 11.50000 10 00 30.00 +10 00 30.0          18.5 V MPC00G96\r\n"
    "     K24A01A  S2024 01 12.25000 10 01 00.00 +10 01 00.0          18.6 V      C51\r\n"
    "     K24A01A  s2024 01 12.25000 1 -1234.5678 +2345.6789 -3456.7890        C51\r\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  FuzzSetUpApp();
  FuzzServeAnswer(FuzzBytes(data, size));
  for (const int neocp : {0, 1}) {
    const std::string out = FuzzWriteFile("fetched.obs", kLocalLines);
    std::string error, info;
    const int ok = CTessaruneLib::FetchMpcObservations(neocp ? "P21abcd" : "2024 AA", out, &error, &info, neocp,
                                                       "https://stand-in.invalid/api/get-obs");
    FuzzCheck(ok == 1 || !error.empty(), "a failure says why");
  }
  return 0;
}
