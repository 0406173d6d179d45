#include "data/designation.h"

#include "platform/fixed_field.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

constexpr std::string_view kBase62 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
// Second letters of provisional designations: 25 letters, no 'I'.
constexpr std::string_view kSecondLetters = "ABCDEFGHJKLMNOPQRSTUVWXYZ";
// Four base-62 digits hold at most 62^4 - 1.
constexpr long kMaxFourDigits = 14776335;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
char ToUpper(char c) { return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsCenturyLetter(char c) { return c >= 'I' && c <= 'L'; }
bool IsCometType(char c) { return c == 'A' || c == 'C' || c == 'D' || c == 'I' || c == 'P' || c == 'X'; }

// Anything that is neither a digit nor an upper-case letter is valued as a
// lower-case letter, as the packed forms have always been decoded.
int Base62Value(char c)
{
  if (IsDigit(c))
    return c - '0';
  if (IsUpper(c))
    return c - 'A' + 10;
  return static_cast<unsigned char>(c) - 61;
}

long Base62Value4(std::string_view s)
{
  long v = 0;
  for (char c : s.substr(0, 4))
    v = v * 62 + Base62Value(c);
  return v;
}

std::string Base62Digits4(long v)
{
  std::string s(4, '0');
  for (int i = 3; i >= 0; --i) {
    s[static_cast<size_t>(i)] = kBase62[static_cast<size_t>(v % 62)];
    v /= 62;
  }
  return s;
}

// The 12 columns, padded with blanks; index 1..12 as the columns are numbered.
struct Columns {
  explicit Columns(std::string_view desig) : text(desig.substr(0, 12))
  {
    text.resize(12, ' ');
  }
  char operator[](int col) const { return text[static_cast<size_t>(col - 1)]; }
  bool Blank(int first, int last) const
  {
    for (int c = first; c <= last; ++c)
      if ((*this)[c] != ' ')
        return false;
    return true;
  }
  std::string text;
};


bool AllDigits(std::string_view s)
{
  if (s.empty())
    return false;
  for (char c : s)
    if (!IsDigit(c))
      return false;
  return true;
}

// Value of a digit run, saturating far above any value the packed forms can hold.
long DigitsValue(std::string_view s)
{
  long v = 0;
  for (char c : s) {
    v = v * 10 + (c - '0');
    if (v > 1000000000L)
      return 1000000000L;
  }
  return v;
}

// Century letter of a year, 0 outside 1800-2199.
char CenturyLetter(long year)
{
  switch (year / 100) {
  case 18: return 'I';
  case 19: return 'J';
  case 20: return 'K';
  case 21: return 'L';
  default: return 0;
  }
}

// Tens of a cycle count: a base-62 digit from 100 on, a decimal digit below.
char CycleTens(long cycle)
{
  return kBase62[static_cast<size_t>(cycle / 10)];
}

} // namespace

std::string UnpackProvisionalDesignation(std::string_view prov)
{
  std::string p(prov.substr(0, 7));
  p.resize(7, ' ');
  if (p[0] == '_') {
    const int year = 2000 + Base62Value(p[1]);
    const long n = 15500 + Base62Value4(std::string_view(p).substr(3, 4));
    // Blanks or symbols among the digits (a hand-typed line, a short trkSub
    // after '_') can make n negative: the letter index is taken floored, so
    // that it stays inside the order.
    const long letter = (n % 25 + 25) % 25;
    return FormatC("%d %c%c%ld", year, p[2], kSecondLetters[static_cast<size_t>(letter)], (n - letter) / 25);
  }
  const int year = 100 * Base62Value(p[0]) + 10 * (p[1] - '0') + (p[2] - '0');
  const char half = p[3];
  const int cycle = 10 * Base62Value(p[4]) + (p[5] - '0');
  const char last = p[6];
  if (cycle == 0 && IsLower(last))
    return FormatC("%d %c-%c", year, half, ToUpper(last));
  if (cycle == 0)
    return FormatC("%d %c%c", year, half, last);
  if (IsLower(last))
    return FormatC("%d %c%d-%c", year, half, cycle, ToUpper(last));
  if (last == '0')
    return FormatC("%d %c%d", year, half, cycle);
  return FormatC("%d %c%c%d", year, half, last, cycle);
}

std::string UnpackDesignation(std::string_view desig)
{
  const Columns c(desig);
  const std::string_view prov = std::string_view(c.text).substr(5, 7);

  // Palomar-Leiden and Trojan surveys: "PLS2040" gives 2040 P-L.
  if ((c[6] == 'P' || c[6] == 'T') && c[8] == 'S')
    return FormatC("%c%c%c%c %c-%c", c[9], c[10], c[11], c[12], c[6], c[7]);

  if (IsDigit(c[1]) && IsDigit(c[2]) && IsDigit(c[3]) && IsDigit(c[4]) &&
      (c[5] == 'D' || c[5] == 'I' || c[5] == 'P')) {
    std::string text = c.text.substr(0, 5);
    for (size_t i = 0; i < 3 && text[i] == '0'; ++i)
      text[i] = ' ';
    if (c[6] == ' ' && c[12] == ' ')
      return text;
    if (IsLower(c[11]) || IsLower(c[12])) {
      text += '-';
      if (IsLower(c[11]))
        text += ToUpper(c[11]);
      text += ToUpper(c[12]);
    }
    if (c[6] != ' ')
      text += "/" + UnpackProvisionalDesignation(prov);
    return text;
  }

  if (c[1] == ' ') {
    const bool c2to4Blank = c.Blank(2, 4);
    const bool yearDigits = IsCenturyLetter(c[6]) && IsDigit(c[7]) && IsDigit(c[8]);
    if (c2to4Blank && c[5] == 'S' && yearDigits) {
      const int year = 100 * Base62Value(c[6]) + 10 * (c[7] - '0') + (c[8] - '0');
      const int number = Base62Value(c[10]) * 10 + (c[11] - '0');
      return FormatC("    S/%d %c %d", year, c[9], number);
    }
    if (c2to4Blank && IsCometType(c[5]) && c[6] == '_')
      return std::string("    ") + c[5] + "/" + UnpackProvisionalDesignation(prov);
    if (c.Blank(2, 5) && c[6] == '_')
      return UnpackProvisionalDesignation(prov);
    if (c2to4Blank && IsCometType(c[5]) && yearDigits)
      return std::string("    ") + c[5] + "/" + UnpackProvisionalDesignation(prov);
    if (c.Blank(2, 5) && yearDigits)
      return UnpackProvisionalDesignation(prov);
    return std::string(TrimSpace(c.text));
  }

  long number;
  if (c[1] == '~') {
    number = 620000 + Base62Value4(std::string_view(c.text).substr(1, 4));
  } else {
    number = static_cast<long>(Base62Value(c[1])) * 10000 + ReadInteger(std::string_view(c.text).substr(1, 4));
  }
  std::string text = FormatC("(%ld)", number);
  if (c[6] != ' ' && c[6] != '\0')
    text += " = " + UnpackProvisionalDesignation(prov);
  return text;
}

