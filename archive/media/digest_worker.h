#pragma once
// SHA-256 of expanded entries, computed on a second thread while the expansion goes on.
// A DigestWorker owns the thread; each entry gets a DigestJob, and the stream the job
// makes passes every byte on to the real output and hands a copy to the worker. Finish
// waits for the worker to reach the job's last byte. When entries are expanded on several
// threads, an inline job hashes on the thread that writes the entry instead, so that the
// hashing is spread over those threads rather than queued for one.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/media/sha256.h"
#include "platform/byte_stream.h"

namespace nolvo::media {

class DigestWorker;

// The digest of one entry's bytes. Shared by the stream that feeds it and whoever asks
// for the result.
class DigestJob : public std::enable_shared_from_this<DigestJob> {
 public:
  // Waits until the worker has hashed every byte fed so far and returns their digest and
  // count. Call once, after the last write.
  Sha256Digest Finish();
  std::int64_t Size() const { return size_; }
  // A job whose bytes are hashed by the thread that writes them.
  static std::shared_ptr<DigestJob> Inline();

 private:
  friend class DigestWorker;
  friend class DigestStream;
  explicit DigestJob(DigestWorker* worker) : worker_(worker) {}

  DigestWorker* worker_;  // null: inline
  bool broken_ = false;   // an inline update failed: the digest is zeros
  Sha256 sha_;
  Sha256Digest digest_{};
  std::int64_t size_ = 0;
  bool done_ = false;  // the worker has hashed the last piece (guarded by the worker's mutex)
};

// A write-only stream that passes every byte on to `inner` and to its job. Read gives
// nothing; only the position and the size can be asked for.
class DigestStream : public platform::ByteStream {
 public:
  DigestStream(platform::ByteStream& inner, std::shared_ptr<DigestJob> job)
      : inner_(inner), job_(std::move(job)) {}

  std::size_t Read(void*, std::size_t) override { return 0; }
  void WriteAll(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override;
  std::int64_t Size() override { return job_->size_; }

 private:
  platform::ByteStream& inner_;
  std::shared_ptr<DigestJob> job_;
};

class DigestWorker {
 public:
  DigestWorker();
  // Stops the thread; jobs not finished are dropped.
  ~DigestWorker();
  DigestWorker(const DigestWorker&) = delete;
  DigestWorker& operator=(const DigestWorker&) = delete;

  std::shared_ptr<DigestJob> NewJob();

 private:
  friend class DigestJob;
  friend class DigestStream;
  struct Piece {
    std::shared_ptr<DigestJob> Job;
    std::vector<std::uint8_t> Bytes;
    bool Last = false;
  };

  void Feed(const std::shared_ptr<DigestJob>& job, const void* data, std::size_t size);
  Sha256Digest Finish(const std::shared_ptr<DigestJob>& job);
  void Run();

  std::mutex mutex_;
  std::condition_variable work_;  // a piece was queued, or the worker is to stop
  std::condition_variable room_;  // a piece was hashed (room in the queue, a job done)
  std::deque<Piece> queue_;
  std::vector<std::vector<std::uint8_t>> spare_;  // buffers of hashed pieces, for reuse
  std::size_t queued_ = 0;                        // bytes waiting in the queue
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace nolvo::media
