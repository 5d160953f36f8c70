#pragma once
// The text of one INI profile file as the platform's profile functions see it: lines
// classified once, looked up case-insensitively, and edited so that every untouched line
// keeps its bytes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nolvo::platform {

class ProfileText {
 public:
  // Splits `bytes` into lines (CRLF, LF and CR all end a line) and classifies them.
  static ProfileText Parse(std::string_view bytes);

  // The value of `key` in the first section named `section` (both compared without case;
  // the requested names are trimmed of spaces first): blanks trimmed, one matching outer
  // pair of quotes removed. nullopt when the section or the key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // Key names of the first section named `section`, in file order and spelled as in the
  // file; comment lines and lines without "=" are not keys. Empty when the section is
  // missing (see HasSection).
  std::vector<std::string> KeyNames(std::string_view section) const;
  bool HasSection(std::string_view section) const;
  // Every section header's name in file order (duplicates included).
  std::vector<std::string> SectionNames() const;

  // Writes `key`=`value` into the first matching section: an existing key line is replaced
  // in place keeping its spelling, a new key goes after the section's last key line, a new
  // section goes at the end of the text. New lines end in CRLF.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Deletes the first matching key line; the section header stays.
  void DeleteKey(std::string_view section, std::string_view key);
  // Removes the first matching section's header and key lines (other lines inside stay).
  void EraseSection(std::string_view section);

  std::string Serialize() const;
  bool Empty() const { return lines_.empty(); }

 private:
  enum class Kind { kBlank, kComment, kSection, kKey, kOther };
  struct Line {
    std::string text;        // the line without its terminator
    std::string terminator;  // "\r\n", "\n", "\r" or "" for a last line without one
    Kind kind = Kind::kOther;
    std::string name;   // section name or key name, trimmed
    std::string value;  // key value after trimming and quote removal
  };

  static Line Classify(std::string text, std::string terminator);
  // Index of the first header matching `section`, or npos.
  std::size_t FindSection(std::string_view section) const;
  // End of the section that starts at header index `header` (index of the next header
  // or the number of lines).
  std::size_t SectionEnd(std::size_t header) const;
  std::size_t FindKey(std::size_t header, std::string_view key) const;
  void EnsureFinalTerminator();

  std::vector<Line> lines_;
};

// ASCII case-insensitive equality, as the profile functions compare names.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace nolvo::platform