int PackMinorPlanetProvisional(std::string_view text, std::string& prov)
{
  const std::string_view t = TrimSpace(text);
  if (t.size() < 7 || !AllDigits(t.substr(0, 4)) || t[4] != ' ' || !IsUpper(t[5]) || !IsUpper(t[6]))
    return 0;
  const std::string_view cycleDigits = t.substr(7);
  for (char ch : cycleDigits)
    if (!IsDigit(ch))
      return 0;
  const long year = DigitsValue(t.substr(0, 4));
  const char century = CenturyLetter(year);
  if (century == 0)
    return 0;
  const long cycle = DigitsValue(cycleDigits);
  const char half = t[5];
  const char second = t[6];
  if (cycle >= 620) {
    const size_t pos = kSecondLetters.find(second);
    if (year < 2010 || year > 2061 || pos == std::string_view::npos)
      return 0;
    const long l = (cycle - 620) * 25 + static_cast<long>(pos);
    if (l > kMaxFourDigits)
      return 0;
    prov = std::string("_") + kBase62[static_cast<size_t>(year - 2000)] + half + Base62Digits4(l);
    return 1;
  }
  prov = FormatC("%c%02ld%c%c%c%c", century, year % 100, half, CycleTens(cycle), static_cast<char>('0' + cycle % 10),
                 second);
  return 1;
}

int PackCometProvisional(std::string_view text, std::string& prov)
{
  const std::string_view t = TrimSpace(text);
  if (t.size() < 6 || !AllDigits(t.substr(0, 4)) || t[4] != ' ' || !IsUpper(t[5]))
    return 0;
  const std::string_view numberDigits = t.substr(6);
  for (char ch : numberDigits)
    if (!IsDigit(ch))
      return 0;
  const long year = DigitsValue(t.substr(0, 4));
  const char century = CenturyLetter(year);
  if (century == 0)
    return 0;
  const long number = DigitsValue(numberDigits);
  if (number > 619)
    return 0;
  prov = FormatC("%c%02ld%c%c%c0", century, year % 100, t[5], CycleTens(number), static_cast<char>('0' + number % 10));
  return 1;
}

std::string PackAdesDesignation(std::string_view permID, std::string_view provID, std::string_view trkSub)
{
  std::string desig(12, ' ');

  const std::string_view perm = TrimSpace(permID);
  if (!perm.empty()) {
    if (AllDigits(perm)) {
      const long n = DigitsValue(perm);
      // Numbers past the four-digit tilde form cannot be packed; they fall
      // through to the other identifiers.
      if (n <= 99999) {
        desig.replace(0, 5, FormatC("%05ld", n));
        return desig;
      }
      if (n < 620000) {
        desig.replace(0, 5, kBase62[static_cast<size_t>(n / 10000)] + FormatC("%04ld", n % 10000));
        return desig;
      }
      if (n - 620000 <= kMaxFourDigits) {
        desig.replace(0, 5, "~" + Base62Digits4(n - 620000));
        return desig;
      }
    } else if (perm.size() >= 2 && perm.size() <= 5 && (perm.back() == 'P' || perm.back() == 'D') &&
               AllDigits(perm.substr(0, perm.size() - 1))) {
      desig.replace(0, 5, FormatC("%04ld%c", DigitsValue(perm.substr(0, perm.size() - 1)), perm.back()));
      return desig;
    }
  }

  const std::string_view prov = TrimSpace(provID);
  if (!prov.empty()) {
    std::string packed;
    if (prov.size() >= 3 && prov[1] == '/' && IsCometType(prov[0])) {
      if (PackCometProvisional(prov.substr(2), packed)) {
        desig[4] = prov[0];
        desig.replace(5, 7, packed);
        return desig;
      }
    } else if (PackMinorPlanetProvisional(prov, packed)) {
      desig.replace(5, 7, packed);
      return desig;
    }
  }

  std::string_view source = trkSub;
  if (TrimSpace(source).empty())
    source = provID;
  if (TrimSpace(source).empty())
    source = permID;
  std::string id;
  for (char ch : TrimSpace(source))
    if (ch != ' ')
      id += ch;
  const size_t len = id.size();
  if (len >= 13)
    desig.replace(0, 12, id.substr(0, 12));
  else if (len >= 8)
    desig.replace(12 - len, len, id);
  else if (len >= 1)
    desig.replace(5, len, id);
  return desig;
}
