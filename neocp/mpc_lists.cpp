#include "neocp/mpc_lists.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "data/designation.h"
#include "platform/numbers.h"
#include "platform/text_util.h"

namespace {

bool IsBlankOrTab(char c)
{
  return c == ' ' || c == '\t';
}

// The longest leading part of token that reads as a decimal number (sign,
// digits, point, exponent); 0 when the token does not begin as one.
double LeadingDecimal(std::string_view token)
{
  size_t i = 0;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-'))
    negative = token[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < token.size() && token[i] >= '0' && token[i] <= '9')
    ++i, ++digits;
  if (i < token.size() && token[i] == '.') {
    ++i;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9')
      ++i, ++digits;
  }
  if (digits == 0)
    return 0;
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    size_t j = i + 1;
    if (j < token.size() && (token[j] == '+' || token[j] == '-'))
      ++j;
    if (j < token.size() && token[j] >= '0' && token[j] <= '9') {
      while (j < token.size() && token[j] >= '0' && token[j] <= '9')
        ++j;
      i = j;
    }
  }
  double value = 0;
  const std::string part(token.substr(start, i - start));
  std::from_chars(part.data(), part.data() + part.size(), value);
  return negative ? -value : value;
}

std::vector<std::string_view> PccpTokens(std::string_view line)
{
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < line.size() && tokens.size() < static_cast<size_t>(kPccpMaxTokens)) {
    while (i < line.size() && IsBlankOrTab(line[i]))
      ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlankOrTab(line[i]))
      ++i;
    if (i > start)
      tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

NeocpEntry PccpEntry(const std::vector<std::string_view>& t)
{
  NeocpEntry e;
  std::memset(&e, 0, sizeof e);
  const std::string_view desig = Utf8Prefix(t[0], kNeocpDesigChars);
  std::memcpy(e.m_szDesig, desig.data(), desig.size());
  const size_t n = t.size();
  e.m_dScore = LeadingDecimal(t[1]);
  e.m_dDiscYear = LeadingDecimal(t[2]);
  e.m_dDiscMonth = LeadingDecimal(t[3]);
  e.m_dDiscDay = LeadingDecimal(t[4]);
  e.m_dRa = LeadingDecimal(t[5]);
  e.m_dDec = LeadingDecimal(t[6]);
  e.m_dV = LeadingDecimal(t[7]);
  e.m_dNObs = LeadingDecimal(t[n - 4]);
  e.m_dArc = LeadingDecimal(t[n - 3]);
  e.m_dH = LeadingDecimal(t[n - 2]);
  e.m_dNotSeenDays = LeadingDecimal(t[n - 1]);
  return e;
}

std::string Latin1ToUtf8(std::string_view bytes)
{
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes)
    AppendUtf8(out, c);
  return out;
}

std::string ReplaceAll(const std::string& text, std::string_view from, std::string_view to)
{
  std::string out;
  size_t pos = 0;
  for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, pos)) {
    out.append(text, pos, p - pos);
    out.append(to);
    pos = p + from.size();
  }
  out.append(text, pos, std::string::npos);
  return out;
}

// Tags dropped, line breaks and tabs as blanks, the two entities read, runs
// of blanks made one, trimmed.
std::string CleanItem(std::string_view raw)
{
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '<') {
      const size_t close = raw.find('>', i);
      if (close == std::string_view::npos)
        break;
      i = close;
    } else {
      text += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    }
  }
  std::string single;
  for (char c : ReplaceAll(ReplaceAll(text, "&nbsp;", " "), "&amp;", "&"))
    if (c != ' ' || single.empty() || single.back() != ' ')
      single += c;
  return std::string(TrimSpace(single));
}

// One cleaned item: its key and what it says; false for an item of no use.
bool ReadPrevDesItem(const std::string& text, std::string& key, PrevDesItem& item)
{
  const size_t ut = text.find(" UT)");
  if (ut == std::string::npos)
    return false;
  const size_t open = text.rfind('(', ut);
  if (open == std::string::npos)
    return false;
  item = PrevDesItem{};
  item.m_strDate = FormatJapaneseMonthDay(std::string_view(text).substr(open + 1, ut - open - 1));
  const std::string after = text.substr(ut + 4);
  const size_t mpec = after.find("MPEC ");
  if (mpec != std::string::npos) {
    std::string ref = after.substr(mpec);
    const size_t bracket = ref.find(']');
    if (bracket != std::string::npos)
      ref.erase(bracket);
    item.m_strMpec = std::string(TrimSpace(ref));
  }
  const std::string head(TrimSpace(std::string_view(text).substr(0, open)));
  const size_t equals = head.find(" = ");
  if (equals != std::string::npos) {
    std::string_view assigned = TrimSpace(std::string_view(head).substr(0, equals));
    if (assigned.substr(0, 6) == "Comet ")
      assigned = TrimSpace(assigned.substr(6));
    item.m_strAssigned = std::string(assigned);
    key = std::string(TrimSpace(std::string_view(head).substr(equals + 3)));
    return true;
  }
  const size_t blank = head.find(' ');
  if (blank == std::string::npos)
    return false;
  key = head.substr(0, blank);
  item.m_strPhrase = std::string(TrimSpace(std::string_view(head).substr(blank + 1)));
  return true;
}

