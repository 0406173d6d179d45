#include "data/neocp_list.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/json_reader.h"
#include "data/text_bytes.h"
#include "platform/numbers.h"

int g_nNeocpSortColumn = 0;
int g_bNeocpSortDescending = 0;

namespace {

void CopyCut(char* dest, size_t destSize, std::string_view utf8, size_t maxChars)
{
  std::string_view cut = Utf8Prefix(utf8, maxChars);
  if (cut.size() >= destSize)
    cut = cut.substr(0, destSize - 1);
  std::memcpy(dest, cut.data(), cut.size());
  dest[cut.size()] = '\0';
}

// Month names as the list writes them; "June", "July" and "Sept" are spelt out.
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "June",
                                     "July", "Aug", "Sept", "Oct", "Nov", "Dec"};

char AsciiLower(char c)
{
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// In the manner of the locale-aware comparison of the Windows list: letters
// without regard to case first, then lower case before upper case.
int CompareText(const char* a, const char* b)
{
  int tie = 0;
  for (size_t i = 0;; ++i) {
    const char ca = a[i], cb = b[i];
    if (ca == '\0' || cb == '\0') {
      if (ca != cb)
        return ca ? 1 : -1;
      return tie;
    }
    const unsigned char la = static_cast<unsigned char>(AsciiLower(ca));
    const unsigned char lb = static_cast<unsigned char>(AsciiLower(cb));
    if (la != lb)
      return la < lb ? -1 : 1;
    if (ca != cb && tie == 0)
      tie = (ca >= 'a' && ca <= 'z') ? -1 : 1;
  }
}

// A coordinate outside its range (0-24 h, ±90°) is no position: it reads as
// missing, as the cells cannot show it.
double WithinOrMissing(double value, double low, double high)
{
  return value == kJsonMissingNumber || (value >= low && value <= high) ? value : kJsonMissingNumber;
}

// The text with every " UT" removed, including those that a removal joins
// together (" U UTT" → ""), in one pass: a " UT" completed at the end of the
// kept text is dropped again at once.
std::string WithoutUt(std::string_view text)
{
  std::string kept;
  kept.reserve(text.size());
  for (const char c : text) {
    kept += c;
    if (kept.size() >= 3 && kept.compare(kept.size() - 3, 3, " UT") == 0)
      kept.resize(kept.size() - 3);
  }
  return kept;
}

int CompareNumbers(double a, double b)
{
  return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

std::string ConvertUpdatedText(std::string_view text)
{
  const std::string all = BytesToUtf8(text);
  const std::string copy(Utf8Prefix(all, kNeocpUpdatedChars));
  const size_t blank = all.find(' ');
  if (blank == std::string::npos || blank == 0)
    return copy;
  const std::string_view word = std::string_view(all).substr(0, blank);
  std::string_view rest = std::string_view(all).substr(blank + 1);
  const char* japanese = nullptr;
  if (word == "Added")
    japanese = "追加";
  else if (word == "Updated")
    japanese = "更新";
  else
    return copy;
  int month = 0;
  for (int i = 0; i < 12; ++i) {
    if (rest.substr(0, std::strlen(kMonthNames[i])) == kMonthNames[i]) {
      month = i + 1;
      rest.remove_prefix(std::strlen(kMonthNames[i]));
      break;
    }
  }
  if (month == 0)
    return copy;
  if (!rest.empty() && rest.front() == '.')
    rest.remove_prefix(1);
  std::string day = WithoutUt(TrimSpace(rest));
  day = std::string(TrimSpace(day));
  const std::string result = std::string(japanese) + " " + std::to_string(month) + "月" + day + "日";
  return std::string(Utf8Prefix(result, kNeocpUpdatedChars));
}

int ParseNeocpJson(std::string_view json, NeocpEntry** ppEntries)
{
  // The objects with a designation are found first and the array is
  // allocated once at their count: entries grow with the objects read, not
  // with the braces of the text (a string full of "{" must not reserve an
  // entry for each), and no entry is copied from a growing buffer.
  std::vector<std::string_view> objects;
  size_t pos = 0;
  for (;;) {
    const size_t open = json.find('{', pos);
    if (open == std::string_view::npos)
      break;
    const size_t close = json.find('}', open + 1);
    const std::string_view object =
        json.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    pos = close == std::string_view::npos ? json.size() : close + 1;
    if (!JsonGetString(object, "Temp_Desig").empty())
      objects.push_back(object);
  }
  if (objects.empty())
    return 0;
  auto* entries = static_cast<NeocpEntry*>(std::calloc(objects.size(), sizeof(NeocpEntry)));
  if (!entries)
    return 0;
  for (size_t i = 0; i < objects.size(); ++i) {
    const std::string_view object = objects[i];
    NeocpEntry& e = entries[i];
    CopyCut(e.m_szDesig, sizeof e.m_szDesig, BytesToUtf8(JsonGetString(object, "Temp_Desig")), kNeocpDesigChars);
    CopyCut(e.m_szUpdated, sizeof e.m_szUpdated, ConvertUpdatedText(JsonGetString(object, "Updated")),
            kNeocpUpdatedChars);
    e.m_dScore = JsonGetNumber(object, "Score");
    e.m_dDiscYear = JsonGetNumber(object, "Discovery_year");
    e.m_dDiscMonth = JsonGetNumber(object, "Discovery_month");
    e.m_dDiscDay = JsonGetNumber(object, "Discovery_day");
    e.m_dRa = WithinOrMissing(JsonGetNumber(object, "R.A."), 0.0, 24.0);
    e.m_dDec = WithinOrMissing(JsonGetNumber(object, "Decl."), -90.0, 90.0);
    e.m_dV = JsonGetNumber(object, "V");
    e.m_dNObs = JsonGetNumber(object, "NObs");
    e.m_dArc = JsonGetNumber(object, "Arc");
    e.m_dH = JsonGetNumber(object, "H");
    e.m_dNotSeenDays = JsonGetNumber(object, "Not_Seen_dys");
  }
  *ppEntries = entries;
  return static_cast<int>(objects.size());
}

std::string FormatRaCell(double hours)
{
  if (hours == kJsonMissingNumber)
    return "-";
  int h = static_cast<int>(hours);
  std::string minutes = FormatC("%04.1f", (hours - h) * 60.0);
  // Minutes that round to 60 carry into the hour, as the declination does.
  if (minutes.compare(0, 2, "60") == 0) {
    h = (h + 1) % 24;
    minutes = "00.0";
  }
  return FormatC("%02d %s", h, minutes.c_str());
}

std::string FormatDecCell(double degrees)
{
  if (degrees == kJsonMissingNumber)
    return "-";
  const double a = std::fabs(degrees);
  int d = static_cast<int>(a);
  int m = static_cast<int>((a - d) * 60.0 + 0.5);
  if (m >= 60) {
    d += 1;
    m -= 60;
  }
  return FormatC("%c%02d %02d", degrees < 0 ? '-' : '+', d, m);
}

std::string FormatNumberCell(double value, const char* format)
{
  if (value == kJsonMissingNumber)
    return "-";
  return FormatC(format, value);
}

int CompareNeocpEntries(const void* pa, const void* pb)
{
  const auto& a = *static_cast<const NeocpEntry*>(pa);
  const auto& b = *static_cast<const NeocpEntry*>(pb);
  double ka = 0, kb = 0;
  int r = 0;
  switch (g_nNeocpSortColumn) {
  case 0:
    r = CompareText(a.m_szDesig, b.m_szDesig);
    break;
  case 10:
    r = CompareText(a.m_szUpdated, b.m_szUpdated);
    break;
  case 1: ka = a.m_dScore; kb = b.m_dScore; break;
  case 2:
    ka = a.m_dDiscYear * 10000 + a.m_dDiscMonth * 100 + a.m_dDiscDay;
    kb = b.m_dDiscYear * 10000 + b.m_dDiscMonth * 100 + b.m_dDiscDay;
    break;
  case 3: ka = a.m_dRa; kb = b.m_dRa; break;
  case 4: ka = a.m_dDec; kb = b.m_dDec; break;
  case 5: ka = a.m_dV; kb = b.m_dV; break;
  case 6: ka = a.m_dNObs; kb = b.m_dNObs; break;
  case 7: ka = a.m_dArc; kb = b.m_dArc; break;
  case 8: ka = a.m_dH; kb = b.m_dH; break;
  case 9: ka = a.m_dNotSeenDays; kb = b.m_dNotSeenDays; break;
  default:
    return 0;
  }
  if (g_nNeocpSortColumn != 0 && g_nNeocpSortColumn != 10) {
    const bool hasA = ka != kJsonMissingNumber;
    const bool hasB = kb != kJsonMissingNumber;
    if (hasA && hasB)
      r = CompareNumbers(ka, kb);
    else if (hasA != hasB)
      return hasA ? -1 : 1;  // missing last, whatever the direction
  }
  if (r == 0)
    r = CompareText(a.m_szDesig, b.m_szDesig);
  return g_bNeocpSortDescending == 1 ? -r : r;
}
