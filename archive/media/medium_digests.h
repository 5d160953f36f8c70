#pragma once
// The digest lists a medium or an archive file carries, read and judged once per run,
// and the check of every entry against the entry list.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/media/archive_audit.h"
#include "archive/media/digest_lists.h"
#include "archive/media/outcome_table.h"

namespace nolvo::media {

struct MediumDigests {
  std::optional<std::vector<FileDigest>> Files;     // the media list, when present and sound
  std::optional<std::vector<EntryDigest>> Entries;  // the entry list, when present and sound
  bool FilesPresent = false;                        // a media list is there (sound or not)
  bool EntriesPresent = false;                      // an entry list is there (sound or not)
};

// Reads the lists beside a medium: in `folder` the media list and the entry list
// (segmented media), or the entry list `<archiveFile>.digests` beside a single archive
// file (`archiveFile` not empty). Findings: NoDigestLists when there is none,
// DigestListDamaged for a list that is malformed, cut short, unreadable, missing beside the
// other (segmented media carry both), or (outside the
// test tool, which hashes every file anyway) an entry list whose bytes differ from the
// media list's line for it; MediaFileMissing for each file the media list names that is
// not there.
MediumDigests LoadMediumDigests(const std::filesystem::path& folder, const std::string& archiveFile,
                                FindingSink& sink);

// Every entry met against the entry list: the entries of each archive must be the listed
// ones, name and size, and each entry written must have the listed bytes.
class EntryDigestCheck {
 public:
  explicit EntryDigestCheck(const std::vector<EntryDigest>& list) : list_(list) {}

  // An archive's listing against the list: an entry the list lacks (EntryUnlisted), a name
  // or size that differs (EntryDiffers), a listed entry the archive lacks (EntryMissing).
  void BeginArchive(const ArchivePlace& place, const container::TCompressedFileList& listing,
                    FindingSink& sink);
  // The listed digest of entry `index` of the current archive; null when it has none (or
  // its name or size already differ).
  const EntryDigest* Expected(std::size_t index) const;
  // Entry `index` of the current archive was dealt with: written with the listed bytes, or
  // reported.
  void Done(std::size_t index);
  // The current archive is done: each listed entry not dealt with is EntryMissing, but
  // for empty entries after the total (the format leaves those out).
  void EndArchive(const ArchivePlace& place, const container::TCompressedFileList& listing,
                  const ArchiveAudit* audit, FindingSink& sink);
  // The read is done: the entries of archives the read never met are EntryMissing.
  void End(FindingSink& sink);

 private:
  const std::vector<EntryDigest>& list_;
  std::vector<bool> met_;                     // per archive index: the read met it
  std::vector<const EntryDigest*> expected_;  // the current archive's entries
  std::vector<bool> done_;
};

}  // namespace nolvo::media

namespace nolvo::media {

// Hashes the files the media list names in `folder` (those `wanted` accepts, when given) on
// up to `threads` threads: MediaFileDiffers for each whose bytes differ (a missing one was
// reported when the list was read). `cp` spells the names.
void CheckMediaFiles(const std::filesystem::path& folder, const std::vector<FileDigest>& files,
                     const platform::CodePage& cp, FindingSink& sink, int threads,
                     const std::function<bool(const std::string&)>& wanted = {});

// Whether `name` is one of the files a read of the segments `baseName`.NNN uses: install.cfg
// and the segment files (not the setup program, the picture or the lists).
bool ReadByExtraction(const std::string& name, const std::string& baseName);

}  // namespace nolvo::media
