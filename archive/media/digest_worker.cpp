#include "archive/media/digest_worker.h"

#include <cstring>

namespace nolvo::media {

namespace {
// The most bytes waiting for the worker; a writer that gets this far ahead waits.
constexpr std::size_t kMaxQueued = 1024 * 1024;
}  // namespace

Sha256Digest DigestJob::Finish() {
  if (worker_) return worker_->Finish(shared_from_this());
  // Should the library fail, the digest is zeros, which matches no list.
  try {
    digest_ = broken_ ? Sha256Digest{} : sha_.Final();
  } catch (const std::exception&) {
    digest_ = {};
  }
  return digest_;
}

std::shared_ptr<DigestJob> DigestJob::Inline() {
  return std::shared_ptr<DigestJob>(new DigestJob(nullptr));
}

void DigestStream::WriteAll(const void* buffer, std::size_t count) {
  inner_.WriteAll(buffer, count);
  if (job_->worker_)
    job_->worker_->Feed(job_, buffer, count);
  else if (!job_->broken_) {
    try {
      job_->sha_.Update(buffer, count);
    } catch (const std::exception&) {
      job_->broken_ = true;
    }
  }
  job_->size_ += static_cast<std::int64_t>(count);
}

std::int64_t DigestStream::Seek(std::int64_t offset, platform::SeekOrigin origin) {
  // The bytes go by in order: the stream can only say where it stands.
  if (offset != 0 || origin == platform::SeekOrigin::soBeginning)
    throw platform::EStreamError("a digest stream cannot seek");
  return job_->size_;
}

DigestWorker::DigestWorker() : thread_([this] { Run(); }) {}

DigestWorker::~DigestWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  thread_.join();
}

std::shared_ptr<DigestJob> DigestWorker::NewJob() {
  return std::shared_ptr<DigestJob>(new DigestJob(this));
}

void DigestWorker::Feed(const std::shared_ptr<DigestJob>& job, const void* data, std::size_t size) {
  if (size == 0) return;
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return queue_.empty() || queued_ + size <= kMaxQueued; });
  std::vector<std::uint8_t> bytes;
  if (!spare_.empty()) {
    bytes = std::move(spare_.back());
    spare_.pop_back();
  }
  bytes.resize(size);
  std::memcpy(bytes.data(), data, size);
  queued_ += size;
  queue_.push_back({job, std::move(bytes), false});
  lock.unlock();
  work_.notify_one();
}

Sha256Digest DigestWorker::Finish(const std::shared_ptr<DigestJob>& job) {
  std::unique_lock lock(mutex_);
  queue_.push_back({job, {}, true});
  work_.notify_one();
  room_.wait(lock, [&] { return job->done_; });
  return job->digest_;
}

void DigestWorker::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    Piece piece = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    // Only this thread touches a job's digest state until `done_` is set. Should the
    // library fail, the job ends with a digest of zeros, which matches no list.
    try {
      if (piece.Last)
        piece.Job->digest_ = piece.Job->sha_.Final();
      else
        piece.Job->sha_.Update(piece.Bytes.data(), piece.Bytes.size());
    } catch (const std::exception&) {
      piece.Job->digest_ = {};
    }
    lock.lock();
    queued_ -= piece.Bytes.size();
    if (piece.Last) piece.Job->done_ = true;
    if (piece.Bytes.capacity() > 0 && spare_.size() < 4) spare_.push_back(std::move(piece.Bytes));
    room_.notify_all();
  }
}

}  // namespace nolvo::media
