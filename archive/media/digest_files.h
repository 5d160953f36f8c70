#pragma once
// Host files and digest lists: hashing a file, writing the lists a builder puts beside
// its media or archive, and reading them back.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/media/digest_lists.h"

namespace nolvo::media {

struct HostFileDigest {
  Sha256Digest Digest{};
  std::int64_t Size = 0;
};

// The SHA-256 and size of the host file `path`. Throws std::runtime_error naming the file
// when it cannot be read.
HostFileDigest HashHostFile(const std::filesystem::path& path);

// The media list entry of each file `names` names in `folder`, hashed now.
std::vector<FileDigest> DigestFolderFiles(const std::filesystem::path& folder,
                                          const std::vector<std::string>& names);

// Reads a digest list that may be absent: nullopt when no file is at `path`. Throws
// EDigestList when it is there but cannot be read or is larger than kMaxDigestListSize.
std::optional<std::string> ReadDigestListFile(const std::filesystem::path& path);

}  // namespace nolvo::media
