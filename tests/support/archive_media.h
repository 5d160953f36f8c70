#pragma once
// Archives and media with chosen stored names for the archive command tests, built with
// the real archive writer.

#include <filesystem>
#include <string>
#include <vector>

#include "archive/container/compression_method.h"

namespace nolvo::test {

struct StoredFile {
  std::string StoredName;  // Windows-1252 bytes, backslashes
  std::string Bytes;
  container::TCompressionMethod Method = container::TCompressionMethod::coLZH5;
};

// Writes one archive file at `out` holding `files` in order (locked with `key` when not 0).
void WriteArchiveFile(const std::filesystem::path& out, const std::vector<StoredFile>& files,
                      int key = 0);

// Bytes that compress somewhat but not trivially (a fixed pseudo-random text).
std::string SampleBytes(std::size_t size, unsigned seed);

// Every regular file below `dir`, as paths relative to it ('/'), sorted.
std::vector<std::string> FilesBelow(const std::filesystem::path& dir);

}  // namespace nolvo::test
