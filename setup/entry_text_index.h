#pragma once
// Where a text occurs among the entries of a file list, for lists of many thousand entries:
// each look-up checks only the places where the rarest four characters of the text occur,
// not the whole list.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nolvo::setup {

class EntryTextIndex {
 public:
  EntryTextIndex() = default;
  // The entries are compared in ASCII upper case.
  explicit EntryTextIndex(const std::vector<std::string>& entries);

  std::size_t Size() const { return entryStart_.empty() ? 0 : entryStart_.size() - 1; }
  // Whether `upper` (upper case, no line break, not empty) occurs anywhere in an entry
  // other than the one at `index`.
  bool OccursOutside(std::string_view upper, std::size_t index) const;

 private:
  static std::uint32_t Gram(const char* at);

  std::string text_;                     // every entry in upper case, each ended by '\n'
  std::vector<std::size_t> entryStart_;  // where each entry starts in text_, and the end
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> grams_;  // 4 bytes -> places
};

}  // namespace nolvo::setup
