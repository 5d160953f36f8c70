#include "setup/created_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <map>
#include <optional>
#include <set>

#include "platform/file_ops.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "setup/file_install.h"

namespace nolvo::setup {

namespace {

namespace fs = std::filesystem;

struct KindName {
  CreatedKind kind;
  const char* name;
  bool hasStamp;  // carries size and modification time
};

constexpr KindName kKinds[] = {
    {CreatedKind::ckFile, "File", true},
    {CreatedKind::ckFolder, "Folder", false},
    {CreatedKind::ckPartial, "Partial", false},
    {CreatedKind::ckHostFile, "HostFile", true},
    {CreatedKind::ckHostFolder, "HostFolder", false},
    {CreatedKind::ckFound, "Found", false},
};

const KindName& Describe(CreatedKind kind) {
  for (const auto& k : kKinds)
    if (k.kind == kind) return k;
  return kKinds[0];
}

bool IsHost(CreatedKind kind) {
  return kind == CreatedKind::ckHostFile || kind == CreatedKind::ckHostFolder;
}

bool IsFolder(CreatedKind kind) {
  return kind == CreatedKind::ckFolder || kind == CreatedKind::ckHostFolder;
}

// Takes the text up to the next "|" off the front of `rest`.
bool TakeField(std::string& rest, std::string& field) {
  const auto bar = rest.find('|');
  if (bar == std::string::npos) return false;
  field = rest.substr(0, bar);
  rest.erase(0, bar + 1);
  return true;
}

// A decimal number of digits only that fits `Int`.
template <class Int>
bool ToNumber(const std::string& text, Int& out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

std::optional<CreatedEntry> ParseLine(const platform::ProfileLine& line) {
  const KindName* kind = nullptr;
  for (const auto& k : kKinds)
    if (platform::EqualsIgnoreCase(line.name, k.name)) kind = &k;
  if (kind == nullptr) return std::nullopt;
  CreatedEntry e;
  e.kind = kind->kind;
  std::string rest = line.value;
  if (kind->hasStamp) {
    std::string size, modified;
    if (!TakeField(rest, size) || !TakeField(rest, modified) || !ToNumber(size, e.size) ||
        !ToNumber(modified, e.modified))
      return std::nullopt;
  }
  if (rest.size() < 2 || rest.back() != '|') return std::nullopt;
  rest.pop_back();
  e.path = std::move(rest);
  return e;
}

// The names in `dir`, less those in `gone` (removed, or in a dry run to be removed).
std::string NamesIn(const fs::path& dir, const std::set<std::string>& gone) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec))
    if (!gone.count(entry.path().lexically_normal().string()))
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < 5; ++i) out += (i ? ", " : "") + names[i];
  if (names.size() > 5) out += ", and " + std::to_string(names.size() - 5) + " more";
  return out;
}

std::size_t Depth(const std::string& path) {
  return static_cast<std::size_t>(std::count_if(path.begin(), path.end(), platform::IsSeparator));
}

}  // namespace

std::string FormatCreatedLine(const CreatedEntry& e) {
  const KindName& k = Describe(e.kind);
  std::string line = std::string(k.name) + "=";
  if (k.hasStamp) line += std::to_string(e.size) + "|" + std::to_string(e.modified) + "|";
  return line + e.path + "|";
}

bool HasCreatedSection(const platform::ProfileText& record) {
  return record.HasSection(kCreatedSection);
}

std::vector<CreatedEntry> ReadCreatedEntries(const platform::ProfileText& record) {
  std::vector<CreatedEntry> entries;
  std::map<std::string, std::size_t> at;  // path key -> index in `entries`
  for (const auto& line : record.SectionLines(kCreatedSection).keys) {
    auto e = ParseLine(line);
    if (!e) continue;
    const std::string key =
        (IsHost(e->kind) ? "h:" + e->path : "w:" + platform::AsciiUpper(e->path));
    const auto [it, added] = at.emplace(key, entries.size());
    if (added)
      entries.push_back(std::move(*e));
    else
      entries[it->second] = std::move(*e);
  }
  return entries;
}

bool IsHostMenuFileKind(const fs::path& path) {
  const std::string ext = platform::AsciiLower(path.extension().string());
  for (const char* kind : {".desktop", ".menu", ".directory", ".png", ".xpm", ".svg", ".ico"})
    if (ext == kind) return true;
  return false;
}

bool StatCreatedFile(const fs::path& host, std::uint64_t& size, std::int64_t& modified) {
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return true;
}

CreatedRemover::CreatedRemover(const platform::Machine& machine, RemovalOptions options)
    : machine_(machine), options_(std::move(options)) {
  for (const auto& p : options_.spare) spare_.insert(p.lexically_normal().string());
}

void CreatedRemover::NoteRemoved(const fs::path& host) {
  gone_.insert(host.lexically_normal().string());
}

void CreatedRemover::RemoveFiles(const std::vector<CreatedEntry>& entries) {
  for (const auto& e : entries)
    if (!IsFolder(e.kind) && e.kind != CreatedKind::ckFound) File(e);
}

