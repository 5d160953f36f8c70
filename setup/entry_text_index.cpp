#include "setup/entry_text_index.h"

#include "platform/ascii.h"

namespace nolvo::setup {

namespace {

constexpr std::size_t kGram = 4;

}  // namespace

EntryTextIndex::EntryTextIndex(const std::vector<std::string>& entries) {
  for (const auto& entry : entries) {
    entryStart_.push_back(text_.size());
    text_ += platform::AsciiUpper(entry);
    text_ += '\n';
  }
  entryStart_.push_back(text_.size());
  for (std::size_t at = 0; at + kGram <= text_.size(); ++at)
    grams_[Gram(&text_[at])].push_back(static_cast<std::uint32_t>(at));
}

std::uint32_t EntryTextIndex::Gram(const char* at) {
  std::uint32_t gram = 0;
  for (std::size_t i = 0; i < kGram; ++i) gram = gram << 8 | static_cast<std::uint8_t>(at[i]);
  return gram;
}

bool EntryTextIndex::OccursOutside(std::string_view upper, std::size_t index) const {
  const std::size_t ownFrom = entryStart_[index], ownTo = entryStart_[index + 1];
  const auto outside = [&](std::size_t at) {
    return (at < ownFrom || at >= ownTo) && text_.compare(at, upper.size(), upper) == 0;
  };
  if (upper.size() < kGram) {
    for (std::size_t at = text_.find(upper); at != std::string::npos;
         at = text_.find(upper, at + 1))
      if (outside(at)) return true;
    return false;
  }
  // The places of the text's rarest gram are the only places it can start from.
  const std::vector<std::uint32_t>* fewest = nullptr;
  std::size_t offset = 0;
  for (std::size_t i = 0; i + kGram <= upper.size(); ++i) {
    const auto it = grams_.find(Gram(&upper[i]));
    if (it == grams_.end()) return false;
    if (!fewest || it->second.size() < fewest->size()) {
      fewest = &it->second;
      offset = i;
    }
  }
  for (const std::uint32_t place : *fewest)
    if (place >= offset && place - offset + upper.size() <= text_.size() && outside(place - offset))
      return true;
  return false;
}

}  // namespace nolvo::setup
