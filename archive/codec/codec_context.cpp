#include "archive/codec/codec_context.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace nolvo::codec {
namespace {

// Sum of n bytes, eight at a time in four 16-bit lanes; a round of 128 words adds at
// most 128 * 2 * 255 to a lane, which still fits.
std::uint32_t ByteSum(const std::uint8_t* p, std::size_t n) {
  std::uint32_t total = 0;
  while (n >= 8) {
    const std::size_t round = std::min<std::size_t>(n & ~std::size_t{7}, 8 * 128);
    std::uint64_t lanes = 0;
    for (std::size_t i = 0; i < round; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      lanes += w & 0x00FF00FF00FF00FFull;
      lanes += (w >> 8) & 0x00FF00FF00FF00FFull;
    }
    total += static_cast<std::uint32_t>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) +
                                        ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
    p += round;
    n -= round;
  }
  for (std::size_t i = 0; i < n; ++i) total += p[i];
  return total;
}

}  // namespace

CodecContext::CodecContext(const CodecComponent& component, platform::ByteStream& dest,
                           platform::ByteStream& source, std::int32_t source_size, bool expanding,
                           bool keyed)
    : dest_(dest),
      source_(source),
      on_progress_(component.OnShowProgress),
      on_yield_(component.OnYield),
      expanding_(expanding),
      in_(new std::uint8_t[kBufferSize]),
      out_(new std::uint8_t[kBufferSize]) {
  // A negative size reads nothing.
  remaining_ = std::max<std::int32_t>(source_size, 0);
  const auto key = static_cast<std::uint32_t>(component.Key);
  for (int i = 0; i < 4; ++i) key_[i] = static_cast<std::uint8_t>(key >> (8 * i));
  if (expanding) {
    budget_ = std::numeric_limits<std::int32_t>::max();
    descramble_input_ = component.Key != 0 && keyed;
    if (descramble_input_) key_pattern_ = std::uint64_t{key} << 32 | key;
  } else {
    // Computed wide so that a large margin cannot wrap into a huge budget.
    const std::int64_t budget =
        static_cast<std::int64_t>(remaining_) - static_cast<std::int64_t>(component.SizeMargin);
    budget_ = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(budget, 0, std::numeric_limits<std::int32_t>::max()));
    scramble_output_ = component.Key != 0;
  }
}

bool CodecContext::FetchChunk() {
  end_of_input_ = true;
  if (remaining_ <= 0) return false;
  if (remaining_ < chunk_size_) chunk_size_ = remaining_;
  const std::size_t got = source_.Read(in_.get(), static_cast<std::size_t>(chunk_size_));
  const auto count = static_cast<std::int32_t>(std::min<std::size_t>(got, chunk_size_));
  remaining_ -= count;
  if (count == 0) return false;
  in_pos_ = 0;
  in_end_ = static_cast<std::size_t>(count);
  if (on_progress_) {
    bytes_read_ += count;
    int percent = ProgressPercent(bytes_read_, bytes_read_ + remaining_);
    on_progress_(percent);
    if (percent == -1) {
      // The chunk stays buffered; the input counts as ended.
      cancelled_ = true;
      if (expanding_) RaiseTruncated();
      return false;
    }
  }
  if (on_yield_) on_yield_();
  end_of_input_ = false;
  return true;
}

void CodecContext::TakeRange(std::uint8_t* out, std::size_t n) {
  const std::uint8_t* in = in_.get() + in_pos_;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += in[i];
  if (descramble_input_) {
    unsigned k = key_index_;
    for (std::size_t i = 0; i < n; ++i) {
      out[i] = in[i] ^ key_[k];
      k = (k + 1) & 3;
    }
    key_index_ = k;
  } else {
    std::memcpy(out, in, n);
  }
  in_sum_ += sum;
  in_pos_ += n;
  taken_ += static_cast<std::int64_t>(n);
}

void CodecContext::Take(std::size_t n) {
  in_sum_ += ByteSum(in_.get() + in_pos_, n);
  key_index_ = static_cast<unsigned>((key_index_ + n) & 3);
  in_pos_ += n;
  taken_ += static_cast<std::int64_t>(n);
}

void CodecContext::FlushFullBuffer() {
  if (on_yield_) on_yield_();
  dest_.WriteAll(out_.get(), static_cast<std::size_t>(out_fill_));
  out_fill_ = 0;
}

void CodecContext::WriteDestBytes(const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    if (budget_ <= 0) throw EUnableToCompress();
    if (out_fill_ == kBufferSize) FlushFullBuffer();
    std::size_t n = std::min<std::size_t>(count, static_cast<std::size_t>(kBufferSize - out_fill_));
    n = std::min<std::size_t>(n, static_cast<std::size_t>(budget_));
    std::uint8_t* out = out_.get() + out_fill_;
    if (scramble_output_) {
      for (std::size_t i = 0; i < n; ++i) out[i] = ScrambleKeyByte(bytes[i]);
    } else {
      std::memcpy(out, bytes, n);
    }
    out_sum_ += ByteSum(out, n);
    budget_ -= static_cast<std::int32_t>(n);
    out_fill_ += static_cast<std::int32_t>(n);
    written_ += static_cast<std::int64_t>(n);
    bytes += n;
    count -= n;
  }
}

void CodecContext::FlushDest() {
  if (out_fill_ > 0) dest_.WriteAll(out_.get(), static_cast<std::size_t>(out_fill_));
  out_fill_ = 0;
}

}  // namespace nolvo::codec
