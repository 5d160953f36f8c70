#pragma once
// Extraction of a medium or an archive file into a host folder, never outside it. Each
// file is written under a temporary name beside its place and takes its own name only
// once it passed the format's checksum and, with an entry list, its digest; a file whose
// bytes differ is removed.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "archive/media/media_reader.h"
#include "archive/stage/media_report.h"

namespace nolvo::media {

struct ExtractOptions {
  std::filesystem::path Dir = ".";  // made when missing
  bool Flat = false;                // every file directly in Dir
  std::int32_t Key = 0;
  // Threads that expand and hash entries (1 to 16); the files, findings and events are the same
  // for any count.
  int Threads = 1;
};

struct ExtractEvents {
  std::function<void(const stage::MediaFinding&)> OnFinding;          // each finding as it is made
  std::function<void(const std::string& file, int percent)> OnEntry;  // file being expanded
  std::function<void(const std::string& file)> OnWritten;  // a file took its name (below Dir)
  std::function<void()> Poll;  // before each file; may throw an ECancelled
};

struct ExtractResult {
  std::filesystem::path Root;  // Dir, made canonical
  std::size_t Written = 0;
  stage::MediaReport Report;
};

// Throws EMediaPath when Dir cannot be used, EMediumRefused when a finding stopped the run
// (recorded in `result.Report` first), and what Poll throws. No temporary file is left.
void ExtractMedium(const MediaLocation& location, const ExtractOptions& options,
                   const ExtractEvents& events, ExtractResult& result);

}  // namespace nolvo::media
