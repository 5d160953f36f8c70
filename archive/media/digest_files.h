#pragma once
// Host files and digest lists: hashing a file, writing the lists a builder puts beside
// its media or archive, and reading them back.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/media/digest_lists.h"

namespace nolvo::media {

struct HostFileDigest {
  Sha256Digest Digest{};
  std::int64_t Size = 0;
  std::uint32_t ByteSum = 0;  // the format's entry checksum of the same bytes (sum modulo 2^32)
};

// The SHA-256, size and byte sum of the host file `path`. Throws std::runtime_error naming the file
// when it cannot be read.
HostFileDigest HashHostFile(const std::filesystem::path& path);

// One file of HashHostFiles: its digest, or what hashing it threw.
struct HashedHostFile {
  HostFileDigest Digest;
  std::exception_ptr Error;
};

// Hashes `paths` on up to `threads` threads (the caller's one of them), each file whole on
// one thread; the outcomes come in the order of `paths`.
std::vector<HashedHostFile> HashHostFiles(const std::vector<std::filesystem::path>& paths,
                                          int threads);

// The media list entry of each file `names` names in `folder`, hashed now on up to
// `threads` threads; the first file in order that cannot be read throws.
std::vector<FileDigest> DigestFolderFiles(const std::filesystem::path& folder,
                                          const std::vector<std::string>& names, int threads = 1);

// Reads a digest list that may be absent: nullopt when no file is at `path`. Throws
// EDigestList when it is there but cannot be read or is larger than kMaxDigestListSize.
std::optional<std::string> ReadDigestListFile(const std::filesystem::path& path);

}  // namespace nolvo::media
