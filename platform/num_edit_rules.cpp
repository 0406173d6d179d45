#include "platform/num_edit_rules.h"

#include <algorithm>
#include <string_view>

namespace {

size_t CharacterCount(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// Byte offset of character index i (clamped to the end).
size_t ByteOffset(const std::string& utf8, long i) {
  if (i <= 0) return 0;
  long seen = 0;
  for (size_t b = 0; b < utf8.size(); ++b) {
    if ((static_cast<unsigned char>(utf8[b]) & 0xC0) == 0x80) continue;
    if (seen++ == i) return b;
  }
  return utf8.size();
}

std::string_view TrimBlanks(std::string_view s) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t b = s.find_first_not_of(kBlanks);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

}  // namespace

int NumEditTextLimit(const NumEditShape& shape) {
  if (shape.integerDigits <= 0) return 0;
  const int sign = shape.signAllowed ? 1 : 0;
  switch (shape.mode) {
  case 1: return shape.integerDigits + sign;
  case 2: return shape.integerDigits + shape.fractionDigits + 1 + sign;
  default: return shape.integerDigits;
  }
}

bool NumEditAccepts(const NumEditShape& shape, const std::string& candidate) {
  if (shape.mode != 1 && shape.mode != 2)
    return shape.integerDigits < 1 || CharacterCount(candidate) <= static_cast<size_t>(shape.integerDigits);
  const std::string_view text = TrimBlanks(candidate);
  int integerDigits = 0, fractionDigits = 0;
  bool point = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+' || c == '-') {
      if (i != 0 || !shape.signAllowed) return false;
    } else if (c == '.') {
      if (shape.mode != 2 || point) return false;
      point = true;
    } else if (c >= '0' && c <= '9') {
      ++(point ? fractionDigits : integerDigits);
    } else {
      return false;
    }
  }
  if (shape.integerDigits > 0 && integerDigits > shape.integerDigits) return false;
  return shape.mode != 2 || shape.fractionDigits <= 0 || fractionDigits <= shape.fractionDigits;
}

std::string NumEditCandidate(const std::string& text, long selStart, long selEnd, const std::string& inserted) {
  const size_t from = ByteOffset(text, selStart);
  const size_t to = std::max(from, ByteOffset(text, selEnd));
  return text.substr(0, from) + inserted + text.substr(to);
}