void CreatedRemover::RemoveFolders(const std::vector<CreatedEntry>& entries,
                                   const std::function<bool(const std::string&)>& only) {
  std::vector<const CreatedEntry*> folders;
  for (const auto& e : entries)
    if (IsFolder(e.kind) && (!only || only(e.path))) folders.push_back(&e);
  // Deepest first, so that a folder made inside another goes before it.
  std::stable_sort(
      folders.begin(), folders.end(),
      [](const CreatedEntry* a, const CreatedEntry* b) { return Depth(a->path) > Depth(b->path); });
  for (const CreatedEntry* f : folders) Folder(*f);
}

void CreatedRemover::File(const CreatedEntry& e) {
  fs::path host;
  std::string shown = e.path;
  if (IsHost(e.kind)) {
    host = e.path;
    if (!host.is_absolute() || host.lexically_normal() != host || !IsHostMenuFileKind(host)) {
      report.refused.push_back({e.kind, e.path, "not a menu file an installation makes"});
      return;
    }
  } else {
    if (options_.allowed && !options_.allowed(e.path)) {
      report.refused.push_back(
          {e.kind, e.path, "outside the prefix's drives and the installation directory"});
      return;
    }
    const platform::ResolvedPath r = machine_.Resolve(e.path);
    if (!r.error.ok() || !r.exists) return;  // already gone
    host = r.host;
    shown = r.full;
    // A partial file goes whatever it holds, so only under a name the engine gives them.
    if (e.kind == CreatedKind::ckPartial &&
        !IsTemporaryName(shown.substr(shown.find_last_of('\\') + 1))) {
      report.refused.push_back({e.kind, e.path, "not the name of a temporary file"});
      return;
    }
    if (r.isDirectory) {
      report.kept.push_back({e.kind, shown, "a folder now, not the file that was installed"});
      return;
    }
  }
  if (spare_.count(host.lexically_normal().string())) return;
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return;  // already gone
  if (e.kind != CreatedKind::ckPartial) {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    if (!StatCreatedFile(host, size, modified)) {
      report.kept.push_back({e.kind, shown, "no longer the plain file that was installed"});
      return;
    }
    if (size != e.size || modified != e.modified) {
      report.kept.push_back({e.kind, shown, "changed since the installation"});
      return;
    }
  } else if (!S_ISREG(st.st_mode)) {
    return;  // only a leftover temporary file is removed here
  }
  platform::WinError error;
  if (!options_.dryRun) {
    if (IsHost(e.kind))
      error =
          ::unlink(host.c_str()) == 0 ? platform::kErrorSuccess : platform::ErrorFromErrno(errno);
    else
      error = platform::DeleteFile(machine_, shown);
  }
  if (error.ok()) {
    report.removed.push_back({e.kind, shown, {}});
    gone_.insert(host.lexically_normal().string());
  } else {
    report.kept.push_back(
        {e.kind, shown, "cannot be deleted (error " + std::to_string(error.value()) + ")", true});
  }
}

void CreatedRemover::Folder(const CreatedEntry& e) {
  fs::path host;
  std::string shown = e.path;
  if (IsHost(e.kind)) {
    host = e.path;
  } else {
    if (options_.keepFolder && options_.keepFolder(e.path)) {
      const platform::ResolvedPath r = machine_.Resolve(e.path);
      if (r.error.ok() && r.exists)
        report.kept.push_back({e.kind, r.full, "a folder of Windows itself"});
      return;
    }
    if (options_.allowed && !options_.allowed(e.path)) {
      report.refused.push_back(
          {e.kind, e.path, "outside the prefix's drives and the installation directory"});
      return;
    }
    const platform::ResolvedPath r = machine_.Resolve(e.path);
    if (!r.error.ok() || !r.exists) return;
    host = r.host;
    shown = r.full;
  }
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    report.kept.push_back({e.kind, shown, "no longer a folder"});
    return;
  }
  platform::WinError error;
  if (options_.dryRun) {
    error = WouldBeEmpty(host) ? platform::kErrorSuccess : platform::kErrorDirNotEmpty;
  } else if (IsHost(e.kind)) {
    error = ::rmdir(host.c_str()) == 0 ? platform::kErrorSuccess : platform::ErrorFromErrno(errno);
  } else {
    error = platform::RemoveDirectory(machine_, shown);
  }
  if (error.ok()) {
    report.removed.push_back({e.kind, shown, {}});
    gone_.insert(host.lexically_normal().string());
  } else if (error == platform::kErrorDirNotEmpty) {
    report.kept.push_back({e.kind, shown, "not empty: " + NamesIn(host, gone_)});
  } else {
    report.kept.push_back(
        {e.kind, shown, "cannot be removed (error " + std::to_string(error.value()) + ")", true});
  }
}

bool CreatedRemover::WouldBeEmpty(const fs::path& dir) const {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec))
    if (!gone_.count(entry.path().lexically_normal().string())) return false;
  return true;
}

RemovalReport RemoveCreated(const platform::Machine& machine,
                            const std::vector<CreatedEntry>& entries,
                            const RemovalOptions& options) {
  CreatedRemover remover(machine, options);
  remover.RemoveFiles(entries);
  remover.RemoveFolders(entries);
  return std::move(remover.report);
}

}  // namespace nolvo::setup
