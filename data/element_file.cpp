#include "data/element_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <new>

#include "astro/time_scales.h"
#include "data/designation.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/ui_services.h"
#include "platform/fixed_field.h"
#include "platform/text_util.h"

namespace {

constexpr size_t kMaxLineChars = 510;
constexpr size_t kMaxNameChars = 42;
constexpr size_t kMpcorbNameChars = 28;

std::string_view WithoutTerminator(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

char At(std::string_view line, int col) {
  return col >= 1 && static_cast<size_t>(col) <= line.size() ? line[col - 1] : '\0';
}

bool CharsAre(std::string_view line, std::initializer_list<int> cols, char c) {
  for (int col : cols)
    if (At(line, col) != c) return false;
  return true;
}

bool DigitsAt(std::string_view line, std::initializer_list<int> cols) {
  for (int col : cols) {
    const char c = At(line, col);
    if (c < '0' || c > '9') return false;
  }
  return true;
}



int PackedDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return static_cast<unsigned char>(c) - 55;
}

// Julian day from year, month and day columns.
double DateColumnsToJd(std::string_view line, int y1, int y2, int m1, int m2, int d1, int d2) {
  return CalendarToJd(FixedDouble(line, y1, y2), FixedDouble(line, m1, m2), FixedDouble(line, d1, d2));
}

// The readable name of a layout 1 line. Its designation holds columns 1-7 in
// the catalogue's form (five-character number, or seven-character packed
// provisional designation); columns 9-12 already hold H, so only columns 1-7
// are unpacked, after moving them to where the twelve-column form has them.
std::string ShortLineName(std::string_view line) {
  std::string desig12(12, ' ');
  const std::string_view desig = FixedColumns(line, 1, 7);
  if (FixedBlank(line, 6, 7))
    desig12.replace(0, std::min<size_t>(desig.size(), 5), desig.substr(0, 5));
  else
    desig12.replace(5, desig.size(), desig);
  return std::string(Utf8Prefix(UnpackDesignation(desig12), kMaxNameChars));
}

void ResetRecord(ElementRecord* p, int layout) {
  *p = ElementRecord();
  p->m_nLayout = layout;
}

// Columns (first, last) of the numbers of the two minor-planet layouts.
struct MinorPlanetColumns {
  int h[2], g[2], epoch, m[2], peri[2], node[2], incl[2], e[2], a[2];
};
constexpr MinorPlanetColumns kShortColumns = {{9, 12}, {14, 18}, 20, {26, 32}, {34, 40},
                                              {42, 48}, {50, 56}, {58, 64}, {66, 74}};
constexpr MinorPlanetColumns kMpcorbColumns = {{9, 13}, {15, 19}, 21, {27, 35}, {38, 46},
                                               {49, 57}, {60, 68}, {71, 79}, {93, 103}};

void ReadMinorPlanetNumbers(ElementRecord* p, std::string_view line, const MinorPlanetColumns& c) {
  p->m_dH = FixedDouble(line, c.h[0], c.h[1]);
  p->m_dG = FixedDouble(line, c.g[0], c.g[1]);
  p->m_dEpoch = PackedDateToJd(FixedColumns(line, c.epoch, c.epoch + 4));
  p->m_dM = FixedDouble(line, c.m[0], c.m[1]);
  p->m_dPeri = FixedDouble(line, c.peri[0], c.peri[1]);
  p->m_dNode = FixedDouble(line, c.node[0], c.node[1]);
  p->m_dIncl = FixedDouble(line, c.incl[0], c.incl[1]);
  p->m_dE = FixedDouble(line, c.e[0], c.e[1]);
  p->m_dA = FixedDouble(line, c.a[0], c.a[1]);
  p->m_dQ = (1.0 - p->m_dE) * p->m_dA;
}

void ParseShortMinorPlanetLine(ElementRecord* p, std::string_view line) {
  ResetRecord(p, 1);
  p->m_szKey = std::string(FixedColumns(line, 1, 12));
  p->m_szName = ShortLineName(line);
  ReadMinorPlanetNumbers(p, line, kShortColumns);
}

void ParseCometOneLine(ElementRecord* p, std::string_view line) {
  ResetRecord(p, 3);
  p->m_szKey = std::string(FixedColumns(line, 1, 12));
  p->m_dT = DateColumnsToJd(line, 15, 18, 20, 21, 23, 30);
  p->m_dQ = FixedDouble(line, 31, 40);
  p->m_dE = FixedDouble(line, 42, 50);
  p->m_dPeri = FixedDouble(line, 52, 60);
  p->m_dNode = FixedDouble(line, 62, 70);
  p->m_dIncl = FixedDouble(line, 72, 80);
  if (DigitsAt(line, {82, 83, 84, 85, 86, 87, 88, 89})) {
    const long year = FixedInt(line, 82, 85);
    const long month = FixedInt(line, 86, 87);
    const long day = FixedInt(line, 88, 89);
    if (year > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31)
      p->m_dEpoch = CalendarToJd(year, month, day);
  }
  p->m_dH1 = FixedDouble(line, 91, 95);
  p->m_dK1 = 2.5 * FixedDouble(line, 97, 100);
  p->m_dMagSpare = 0.0;
  if (line.size() > 102) p->m_szName = std::string(Utf8Prefix(line.substr(102), kMaxNameChars));
}

void ParseLongCometLine(ElementRecord* p, std::string_view line) {
  ResetRecord(p, 4);
  p->m_szKey = std::string(FixedColumns(line, 1, 6));
  p->m_szName = p->m_szKey;
  p->m_dT = DateColumnsToJd(line, 8, 11, 12, 13, 14, 24);
  p->m_dQ = FixedDouble(line, 26, 38);
  p->m_dE = FixedDouble(line, 40, 51);
  p->m_dPeri = FixedDouble(line, 53, 64);
  p->m_dNode = FixedDouble(line, 66, 77);
  p->m_dIncl = FixedDouble(line, 79, 90);
  p->m_dEpoch = DateColumnsToJd(line, 92, 95, 96, 97, 98, 99);
}

class HeadlessElementFileUi : public ElementFileUi {
public:
  bool AskElementFilePath(std::string&) override { return false; }
  int SelectObject(const std::vector<ElementRecord>&, int) override { return -1; }
};

HeadlessElementFileUi g_headlessElementFileUi;
ElementFileUi* g_pElementFileUi = nullptr;

}  // namespace

