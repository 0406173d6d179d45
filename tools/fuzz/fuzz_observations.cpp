// libFuzzer target for the observation reader (80-column, ADES XML and PSV
// files, in any of the encodings it detects) and for the merge of two
// observation files. The station list and, when the reference data is there,
// a DE file are real, so that the reader goes past its parsing into the
// positions of each observation.
#include <cstdlib>

#include "astro/jpl_eph.h"
#include "data/mpc_obs_client.h"
#include "data/observation_reader.h"
#include "data/observation_record.h"
#include "platform/app_services.h"
#include "platform/files.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

constexpr const char* kStations =
    "Code  Long.   cos      sin    Name\r\n"
    "000   0.0000 0.62411 +0.77873 Greenwich\r\n"
    "247                           Roving Observer\r\n"
    "500                           Geocentric\r\n"
    "568 204.52780 0.94171 +0.33725 Mauna Kea\r\n"
    "691 248.39973 0.84939 +0.52603 Spacewatch, Kitt Peak\r\n"
    "703 249.26870 0.84526 +0.53306 Catalina Sky Survey\r\n"
    "C51                           WISE\r\n"
    "F51 203.74409 0.93618 +0.35166 Pan-STARRS 1, Haleakala\r\n"
    "G96 249.21128 0.845107+0.533611University of Arizona Mt. Lemmon Survey\r\n"
    "T12 204.53054 0.941733+0.337201University of Hawaii 88-inch telescope, Maunakea\r\n";

constexpr const char* kLocalLines =
    "     K24A01A  C2024 01 10.50000 10 00 00.00 +10 00 00.0          18.5 V      G96\r\n"
    "     K24A01A  C2024 01 12.25000 10 01 00.00 +10 01 00.0          18.6 V      703\r\n";

void SetUp()
{
  FuzzSetUpApp();
  FuzzWriteFile("app/stations.txt", kStations);
  FuzzWriteFile("local.obs", kLocalLines);
  if (!FuzzDataDir().empty())
    TheApp().m_szDe441File = FuzzDataDir() + "de/lnxp2000p2040.405";
  g_pJplEph = new CJplEph(TheApp().Paths());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const bool ready = (SetUp(), true);
  (void)ready;
  const std::string path = FuzzWriteFile("input.obs", FuzzBytes(data, size));

  ObservationRecord* obs = nullptr;
  const int count = CTessaruneLib::GetMpcObs(path, &obs);
  FuzzCheck((count >= 0) == (obs != nullptr), "an array exactly on success");
  if (obs)
    FuzzCheck(obs[count].m_dJdUtc == -1.0, "the array ends in its end mark");
  std::free(obs);

  int first = 0, kept = 0, dropped = 0;
  if (CTessaruneLib::MergeObservationFiles(FuzzDir() + "local.obs", path, FuzzDir() + "merged.obs", &first, &kept,
                                           &dropped) == 1)
    FuzzCheck(first == 2 && kept >= 0 && dropped >= 0, "merge counts");
  return 0;
}
