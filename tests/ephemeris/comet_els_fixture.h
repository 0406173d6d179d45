#pragma once
// The MPC comet list of 2022 (catalogues/kstars_CometEls.json.gz, one flat
// JSON object per comet) written as one-line comet lines: number and orbit
// type in columns 1-5, packed provisional designation 6-12, T 15-29, q 31-39,
// e 42-49, the angles 52-59, 62-69, 72-79, epoch 82-89, H and G 92-100, the
// name from column 103. Shared by the tests and the benchmark.
#include <string>

#include "data/gzip_line_reader.h"
#include "data/json_reader.h"
#include "platform/numbers.h"

namespace comet_els_fixture {

inline void Put(std::string& line, int lastCol, const std::string& text) {
  const size_t end = static_cast<size_t>(lastCol);
  if (line.size() < end) line.resize(end, ' ');
  line.replace(end - text.size(), text.size(), text);
}

// The value of "key": in one object. (The program's own lookup takes the
// first quoted "e" anywhere, which a designation value "e" can be.)
inline std::string Value(const std::string& object, const std::string& key) {
  const size_t at = object.find("\"" + key + "\":");
  return at == std::string::npos ? std::string() : JsonGetString(std::string_view(object).substr(at), key);
}
inline double Number(const std::string& object, const std::string& key) {
  const size_t at = object.find("\"" + key + "\":");
  return at == std::string::npos ? kJsonMissingNumber : JsonGetNumber(std::string_view(object).substr(at), key);
}

inline std::string CometLine(const std::string& object) {
  std::string line(102, ' ');
  const double number = Number(object, "Comet_num");
  if (number != kJsonMissingNumber) Put(line, 4, FormatC("%04d", static_cast<int>(number)));
  Put(line, 5, Value(object, "Orbit_type"));
  Put(line, 12, Value(object, "Provisional_packed_desig"));
  Put(line, 18, FormatC("%4d", static_cast<int>(Number(object, "Year_of_perihelion"))));
  Put(line, 21, FormatC("%02d", static_cast<int>(Number(object, "Month_of_perihelion"))));
  Put(line, 29, FormatC("%7.4f", Number(object, "Day_of_perihelion")));
  Put(line, 39, FormatC("%9.6f", Number(object, "Perihelion_dist")));
  Put(line, 49, FormatC("%8.6f", Number(object, "e")));
  Put(line, 59, FormatC("%8.4f", Number(object, "Peri")));
  Put(line, 69, FormatC("%8.4f", Number(object, "Node")));
  Put(line, 79, FormatC("%8.4f", Number(object, "i")));
  // Some comets of the list carry no epoch: the columns stay blank.
  const double epochYear = Number(object, "Epoch_year");
  if (epochYear != kJsonMissingNumber)
    Put(line, 89, FormatC("%04d%02d%02d", static_cast<int>(epochYear),
                          static_cast<int>(Number(object, "Epoch_month")),
                          static_cast<int>(Number(object, "Epoch_day"))));
  Put(line, 95, FormatC("%4.1f", Number(object, "H")));
  Put(line, 100, FormatC("%4.1f", Number(object, "G")));
  line += Value(object, "Designation_and_name");
  return line;
}

struct Collect {
  std::string object;
  std::string text;
  int count = 0;
};

inline int OnLine(void* context, const char* bytes, int length) {
  auto* c = static_cast<Collect*>(context);
  const std::string line(bytes, static_cast<size_t>(length));
  if (line.find('{') != std::string::npos) c->object.clear();
  c->object += line + "\n";
  if (line.find('}') != std::string::npos && !c->object.empty()) {
    c->text += CometLine(c->object) + "\n";
    ++c->count;
    c->object.clear();
  }
  return 1;
}

// The lines of the whole list ("" when the file cannot be read); count is set to the comets written.
inline std::string CometElsLines(const std::string& gzPath, int& count) {
  Collect c;
  GzipLineReader reader;
  count = 0;
  if (!reader.Open(gzPath)) return std::string();
  reader.m_pfnLine = &OnLine;
  reader.m_pContext = &c;
  if (!reader.ReadLines()) return std::string();
  count = c.count;
  return c.text;
}

} // namespace comet_els_fixture
