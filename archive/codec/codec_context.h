#pragma once
// The state of one codec run: the buffered byte source and sink, the checksums, the
// key, the output budget and progress reporting. Every run creates its own context;
// the coders receive it by reference and keep nothing beyond the run.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/codec/codec_errors.h"
#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"

namespace nolvo::codec {

class CodecContext {
 public:
  // Size of the input and output buffers and of a full input chunk.
  static constexpr std::int32_t kBufferSize = 8192;

  // `source_size` bytes may be read from `source`. When expanding the budget is
  // unlimited (2147483647) and stored bytes are descrambled if `keyed` and the key is
  // not 0; when compressing the budget is source_size minus the size margin and stored
  // bytes are scrambled whenever the key is not 0.
  CodecContext(const CodecComponent& component, platform::ByteStream& dest,
               platform::ByteStream& source, std::int32_t source_size, bool expanding, bool keyed);
  CodecContext(const CodecComponent& component, platform::ByteStream& dest,
               platform::ByteStream& source, std::int32_t source_size, TCodecDirection direction)
      : CodecContext(component, dest, source, source_size, direction != TCodecDirection::cdCompress,
                     direction == TCodecDirection::cdExpandKeyed) {}
  CodecContext(const CodecContext&) = delete;
  CodecContext& operator=(const CodecContext&) = delete;

  // The next byte from the source (descrambled when required), or 0 when the input
  // has ended; EndOfInput() then tells the two apart. Reads the source in chunks of
  // up to 8192 bytes, never past the source size, reports progress after each chunk
  // and then calls the component's yield hook. When expanding, a cancel from the progress handler
  // raises ETruncatedData at once; when compressing it ends the input.
  std::uint8_t ReadSourceByte() {
    if (in_pos_ == in_end_ && !FetchChunk()) return 0;
    return TakeByte();
  }

  // Set when the last ReadSourceByte found no more input.
  bool EndOfInput() const { return end_of_input_; }

  // Moves up to `max` bytes that are already buffered into `out` without reading the
  // source (checksummed and descrambled exactly as ReadSourceByte would). Returns how
  // many were moved; 0 means the next byte needs ReadSourceByte.
  std::size_t TakeBuffered(std::uint8_t* out, std::size_t max) {
    std::size_t n = in_end_ - in_pos_;
    if (n > max) n = max;
    if (n > 8) {
      TakeRange(out, n);
      return n;
    }
    const std::uint8_t* in = in_.get() + in_pos_;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += in[i];
    in_sum_ += sum;
    if (descramble_input_) {
      for (std::size_t i = 0; i < n; ++i) out[i] = in[i] ^ key_[(key_index_ + i) & 3];
      key_index_ = static_cast<unsigned>((key_index_ + n) & 3);
    } else {
      for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
    }
    in_pos_ += n;
    taken_ += static_cast<std::int64_t>(n);
    return n;
  }

  // Bytes of the current chunk not yet taken.
  std::size_t Buffered() const { return in_end_ - in_pos_; }

  // For a decoder's inner loop: the bytes of the current chunk not yet taken, as
  // stored (Buffered() of them). The decoder reads them in place, descrambles them
  // with DescrambleMask and then takes what it used with Take.
  const std::uint8_t* Untaken() const { return in_.get() + in_pos_; }
  // The key bytes to XOR onto the eight stored bytes that start `offset` bytes into
  // Untaken(), the first byte in the lowest bits; 0 when nothing is descrambled.
  std::uint64_t DescrambleMask(std::size_t offset) const {
    return std::rotr(key_pattern_, static_cast<int>(8 * ((key_index_ + offset) & 3)));
  }
  // Takes the first n bytes of Untaken() (checksummed, key index advanced) as n
  // calls of ReadSourceByte within the chunk would.
  void Take(std::size_t n);

  // Appends one byte to the output (scrambled when required). Raises
  // EUnableToCompress when the budget is spent; writes the buffer to Dest each time
  // it holds 8192 bytes and another byte arrives.
  void WriteDestByte(std::uint8_t b) {
    if (budget_ <= 0) throw EUnableToCompress();
    --budget_;
    if (out_fill_ == kBufferSize) FlushFullBuffer();
    if (scramble_output_) b = ScrambleKeyByte(b);
    out_[out_fill_++] = b;
    out_sum_ += b;
    ++written_;
  }

  // Same as WriteDestByte for each of `count` bytes in turn.
  void WriteDestBytes(const std::uint8_t* bytes, std::size_t count);

  // Writes what is left in the output buffer to Dest (the end of a run).
  void FlushDest();

  // XORs b with the current key byte and advances the key index (mod 4).
  std::uint8_t ScrambleKeyByte(std::uint8_t b) {
    b ^= key_[key_index_];
    key_index_ = (key_index_ + 1) & 3;
    return b;
  }

  [[noreturn]] static void RaiseTruncated() { throw ETruncatedData(); }

  bool Expanding() const { return expanding_; }
  // Sum of the stored bytes taken from the source, as they were stored.
  std::uint32_t InputChecksum() const { return in_sum_; }
  // Sum of the bytes written, as they were written.
  std::uint32_t OutputChecksum() const { return out_sum_; }
  // Bytes handed to WriteDestByte(s) so far (buffered or written to Dest).
  std::int64_t BytesWritten() const { return written_; }
  // Bytes taken from the source so far (through ReadSourceByte or TakeBuffered).
  std::int64_t BytesTaken() const { return taken_; }
  // True once the progress handler answered -1.
  bool Cancelled() const { return cancelled_; }

 private:
  std::uint8_t TakeByte() {
    std::uint8_t b = in_[in_pos_++];
    in_sum_ += b;
    ++taken_;
    if (descramble_input_) b = ScrambleKeyByte(b);
    return b;
  }
  // TakeBuffered for longer stretches, summing and descrambling a block at a time.
  void TakeRange(std::uint8_t* out, std::size_t n);
  bool FetchChunk();
  void FlushFullBuffer();

  platform::ByteStream& dest_;
  platform::ByteStream& source_;
  const TShowProgressEvent on_progress_;
  const TYieldEvent on_yield_;
  const bool expanding_;
  bool descramble_input_ = false;
  bool scramble_output_ = false;
  std::array<std::uint8_t, 4> key_{};
  unsigned key_index_ = 0;
  std::uint64_t key_pattern_ = 0;  // the key twice, for eight bytes at a time

  std::unique_ptr<std::uint8_t[]> in_;
  std::size_t in_pos_ = 0;
  std::size_t in_end_ = 0;
  std::int32_t remaining_ = 0;
  std::int32_t chunk_size_ = kBufferSize;
  std::int32_t bytes_read_ = 0;
  bool end_of_input_ = false;
  bool cancelled_ = false;

  std::unique_ptr<std::uint8_t[]> out_;
  std::int32_t out_fill_ = 0;
  std::int32_t budget_ = 0;

  std::uint32_t in_sum_ = 0;
  std::uint32_t out_sum_ = 0;
  std::int64_t written_ = 0;
  std::int64_t taken_ = 0;
};

}  // namespace nolvo::codec
