#pragma once
// 8-bit text from the network and from the catalogue files, as the program
// holds it (UTF-8). The services answer in UTF-8 (ASCII in practice); older
// local files may be in code page 932. Nothing here fails: what cannot be
// converted becomes "?", as the Windows conversions substitute it.
#include <string>
#include <string_view>

#include "platform/text_util.h"  // Utf8Prefix, Utf8Length, TrimSpace

// Strict UTF-8 is kept (a BOM removed), else code page 932, else ASCII with
// "?" for every other byte.
std::string BytesToUtf8(std::string_view bytes);

// UTF-8 to code page 932, each character that has no code there as "?".
std::string Utf8ToCp932Lossy(std::string_view utf8);
