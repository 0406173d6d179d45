#pragma once
// What tests of file writers check after a write: a file's bytes and how many
// entries a folder holds (a temporary file left behind shows as one more).
#include <dirent.h>

#include <string>

#include "platform/files.h"

inline std::string Contents(const std::string& path)
{
  std::string bytes;
  return ReadWholeFile(path, bytes) ? bytes : std::string("<unreadable>");
}

inline int EntriesIn(const std::string& dir)
{
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}
