#include "platform/fixed_field.h"

#include <algorithm>
#include <cstdlib>

std::string_view FixedColumns(std::string_view line, int firstCol, int lastCol)
{
  if (firstCol < 1)
    firstCol = 1;
  if (lastCol < firstCol || static_cast<size_t>(firstCol) > line.size())
    return {};
  size_t begin = static_cast<size_t>(firstCol - 1);
  size_t end = std::min(line.size(), static_cast<size_t>(lastCol));
  return line.substr(begin, end - begin);
}

static bool IsBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

double ReadDecimal(std::string_view text)
{
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  // Accumulate the digits as an integer mantissa and a decimal exponent so
  // that the result is the correctly rounded value for usual field widths.
  std::string digits;
  int exp10 = 0;
  bool any = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    digits += text[i++];
    any = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      digits += text[i++];
      --exp10;
      any = true;
    }
  }
  if (!any)
    return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool eneg = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-'))
      eneg = text[j++] == '-';
    if (j < text.size() && text[j] >= '0' && text[j] <= '9') {
      int e = 0;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
        if (e < 10000)
          e = e * 10 + (text[j] - '0');
        ++j;
      }
      exp10 += eneg ? -e : e;
    }
  }
  // strtod in the C locale does the correctly rounded conversion.
  std::string canonical = digits + "e" + std::to_string(exp10);
  double v = std::strtod(canonical.c_str(), nullptr);
  return negative ? -v : v;
}

long ReadInteger(std::string_view text)
{
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  long v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (v < 100000000000000000L)
      v = v * 10 + (text[i] - '0');
    ++i;
  }
  return negative ? -v : v;
}

double FixedDouble(std::string_view line, int firstCol, int lastCol)
{
  return ReadDecimal(FixedColumns(line, firstCol, lastCol));
}

long FixedInt(std::string_view line, int firstCol, int lastCol)
{
  return ReadInteger(FixedColumns(line, firstCol, lastCol));
}

bool FixedBlank(std::string_view line, int firstCol, int lastCol)
{
  for (char c : FixedColumns(line, firstCol, lastCol))
    if (c != ' ')
      return false;
  return true;
}
