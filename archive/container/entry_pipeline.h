#pragma once
// The data of an archive's entries expanded on worker threads, ahead of the caller, which
// takes the entries back one by one in the order it started them. Each worker reads the
// archive through a stream of its own. What the caller sees of an entry (its progress
// reports, its error) comes on the caller's thread, in order, as if the entry had been
// expanded there; only its output is written earlier, by a worker.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/container/compress_events.h"
#include "archive/container/entry_walk.h"
#include "archive/container/expand_entry.h"
#include "platform/byte_stream.h"

namespace nolvo::container {

class TEntryPipeline {
 public:
  // `threads` workers (at least 1) expand entries with `settings` (whose progress handler
  // is not used: reports are recorded and handed to Take's); `open` gives each worker
  // its stream over the archive.
  TEntryPipeline(TArchiveOpener open, int threads, TExpandSettings settings);
  // Cancels the entries not taken and waits for the workers.
  ~TEntryPipeline();
  TEntryPipeline(const TEntryPipeline&) = delete;
  TEntryPipeline& operator=(const TEntryPipeline&) = delete;

  // Queues `entry` to be expanded into `dest`, which a worker writes until Take has
  // returned (or thrown) for the entry; the caller keeps it alive until then.
  void Start(const TArchiveEntry& entry, platform::ByteStream& dest);

  // Waits for the oldest entry started and not taken, passing its progress reports to
  // `progress` as they come (those made so far at once), and rethrows what expanding it
  // raised. A report the handler answers with -1 ends the entry as a cancel ends an
  // expansion on one thread (ETruncatedData, EInvalidKey for a locked entry), though a
  // worker may have written more of its output by then.
  void Take(const TShowProgressEvent& progress);

  // Stops every entry not taken (a worker stops at its next input chunk) and waits until
  // no worker writes to their outputs any more. They are gone afterwards.
  void Cancel();

  // Entries started and not yet taken.
  std::size_t Pending() const { return jobs_.size(); }
  // How many entries may be pending to keep every worker busy: while the caller waits for
  // a long entry, the other workers go on two entries each beyond it. A pending entry
  // holds little (its output's buffer), so the memory stays small.
  std::size_t Window() const { return 2 * workers_.size() + 2; }

 private:
  struct Job {
    TArchiveEntry Entry;
    platform::ByteStream* Dest = nullptr;
    std::vector<int> Reports;  // progress reports, in order
    std::size_t Notified = 0;  // reports made at the last wake-up of the taker
    bool Started = false;
    bool Done = false;
    bool Cancelled = false;
    bool Watched = false;  // the taker waits for this job
    std::exception_ptr Error;
    std::int64_t Cost = 0;
  };

  // The work an entry is expected to take: each original byte is written and hashed,
  // each stored byte decoded (several times the cost of a written one).
  static std::int64_t Cost(const TArchiveEntry& entry);
  // The unstarted job a free worker takes: the oldest, or a far costlier one, so that a
  // long entry met late does not run on alone while the other workers idle.
  std::shared_ptr<Job> NextJob() const;

  void Work();
  void Run(Job& job, std::unique_ptr<platform::ByteStream>& archive);

  TArchiveOpener open_;
  TExpandSettings settings_;
  std::mutex mutex_;
  std::condition_variable work_;           // a job was queued, or the workers are to stop
  std::condition_variable done_;           // a watched job reported, or a job ended
  std::deque<std::shared_ptr<Job>> jobs_;  // started and not taken, oldest first
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace nolvo::container
