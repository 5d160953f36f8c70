#include "platform/profile_text.h"

#include <unordered_map>

#include "platform/le_bytes.h"

namespace nolvo::platform {

namespace {

constexpr std::size_t npos = std::string::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Requested names are trimmed of spaces only (not tabs).
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

ProfileText::Line ProfileText::Classify(std::string text, std::string terminator) {
  Line line;
  line.text = std::move(text);
  line.terminator = std::move(terminator);
  std::string_view s = line.text;
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  if (s.empty()) {
    line.kind = Kind::kBlank;
  } else if (s.front() == '[') {
    line.kind = Kind::kSection;
    std::string_view name = s.substr(1);
    if (const auto close = name.find(']'); close != npos) name = name.substr(0, close);
    line.name = std::string(TrimBlanks(name));
  } else if (s.front() == ';') {
    line.kind = Kind::kComment;
  } else if (const auto eq = s.find('='); eq != npos) {
    line.kind = Kind::kKey;
    line.name = std::string(TrimBlanks(s.substr(0, eq)));
    std::string_view value = TrimBlanks(s.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    line.value = std::string(value);
  } else {
    line.kind = Kind::kOther;
  }
  return line;
}

const char* ProfileEncodingName(ProfileEncoding encoding) {
  switch (encoding) {
    case ProfileEncoding::peAnsi:
      return "ANSI";
    case ProfileEncoding::peUtf8Bom:
      return "UTF-8 with BOM";
    case ProfileEncoding::peUtf16LeBom:
      return "UTF-16LE with BOM";
  }
  return "ANSI";
}

ProfileText ProfileText::Parse(std::string_view bytes) { return Parse(bytes, CodePage::Current()); }

ProfileText ProfileText::Parse(std::string_view bytes, std::shared_ptr<const CodePage> codePage) {
  ProfileText profile;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    profile.encoding_ = ProfileEncoding::peUtf16LeBom;
    profile.codePage_ = std::move(codePage);
    profile.ParseUnicode(bytes.substr(2), true);
    return profile;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    profile.encoding_ = ProfileEncoding::peUtf8Bom;
    profile.codePage_ = std::move(codePage);
    profile.ParseUnicode(bytes.substr(3), false);
    return profile;
  }
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    std::size_t next = end;
    if (next < bytes.size()) {
      next += (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
    }
    profile.lines_.push_back(Classify(std::string(bytes.substr(start, end - start)),
                                      std::string(bytes.substr(end, next - end))));
    start = next;
  }
  profile.Reindex();
  return profile;
}

void ProfileText::ParseUnicode(std::string_view bytes, bool utf16) {
  // Lines end at CR, LF or CRLF, counted in code units of the encoding.
  const std::size_t unit = utf16 ? 2 : 1;
  const std::size_t count = bytes.size() / unit;
  auto at = [&](std::size_t i) -> unsigned {
    if (!utf16) return static_cast<unsigned char>(bytes[i]);
    return GetUInt16(&bytes[2 * i]);
  };
  std::size_t start = 0;
  while (start < count) {
    std::size_t end = start;
    while (end < count && at(end) != '\r' && at(end) != '\n') ++end;
    std::string terminator;
    std::size_t next = end;
    if (next < count) {
      terminator = at(next) == '\r' ? "\r" : "\n";
      if (at(next) == '\r' && next + 1 < count && at(next + 1) == '\n') terminator = "\r\n";
      next += terminator.size();
    }
    const std::string_view raw = bytes.substr(start * unit, (end - start) * unit);
    std::string utf8;
    bool exact = utf16 ? Utf16LeToUtf8(raw, utf8) : true;
    if (!utf16) utf8 = std::string(raw);
    std::string ansi;
    exact = codePage_->FromUtf8(utf8, ansi) && exact;
    if (!exact) unmapped_.push_back(lines_.size() + 1);
    Line line = Classify(std::move(ansi), std::move(terminator));
    line.raw = std::string(raw);
    line.hasRaw = true;
    lines_.push_back(std::move(line));
    start = next;
  }
  if (utf16 && bytes.size() % 2 != 0) tail_ = std::string(bytes.substr(bytes.size() - 1));
  Reindex();
}

std::string ProfileText::Encode(std::string_view ansi) const {
  if (encoding_ == ProfileEncoding::peAnsi) return std::string(ansi);
  const std::string utf8 = codePage_->ToUtf8(ansi);
  return encoding_ == ProfileEncoding::peUtf16LeBom ? Utf8ToUtf16Le(utf8) : utf8;
}

ProfileSectionLines ProfileText::SectionLines(std::string_view section) const {
  ProfileSectionLines out;
  const std::size_t header = FindSection(section);
  if (header == npos) return out;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == Kind::kKey)
      out.keys.push_back({i + 1, lines_[i].name, lines_[i].value});
    else if (lines_[i].kind == Kind::kOther)
      out.others.push_back({i + 1, {}, lines_[i].text});
  }
  const std::string_view wanted = TrimSpaces(section);
  for (std::size_t h = end; h < lines_.size(); ++h) {
    if (lines_[h].kind != Kind::kSection || !EqualsIgnoreCase(lines_[h].name, wanted)) continue;
    const std::size_t stop = SectionEnd(h);
    for (std::size_t i = h + 1; i < stop; ++i)
      if (lines_[i].kind == Kind::kKey)
        out.repeated.push_back({i + 1, lines_[i].name, lines_[i].value});
  }
  return out;
}

