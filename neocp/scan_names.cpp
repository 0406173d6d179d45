#include "neocp/scan_names.h"

#include <cstdint>
#include <string_view>

#include "platform/numbers.h"

std::string MakeSafeFileName(const std::string& desig)
{
  std::string out = desig;
  uint32_t mask = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    if (std::string_view("/\\:*?\"<>| ").find(out[i]) != std::string_view::npos)
      out[i] = '_';
    else if (i < 31 && out[i] >= 'a' && out[i] <= 'z')
      mask |= 1u << i;
  }
  if (mask)
    out += FormatC("_%lu", static_cast<unsigned long>(mask));
  return out;
}
