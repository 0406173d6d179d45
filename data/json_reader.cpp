#include "data/json_reader.h"

#include "platform/numbers.h"

namespace {

bool IsJsonSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the key first stands in double quotes (the opening quote), else npos.
// The key's own letters are searched for, not the quote: an object has a
// quote at every key and string, and each was a comparison of the key.
size_t FindQuotedKey(std::string_view json, std::string_view key)
{
  for (size_t at = json.find(key, 1); at != std::string_view::npos; at = json.find(key, at + 1))
    if (json[at - 1] == '"' && at + key.size() < json.size() && json[at + key.size()] == '"')
      return at - 1;
  return std::string_view::npos;
}

} // namespace

std::string JsonGetString(std::string_view json, std::string_view key)
{
  size_t pos = FindQuotedKey(json, key);
  if (pos == std::string_view::npos)
    return {};
  pos = json.find(':', pos + key.size() + 2);
  if (pos == std::string_view::npos)
    return {};
  ++pos;
  while (pos < json.size() && IsJsonSpace(json[pos]))
    ++pos;
  if (pos >= json.size())
    return {};
  if (json[pos] == '"') {
    const size_t end = json.find('"', pos + 1);
    return std::string(json.substr(pos + 1, end == std::string_view::npos ? std::string_view::npos : end - pos - 1));
  }
  size_t end = json.find_first_of(",}\r\n", pos);
  std::string_view value = json.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
  while (!value.empty() && IsJsonSpace(value.back()))
    value.remove_suffix(1);
  return std::string(value);
}

double JsonGetNumber(std::string_view json, std::string_view key)
{
  const std::string value = JsonGetString(json, key);
  if (value.empty())
    return kJsonMissingNumber;
  const char c = value[0];
  if (c != '+' && c != '-' && c != '.' && (c < '0' || c > '9'))
    return kJsonMissingNumber;
  return StringToDouble(value);
}
