#pragma once
// Recorded bit patterns hold for the compiler they were taken with (gcc 12.2,
// x86-64, optimised); another one may round differently.
inline bool RecordingCompiler()
{
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12 && __GNUC_MINOR__ == 2 && defined(__x86_64__) && \
    defined(__OPTIMIZE__)
  return true;
#else
  return false;
#endif
}
