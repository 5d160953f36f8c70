#pragma once
// The text of one INI profile file as the platform's profile functions see it: lines
// classified once, looked up case-insensitively, and edited so that every untouched line
// keeps its bytes.
//
// A file is ANSI text in the system's code page, unless it starts with a byte-order mark:
// UTF-16LE (FF FE, what Windows itself reads as Unicode) or UTF-8 (EF BB BF, what many
// editors save). Such text is converted to the code page for every lookup and edit, and
// written back in the encoding it was read in; lines that were not edited keep their
// original bytes, so characters the code page lacks survive in them.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ascii.h"
#include "platform/code_page.h"

namespace nolvo::platform {

enum class ProfileEncoding { peAnsi, peUtf8Bom, peUtf16LeBom };
// "ANSI", "UTF-8 with BOM", "UTF-16LE with BOM".
const char* ProfileEncodingName(ProfileEncoding encoding);

// One key line of a section.
struct ProfileLine {
  std::size_t number = 0;  // line number in the file, from 1
  std::string name;        // key name, trimmed
  std::string value;       // value, trimmed, one outer pair of quotes removed
};

// Every line of one section, as a reader that takes each line as an entry sees it.
struct ProfileSectionLines {
  std::vector<ProfileLine> keys;      // key lines of the first section of that name
  std::vector<ProfileLine> others;    // its lines that are no key, comment or blank
                                      // (the whole line in `value`)
  std::vector<ProfileLine> repeated;  // key lines of later sections of the same name
};

class ProfileText {
 public:
  // Splits `bytes` into lines (CRLF, LF and CR all end a line) and classifies them. A
  // byte-order mark selects UTF-16LE or UTF-8 text, converted with `codePage` (by
  // default the one NOLVO_CODEPAGE names).
  static ProfileText Parse(std::string_view bytes);
  static ProfileText Parse(std::string_view bytes, std::shared_ptr<const CodePage> codePage);

  ProfileEncoding Encoding() const { return encoding_; }
  // Line numbers (from 1) of Unicode lines holding characters the code page lacks (they
  // read as "?").
  const std::vector<std::size_t>& UnmappedLines() const { return unmapped_; }
  // The code page Unicode text was converted to (empty for an ANSI file).
  std::string CodePageName() const { return codePage_ ? codePage_->Name() : std::string(); }

  // Every key line of `section` in file order, duplicates included; see
  // ProfileSectionLines.
  ProfileSectionLines SectionLines(std::string_view section) const;

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
  // Set() of every key of `entries` in `section`, in order, with the same result as one
  // Set() per key, but the section is looked up once (for records of thousands of keys).
  void SetAll(std::string_view section,
              const std::vector<std::pair<std::string, std::string>>& entries);
  // Deletes the first matching key line; the section header stays.
  void DeleteKey(std::string_view section, std::string_view key);
  // Removes the first matching section's header and key lines (other lines inside stay).
  void EraseSection(std::string_view section);
  // Adds `line` (ANSI, no line end) as the file's last line, ending in CRLF.
  void AppendLine(std::string_view line);

  // The bytes of ANSI text in this file's encoding (for writers that append to the file).
  std::string EncodeText(std::string_view ansi) const { return Encode(ansi); }

  // The file's bytes, in the encoding it was read in.
  std::string Serialize() const;
  bool Empty() const { return lines_.empty(); }

 private:
  enum class Kind { kBlank, kComment, kSection, kKey, kOther };
  struct Line {
    std::string text;        // the line without its terminator, ANSI
    std::string terminator;  // "\r\n", "\n", "\r" or "" for a last line without one
    Kind kind = Kind::kOther;
    std::string name;   // section name or key name, trimmed
    std::string value;  // key value after trimming and quote removal
    std::string raw;    // a Unicode file's original bytes of `text` (empty once edited)
    bool hasRaw = false;
  };

  static Line Classify(std::string text, std::string terminator);
  // Index of the first header matching `section`, or npos.
  std::size_t FindSection(std::string_view section) const;
  // End of the section that starts at header index `header` (index of the next header
  // or the number of lines).
  std::size_t SectionEnd(std::size_t header) const;
  std::size_t FindKey(std::size_t header, std::string_view key) const;
  // Rebuilds the look-up tables after lines were inserted, removed or renamed; Index()
  // adds the line at `at` (the last one) to them.
  void Reindex();
  void Index(std::size_t at);
  void SetLine(std::string_view section, std::string_view key, std::string_view value);
  void SetAllLines(std::string_view section,
                   const std::vector<std::pair<std::string, std::string>>& entries);
  void EnsureFinalTerminator();
  void ParseUnicode(std::string_view bytes, bool utf16);
  // The bytes of ANSI text in this file's encoding.
  std::string Encode(std::string_view ansi) const;

  std::vector<Line> lines_;
  // Look-ups by upper-case name, so that reading a file of many thousand keys key by key
  // stays linear: the first header of each section name, and the first key line of each
  // key below a header (keyed by the header's index, '\n' and the name).
  std::unordered_map<std::string, std::size_t> sectionAt_;
  std::unordered_map<std::string, std::size_t> keyAt_;
  std::size_t lastHeader_ = std::string::npos;  // the last header line, for Index()
  ProfileEncoding encoding_ = ProfileEncoding::peAnsi;
  std::shared_ptr<const CodePage> codePage_;
  std::vector<std::size_t> unmapped_;
  std::string tail_;  // a last odd byte of a UTF-16 file, kept as it was
};

}  // namespace nolvo::platform
