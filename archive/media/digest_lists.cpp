#include "archive/media/digest_lists.h"

#include <fmt/format.h>

#include <charconv>
#include <set>

#include "platform/ascii.h"

namespace nolvo::media {

namespace {

constexpr std::string_view kMediaHeader = "# nolvo media digests, format 1, ";
constexpr std::string_view kMediaHeaderEnd = " files";
constexpr std::string_view kUnfinished = "# nolvo pack has not finished these media";
constexpr std::string_view kEntryHeader = "# nolvo entry digests, format 1, ";
constexpr std::string_view kEntryHeaderEnd = " entries";

// Plain decimal without sign or leading zeros, at most `max`.
bool ParseDecimal(std::string_view text, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value <= max;
}

// The lines of `text` (without their line feeds); the text must end with a line feed.
std::vector<std::string_view> Lines(std::string_view text, std::string_view what) {
  if (text.empty() || text.back() != '\n')
    throw EDigestList(fmt::format("{}: does not end with a line feed (cut short?)", what));
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto cut = text.find('\n');
    lines.push_back(text.substr(0, cut));
    text.remove_prefix(cut + 1);
  }
  return lines;
}

// The count the first line states.
std::uint64_t HeaderCount(std::string_view line, std::string_view head, std::string_view end,
                          std::string_view what) {
  std::uint64_t count = 0;
  if (line.size() <= head.size() + end.size() || line.substr(0, head.size()) != head ||
      line.substr(line.size() - end.size()) != end ||
      !ParseDecimal(line.substr(head.size(), line.size() - head.size() - end.size()), UINT32_MAX,
                    count))
    throw EDigestList(fmt::format("{}: line 1 is not \"{}<count>{}\"", what, head, end));
  return count;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

}  // namespace

bool IsDigestListName(std::string_view fileName) {
  return platform::EndsWithIgnoreCase(fileName, kEntryDigestsSuffix) ||
         (fileName.size() == kMediaDigestsName.size() &&
          platform::EndsWithIgnoreCase(fileName, kMediaDigestsName));
}

std::string SidecarName(std::string_view archiveFileName) {
  return std::string(archiveFileName) + std::string(kEntryDigestsSuffix);
}

std::string FormatMediaDigests(const std::vector<FileDigest>& files) {
  std::string text = fmt::format("{}{}{}\n", kMediaHeader, files.size(), kMediaHeaderEnd);
  for (const auto& f : files) {
    if (!IsPlainFileName(f.Name)) throw std::invalid_argument("not a plain file name: " + f.Name);
    text += ToHex(f.Digest) + "  " + f.Name + "\n";
  }
  return text;
}

std::string UnfinishedMediaDigests() { return std::string(kUnfinished) + "\n"; }

std::vector<FileDigest> ParseMediaDigests(std::string_view text) {
  constexpr std::string_view what = "media digest list";
  const auto lines = Lines(text, what);
  if (lines.front() == kUnfinished)
    throw EDigestList(fmt::format(
        "{}: the media are unfinished (a nolvo pack into this folder did not end)", what));
  const std::uint64_t count = HeaderCount(lines.front(), kMediaHeader, kMediaHeaderEnd, what);
  std::vector<FileDigest> files;
  std::set<std::string, std::less<>> seen;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    FileDigest f;
    if (line.size() < 67 || !FromHex(line.substr(0, 64), f.Digest) || line[64] != ' ' ||
        (line[65] != ' ' && line[65] != '*'))
      throw EDigestList(fmt::format("{}: line {} is not \"<sha256>  <file name>\"", what, i + 1));
    f.Name = std::string(line.substr(66));
    if (!IsPlainFileName(f.Name))
      throw EDigestList(fmt::format("{}: line {} names no plain file", what, i + 1));
    if (!seen.insert(f.Name).second)
      throw EDigestList(fmt::format("{}: line {} names {} again", what, i + 1, f.Name));
    files.push_back(std::move(f));
  }
  if (files.size() != count)
    throw EDigestList(
        fmt::format("{}: {} files listed where line 1 says {}", what, files.size(), count));
  return files;
}

