#pragma once
// Reading the logical stream of a segmented archive across its segment files. The span
// holds one segment open at a time, moves to the next one when the current one is used
// up, and never goes back. Every read goes through blocks of at most 8192 bytes, and the
// pump runs after each block so that a window stays responsive.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "archive/segment/segment_pieces.h"
#include "platform/byte_stream.h"

namespace nolvo::segment {

// The block size of every read from a segment, and the size of the reader's work buffer.
inline constexpr std::size_t kSegBlockSize = 8192;

// A segment file opened for reading, positioned at its first byte.
struct TOpenedSegment {
  std::unique_ptr<platform::ByteStream> Stream;
  std::int64_t Size = 0;       // the file's size in bytes
  std::filesystem::path Host;  // the file on the host (for reading its pieces later)
};

class TSegmentSpan {
 public:
  // Opens segment `number`; throws when it cannot (the caller's prompts live there).
  using OpenFn = std::function<TOpenedSegment(std::uint16_t number)>;
  // Called with a segment's number when the span is done with it and moves on.
  using DoneFn = std::function<void(std::uint16_t number)>;
  using PumpFn = std::function<void()>;

  TSegmentSpan(OpenFn open, DoneFn done, PumpFn pump);
  TSegmentSpan(const TSegmentSpan&) = delete;
  TSegmentSpan& operator=(const TSegmentSpan&) = delete;

  // Opens segment `number` and reads its identification record. Throws ESegError
  // "Invalid Segment ID Header" when the record is short or lacks "SSeg".
  void Open(std::uint16_t number);

  // Reads exactly `count` bytes of the logical stream, opening the following segments as
  // the read reaches them (passing over segments that hold only their identification
  // record). Throws ESegError "Stream read failed" when a segment yields no
  // byte while bytes of it remain, and a segment-limit ESegError when the stream would
  // need a segment after 65535; the open function's errors pass through.
  void Read(void* buffer, std::size_t count);

  // Reads and discards `count` bytes (through `buffer`, of kSegBlockSize bytes).
  void Skip(std::int64_t count, std::uint8_t* buffer);

  // Passes over `count` bytes of the logical stream without reading them and returns
  // where they are. Segments are opened, checked and left exactly as Read would (the
  // same callbacks, the same errors), so the span ends where a read of `count` bytes
  // would; `progress` (when set) receives the bytes passed so far after each piece.
  TSegmentPieces Pass(std::int64_t count,
                      const std::function<void(std::int64_t passed)>& progress = {});

  // Copies `count` bytes into `dest` through `buffer` (kSegBlockSize bytes); `progress`
  // (when set) receives the bytes copied so far after each block.
  void CopyTo(platform::ByteStream& dest, std::int64_t count, std::uint8_t* buffer,
              const std::function<void(std::int64_t copied)>& progress = {});

  // Frees the open segment, if any.
  void Close();

  bool IsOpen() const { return stream_ != nullptr; }
  std::uint16_t SegNumber() const { return number_; }
  std::int64_t SegRemaining() const { return remaining_; }

 private:
  void NextSegment();
  void CopyTo(platform::ByteStream* dest, std::int64_t count, std::uint8_t* buffer,
              const std::function<void(std::int64_t copied)>& progress);
  // Reads at most one block of up to `count` bytes; returns how many arrived.
  std::size_t ReadBlock(std::uint8_t* buffer, std::size_t count);

  OpenFn open_;
  DoneFn done_;
  PumpFn pump_;
  std::unique_ptr<platform::ByteStream> stream_;
  std::filesystem::path host_;
  std::uint16_t number_ = 0;
  std::int64_t size_ = 0;
  std::int64_t remaining_ = 0;
};

}  // namespace nolvo::segment
