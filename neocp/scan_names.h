#pragma once
// File names of the scan folder.
#include <string>

// The file-name base of an object: the characters that a file name can't
// hold, and blanks, become "_"; a designation with lowercase letters among
// its first 31 characters gets "_" and the mask of their positions, so that
// names differing only in case stay apart.
std::string MakeSafeFileName(const std::string& desig);
