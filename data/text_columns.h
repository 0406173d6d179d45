#pragma once
// Decoding of the fixed-column text files (observations, the station list)
// and the character columns they are read by. The formats count columns in
// characters, not bytes, so a line is turned into one byte per character
// before its columns are read.
#include <string>
#include <string_view>

#include "platform/encoding.h"

// UTF-16LE bytes (without their byte-order mark) to UTF-8: an odd final byte
// is dropped and an unpaired surrogate becomes U+FFFD, so a damaged file still
// yields its readable lines.
std::string Utf16LeToUtf8Lenient(std::string_view bytes);

// Code page 932 to UTF-8 line by line: a line that does not convert keeps its
// ASCII bytes and shows every other byte as '?'.
std::string Cp932ToUtf8Lenient(std::string_view bytes);

// The text of a fixed-column file (observations, the station list): UTF-16LE
// after FF FE, else UTF-8 (its mark skipped) when strictly valid, else code
// page 932, each decoded leniently so that a damaged file still yields its
// readable lines. *encoding and *utf8Bom tell how it was stored.
std::string DecodeColumnFile(std::string_view bytes, TextEncoding* encoding = nullptr, bool* utf8Bom = nullptr);

// One byte per character of UTF-8 text: ASCII unchanged, every other
// character (or malformed byte) '?'.
std::string ToColumnText(std::string_view utf8);

