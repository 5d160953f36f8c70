#pragma once
// The test of a medium or an archive file: every file against the media list, every entry
// expanded into nothing but its checksum and its digest, and the situations of the outcome
// table. Nothing is written.

#include <cstdint>
#include <functional>

#include "archive/media/media_reader.h"
#include "archive/stage/media_report.h"

namespace nolvo::media {

struct TestEvents {
  std::function<void(const stage::MediaFinding&)> OnFinding;     // each finding as it is made
  std::function<void(std::size_t tested, int percent)> OnEntry;  // the entry being tested
};

struct TestResult {
  std::size_t Tested = 0;  // entries tested
  std::size_t Bad = 0;     // of them, entries with an error
  stage::MediaReport Report;
};

// Entries are expanded on `threads` threads, at most kMostThreads (1: on the calling thread
// alone); the findings, their order and the events are the same for any count.
// Throws EMediaPath, and EMediumRefused when the read of the medium failed (recorded in
// `result.Report` first, the result is then incomplete).
void TestMedium(const MediaLocation& location, std::int32_t key, int threads,
                const TestEvents& events, TestResult& result);

}  // namespace nolvo::media
