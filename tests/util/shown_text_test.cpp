#include "util/shown_text.h"

#include <gtest/gtest.h>

namespace nolvo::util {
namespace {

TEST(ShownText, ControlCharactersAreEscaped) {
  const platform::CodePage cp;
  const struct {
    std::string ansi, shown;
  } cases[] = {
      {"plain.txt", "plain.txt"},
      {"a\x1b[31mred\n", "a\\x1b[31mred\\x0a"},
      {"del\x7f", "del\\x7f"},
      {"Caf\xE9", "Caf\xC3\xA9"},
      {"euro\x80", "euro\xE2\x82\xAC"},
      {"undefined\x81", "undefined\\x81"},  // a byte 1252 leaves undefined is U+0081, a C1 control
  };
  for (const auto& c : cases) EXPECT_EQ(ShownName(c.ansi, cp), c.shown) << c.ansi;
  EXPECT_EQ(EscapeControls("bad\xFFutf8"), "bad\\xffutf8");
}

}  // namespace
}  // namespace nolvo::util
