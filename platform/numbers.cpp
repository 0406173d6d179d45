#include "platform/numbers.h"

#include <charconv>
#include <cmath>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <locale.h>

#include "platform/fixed_field.h"
#include "platform/text_util.h"

namespace {

locale_t CLocale()
{
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

// Switches this thread to the C locale for the lifetime of the object.
class CLocaleScope {
public:
  CLocaleScope() : m_old(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(m_old); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
  locale_t m_old;
};


} // namespace

std::string FormatC(const char* format, ...)
{
  CLocaleScope scope;
  char buf[512];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  if (n < 0)
    return {};
  if (static_cast<size_t>(n) < sizeof buf)
    return std::string(buf, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  va_start(ap, format);
  std::vsnprintf(out.data(), out.size(), format, ap);
  va_end(ap);
  out.resize(static_cast<size_t>(n));
  return out;
}

bool ParseDouble(std::string_view text, double& value)
{
  text = TrimSpace(text);
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  if (text.empty())
    return false;
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
    return false;
  value = v;
  return true;
}

bool ParseInt(std::string_view text, long& value)
{
  text = TrimSpace(text);
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  if (text.empty())
    return false;
  long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size())
    return false;
  value = v;
  return true;
}

double StringToDouble(std::string_view text)
{
  return ReadDecimal(text);
}