void ProfileText::Reindex() {
  sectionAt_.clear();
  keyAt_.clear();
  lastHeader_ = npos;
  for (std::size_t i = 0; i < lines_.size(); ++i) Index(i);
}

void ProfileText::Index(std::size_t at) {
  const Line& line = lines_[at];
  if (line.kind == Kind::kSection) {
    sectionAt_.emplace(AsciiUpper(line.name), at);
    lastHeader_ = at;
  } else if (line.kind == Kind::kKey && lastHeader_ != npos) {
    keyAt_.emplace(std::to_string(lastHeader_) + '\n' + AsciiUpper(line.name), at);
  }
}

std::size_t ProfileText::FindSection(std::string_view section) const {
  const auto it = sectionAt_.find(AsciiUpper(TrimSpaces(section)));
  return it == sectionAt_.end() ? npos : it->second;
}

std::size_t ProfileText::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::kSection) ++i;
  return i;
}

std::size_t ProfileText::FindKey(std::size_t header, std::string_view key) const {
  const auto it = keyAt_.find(std::to_string(header) + '\n' + AsciiUpper(TrimSpaces(key)));
  return it == keyAt_.end() ? npos : it->second;
}

std::optional<std::string> ProfileText::Find(std::string_view section, std::string_view key) const {
  const std::size_t header = FindSection(section);
  if (header == npos) return std::nullopt;
  const std::size_t line = FindKey(header, key);
  if (line == npos) return std::nullopt;
  return lines_[line].value;
}

bool ProfileText::HasSection(std::string_view section) const {
  return FindSection(section) != npos;
}

std::vector<std::string> ProfileText::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const std::size_t header = FindSection(section);
  if (header == npos) return names;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i)
    if (lines_[i].kind == Kind::kKey) names.push_back(lines_[i].name);
  return names;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_)
    if (line.kind == Kind::kSection) names.push_back(line.name);
  return names;
}

void ProfileText::EnsureFinalTerminator() {
  if (!lines_.empty() && lines_.back().terminator.empty()) lines_.back().terminator = "\r\n";
}

void ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  SetLine(section, key, value);
  Reindex();
}

