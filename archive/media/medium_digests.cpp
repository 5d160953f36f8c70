#include "archive/media/medium_digests.h"

#include <fmt/format.h>

#include <algorithm>

#include "archive/media/digest_files.h"
#include "platform/ascii.h"

namespace nolvo::media {

namespace fs = std::filesystem;
using stage::FindingKind;

namespace {

stage::MediaFinding About(const std::string& name, std::string text) {
  stage::MediaFinding f;
  f.Name = name;
  f.Text = std::move(text);
  return f;
}

// The text of the list `name` in `folder`, nullopt when it is not there or was found
// damaged (reported).
std::optional<std::string> ReadList(const fs::path& folder, const std::string& name,
                                    FindingSink& sink) {
  try {
    return ReadDigestListFile(folder / name);
  } catch (const EDigestList& e) {
    sink.Add(FindingKind::DigestListDamaged, About(name, e.what()));
    return std::nullopt;
  }
}

bool IsRegularFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

}  // namespace

MediumDigests LoadMediumDigests(const fs::path& folder, const std::string& archiveFile,
                                FindingSink& sink) {
  MediumDigests d;
  std::error_code ec;
  const std::string entryName =
      archiveFile.empty() ? std::string(kEntryDigestsName) : SidecarName(archiveFile);
  std::optional<std::string> filesText;
  if (archiveFile.empty()) {
    d.FilesPresent = fs::exists(fs::symlink_status(folder / kMediaDigestsName, ec));
    filesText = ReadList(folder, std::string(kMediaDigestsName), sink);
  }
  if (filesText) {
    try {
      d.Files = ParseMediaDigests(*filesText);
    } catch (const EDigestList& e) {
      sink.Add(FindingKind::DigestListDamaged, About(std::string(kMediaDigestsName), e.what()));
    }
  }
  if (d.Files)
    for (const auto& f : *d.Files)
      if (!IsRegularFile(folder / f.Name))
        sink.Add(FindingKind::MediaFileMissing,
                 About(f.Name, fmt::format("named in {}, but not there", kMediaDigestsName)));

  d.EntriesPresent = fs::exists(fs::symlink_status(folder / entryName, ec));
  const std::optional<std::string> entriesText = ReadList(folder, entryName, sink);
  if (entriesText) {
    try {
      d.Entries = ParseEntryDigests(*entriesText);
    } catch (const EDigestList& e) {
      sink.Add(FindingKind::DigestListDamaged, About(entryName, e.what()));
    }
    // The entry list is one of the files the media list covers: outside the test, which
    // hashes every file anyway, its line is checked here.
    if (d.Entries && d.Files && sink.Of() != Tool::Test) {
      const auto line = std::find_if(d.Files->begin(), d.Files->end(),
                                     [&](const FileDigest& f) { return f.Name == entryName; });
      if (line != d.Files->end() && line->Digest != Sha256Of(*entriesText)) {
        d.Entries.reset();
        sink.Add(FindingKind::DigestListDamaged,
                 About(entryName, fmt::format("its bytes differ from {}", kMediaDigestsName)));
      }
    }
  }
  // A medium carries both lists; an entry list alone means the media list, which alone
  // covers the archive headers and the setup files, was lost.
  if (archiveFile.empty() && d.EntriesPresent && !d.FilesPresent)
    sink.Add(FindingKind::DigestListDamaged,
             About(std::string(kMediaDigestsName),
                   fmt::format("missing beside {} (a medium carries both)", kEntryDigestsName)));
  if (!d.FilesPresent && !d.EntriesPresent)
    sink.Add(FindingKind::NoDigestLists,
             About("", "no digest lists: only the format's byte sums could be checked"));
  return d;
}

bool ReadByExtraction(const std::string& name, const std::string& baseName) {
  if (platform::EqualsIgnoreCase(name, "install.cfg")) return true;
  return name.size() > baseName.size() + 1 && name[baseName.size()] == '.' &&
         platform::EqualsIgnoreCase(name.substr(0, baseName.size()), baseName) &&
         !IsDigestListName(name);
}

void CheckMediaFiles(const fs::path& folder, const std::vector<FileDigest>& files,
                     const platform::CodePage& cp, FindingSink& sink, int threads,
                     const std::function<bool(const std::string&)>& wanted) {
  std::vector<const FileDigest*> listed;
  std::vector<fs::path> paths;
  for (const auto& f : files)
    if ((!wanted || wanted(f.Name)) && IsRegularFile(folder / f.Name)) {
      listed.push_back(&f);
      paths.push_back(folder / f.Name);
    }
  const std::vector<HashedHostFile> hashed = HashHostFiles(paths, threads);
  // Reported in list order; a file that cannot be read is reported, anything else thrown.
  for (std::size_t i = 0; i < listed.size(); ++i) {
    std::string text;
    if (hashed[i].Error) {
      try {
        std::rethrow_exception(hashed[i].Error);
      } catch (const std::runtime_error& e) {
        text = e.what();
      }
    } else if (hashed[i].Digest.Digest != listed[i]->Digest) {
      text = fmt::format("its bytes differ from {}", kMediaDigestsName);
    } else {
      continue;
    }
    std::string shown;
    cp.FromUtf8(listed[i]->Name, shown);
    sink.Add(FindingKind::MediaFileDiffers, About(shown, std::move(text)));
  }
}

void EntryDigestCheck::BeginArchive(const ArchivePlace& place,
                                    const container::TCompressedFileList& listing,
                                    FindingSink& sink) {
  const auto index = static_cast<std::uint32_t>(place.Index < 0 ? 0 : place.Index);
  if (met_.size() <= index) met_.resize(index + 1, false);
  met_[index] = true;
  expected_.assign(listing.size(), nullptr);
  done_.assign(listing.size(), false);
  const auto first =
      std::lower_bound(list_.begin(), list_.end(), index,
                       [](const EntryDigest& e, std::uint32_t a) { return e.Archive < a; });
  auto line = first;
  for (std::size_t i = 0; i < listing.size(); ++i, ++line) {
    const auto& entry = listing[i];
    if (line == list_.end() || line->Archive != index) {
      for (; i < listing.size(); ++i)
        sink.Add(FindingKind::EntryUnlisted,
                 place.Entry(listing[i], i, "not in the entry digest list; not trusted"));
      return;
    }
    if (line->Name != entry.Name || line->Size != entry.Info.OriginalSize) {
      stage::MediaFinding f =
          place.Entry(entry, i,
                      line->Name != entry.Name ? "the entry digest list names {other} here"
                                               : "its size differs from the entry digest list");
      f.Other = line->Name;
      sink.Add(FindingKind::EntryDiffers, std::move(f));
      continue;
    }
    expected_[i] = &*line;
  }
  for (; line != list_.end() && line->Archive == index; ++line) {
    stage::MediaFinding f =
        place.Archive("listed in the entry digest list, but not in the archive");
    f.Entry = line->Entry;
    f.Name = line->Name;
    sink.Add(FindingKind::EntryMissing, std::move(f));
  }
}

const EntryDigest* EntryDigestCheck::Expected(std::size_t index) const {
  return index < expected_.size() ? expected_[index] : nullptr;
}

void EntryDigestCheck::Done(std::size_t index) {
  if (index < done_.size()) done_[index] = true;
}

void EntryDigestCheck::EndArchive(const ArchivePlace& place,
                                  const container::TCompressedFileList& listing,
                                  const ArchiveAudit* audit, FindingSink& sink) {
  for (std::size_t i = 0; i < listing.size(); ++i) {
    if (!expected_[i] || done_[i]) continue;
    if (audit && audit->AfterTotal[i] && listing[i].Info.OriginalSize <= 0) continue;
    sink.Add(FindingKind::EntryMissing,
             place.Entry(listing[i], i, "listed in the entry digest list, but not written"));
  }
}

void EntryDigestCheck::End(FindingSink& sink) {
  for (const auto& line : list_) {
    if (line.Archive < met_.size() && met_[line.Archive]) continue;
    stage::MediaFinding f;
    f.Archive = static_cast<int>(line.Archive);
    f.Entry = line.Entry;
    f.Name = line.Name;
    f.Text = "listed in the entry digest list, but the medium has no such archive";
    sink.Add(FindingKind::EntryMissing, std::move(f));
  }
}

}  // namespace nolvo::media
