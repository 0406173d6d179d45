#pragma once
// Numbers in the C locale, whatever the user's locale: the program's files and
// reports always use "." as the decimal point.
#include <string>
#include <string_view>

// printf-style formatting in the C locale.
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whole-text conversion: optional blanks around, optional sign, decimal number
// with optional fraction and exponent. False (value untouched) when anything
// else is present or the text is empty.
bool ParseDouble(std::string_view text, double& value);
bool ParseInt(std::string_view text, long& value);

// The standard string-to-double conversion as settings and dialogs use it:
// the leading number of the text, 0 when there is none (C locale).
double StringToDouble(std::string_view text);