int IsShortMinorPlanetLine(std::string_view line) {
  line = WithoutTerminator(line);
  return line.size() >= 80 && At(line, 8) == ' ' && CharsAre(line, {11, 16, 29, 37, 45, 53, 59, 69}, '.') &&
         CharsAre(line, {13, 19, 25, 33, 41, 49, 57, 65, 75}, ' ');
}

int IsMpcorbLine(std::string_view line) {
  line = WithoutTerminator(line);
  return line.size() > 179 && CharsAre(line, {14, 26, 36, 47, 58, 69, 80, 92, 104}, ' ') &&
         CharsAre(line, {11, 17, 30, 41, 52, 63, 72, 83, 96}, '.');
}

int IsCometOneLine(std::string_view line) {
  line = WithoutTerminator(line);
  // q fills column 31 from 10 AU on, so that column is a blank or a digit.
  return line.size() >= 102 && DigitsAt(line, {18, 32, 42}) && CharsAre(line, {19, 22, 41, 61}, ' ') &&
         (At(line, 31) == ' ' || DigitsAt(line, {31})) && CharsAre(line, {25, 33, 43, 55, 65, 75}, '.');
}

int IsLongCometLine(std::string_view line) {
  line = WithoutTerminator(line);
  return line.size() >= 127 && CharsAre(line, {16, 28, 41, 56, 69, 82}, '.') &&
         CharsAre(line, {39, 52, 65, 78, 91}, ' ');
}

int ElementLineLayout(std::string_view line) {
  if (IsShortMinorPlanetLine(line)) return 1;
  if (IsMpcorbLine(line)) return 2;
  if (IsCometOneLine(line)) return 3;
  if (IsLongCometLine(line)) return 4;
  return 0;
}

double PackedDateToJd(std::string_view packed) {
  char c[5] = {' ', ' ', ' ', ' ', ' '};
  for (size_t i = 0; i < 5 && i < packed.size(); ++i) c[i] = packed[i];
  const double year = 100.0 * (static_cast<unsigned char>(c[0]) - 55) + FixedDouble(std::string_view(c + 1, 2), 1, 2);
  return CalendarToJd(year, PackedDigit(c[3]), PackedDigit(c[4]));
}

