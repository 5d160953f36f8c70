#include "app/typed_values.h"

#include <fmt/format.h>

namespace nolvo::app {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::int32_t> ParseHex(std::string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  // Leading zeros add nothing: only the significant digits must fit in 32 bits.
  const std::size_t first = digits.find_first_not_of('0');
  const std::string_view significant =
      first == std::string_view::npos ? std::string_view() : digits.substr(first);
  if (significant.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ParseHex(text.substr(2), false);
  bool negative = false;
  std::string_view s = text;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (!s.empty() && s[0] == '$') return ParseHex(s.substr(1), negative);
  if (s.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<std::string> TypedReader::Raw(std::string_view section, std::string_view key) {
  if (!profile_.Text().Find(section, key)) return std::nullopt;
  if (profile_.ValueWasCut(section, key))
    AddDiagnostic(
        fmt::format("[{}] \"{}\": value longer than 1023 characters was cut", section, key));
  return profile_.ReadString(section, key, "");
}

void TypedReader::Record(std::string_view section, std::string_view key, std::string value,
                         bool fromFile) {
  records_.push_back({std::string(section), std::string(key), std::move(value), fromFile});
}

std::string TypedReader::ReadString(std::string_view section, std::string_view key,
                                    std::string_view def) {
  if (auto raw = Raw(section, key)) {
    Record(section, key, *raw, true);
    return *raw;
  }
  // A missing key yields the default as the reader's buffer holds it.
  std::string value = profile_.ReadString(section, key, def);
  Record(section, key, value, false);
  return value;
}

std::int32_t TypedReader::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t def) {
  if (auto raw = Raw(section, key)) {
    if (auto value = ParseInteger(*raw)) {
      Record(section, key, std::to_string(*value), true);
      return *value;
    }
    AddDiagnostic(fmt::format("[{}] \"{}\": \"{}\" is not a number; the default {} is used",
                              section, key, *raw, def));
  }
  Record(section, key, std::to_string(def), false);
  return def;
}

bool TypedReader::ReadBool(std::string_view section, std::string_view key, bool def) {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::uint32_t TypedReader::ReadColour(std::string_view section, std::string_view key,
                                      std::uint32_t def) {
  const auto colour =
      static_cast<std::uint32_t>(ReadInteger(section, key, static_cast<std::int32_t>(def)));
  records_.back().Value = fmt::format("0x{:06X}", colour);  // colours read best in hex
  return colour;
}

}  // namespace nolvo::app
