#pragma once
// Text encodings at the program's edges. Inside, text is UTF-8.
// "The system's 8-bit code page" of the Windows program is code page 932 here
// (the program is Japanese): reports in the MPC style are written in it.
#include <string>
#include <string_view>

enum class TextEncoding { Utf16Le, Utf8, Cp932 };

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates,
// nothing above U+10FFFF). A leading byte-order mark is allowed.
bool IsStrictUtf8(std::string_view bytes);

// UTF-16LE (with or without a leading BOM) to UTF-8; false on odd length or
// unpaired surrogates.
bool Utf16LeToUtf8(std::string_view bytes, std::string& utf8);
// UTF-8 to UTF-16LE bytes; withBom puts FF FE first.
bool Utf8ToUtf16Le(std::string_view utf8, std::string& bytes, bool withBom);

// Code page 932 (Shift_JIS with the Windows extensions) through iconv.
bool Cp932ToUtf8(std::string_view bytes, std::string& utf8);
bool Utf8ToCp932(std::string_view utf8, std::string& bytes);

// Cp932ToUtf8 for many pieces of text (the lines of one) through one
// converter, appended to what utf8 holds, which a failure leaves as it was:
// opening the converter cost more than converting a line.
class Cp932Decoder {
public:
  Cp932Decoder();
  ~Cp932Decoder();
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;
  bool AppendUtf8(std::string_view bytes, std::string& utf8);

private:
  void* m_cd;  // iconv_t
};

// A text file's bytes as the observation reader takes them: UTF-16LE when it
// starts with FF FE, else strict UTF-8 (a BOM removed), else code page 932.
// False when none of them decodes.
bool DecodeTextBytes(std::string_view bytes, std::string& utf8, TextEncoding* detected = nullptr);

// The UTF-8 byte-order mark that the program's own UTF-8 files begin with.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