void ParseMpcorbLine(ElementRecord* p, std::string_view line) {
  line = WithoutTerminator(line);
  ResetRecord(p, 2);
  p->m_bMpcorb = 1;
  p->m_szKey = std::string(FixedColumns(line, 1, 7));
  ReadMinorPlanetNumbers(p, line, kMpcorbColumns);
  if (line.size() > 166)
    p->m_szName = std::string(TrimSpace(Utf8Prefix(line.substr(166), kMpcorbNameChars)));
}

void ParseElementLine(ElementRecord* p, std::string_view line, int layout) {
  line = WithoutTerminator(line);
  switch (layout) {
    case 1: ParseShortMinorPlanetLine(p, line); break;
    case 2: ParseMpcorbLine(p, line); break;
    case 3: ParseCometOneLine(p, line); break;
    case 4: ParseLongCometLine(p, line); break;
    default: ResetRecord(p, 0); break;
  }
}

ElementFileUi& ElementFilePrompts() {
  return g_pElementFileUi ? *g_pElementFileUi : g_headlessElementFileUi;
}

void SetElementFileUi(ElementFileUi* ui) { g_pElementFileUi = ui; }

ObjectSelection::ObjectSelection(const std::vector<ElementRecord>& records, int count) {
  const int n = std::clamp(count, 0, static_cast<int>(records.size()));
  m_names.reserve(n);
  for (int i = 0; i < n; ++i) m_names.push_back(records[i].m_szName);
}

void ObjectSelection::Confirm(int listSelection) {
  m_nSelected = listSelection >= 0 && listSelection < static_cast<int>(m_names.size()) ? listSelection : -1;
}

namespace {

// The lines of an element file, read twice from the start. An 8-bit file is
// streamed line by line, so that a catalogue is never held whole; a UTF-16
// file (which no catalogue is) is decoded whole first.
class ElementLineSource {
public:
  ~ElementLineSource() {
    if (m_file) std::fclose(m_file);
    std::free(m_buffer);
  }
  bool Open(const std::string& path) {
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file) return false;
    unsigned char mark[2] = {0, 0};
    const bool utf16 = std::fread(mark, 1, 2, m_file) == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
    std::rewind(m_file);
    if (!utf16) return true;
    std::fclose(m_file);
    m_file = nullptr;
    std::string bytes;
    return ReadWholeFile(path, bytes) && Utf16LeToUtf8(bytes, m_text);
  }
  void Rewind() {
    if (m_file) std::rewind(m_file);
    m_textPos = 0;
    m_first = true;
  }
  // The next line with its line feed; false at the end or on a read error.
  bool Next(std::string_view& line) {
    const bool first = m_first;
    m_first = false;
    if (!m_file) {
      if (m_textPos >= m_text.size()) return false;
      size_t end = m_text.find('\n', m_textPos);
      end = end == std::string::npos ? m_text.size() : end + 1;
      line = std::string_view(m_text).substr(m_textPos, end - m_textPos);
      m_textPos = end;
      return true;
    }
    const ssize_t n = getline(&m_buffer, &m_capacity, m_file);
    if (n <= 0) return false;
    line = std::string_view(m_buffer, static_cast<size_t>(n));
    if (first && line.substr(0, kUtf8Bom.size()) == kUtf8Bom) m_bomSkipped = true;
    return true;
  }
  bool Failed() const { return m_file && std::ferror(m_file); }
  bool Streams() const { return m_file != nullptr; }
  bool FirstLineHadBom() const { return m_bomSkipped; }

private:
  std::FILE* m_file = nullptr;
  char* m_buffer = nullptr;
  size_t m_capacity = 0;
  std::string m_text;
  size_t m_textPos = 0;
  bool m_first = true;
  bool m_bomSkipped = false;
};

// How the 8-bit lines are turned into text, chosen over the whole file as
// the observation reader chooses: strict UTF-8 (a leading mark dropped),
// else code page 932, else the bytes as they are.
enum class LineDecoding { AsIs, Utf8, Cp932 };