// "C/2024 A1 (Name)" -> "C/2024 A1": a comet's name is no part of its designation.
std::string_view WithoutTrailingName(std::string_view text)
{
  if (text.empty() || text.back() != ')')
    return text;
  const size_t open = text.rfind('(');
  if (open == std::string_view::npos || open == 0)
    return text;
  return TrimSpace(text.substr(0, open));
}

} // namespace

void ParsePccpText(std::string_view text, std::set<std::string>& desigs, std::map<std::string, NeocpEntry>* entries)
{
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
      end = text.size();
    const std::vector<std::string_view> tokens = PccpTokens(TrimSpace(text.substr(pos, end - pos)));
    pos = end + 1;
    if (tokens.empty())
      continue;
    const std::string key(tokens[0]);
    desigs.insert(key);
    if (entries && tokens.size() >= static_cast<size_t>(kPccpDetailTokens))
      (*entries)[key] = PccpEntry(tokens);
  }
}

void ParsePrevDesPage(std::string_view page, std::map<std::string, PrevDesItem>& items)
{
  const std::string text = Latin1ToUtf8(page);
  size_t li = text.find("<li>");
  while (li != std::string::npos) {
    const size_t start = li + 4;
    const size_t next = text.find("<li>", start);
    const size_t ul = text.find("</ul>", start);
    const size_t end = std::min({next, ul, text.size()});
    std::string key;
    PrevDesItem item;
    if (ReadPrevDesItem(CleanItem(std::string_view(text).substr(start, end - start)), key, item) &&
        !key.empty() && key.find(' ') == std::string::npos)
      items.emplace(key, item);
    li = next;
  }
}

std::string FormatJapaneseMonthDay(std::string_view text)
{
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar",  "Apr", "May", "June",
                                          "July", "Aug", "Sept", "Oct", "Nov", "Dec"};
  const std::string_view trimmed = TrimSpace(text);
  for (int m = 0; m < 12; ++m) {
    const size_t n = std::strlen(kMonths[m]);
    if (trimmed.substr(0, n) != kMonths[m])
      continue;
    std::string_view rest = trimmed.substr(n);
    while (!rest.empty() && (rest.front() == '.' || rest.front() == ' '))
      rest.remove_prefix(1);
    return FormatC("%d月%s日", m + 1, std::string(rest).c_str());
  }
  return std::string(text);
}

const NeocpFate NeocpFateTable[kNeocpFateCount] = {
    {"was not confirmed", "確認されず", "追跡観測で確認されなかった"},
    {"had insufficient followup", "追跡不足", "追跡観測が足りなかった"},
    {"does not exist", "実在せず", "実在しない天体だった"},
    {"was probably not a real object", "実在せず?", "実在しない天体だったらしい"},
    {"was not a minor planet", "人工物", "小惑星ではなかった(人工衛星など)"},
    {"was suspected artificial", "人工物の疑い", "人工物の疑いがあった"},
    {"was not interesting", "対象外", "NEOではなかった"},
    {"was a star", "恒星", "恒星だった"},
    {"was a resubmission of another NEOCP object", "重複", "別のNEOCPの天体の出し直しだった"},
    {"had bad astrometry", "測定不良", "位置の測定に問題があった"},
};

const NeocpFate* FindNeocpFate(std::string_view phrase)
{
  for (const NeocpFate& f : NeocpFateTable)
    if (phrase == f.phrase)
      return &f;
  return nullptr;
}

bool IsNumberedCometDesignation(std::string_view desig)
{
  if (desig.size() < 2 || desig.size() > 6)
    return false;
  const char last = desig.back();
  if (last != 'P' && last != 'D' && last != 'I')
    return false;
  for (size_t i = 0; i + 1 < desig.size(); ++i)
    if (desig[i] < '0' || desig[i] > '9')
      return false;
  return true;
}

bool IsTemporaryDesignation(std::string_view desig)
{
  return !desig.empty() && desig.find(' ') == std::string_view::npos && desig.find('/') == std::string_view::npos &&
         desig.front() != '(' && !IsNumberedCometDesignation(desig);
}

std::string ToPackedDesignation(std::string_view text)
{
  const std::string_view trimmed = TrimSpace(text);
  if (trimmed.empty() || trimmed.front() == '(' || IsNumberedCometDesignation(trimmed))
    return std::string(trimmed);
  const std::string_view desig = WithoutTrailingName(trimmed);
  const std::string packed(TrimSpace(PackAdesDesignation("", desig, "")));
  std::string squeezed;
  for (char c : desig)
    if (c != ' ')
      squeezed += c;
  return !packed.empty() && packed != squeezed ? packed : std::string(trimmed);
}
