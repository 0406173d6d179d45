#pragma once
// The program's minimal JSON lookup: the first occurrence of a quoted key
// anywhere in the text, and the value after its colon. No nesting, no escapes;
// enough for the flat objects of the NEO Confirmation Page list.
#include <string>
#include <string_view>

// Marks a number that is missing or not a number.
inline constexpr double kJsonMissingNumber = -9999.0;

// The value of key: a quoted value up to the next double quote (backslashes
// taken literally), else the text up to ',', '}', CR or LF with white space
// trimmed. Empty when the key or its value is not found.
std::string JsonGetString(std::string_view json, std::string_view key);

// The value of key as a number (a quoted number included); -9999.0 when it is
// missing or does not begin with a sign, a point or a digit (null, words).
double JsonGetNumber(std::string_view json, std::string_view key);
