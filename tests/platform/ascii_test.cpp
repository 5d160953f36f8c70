#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nolvo::platform {
namespace {

TEST(Ascii, OnlyAsciiLettersChangeCase) {
  struct Case {
    std::string text, upper, lower;
  };
  const std::vector<Case> cases = {
      {"Setup.EXE", "SETUP.EXE", "setup.exe"},
      {"a-z[@`{", "A-Z[@`{", "a-z[@`{"},  // the bytes beside the letter ranges stay
      {"Caf\xE9 \xC9t\xE9", "CAF\xE9 \xC9T\xE9", "caf\xE9 \xC9t\xE9"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AsciiUpper(c.text), c.upper) << c.text;
    EXPECT_EQ(AsciiLower(c.text), c.lower) << c.text;
  }
}

TEST(Ascii, ComparesNamesIgnoringAsciiCase) {
  struct Case {
    std::string a, b;
    int order;      // of a against b
    bool endsWith;  // whether a ends with b
  };
  const std::vector<Case> cases = {
      {"ReadMe.TXT", "readme.txt", 0, true},
      {"disk.001", ".001", 1, true},
      {"DATA.LST", ".lst", 1, true},
      {"apple", "Banana", -1, false},
      {"ab", "ABC", -1, false},
      {"Caf\xE9", "CAF\xC9", 1, false},  // not ASCII: no case
      {"_", "a", 1, false},              // letters compare upper-cased: '_' sorts after them
  };
  for (const auto& c : cases) {
    const int order = CompareIgnoreCase(c.a, c.b);
    EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " / " << c.b;
    EXPECT_EQ(-CompareIgnoreCase(c.b, c.a), order) << c.b << " / " << c.a;
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.order == 0) << c.a << " / " << c.b;
    EXPECT_EQ(EndsWithIgnoreCase(c.a, c.b), c.endsWith) << c.a << " / " << c.b;
  }
}

}  // namespace
}  // namespace nolvo::platform
