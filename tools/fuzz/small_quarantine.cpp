// Linked into the targets whose every input allocates and frees whole files'
// worth: freed memory waits in a 16 MB quarantine, not AddressSanitizer's
// 256 MB, as cycling through 256 MB of such blocks halved the inputs run per
// second. A use after free is still caught while the block is among the last
// 16 MB freed, which spans several inputs; ASAN_OPTIONS still overrides it.
extern "C" const char* __asan_default_options()
{
  return "quarantine_size_mb=16";
}