std::string EscapeStoredName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\')
      out += "\\\\";
    else if (u > 0x20 && u < 0x7F)
      out += c;
    else
      out += fmt::format("\\x{:02x}", u);
  }
  return out;
}

bool UnescapeStoredName(std::string_view escaped, std::string& name) {
  name.clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    const auto u = static_cast<unsigned char>(c);
    if (c != '\\') {
      if (u <= 0x20 || u >= 0x7F) return false;
      name += c;
      continue;
    }
    if (i + 1 < escaped.size() && escaped[i + 1] == '\\') {
      name += '\\';
      ++i;
      continue;
    }
    if (i + 3 >= escaped.size() || escaped[i + 1] != 'x') return false;
    std::uint8_t byte = 0;
    for (const char h : escaped.substr(i + 2, 2)) {
      int v = -1;
      if (h >= '0' && h <= '9') v = h - '0';
      if (h >= 'a' && h <= 'f') v = h - 'a' + 10;
      if (v < 0) return false;
      byte = static_cast<std::uint8_t>(byte << 4 | v);
    }
    // Only the bytes the escaped form cannot hold as they stand are written as \xNN.
    if (byte > 0x20 && byte < 0x7F && byte != '\\') return false;
    name += static_cast<char>(byte);
    i += 3;
  }
  return true;
}

std::string FormatEntryDigests(const std::vector<EntryDigest>& entries) {
  std::string text = fmt::format("{}{}{}\n", kEntryHeader, entries.size(), kEntryHeaderEnd);
  for (const auto& e : entries)
    text += fmt::format("{} {} {} {} {}\n", e.Archive, e.Entry, e.Size, ToHex(e.Digest),
                        EscapeStoredName(e.Name));
  return text;
}

std::vector<EntryDigest> ParseEntryDigests(std::string_view text) {
  constexpr std::string_view what = "entry digest list";
  const auto lines = Lines(text, what);
  const std::uint64_t count = HeaderCount(lines.front(), kEntryHeader, kEntryHeaderEnd, what);
  std::vector<EntryDigest> entries;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view rest = lines[i];
    std::string_view fields[4];
    bool ok = true;
    for (auto& field : fields) {
      const auto cut = rest.find(' ');
      if (cut == std::string_view::npos) {
        ok = false;
        break;
      }
      field = rest.substr(0, cut);
      rest.remove_prefix(cut + 1);
    }
    EntryDigest e;
    std::uint64_t archive = 0, entry = 0, size = 0;
    ok = ok && ParseDecimal(fields[0], 65535, archive) &&
         ParseDecimal(fields[1], INT32_MAX, entry) && ParseDecimal(fields[2], INT32_MAX, size) &&
         fields[3].size() == 64 && FromHex(fields[3], e.Digest) && ToHex(e.Digest) == fields[3] &&
         UnescapeStoredName(rest, e.Name);
    if (!ok)
      throw EDigestList(fmt::format(
          "{}: line {} is not \"<archive> <entry> <size> <sha256> <name>\"", what, i + 1));
    e.Archive = static_cast<std::uint32_t>(archive);
    e.Entry = static_cast<std::uint32_t>(entry);
    e.Size = static_cast<std::int64_t>(size);
    // Archives ascending; the entries of each archive numbered 0, 1, 2, ... without a gap.
    const bool first = entries.empty() || entries.back().Archive != e.Archive;
    const bool inOrder =
        first ? (entries.empty() || entries.back().Archive < e.Archive) && e.Entry == 0
              : e.Entry == entries.back().Entry + 1;
    if (!inOrder) throw EDigestList(fmt::format("{}: line {} is out of order", what, i + 1));
    entries.push_back(std::move(e));
  }
  if (entries.size() != count)
    throw EDigestList(
        fmt::format("{}: {} entries listed where line 1 says {}", what, entries.size(), count));
  return entries;
}

}  // namespace nolvo::media
