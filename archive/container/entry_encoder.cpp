#include "archive/container/entry_encoder.h"

#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

namespace nolvo::container {

namespace {

// What a worker made of one entry.
struct Encoded {
  std::int64_t Size = 0;
  TEncodedData Data;
  std::exception_ptr Error;
  bool OpenFailed = false;  // the error came from opening, before any check
};

// Workers claim the entries in order, at most `window` ahead of the one being stored.
class EncoderPool {
 public:
  EncoderPool(const std::vector<TEntryJob>& jobs, const codec::CodecComponent& codec, int threads,
              std::int64_t limit)
      : jobs_(jobs),
        codec_(codec),
        window_(static_cast<std::size_t>(threads) + 1),
        limit_(limit),
        results_(jobs.size()) {
    codec_.Threads = 1;
    codec_.OnShowProgress = nullptr;
    codec_.OnYield = nullptr;
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  }
  ~EncoderPool() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    claimable_.notify_all();
    for (auto& worker : workers_) worker.join();
  }
  EncoderPool(const EncoderPool&) = delete;
  EncoderPool& operator=(const EncoderPool&) = delete;

  // Whether the workers encode `job` (else the writer does).
  bool ForWorkers(const TEntryJob& job) const {
    return job.SizeHint <= limit_ && job.Method != TCompressionMethod::coCustom;
  }

  // Waits for entry `index` (one the workers encode) and hands it over.
  Encoded Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return results_[index].has_value(); });
    Encoded result = std::move(*results_[index]);
    results_[index].reset();
    held_ -= jobs_[index].SizeHint;
    return result;
  }

  // Entry `index` is stored: the workers may run one further.
  void Stored(std::size_t index) {
    {
      std::lock_guard lock(mutex_);
      stored_ = index + 1;
    }
    claimable_.notify_all();
  }

 private:
  void Work() {
    for (;;) {
      std::size_t index = 0;
      {
        std::unique_lock lock(mutex_);
        claimable_.wait(lock, [&] {
          return stop_ || next_ >= jobs_.size() ||
                 (next_ < stored_ + window_ && (held_ == 0 || !ForWorkers(jobs_[next_]) ||
                                                held_ + jobs_[next_].SizeHint <= kWorkerBytes));
        });
        if (stop_ || next_ >= jobs_.size()) return;
        index = next_++;
        if (!ForWorkers(jobs_[index])) continue;
        held_ += jobs_[index].SizeHint;
      }
      Encoded result = Encode(jobs_[index]);
      {
        std::lock_guard lock(mutex_);
        results_[index] = std::move(result);
      }
      done_.notify_all();
    }
  }

  Encoded Encode(const TEntryJob& job) const {
    Encoded result;
    std::unique_ptr<platform::ByteStream> source;
    try {
      source = job.Open();
      result.Size = source->Size();
    } catch (...) {
      result.Error = std::current_exception();
      result.OpenFailed = true;
      return result;
    }
    try {
      if (result.Size >= 0 && result.Size <= std::numeric_limits<std::int32_t>::max())
        result.Data = TArchiveWriter::EncodeData(codec_, *source, result.Size, job.Method);
    } catch (...) {
      result.Error = std::current_exception();
    }
    return result;
  }

  const std::vector<TEntryJob>& jobs_;
  codec::CodecComponent codec_;
  const std::size_t window_;
  const std::int64_t limit_;
  std::mutex mutex_;
  std::condition_variable claimable_;
  std::condition_variable done_;
  std::size_t next_ = 0;
  std::size_t stored_ = 0;
  std::int64_t held_ = 0;  // original bytes of the entries claimed and not taken
  bool stop_ = false;
  std::vector<std::optional<Encoded>> results_;
  std::vector<std::thread> workers_;
};

TListedEntry AddDirect(TArchiveWriter& writer, const TEntryJob& job) {
  const auto source = job.Open();
  const TCompressedFileInfo info = writer.AddEntry(job.StoredName, *source, source->Size(),
                                                   job.Method, job.FileDate, job.Attributes);
  return {job.StoredName, info};
}

}  // namespace

TCompressedFileList AddEntriesInOrder(TArchiveWriter& writer, const std::vector<TEntryJob>& jobs,
                                      int threads, const std::function<void(std::size_t)>& on_entry,
                                      std::int64_t worker_limit) {
  TCompressedFileList entries;
  std::optional<EncoderPool> pool;
  if (threads > 1 && jobs.size() > 1)
    pool.emplace(jobs, writer.Settings().Codec, threads, worker_limit);
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const TEntryJob& job = jobs[i];
    if (on_entry) on_entry(i);
    if (!pool || !pool->ForWorkers(job)) {
      entries.push_back(AddDirect(writer, job));
    } else {
      Encoded encoded = pool->Take(i);
      if (encoded.OpenFailed) std::rethrow_exception(encoded.Error);
      writer.CheckEntry(job.StoredName, encoded.Size, job.Method);
      if (encoded.Error) std::rethrow_exception(encoded.Error);
      entries.push_back(
          {job.StoredName, writer.AddEncoded(job.StoredName, encoded.Size, encoded.Data,
                                             job.FileDate, job.Attributes)});
    }
    if (pool) pool->Stored(i);
  }
  return entries;
}

}  // namespace nolvo::container
