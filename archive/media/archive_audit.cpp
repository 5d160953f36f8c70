#include "archive/media/archive_audit.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>

#include "archive/container/compress_files.h"
#include "archive/container/entry_header.h"
#include "archive/container/entry_walk.h"
#include "platform/ascii.h"

namespace nolvo::media {

using container::TCompressionMethod;
using stage::FindingKind;

stage::MediaFinding ArchivePlace::Archive(std::string text) const {
  stage::MediaFinding f;
  f.Archive = Index;
  f.Template = Template;
  f.Text = std::move(text);
  return f;
}

stage::MediaFinding ArchivePlace::Entry(const container::TListedEntry& entry, std::size_t index,
                                        std::string text) const {
  stage::MediaFinding f = Archive(std::move(text));
  f.Entry = static_cast<std::int64_t>(index);
  f.Name = entry.Name;
  if (Segments) {
    const std::int64_t from = entry.Info.EntryPosition;
    const std::int64_t to = from + static_cast<std::int64_t>(container::kEntryHeaderSize) +
                            static_cast<std::int64_t>(entry.Name.size()) +
                            std::max<std::int64_t>(entry.Info.CompressedSize, 0);
    f.Segment = Segments->Segments(from, to);
  }
  return f;
}

std::optional<std::int64_t> ArchiveTotalSize(const platform::Machine& machine,
                                             const std::string& file) {
  return ArchiveTotalSize(*container::OpenArchiveFile(machine, file));
}

std::optional<std::int64_t> ArchiveTotalSize(platform::ByteStream& archive) {
  archive.Seek(0, platform::SeekOrigin::soBeginning);
  // Any method id is taken here: the listing has already judged the header.
  const auto start =
      container::ReadArchiveHeader(archive, [](const std::string&, bool& ok) { ok = true; });
  if (start.Assumed) return std::nullopt;
  return start.Header.TotalSize;
}

ArchiveAudit AuditArchive(const container::TCompressedFileList& listing,
                          std::optional<std::int64_t> totalSize,
                          const std::vector<std::string>* listNames, const ArchivePlace& place,
                          FindingSink& sink) {
  const std::size_t n = listing.size();
  ArchiveAudit audit;
  audit.Selected.assign(n, listNames == nullptr);
  audit.AfterTotal.assign(n, false);
  audit.Decodable.assign(n, true);

  // A lone archive file too short for its header is no archive; a segmented medium's list
  // names what its archive should hold and is judged by those names below.
  if (!listNames && !totalSize)
    sink.Add(FindingKind::NoArchive, place.Archive("the file is shorter than an archive header"));

  if (listNames) {
    std::set<std::string> wanted;
    bool emptyNamed = false;  // the expansion matches an empty name to an entry of no name
    for (const auto& name : *listNames) {
      if (!name.empty()) wanted.insert(platform::AsciiUpper(name));
      emptyNamed = emptyNamed || name.empty();
    }
    std::set<std::string> present;
    for (std::size_t i = 0; i < n; ++i) {
      const std::string key = platform::AsciiUpper(listing[i].Name);
      present.insert(key);
      audit.Selected[i] = key.empty() ? emptyNamed : wanted.count(key) > 0;
    }
    if (n == 0 && !wanted.empty()) {
      sink.Add(FindingKind::NoArchive,
               place.Archive("the archive holds no entry, but its list names files"));
    } else {
      // Empty names are padding; a name that matches nothing means a lost or renamed file.
      std::set<std::string> reported;
      for (const auto& name : *listNames) {
        const std::string key = platform::AsciiUpper(name);
        if (name.empty() || present.count(key) || !reported.insert(key).second) continue;
        stage::MediaFinding f =
            place.Archive("named in the archive's list, but no entry has this name");
        f.Name = name;
        sink.Add(FindingKind::ListNameUnmatched, std::move(f));
      }
    }
  }

  // The running count of the expansion: every entry adds its original size, and once the
  // count has come to TotalSize the archive ends. Without a header nothing is expanded.
  std::int64_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const auto& info = listing[i].Info;
    audit.AfterTotal[i] = !totalSize || count >= *totalSize;
    if (audit.AfterTotal[i]) continue;
    count += info.OriginalSize;
  }

  for (std::size_t i = 0; i < n; ++i) {
    const auto& info = listing[i].Info;
    if (!audit.Selected[i]) continue;
    if (info.Method == TCompressionMethod::coCustom ||
        static_cast<unsigned>(info.Method) > static_cast<unsigned>(TCompressionMethod::coLZH5)) {
      audit.Decodable[i] = false;
      sink.Add(FindingKind::UnknownMethod,
               place.Entry(listing[i], i,
                           fmt::format("method {} cannot be expanded here",
                                       static_cast<unsigned>(info.Method))));
    }
    if (audit.AfterTotal[i] && info.OriginalSize > 0)
      sink.Add(
          FindingKind::AfterTotalSize,
          place.Entry(listing[i], i, "after the archive's total size (TotalSize); not expanded"));
  }
  return audit;
}

std::size_t IndexOf(const container::TCompressedFileList& listing, std::int64_t position) {
  const auto it = std::lower_bound(
      listing.begin(), listing.end(), position,
      [](const container::TListedEntry& e, std::int64_t p) { return e.Info.EntryPosition < p; });
  if (it == listing.end() || it->Info.EntryPosition != position) return std::string::npos;
  return static_cast<std::size_t>(it - listing.begin());
}

void FlatNames::Add(const ArchivePlace& place, const container::TListedEntry& entry,
                    std::size_t index, FindingSink& sink) {
  const auto cut = entry.Name.find_last_of("\\/:");
  const std::string base = cut == std::string::npos ? entry.Name : entry.Name.substr(cut + 1);
  if (base.empty()) return;
  const std::string name = wholePaths_ ? place.Template + '\\' + entry.Name : base;
  const auto [it, fresh] = seen_.emplace(keepCase_ ? name : platform::AsciiUpper(name),
                                         std::make_pair(place.Index, entry.Name));
  if (fresh) return;
  const std::string archive =
      it->second.first == place.Index ? "" : fmt::format(" of archive {}", it->second.first);
  stage::MediaFinding f = place.Entry(
      entry, index,
      wholePaths_
          ? fmt::format("goes to the same file as {{other}}{}; the later one is kept", archive)
          : fmt::format("goes to the same file name as {{other}}{} when files are put in one "
                        "folder; the later one is kept",
                        archive));
  f.Other = it->second.second;
  sink.Add(FindingKind::NamesCollide, std::move(f));
}

}  // namespace nolvo::media
