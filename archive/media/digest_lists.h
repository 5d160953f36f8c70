#pragma once
// The two digest lists `nolvo pack` puts beside the segments, and their text forms.
//
// The media list (kMediaDigestsName) is what `sha256sum -c` reads: a comment line with
// the number of files, then "<64 hex digits>  <file name>" for every file of the medium
// (segments, install.cfg, install.exe, the entry list, the picture if any).
//
// The entry list (kEntryDigestsName beside segments, <archive>.digests beside a single
// archive file) holds the SHA-256 of every entry's original bytes: a comment line with
// the number of entries, then "<archive> <entry> <size> <64 hex digits> <name>" per
// entry, in archive order, where the stored name has every byte outside "!".."~" and
// the backslash written as \xNN and the backslash as "\\".
//
// Both names end in an extension longer than three characters that is not a number, so
// no segment name (<base>.<three or more digits> or <base>.<at most three characters>)
// is ever one of them.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "archive/media/media_error.h"
#include "archive/media/sha256.h"

namespace nolvo::media {

inline constexpr std::string_view kMediaDigestsName = "nolvo-media.sha256";
inline constexpr std::string_view kEntryDigestsName = "nolvo-entries.digests";
inline constexpr std::string_view kEntryDigestsSuffix = ".digests";

// Whether `fileName` (no directory) names a digest list a medium or an archive can carry:
// the two names above, or any name ending in ".digests", in any letter case.
bool IsDigestListName(std::string_view fileName);
// The entry list beside the archive file `archiveFileName`: that name + ".digests".
std::string SidecarName(std::string_view archiveFileName);

// A digest list that is malformed or cut short. The message names the line.
class EDigestList : public EMediaError {
 public:
  using EMediaError::EMediaError;
};

// The longest digest list read (a larger file is refused as damaged).
inline constexpr std::int64_t kMaxDigestListSize = 256 * 1024 * 1024;

struct FileDigest {
  std::string Name;  // a plain file name in the medium's folder
  Sha256Digest Digest{};
};

// The media list's text for `files` (their names must be plain file names).
std::string FormatMediaDigests(const std::vector<FileDigest>& files);
// The media list `nolvo pack` puts in place before it changes anything else in the media
// folder, and replaces with the finished list when it ends: media it left unfinished
// (killed, or failed part way) are refused as such, not taken for another builder's.
std::string UnfinishedMediaDigests();
// Reads a media list. Throws EDigestList for the list of unfinished media, a missing or
// wrong first line, a line that is
// not "<hex>  <name>" (or " *<name>"), a name that is not a plain file name, a name given
// twice, a count that differs from the first line's, or a text that does not end with a
// line feed.
std::vector<FileDigest> ParseMediaDigests(std::string_view text);

struct EntryDigest {
  std::uint32_t Archive = 0;  // archive index (0 for a single archive file)
  std::uint32_t Entry = 0;    // entry index in its archive, from 0
  std::int64_t Size = 0;      // the entry's original size
  Sha256Digest Digest{};      // SHA-256 of its original bytes
  std::string Name;           // the stored name, as the archive holds it
};

// The entry list's text for `entries` (in archive order).
std::string FormatEntryDigests(const std::vector<EntryDigest>& entries);
// Reads an entry list. Throws EDigestList for a missing or wrong first line, a line
// that is not five fields apart by single spaces, a number that is not plain decimal or
// out of range, a name that is not in the escaped form FormatEntryDigests writes, lines
// out of order (archives ascending, entries of an archive 0, 1, 2, ...), a count that
// differs from the first line's, or a text that does not end with a line feed.
std::vector<EntryDigest> ParseEntryDigests(std::string_view text);

// The escaped form of a stored name, and back (false for anything not in that form).
std::string EscapeStoredName(std::string_view name);
bool UnescapeStoredName(std::string_view escaped, std::string& name);

}  // namespace nolvo::media
