#include "archive/media/medium_test.h"

#include <set>

#include "archive/media/medium_run.h"
#include "archive/media/stored_copy_check.h"
#include "archive/media/thread_count.h"
#include "archive/segment/seg_names.h"
#include "platform/ascii.h"

namespace nolvo::media {

namespace fs = std::filesystem;
using stage::FindingKind;

namespace {

// The media list must name every file the medium needs: the segments the read opened,
// and install.cfg and install.exe when they are there.
void CheckCoverage(const MediaLocation& location, const MediaWalk& walk,
                   const std::vector<FileDigest>& files, MediumRun& run) {
  std::set<std::string> listed;
  for (const auto& f : files) listed.insert(platform::AsciiLower(f.Name));
  std::vector<std::string> needed;
  for (std::uint16_t n = 1; n <= walk.LastSegment && n != 0; ++n)
    needed.push_back(segment::BuildSegmentNames(walk.SegBaseName, "", n, "").SegName);
  std::error_code ec;
  for (const char* name : {"install.cfg", "install.exe"})
    if (fs::exists(location.Folder / name, ec)) needed.push_back(name);
  for (const auto& name : needed) {
    if (listed.count(platform::AsciiLower(name))) continue;
    stage::MediaFinding f;
    f.Name = name;
    f.Text = "not named in the media digest list";
    run.Sink().Add(FindingKind::MediaFileUnlisted, std::move(f));
  }
}

}  // namespace

void TestMedium(const MediaLocation& location, std::int32_t key, int asked,
                const TestEvents& events, TestResult& result) {
  const int threads = ThreadsToUse(asked);
  MediumRun run(location, Tool::Test, result.Report, events.OnFinding);
  if (run.Digests().Files && location.Segmented)
    CheckMediaFiles(location.Folder, *run.Digests().Files, run.Codepage(), run.Sink(), threads);

  const MediaWalk walk = run.Walk(key, true, [&](MediumRun::Archive& archive) {
    const auto badCopies = BadStoredCopies(*archive.Open(), archive.Listing, key);
    EntryDigestCheck* check = run.EntryCheck();
    auto& compress = archive.Compress;
    compress.SetThreads(threads);
    compress.OnShowProgress = [&](std::int32_t& percent) {
      if (events.OnEntry) events.OnEntry(result.Tested, percent);
    };
    compress.OnEntryOutput = [&](const container::TListedEntry& entry,
                                 platform::ByteStream& output) {
      return run.DigestOutput(IndexOf(archive.Listing, entry.Info.EntryPosition), output);
    };
    compress.TestArchiveEntries(archive.Open, [&](const container::TListedEntry& entry,
                                                  std::exception_ptr error) {
      ++result.Tested;
      const std::size_t i = IndexOf(archive.Listing, entry.Info.EntryPosition);
      if (i >= archive.Listing.size()) return;  // the listing and the test walk agree
      if (error) {
        run.DropDigest(i);
        if (check) check->Done(i);  // reported below, not again as missing
        // The run was stopped (an interrupt in a progress report), not the entry.
        try {
          std::rethrow_exception(error);
        } catch (const ECancelled&) {
          throw;
        } catch (...) {
        }
        // An entry nothing decodes was reported as such already.
        if (archive.Audit.Decodable[i])
          run.Sink().Add(FindingKind::EntryFailed, archive.Place.Entry(entry, i, ErrorText(error)));
        return;
      }
      if (const auto bad = badCopies.find(entry.Info.EntryPosition); bad != badCopies.end())
        run.Sink().Add(FindingKind::StoredSumBad, archive.Place.Entry(entry, i, bad->second));
      // An entry the expansion does not write (its list file leaves it out, or it comes
      // after the total) is not vouched for by its bytes: the entry list's check names it.
      if (archive.Audit.Written(i)) run.Verify(archive, i);
    });
    if (check) check->EndArchive(archive.Place, archive.Listing, &archive.Audit, run.Sink());
  });
  if (run.Digests().Files && location.Segmented)
    CheckCoverage(location, walk, *run.Digests().Files, run);

  std::set<std::pair<int, std::int64_t>> bad;
  for (const auto& f : result.Report.Findings)
    if (f.Level >= stage::Severity::Error && f.Entry >= 0) bad.insert({f.Archive, f.Entry});
  result.Bad = bad.size();
}

}  // namespace nolvo::media