void ProfileText::SetLine(std::string_view section, std::string_view key, std::string_view value) {
  section = TrimSpaces(section);
  key = TrimSpaces(key);
  const std::size_t header = FindSection(section);
  if (header == npos) {
    EnsureFinalTerminator();
    lines_.push_back(Classify("[" + std::string(section) + "]", "\r\n"));
    lines_.push_back(Classify(std::string(key) + "=" + std::string(value), "\r\n"));
    return;
  }
  if (const std::size_t line = FindKey(header, key); line != npos) {
    lines_[line] = Classify(lines_[line].name + "=" + std::string(value), "\r\n");
    return;
  }
  // A new key goes right after the section's last key line (or its header).
  std::size_t after = header;
  for (std::size_t i = header + 1; i < SectionEnd(header); ++i)
    if (lines_[i].kind == Kind::kKey) after = i;
  if (lines_[after].terminator.empty()) lines_[after].terminator = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                Classify(std::string(key) + "=" + std::string(value), "\r\n"));
}

void ProfileText::SetAll(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
  SetAllLines(section, entries);
  Reindex();
}

void ProfileText::SetAllLines(std::string_view section,
                              const std::vector<std::pair<std::string, std::string>>& entries) {
  if (entries.empty()) return;
  section = TrimSpaces(section);
  if (FindSection(section) == npos) {
    // A new section: its header and first key go at the end, as Set() puts them.
    Set(section, entries.front().first, entries.front().second);
    SetAllLines(section, {entries.begin() + 1, entries.end()});
    return;
  }
  const std::size_t header = FindSection(section);
  const std::size_t end = SectionEnd(header);
  std::unordered_map<std::string, std::size_t> keyLine;  // upper-case name -> first line
  std::size_t after = header;
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind != Kind::kKey) continue;
    keyLine.emplace(AsciiUpper(lines_[i].name), i);
    after = i;
  }
  // Existing keys are replaced in place; new ones, in order, follow the last key line.
  std::vector<Line> added;
  std::unordered_map<std::string, std::size_t> addedAt;  // upper-case name -> index in `added`
  for (const auto& [rawKey, value] : entries) {
    const std::string key(TrimSpaces(rawKey));
    const std::string upper = AsciiUpper(key);
    if (const auto it = keyLine.find(upper); it != keyLine.end()) {
      lines_[it->second] = Classify(lines_[it->second].name + "=" + value, "\r\n");
    } else if (const auto a = addedAt.find(upper); a != addedAt.end()) {
      added[a->second] = Classify(added[a->second].name + "=" + value, "\r\n");
    } else {
      addedAt.emplace(upper, added.size());
      added.push_back(Classify(key + "=" + value, "\r\n"));
    }
  }
  if (added.empty()) return;
  if (lines_[after].terminator.empty()) lines_[after].terminator = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

void ProfileText::DeleteKey(std::string_view section, std::string_view key) {
  const std::size_t header = FindSection(section);
  if (header == npos) return;
  if (const std::size_t line = FindKey(header, key); line != npos) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
    Reindex();
  }
}

void ProfileText::EraseSection(std::string_view section) {
  const std::size_t header = FindSection(section);
  if (header == npos) return;
  const std::size_t end = SectionEnd(header);
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const bool inside = i >= header && i < end;
    if (inside && (i == header || lines_[i].kind == Kind::kKey)) continue;
    kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
  Reindex();
}

void ProfileText::AppendLine(std::string_view line) {
  EnsureFinalTerminator();
  lines_.push_back(Classify(std::string(line), "\r\n"));
  Index(lines_.size() - 1);
}

std::string ProfileText::Serialize() const {
  std::string out;
  if (encoding_ == ProfileEncoding::peUtf16LeBom) out = "\xFF\xFE";
  if (encoding_ == ProfileEncoding::peUtf8Bom) out = "\xEF\xBB\xBF";
  for (const Line& line : lines_) {
    out += line.hasRaw ? line.raw : Encode(line.text);
    out += Encode(line.terminator);
  }
  out += tail_;
  return out;
}

}  // namespace nolvo::platform
