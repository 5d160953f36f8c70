#pragma once
// What a read of a medium found besides what the system's own messages say: damaged or
// missing digest lists, bytes that differ from them, and the situations the outcome table
// of the README settles (names that match no entry, entries nothing decodes, entries past
// the archive's total, names that flatten to one). Plain data: the extraction stage and the
// tools fill it, the front ends show it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/code_page.h"

namespace nolvo::stage {

// How much a finding weighs.
enum class Severity : std::uint8_t {
  Note,     // said once: something could not be checked
  Warning,  // noted; the outcome stays as it is
  Error,    // the run goes on, and ends as failed (exit status 1)
  Fatal,    // the run stops here
};

// What a finding is about.
enum class FindingKind : std::uint8_t {
  NoDigestLists,      // the medium carries no digest lists: only the byte sums are checked
  DigestListDamaged,  // a digest list present but malformed, cut short or unreadable
  MediaFileMissing,   // the media list names a file that is not there
  MediaFileDiffers,   // a file's bytes differ from the media list
  MediaFileUnlisted,  // a file the medium needs that the media list does not name
  EntryDiffers,       // an entry's bytes (or name or size) differ from the entry list
  EntryUnlisted,      // an entry the entry list does not name
  EntryMissing,       // an entry the entry list names that was not found or not written
  StoredSumBad,       // a stored (coNone) entry whose bytes do not add up to its checksum
                      // or whose original size is not its stored size
  ListNameUnmatched,  // a non-empty name in an archive's list file that matches no entry
  UnknownMethod,      // an entry of a method nothing here decodes
  AfterTotalSize,     // a non-empty entry after the archive's TotalSize is reached
  NoArchive,          // no archive, or an archive without entries where its list names files
  NamesCollide,       // two entries whose file names flatten to one
  EntryFailed,        // an entry failed the format's own checks (checksum, key, its data)
  NameUnusable,       // a stored name that leaves no file name to write
  NameConfined,       // a stored name or template changed to keep a file inside its folder
  ReadFailed,         // the read of the medium ended with an error
};

struct MediaFinding {
  Severity Level = Severity::Error;
  FindingKind Kind = FindingKind::ReadFailed;
  std::string Segment;      // segment file(s), such as "disk.003" or "disk.003-disk.004"
  int Archive = -1;         // archive index, -1 when none applies
  std::string Template;     // that archive's template (ANSI)
  std::int64_t Entry = -1;  // entry index in its archive, -1 when none applies
  std::string Name;         // stored name, list-file name or medium file name (ANSI)
  std::string Text;         // what happened; "{other}" stands for Other, quoted
  std::string Other;        // a second name the text refers to (ANSI)
};

struct MediaReport {
  std::vector<MediaFinding> Findings;

  void Add(MediaFinding finding) { Findings.push_back(std::move(finding)); }
  // Whether a finding weighs at least `level`.
  bool Has(Severity level) const;
  bool Stopped() const { return Has(Severity::Fatal); }
  bool Failed() const { return Has(Severity::Error); }
};

// One line for a finding: where ("disk.003: archive 0 "C:\App\*.*": entry 2 "a.txt"")
// and what, with names in UTF-8 and their control characters written as \xNN.
std::string Describe(const MediaFinding& finding, const platform::CodePage& cp);

}  // namespace nolvo::stage
