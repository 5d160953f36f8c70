#pragma once
// The four typed readers of install.cfg (string, integer, boolean, colour) over a profile
// reader, remembering for each key whether its value came from the file or the default.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_file.h"

namespace nolvo::app {

// Converts `text` as the system's integer reader does: decimal with an optional sign, or
// hexadecimal after "$" or after "0x"/"0X" (only when the text is longer than two
// characters). Hexadecimal takes up to 32 bits (leading zeros do not count, so
// 0x00000000FF reads as 255) and wraps into a signed value, so 0x80000005 reads as a
// system colour. nullopt when the text does not convert.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// One key read, as `nolvo check` reports it.
struct ReadRecord {
  std::string Section;
  std::string Key;
  std::string Value;      // the value the setting received, as text
  bool FromFile = false;  // false: the default
};

// A problem of the configuration that did not stop the load.
struct LoadDiagnostic {
  std::string Text;
  // A line of a list section that no entry was taken from (no key line, a repeated
  // section): an installation that meets it has not installed everything asked for.
  bool LineUnused = false;
};

class TypedReader {
 public:
  explicit TypedReader(const platform::ProfileReader& profile) : profile_(profile) {}

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def);
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def);
  bool ReadBool(std::string_view section, std::string_view key, bool def);
  std::uint32_t ReadColour(std::string_view section, std::string_view key, std::uint32_t def);

  const std::vector<ReadRecord>& Records() const { return records_; }
  const std::vector<LoadDiagnostic>& Diagnostics() const { return diagnostics_; }
  void AddDiagnostic(std::string text, bool lineUnused = false) {
    diagnostics_.push_back({std::move(text), lineUnused});
  }

 private:
  // The value text of a present key (cut to 1023 characters), or nullopt.
  std::optional<std::string> Raw(std::string_view section, std::string_view key);
  void Record(std::string_view section, std::string_view key, std::string value, bool fromFile);

  const platform::ProfileReader& profile_;
  std::vector<ReadRecord> records_;
  std::vector<LoadDiagnostic> diagnostics_;
};

}  // namespace nolvo::app
