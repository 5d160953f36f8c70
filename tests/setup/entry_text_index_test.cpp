#include "setup/entry_text_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/ascii.h"

namespace nolvo::setup {
namespace {

// What the index must answer: a match that starts outside the entry at `index`.
bool Scanned(const std::vector<std::string>& entries, std::string_view upper, std::size_t index) {
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (i != index && platform::AsciiUpper(entries[i]).find(upper) != std::string::npos)
      return true;
  return false;
}

TEST(EntryTextIndex, AnswersAsAScanOfEveryOtherEntry) {
  // Short alphabets make names that recur inside other entries, across entry ends and
  // overlapping themselves; names shorter than four characters take the other path.
  std::mt19937 random(7);
  for (const std::string alphabet : {"ab", "aB.", "xyz~<>\\", "abcdefghij0123456789."}) {
    std::vector<std::string> entries;
    for (int i = 0; i < 60; ++i) {
      std::string entry;
      const int length = static_cast<int>(random() % 12);
      for (int j = 0; j < length; ++j) entry += alphabet[random() % alphabet.size()];
      entries.push_back(entry);
    }
    const EntryTextIndex index(entries);
    ASSERT_EQ(index.Size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::string own = platform::AsciiUpper(entries[i]);
      for (std::size_t from = 0; from < own.size(); ++from)
        for (std::size_t length = 1; from + length <= own.size(); ++length) {
          const std::string part = own.substr(from, length);
          ASSERT_EQ(index.OccursOutside(part, i), Scanned(entries, part, i))
              << alphabet << " entry " << i << " \"" << part << "\"";
        }
      ASSERT_EQ(index.OccursOutside("QQQQQ", i), false);
    }
  }
}

}  // namespace
}  // namespace nolvo::setup
