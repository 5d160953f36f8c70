// The -lh5- encoder on several threads. The calling thread reads the input into
// segments; worker threads parse them, each from the segment's start with its finder
// primed from the 8192 bytes before, and on past the segment's end by kOverlap bytes.
// The calling thread then joins each parse onto the one before at the first position
// where both start a token (from there they agree), re-parsing itself when the overlap
// holds none, and puts the joined tokens through the same block stage as the
// single-threaded encoder, so the stream is the same byte for byte.

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/codec/lh5.h"
#include "archive/codec/lh5_block_writer.h"
#include "archive/codec/lh5_match_finder.h"
#include "archive/codec/lh5_parse.h"

namespace nolvo::codec {
namespace {

constexpr std::int64_t kWindow = Lh5MatchFinder::kWindow;
// How far a worker parses past its segment's end to meet the next segment's parse (less
// for segments shorter than this).
constexpr std::int64_t kOverlap = 8192;
// Input read beyond the overlap, for the look-ahead of the last tokens.
constexpr std::int64_t kTail = 1024;
constexpr std::int64_t kMinSegment = 1024;
static_assert(kTail >= Lh5Stretch::kLookAhead);

struct Segment {
  std::vector<std::uint8_t> text;  // input from `first` on, then look-ahead
  std::int64_t first = 0;
  std::int64_t start = 0;  // where its parse starts
  std::int64_t end = 0;    // where the next segment's parse starts (the input end for the last)
  std::int64_t until = 0;  // its parse runs on to the first token start at or past this
  std::int64_t input_end = Lh5Stretch::kNoEnd;
  Lh5Tokens tokens;
  std::int64_t stopped = 0;  // where its parse stopped
  bool parsed = false;
  std::exception_ptr error;

  Lh5Stretch Stretch() const { return {text.data(), first, input_end}; }
};

class Lh5ParallelEncoder {
 public:
  Lh5ParallelEncoder(CodecContext& context, int threads, std::int64_t segment_size)
      : context_(context),
        blocks_(context),
        threads_(threads),
        segment_size_(std::max<std::int64_t>(segment_size, kMinSegment)),
        overlap_(std::min(kOverlap, segment_size_)) {}
  ~Lh5ParallelEncoder() { StopWorkers(); }
  Lh5ParallelEncoder(const Lh5ParallelEncoder&) = delete;
  Lh5ParallelEncoder& operator=(const Lh5ParallelEncoder&) = delete;

  void Run();

 private:
  std::size_t ReadInput(std::uint8_t* to, std::size_t max);
  std::unique_ptr<Segment> ReadSegment();
  void Work();
  void StopWorkers();
  void Join(std::unique_ptr<Segment> segment);
  // Puts the tokens of `reader` that start before `bound` into the blocks.
  void Emit(Lh5Tokens::Reader& reader, std::int64_t bound);

  CodecContext& context_;
  Lh5BlockWriter blocks_;
  const int threads_;
  const std::int64_t segment_size_;
  const std::int64_t overlap_;

  // Reading: where the next segment starts, and the input before it that the next
  // segment needs (from 8192 bytes before its start).
  std::int64_t next_start_ = 0;
  std::vector<std::uint8_t> carry_;
  bool input_ended_ = false;
  bool input_done_ = false;
  std::vector<std::unique_ptr<Segment>> spare_;
  // Segments read and not yet joined, oldest first, which the workers parse; the
  // destructor stops the workers before they go.
  std::deque<std::unique_ptr<Segment>> in_flight_;

