#pragma once
// 8-bit text from the network and from the catalogue files, as the program
// holds it (UTF-8). The services answer in UTF-8 (ASCII in practice); older
// local files may be in code page 932. Nothing here fails: what cannot be
// converted becomes "?", as the Windows conversions substitute it.
#include <string>
#include <string_view>

// Strict UTF-8 is kept (a BOM removed), else code page 932, else ASCII with
// "?" for every other byte.
std::string BytesToUtf8(std::string_view bytes);

// UTF-8 to code page 932, each character that has no code there as "?".
std::string Utf8ToCp932Lossy(std::string_view utf8);

// The first n characters (code points) of UTF-8 text.
std::string_view Utf8Prefix(std::string_view utf8, size_t n);
// Number of characters (code points) of UTF-8 text.
size_t Utf8Length(std::string_view utf8);

// Text without the blanks, tabs, CRs and LFs at both ends.
std::string_view TrimSpace(std::string_view text);
