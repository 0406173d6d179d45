#include <gtest/gtest.h>

#include "data/json_reader.h"

namespace {

TEST(JsonReader, ValuesByKey)
{
  struct Case {
    const char* name;
    const char* json;
    const char* key;
    const char* text;  // JsonGetString
    double number;     // JsonGetNumber
  };
  const Case cases[] = {
      {"number", "{\"V\": 20.3, \"H\": 29.6}", "V", "20.3", 20.3},
      {"last member before brace", "{\"V\": 20.3, \"H\": 29.6}", "H", "29.6", 29.6},
      {"negative with exponent", "{\"Decl.\":-1.5e1\r\n}", "Decl.", "-1.5e1", -15.0},
      {"leading point", "{\"Arc\": .25}", "Arc", ".25", 0.25},
      {"quoted number", "{\"Score\": \"87\"}", "Score", "87", 87.0},
      {"string", "{\"Temp_Desig\" :\n\t \"ZTF109e\",}", "Temp_Desig", "ZTF109e", kJsonMissingNumber},
      {"null", "{\"H\": null}", "H", "null", kJsonMissingNumber},
      {"empty string", "{\"H\": \"\"}", "H", "", kJsonMissingNumber},
      {"word", "{\"H\": unknown}", "H", "unknown", kJsonMissingNumber},
      {"missing key", "{\"V\": 1}", "H", "", kJsonMissingNumber},
      {"key without colon", "{\"H\"}", "H", "", kJsonMissingNumber},
      {"text ends after colon", "{\"H\": \r\n", "H", "", kJsonMissingNumber},
      {"unterminated string", "{\"Updated\": \"Added Dec", "Updated", "Added Dec", kJsonMissingNumber},
      {"backslash kept", "{\"N\": \"a\\\\b\"}", "N", "a\\\\b", kJsonMissingNumber},
      {"first occurrence counts", "{\"V\": 1}, {\"V\": 2}", "V", "1", 1.0},
      {"trailing blanks trimmed", "{\"NObs\": 4   ,", "NObs", "4", 4.0},
      {"name in a longer key and a value", "{\"HV\": 1, \"x\": \"H\", \"H\": 2}", "H", "2", 2.0},
      {"name unquoted at the start", "H\": 1, \"H\": 2}", "H", "2", 2.0},
      {"name cut at the end", "{\"V\": 1, \"H", "H", "", kJsonMissingNumber},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(JsonGetString(c.json, c.key), c.text);
    EXPECT_EQ(JsonGetNumber(c.json, c.key), c.number);
  }
}

} // namespace