  // Joining: the last joined segment and its tokens not yet put into the blocks.
  std::unique_ptr<Segment> previous_;
  std::unique_ptr<Lh5Tokens::Reader> pending_;
  std::unique_ptr<Lh5MatchFinder> finder_;  // for re-parsing, made when first needed
  Lh5Tokens reparsed_;
  bool emitted_ = false;

  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable work_done_;
  std::deque<Segment*> queue_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

std::size_t Lh5ParallelEncoder::ReadInput(std::uint8_t* to, std::size_t max) {
  std::size_t n = 0;
  while (n < max && !input_ended_) {
    const std::size_t got = context_.TakeBuffered(to + n, max - n);
    if (got > 0) {
      n += got;
      continue;
    }
    const std::uint8_t b = context_.ReadSourceByte();
    if (context_.EndOfInput()) {
      input_ended_ = true;
      break;
    }
    to[n++] = b;
  }
  return n;
}

// The next segment with its input, or null when the input holds no more.
std::unique_ptr<Segment> Lh5ParallelEncoder::ReadSegment() {
  std::unique_ptr<Segment> s;
  if (spare_.empty()) {
    s = std::make_unique<Segment>();
  } else {
    s = std::move(spare_.back());
    spare_.pop_back();
  }
  s->start = next_start_;
  s->first = std::max<std::int64_t>(0, s->start - kWindow);
  const std::int64_t want = s->start + segment_size_ + overlap_ + kTail;
  s->text.resize(static_cast<std::size_t>(want - s->first));
  std::copy(carry_.begin(), carry_.end(), s->text.begin());
  const std::int64_t have = s->first + static_cast<std::int64_t>(carry_.size());
  const std::int64_t read_end =
      have + static_cast<std::int64_t>(
                 ReadInput(s->text.data() + carry_.size(), static_cast<std::size_t>(want - have)));
  if (read_end <= s->start) {
    input_done_ = true;
    spare_.push_back(std::move(s));
    return nullptr;
  }
  if (read_end < want) {
    // The last segment. Past the input's end the text holds what the single-threaded
    // encoder's does: spaces within the first 8192 bytes, then the byte 8192 before.
    input_done_ = true;
    s->input_end = s->end = s->until = read_end;
    s->text.resize(static_cast<std::size_t>(read_end + kTail - s->first));
    for (std::int64_t j = read_end; j < read_end + kTail; ++j)
      s->text[static_cast<std::size_t>(j - s->first)] =
          j < kWindow ? 0x20 : s->text[static_cast<std::size_t>(j - kWindow - s->first)];
  } else {
    s->input_end = Lh5Stretch::kNoEnd;
    s->end = s->start + segment_size_;
    s->until = s->end + overlap_;
    next_start_ = s->end;
    const std::int64_t keep_from = std::max<std::int64_t>(0, next_start_ - kWindow);
    carry_.assign(s->text.begin() + (keep_from - s->first), s->text.end());
  }
  s->parsed = false;
  s->error = nullptr;
  return s;
}

void Lh5ParallelEncoder::Work() {
  Lh5MatchFinder finder;
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Segment* s = queue_.front();
    queue_.pop_front();
    lock.unlock();
    try {
      // Room for the tokens of an all-literal parse.
      s->tokens.Reset(s->start, static_cast<std::size_t>((s->until + 256 - s->start) * 9 / 8 + 16));
      s->stopped = Lh5Parse(finder, s->Stretch(), s->start, s->until, s->tokens);
    } catch (...) {
      s->error = std::current_exception();
    }
    lock.lock();
    s->parsed = true;
    work_done_.notify_all();
  }
}

void Lh5ParallelEncoder::StopWorkers() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (auto& t : workers_) t.join();
  workers_.clear();
}

void Lh5ParallelEncoder::Emit(Lh5Tokens::Reader& reader, std::int64_t bound) {
  for (; !reader.Done() && reader.Position() < bound; reader.Next()) {
    if (reader.IsMatch()) {
      blocks_.PutMatch(reader.Length(), reader.Distance());
    } else {
      blocks_.PutLiteral(reader.Byte());
    }
    emitted_ = true;
  }
}

void Lh5ParallelEncoder::Join(std::unique_ptr<Segment> segment) {
  Segment& s = *segment;
  auto own = std::make_unique<Lh5Tokens::Reader>(s.tokens);
  if (pending_ != nullptr) {
    // The tokens before have reached this segment's start; they hand over to its own
    // parse at the first token start the two share.
    Lh5Tokens::Reader& before = *pending_;
    for (;;) {
      own->SkipTo(before.Position());
      if (before.Done() || own->Position() == before.Position()) break;
      Emit(before, before.Position() + 1);
    }
    // A finished parse stands where it stopped.
    const std::int64_t at = before.Position();
    if (own->Position() != at) {
      // The overlap held no shared token start: parse on from where the tokens before
      // stopped until this segment's parse is met, or in its place.
      if (finder_ == nullptr) finder_ = std::make_unique<Lh5MatchFinder>();
      Lh5Tokens::Reader meet(s.tokens);
      const std::int64_t stopped = Lh5Parse(*finder_, s.Stretch(), at, s.until, reparsed_, &meet);
      Lh5Tokens::Reader fill(reparsed_);
      if (stopped < s.until && stopped < s.input_end) {
        Emit(fill, stopped);
        own->SkipTo(stopped);
      } else {
        std::swap(s.tokens, reparsed_);
        s.stopped = stopped;
        own = std::make_unique<Lh5Tokens::Reader>(s.tokens);
      }
    }
  }
  Emit(*own, s.end);
  pending_ = std::move(own);
  if (previous_ != nullptr) spare_.push_back(std::move(previous_));
  previous_ = std::move(segment);
}

void Lh5ParallelEncoder::Run() {
  for (int i = 0; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
  const std::size_t depth = static_cast<std::size_t>(threads_) + 1;
  for (;;) {
    while (!input_done_ && in_flight_.size() < depth) {
      std::unique_ptr<Segment> s = ReadSegment();
      if (s == nullptr) break;
      {
        std::lock_guard lock(mutex_);
        queue_.push_back(s.get());
      }
      work_ready_.notify_one();
      in_flight_.push_back(std::move(s));
    }
    if (in_flight_.empty()) break;
    {
      std::unique_lock lock(mutex_);
      work_done_.wait(lock, [&] { return in_flight_.front()->parsed; });
    }
    std::unique_ptr<Segment> s = std::move(in_flight_.front());
    in_flight_.pop_front();
    if (s->error) std::rethrow_exception(s->error);
    Join(std::move(s));
  }
  if (emitted_) blocks_.Finish();
}

}  // namespace

void Lh5CompressParallel(CodecContext& context, int threads, std::int64_t segment_size) {
  auto encoder = std::make_unique<Lh5ParallelEncoder>(
      context, std::max(threads, 1), segment_size > 0 ? segment_size : kLh5SegmentSize);
  encoder->Run();
}

}  // namespace nolvo::codec
