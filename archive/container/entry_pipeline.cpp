#include "archive/container/entry_pipeline.h"

#include <algorithm>

#include "archive/codec/codec_errors.h"
#include "archive/container/compress_errors.h"

namespace nolvo::container {

namespace {

// A worker wakes the taker after this many progress reports (one per input chunk of
// 8192 bytes), and when the entry ends; the reports between wait in the job.
constexpr std::size_t kReportsPerWakeUp = 32;

}  // namespace

TEntryPipeline::TEntryPipeline(TArchiveOpener open, int threads, TExpandSettings settings)
    : open_(std::move(open)), settings_(std::move(settings)) {
  settings_.Codec.OnShowProgress = nullptr;
  const int count = std::max(threads, 1);
  workers_.reserve(static_cast<std::size_t>(count));
  try {
    for (int i = 0; i < count; ++i) workers_.emplace_back([this] { Work(); });
  } catch (...) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    work_.notify_all();
    for (auto& worker : workers_) worker.join();
    throw;
  }
}

TEntryPipeline::~TEntryPipeline() {
  Cancel();
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (auto& worker : workers_) worker.join();
}

void TEntryPipeline::Start(const TArchiveEntry& entry, platform::ByteStream& dest) {
  auto job = std::make_shared<Job>();
  job->Entry = entry;
  job->Dest = &dest;
  job->Cost = Cost(entry);
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  work_.notify_one();
}

void TEntryPipeline::Work() {
  std::unique_ptr<platform::ByteStream> archive;  // this worker's own stream
  std::unique_lock lock(mutex_);
  for (;;) {
    std::shared_ptr<Job> job;
    work_.wait(lock, [&] {
      if (stop_) return true;
      job = NextJob();
      return job != nullptr;
    });
    if (!job) return;
    job->Started = true;
    lock.unlock();
    Run(*job, archive);
    lock.lock();
    job->Done = true;
    done_.notify_all();
  }
}

std::int64_t TEntryPipeline::Cost(const TArchiveEntry& entry) {
  constexpr std::int64_t kDecodePerStoredByte = 4;
  return std::int64_t{std::max(entry.Header.OriginalSize, 0)} +
         kDecodePerStoredByte * std::max(entry.Header.CompressedSize, 0);
}

std::shared_ptr<TEntryPipeline::Job> TEntryPipeline::NextJob() const {
  std::shared_ptr<Job> oldest;
  std::shared_ptr<Job> costliest;
  for (const auto& j : jobs_) {
    if (j->Started) continue;
    if (!oldest) oldest = j;
    if (!costliest || j->Cost > costliest->Cost) costliest = j;
  }
  // Only one costing over 5/4 of the oldest goes first: entries of about the same cost go in
  // order, so the one the caller waits for next is not passed over again and again. (Costs
  // stay far below overflow.)
  if (costliest && costliest->Cost * 4 > oldest->Cost * 5) return costliest;
  return oldest;
}

void TEntryPipeline::Run(Job& job, std::unique_ptr<platform::ByteStream>& archive) {
  TExpandSettings settings = settings_;
  settings.Codec.OnShowProgress = [this, &job](int& percent) {
    std::lock_guard lock(mutex_);
    if (job.Cancelled) {
      percent = -1;  // the codec ends the entry's input here
      return;
    }
    job.Reports.push_back(percent);
    if (job.Watched && job.Reports.size() >= job.Notified + kReportsPerWakeUp) {
      job.Notified = job.Reports.size();
      done_.notify_all();
    }
  };
  try {
    if (!archive) archive = open_();
    ExpandEntry(job.Entry, *archive, *job.Dest, settings);
  } catch (...) {
    job.Error = std::current_exception();
  }
}

void TEntryPipeline::Take(const TShowProgressEvent& progress) {
  std::unique_lock lock(mutex_);
  const std::shared_ptr<Job> job = jobs_.front();
  job->Watched = true;
  std::size_t relayed = 0;
  bool cancelled = false;
  for (;;) {
    while (relayed < job->Reports.size() && !cancelled) {
      int percent = job->Reports[relayed++];
      if (!progress) continue;
      lock.unlock();
      progress(percent);
      lock.lock();
      // The run on one thread would end the entry's input here.
      if (percent == -1) {
        cancelled = true;
        job->Cancelled = true;
      }
    }
    if (job->Done) break;
    job->Notified = job->Reports.size();
    done_.wait(lock);
  }
  jobs_.pop_front();
  lock.unlock();
  if (cancelled) {
    if (job->Entry.Header.Locked()) throw EInvalidKey();
    throw codec::ETruncatedData();
  }
  if (job->Error) std::rethrow_exception(job->Error);
}

void TEntryPipeline::Cancel() {
  std::unique_lock lock(mutex_);
  for (const auto& job : jobs_) job->Cancelled = true;
  // A job no worker took is never started; the others end at their next chunk.
  jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(),
                             [](const std::shared_ptr<Job>& job) { return !job->Started; }),
              jobs_.end());
  done_.wait(lock, [&] {
    return std::all_of(jobs_.begin(), jobs_.end(),
                       [](const std::shared_ptr<Job>& job) { return job->Done; });
  });
  jobs_.clear();
}

}  // namespace nolvo::container
