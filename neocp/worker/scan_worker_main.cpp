// The scan's worker program: one job file in, one result file out. It links
// only the window-free libraries, so that starting one costs milliseconds
// where the whole program spent a third of a second loading its window,
// video and network libraries before an object of a fraction of a second.
#include <cstdio>

#include "neocp/worker_main.h"

int main(int argc, char** argv)
{
  if (int rc = 0; RunScanWorkerIfAsked(argc, argv, rc))
    return rc;
  std::fprintf(stderr, "%s: usage: %s -dev -neocpworker=<job file>\n", kScanWorkerProgram, kScanWorkerProgram);
  return 2;
}
