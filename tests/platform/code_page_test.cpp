#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win_error.h"

namespace nolvo::platform {
namespace {

TEST(CodePageTest, Windows1252IsTheDefault) {
  const CodePage cp;
  EXPECT_EQ(cp.Name(), "1252");
  EXPECT_EQ(cp.ToUtf8("Caf\xE9"), "Caf\xC3\xA9");
  EXPECT_EQ(cp.ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(cp.FromUtf8("Caf\xC3\xA9"), "Caf\xE9");
}

TEST(CodePageTest, EveryByteRoundTripsInEachSupportedCodePage) {
  for (const char* name : {"1252", "1250", "1251", "437", "850"}) {
    const CodePage cp(name);
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    std::string back;
    EXPECT_TRUE(cp.FromUtf8(cp.ToUtf8(all), back)) << name;
    EXPECT_EQ(back, all) << name;
  }
}

TEST(CodePageTest, TheSameByteMeansDifferentLettersPerCodePage) {
  EXPECT_EQ(CodePage("1251").ToUtf8("\xC0"), "\xD0\x90");    // Cyrillic A
  EXPECT_EQ(CodePage("1250").ToUtf8("\x8A"), "\xC5\xA0");    // S caron
  EXPECT_EQ(CodePage("437").ToUtf8("\x82"), "\xC3\xA9");     // e acute
  EXPECT_EQ(CodePage("850").ToUtf8("\x90"), "\xC3\x89");     // E acute
  EXPECT_EQ(CodePage("cp1252").ToUtf8("\xE9"), "\xC3\xA9");  // a converter name works too
}

TEST(CodePageTest, UnmappableAndMalformedTextBecomesQuestionMarks) {
  const CodePage cp;
  std::string out;
  EXPECT_FALSE(cp.FromUtf8("\xE6\x97\xA5x", out));  // a CJK letter
  EXPECT_EQ(out, "?x");
  EXPECT_FALSE(
      cp.FromUtf8("a\xFF"
                  "b\xC3",
                  out));  // stray and truncated bytes
  EXPECT_EQ(out, "a?b?");
  EXPECT_FALSE(cp.FromUtf8("\xC0\xAF", out));  // overlong encoding of '/'
  EXPECT_EQ(out,
            "?"
            "?");
}

TEST(CodePageTest, UnknownCodePageIsRefused) {
  EXPECT_THROW(CodePage("99999"), ECodePageError);
  ::setenv("NOLVO_CODEPAGE", "1251", 1);
  EXPECT_EQ(CodePage::FromEnvironment().Name(), "1251");
  ::setenv("NOLVO_CODEPAGE", "", 1);
  EXPECT_EQ(CodePage::FromEnvironment().Name(), "1252");
  ::unsetenv("NOLVO_CODEPAGE");
}

}  // namespace
}  // namespace nolvo::platform