bool IsAscii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string_view CutLine(std::string_view line) {
  line = WithoutTerminator(line);
  return line.size() > kMaxLineChars ? line.substr(0, kMaxLineChars) : line;
}

// First pass: the number of layout tests the lines pass (a line that passes
// two counts twice) and the decoding of the whole file.
bool CountElementLines(ElementLineSource& source, size_t& tests, LineDecoding& decoding) {
  bool utf8 = true, cp932 = true;
  std::string converted;
  std::string_view line;
  tests = 0;
  while (source.Next(line)) {
    if (!IsAscii(line)) {
      utf8 = utf8 && IsStrictUtf8(line);
      cp932 = cp932 && Cp932ToUtf8(line, converted);
    }
    const std::string_view cut = CutLine(line);
    tests += static_cast<size_t>(IsShortMinorPlanetLine(cut) + IsMpcorbLine(cut) + IsCometOneLine(cut) +
                                 IsLongCometLine(cut));
  }
  decoding = !source.Streams() || utf8 ? LineDecoding::Utf8 : cp932 ? LineDecoding::Cp932 : LineDecoding::AsIs;
  return !source.Failed();
}

// Second pass: every line of a known layout fills the next record.
bool FillElementRecords(ElementLineSource& source, LineDecoding decoding, std::vector<ElementRecord>& records) {
  std::string converted;
  std::string_view line;
  bool first = true;
  while (source.Next(line)) {
    if (first && decoding == LineDecoding::Utf8 && source.FirstLineHadBom()) line.remove_prefix(kUtf8Bom.size());
    first = false;
    if (decoding == LineDecoding::Cp932 && !IsAscii(line) && Cp932ToUtf8(line, converted)) line = converted;
    const std::string_view cut = CutLine(line);
    const int layout = ElementLineLayout(cut);
    if (layout == 0) continue;
    records.emplace_back();
    ParseElementLine(&records.back(), cut, layout);
  }
  return !source.Failed();
}

}  // namespace

int ReadElementFile(const std::string& strPath, std::vector<ElementRecord>* pElements, int* pnCount,
                    int* pnSelected, ElementFileWhy* pWhy) {
  ElementFileWhy localWhy;
  ElementFileWhy& why = pWhy ? *pWhy : localWhy;
  why = ElementFileWhy();
  std::string path = strPath;
  if (path.empty() && !ElementFilePrompts().AskElementFilePath(path)) return 0;
  why.path = path;
  why.outcome = ElementFileOutcome::Unreadable;

  ElementLineSource source;
  if (!source.Open(path)) return -1;
  size_t tests = 0;
  LineDecoding decoding = LineDecoding::AsIs;
  if (!CountElementLines(source, tests, decoding)) return -1;
  why.outcome = ElementFileOutcome::NoRecord;
  if (tests == 0) return 0;

  std::vector<ElementRecord> records;
  try {
    records.reserve(tests);
    source.Rewind();
    why.outcome = ElementFileOutcome::Unreadable;
    if (!FillElementRecords(source, decoding, records)) return -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
  why.outcome = ElementFileOutcome::NoRecord;
  if (records.empty()) return 0;

  const int count = static_cast<int>(records.size());
  if (pnSelected) {
    const int selected = ElementFilePrompts().SelectObject(records, count);
    why.outcome = ElementFileOutcome::Cancelled;
    if (selected < 0 || selected >= count) return 0;
    *pnSelected = selected;
  }
  if (pnCount) *pnCount = count;
  if (pElements) *pElements = std::move(records);
  why.outcome = ElementFileOutcome::Done;
  return 1;
}

std::string ElementFileRefusal(const ElementFileWhy& why) {
  switch (why.outcome) {
  case ElementFileOutcome::NoRecord:
    return "ファイル " + why.path + " には軌道要素の行がありません。\r\n"
           "MPCORB形式、MPC 1行形式などの軌道要素ファイルを選んでください。";
  case ElementFileOutcome::Unreadable:
    return "ファイル " + why.path + " を読めませんでした。";
  default:
    return std::string();
  }
}

void ShowElementFileRefusal(const ElementFileWhy& why) {
  const std::string text = ElementFileRefusal(why);
  if (!text.empty()) Ui().ShowMessage("Tessarune", text, MsgIcon::Warning, MsgButtons::Ok);
}
