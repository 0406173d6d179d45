#pragma once
// Text-file routines of the scan's own files (state table, job and result
// files, CSV): UTF-8 with a byte-order mark and CR LF line ends, TAB-separated
// fields with backslash escapes.
#include <ctime>
#include <string>
#include <vector>

// Backslash -> "\\", TAB -> "\t", LF -> "\n", CR -> "\r".
std::string EscapeStateField(const std::string& text);
// The reverse; a backslash before any other character gives that character,
// one at the very end stays.
std::string UnescapeStateField(const std::string& text);

// 1 with the file's text (a leading BOM skipped), 0 when it cannot be read or
// is larger than 256 MiB.
int ReadUtf8File(const std::string& path, std::string& text);
// The BOM and the text, written whole or not at all (WriteFileAtomic); 1 when
// written, else 0 and the previous file whole.
int WriteUtf8BomFile(const std::string& path, const std::string& text);
// The same (the name the state files were written through).
int WriteUtf8BomFileReplacing(const std::string& path, const std::string& text);

// Pieces between LF, trailing CRs removed, empty pieces left out.
void SplitLines(const std::string& text, std::vector<std::string>& lines);
// Pieces between TABs, empty ones included.
void SplitTabFields(const std::string& line, std::vector<std::string>& fields);

// qsort-style comparison of two doubles, ascending.
int CompareDoublesAscending(const void* a, const void* b);

// Leading blanks skipped, the longest numeric prefix taken ("nan" and "inf"
// included), 0 when there is none; C locale.
double ParseLeadingDouble(const std::string& text);
int ParseLeadingInt(const std::string& text);

// A time (and the current time) as local time through strftime's format; "" when it fails.
std::string FormatLocalTime(std::time_t t, const char* format);
std::string FormatLocalNow(const char* format);
