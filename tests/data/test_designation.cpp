#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "data/designation.h"

namespace {

struct UnpackCase {
  const char* packed;  // columns 1-12
  const char* text;
};

TEST(Designation, UnpacksThePackedColumns)
{
  static const UnpackCase kCases[] = {
      {"00433       ", "(433)"},
      {"A0001       ", "(100001)"},
      {"~0000       ", "(620000)"},
      {"~000z       ", "(620061)"},
      {"00001K05A00A", "(1) = 2005 AA"},
      {"0029P       ", "  29P"},
      {"0001P       ", "   1P"},
      {"0073P      b", "  73P-B"},
      {"0073P     ab", "  73P-AB"},
      {"0012PJ54O010", "  12P/1954 O1"},
      {"            ", ""},
      {"    CK19Q040", "    C/2019 Q4"},
      {"    PK19Q04b", "    P/2019 Q4-B"},
      {"    C_OA000H", "    C/2024 AS620"},
      {"     J95X00A", "1995 XA"},
      {"     K07Tf8A", "2007 TA418"},
      {"     K24A00b", "2024 A-B"},
      {"     _OA000H", "2024 AS620"},
      {"     _OA004S", "2024 AB631"},
      {"     PLS2040", "2040 P-L"},
      {"     T1S3138", "3138 T-1"},
      {"    SK19J050", "    S/2019 J 5"},
      {"    SK19S110", "    S/2019 S 11"},
      {"  ZTF0ABC   ", "ZTF0ABC"},
      {"     P10abcd", "P10abcd"},
  };
  for (const UnpackCase& c : kCases) {
    SCOPED_TRACE(c.packed);
    EXPECT_EQ(UnpackDesignation(c.packed), c.text);
  }
  // Fewer than 12 columns read as if padded with blanks.
  EXPECT_EQ(UnpackDesignation("00433"), "(433)");
}

TEST(Designation, UnpacksProvisionalForms)
{
  static const UnpackCase kCases[] = {
      {"J95X00A", "1995 XA"}, {"K05A12B", "2005 AB12"}, {"J95O010", "1995 O1"}, {"K07Tf8A", "2007 TA418"},
      {"K19Q04b", "2019 Q4-B"}, {"I98P00A", "1898 PA"}, {"_OA000H", "2024 AS620"}, {"_OA004S", "2024 AB631"},
  };
  for (const UnpackCase& c : kCases) {
    SCOPED_TRACE(c.packed);
    EXPECT_EQ(UnpackProvisionalDesignation(c.packed), c.text);
  }
  // A malformed extended form (blanks or symbols among its digits, as from a
  // trkSub "_1") still names a letter of the order, never a byte beyond it.
  for (const char* packed : {"_      ", "_1     ", "_OA-000", "_OA!!!!"}) {
    SCOPED_TRACE(packed);
    const std::string text = UnpackProvisionalDesignation(packed);
    const size_t blank = text.find(' ');
    ASSERT_NE(blank, std::string::npos);
    ASSERT_GT(text.size(), blank + 2);
    EXPECT_NE(std::string_view("ABCDEFGHJKLMNOPQRSTUVWXYZ").find(text[blank + 2]), std::string_view::npos) << text;
  }
  EXPECT_EQ(UnpackDesignation(PackAdesDesignation("", "", "_1")).substr(0, 4), "2001");
}

TEST(Designation, PacksMinorPlanetProvisionals)
{
  struct Case {
    const char* text;
    const char* packed;  // nullptr: refused
  };
  static const Case kCases[] = {
      {"2005 AB12", "K05A12B"},
      {"  2005 AB12 ", "K05A12B"},
      {"1995 XA", "J95X00A"},
      {"2007 TA418", "K07Tf8A"},
      {"2024 AS620", "_OA000H"},
      {"2024 AB631", "_OA004S"},
      {"1898 PA", "I98P00A"},
      {"2024 AI620", nullptr},   // no I among the second letters
      {"2005 AB620", nullptr},   // the extended form starts in 2010
      {"1799 AB", nullptr},      // century 17
      {"2005 A12", nullptr},
      {"2005 AB1x", nullptr},
      {"2005AB12", nullptr},
      {"2061 AZ99999999999", nullptr},  // past four base-62 digits
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    std::string packed = "unchanged";
    const int ok = PackMinorPlanetProvisional(c.text, packed);
    if (c.packed) {
      EXPECT_EQ(ok, 1);
      EXPECT_EQ(packed, c.packed);
      std::string text = c.text;
      text.erase(0, text.find_first_not_of(' '));
      text.erase(text.find_last_not_of(' ') + 1);
      EXPECT_EQ(UnpackProvisionalDesignation(packed), text);
    } else {
      EXPECT_EQ(ok, 0);
    }
  }
}

TEST(Designation, PacksCometProvisionals)
{
  std::string packed;
  ASSERT_EQ(PackCometProvisional("1995 O1", packed), 1);
  EXPECT_EQ(packed, "J95O010");
  ASSERT_EQ(PackCometProvisional("2019 Q4", packed), 1);
  EXPECT_EQ(packed, "K19Q040");
  ASSERT_EQ(PackCometProvisional("2020 F619", packed), 1);
  EXPECT_EQ(packed, "K20Fz90");
  EXPECT_EQ(PackCometProvisional("2020 F620", packed), 0);
  EXPECT_EQ(PackCometProvisional("2019 Q4-B", packed), 0);
  EXPECT_EQ(PackCometProvisional("1700 A1", packed), 0);
}

TEST(Designation, PacksAdesIdentifiers)
{
  struct Case {
    const char* permID;
    const char* provID;
    const char* trkSub;
    const char* desig;
  };
  static const Case kCases[] = {
      {"433", "", "", "00433       "},
      {" 433 ", "2005 AB12", "", "00433       "},
      {"100001", "", "", "A0001       "},
      {"620000", "", "", "~0000       "},
      {"620061", "", "", "~000z       "},
      {"12P", "", "", "0012P       "},
      {"1P", "", "", "0001P       "},
      {"", "2005 AB12", "", "     K05A12B"},
      {"", "C/2019 Q4", "", "    CK19Q040"},
      {"", "2024 AS620", "xyz", "     _OA000H"},
      {"", "", "P10abcd", "     P10abcd"},
      {"", "", "ABCDEFGHIJ", "  ABCDEFGHIJ"},
      {"", "", "ABCDEFGH", "    ABCDEFGH"},
      {"", "", "ABCDEFGHIJKLMN", "ABCDEFGHIJKL"},
      {"", "", "A B C", "     ABC    "},
      {"", "C/2019 Q4-B", "", "  C/2019Q4-B"},  // an unpackable identifier is placed as written
      {"", "", "", "            "},
      {"99999999", "", "", "    99999999"},      // a number past the packed forms
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.permID) + "|" + c.provID + "|" + c.trkSub);
    EXPECT_EQ(PackAdesDesignation(c.permID, c.provID, c.trkSub), c.desig);
  }
}

} // namespace
