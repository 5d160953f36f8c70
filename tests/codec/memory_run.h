#pragma once
// Runs the codec over bytes held in memory, and generates test corpora.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/codec/codec_run.h"
#include "platform/byte_stream.h"
#include "tests/support/corpus.h"

namespace nolvo::codec::testing {

using Bytes = std::vector<std::uint8_t>;

// A source that hands out at most `max_read` bytes per read.
class TrickleStream : public platform::MemoryStream {
 public:
  TrickleStream(std::vector<std::uint8_t> bytes, std::size_t max_read)
      : MemoryStream(std::move(bytes)), max_read_(max_read) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    return MemoryStream::Read(buffer, std::min(count, max_read_));
  }

 private:
  std::size_t max_read_;
};

// A component whose size margin lets the stored form grow past the original.
inline CodecComponent Growable() {
  CodecComponent c;
  c.SizeMargin = -100000000;
  return c;
}

struct RunOutput {
  Bytes bytes;
  std::int32_t checksum = 0;
  std::int32_t result = 0;
  std::int64_t source_position = 0;  // where the source stood after the run
};

inline RunOutput Run(TCompressionMethod method, bool expanding, const Bytes& source_bytes,
                     std::int32_t source_size, std::int32_t original_size,
                     const CodecComponent& component = Growable(), bool keyed = false,
                     std::size_t max_read = 1 << 20) {
  TrickleStream source(source_bytes, max_read);
  platform::MemoryStream dest;
  RunOutput out;
  out.checksum = 12345;
  out.result = RunCodec(component, dest, source, source_size, original_size, method, out.checksum,
                        !expanding ? TCodecDirection::cdCompress
                        : keyed    ? TCodecDirection::cdExpandKeyed
                                   : TCodecDirection::cdExpand);
  out.bytes = dest.Bytes();
  out.source_position = source.Position();
  return out;
}

inline Bytes Compress(TCompressionMethod method, const Bytes& input,
                      const CodecComponent& component = Growable()) {
  return Run(method, false, input, static_cast<std::int32_t>(input.size()), 0, component).bytes;
}

inline RunOutput Expand(TCompressionMethod method, const Bytes& stored, std::int32_t original_size,
                        const CodecComponent& component = {}, bool keyed = false,
                        std::size_t max_read = 1 << 20) {
  return Run(method, true, stored, static_cast<std::int32_t>(stored.size()), original_size,
             component, keyed, max_read);
}

inline std::uint32_t ByteSum(const Bytes& bytes) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return sum;
}

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Deterministic corpora: the shared kinds, plus runs of a few bytes (the escape byte
// among them) and short periodic patterns, which stress run coding and matching.
enum class Corpus { kText, kBinary, kRandom, kRuns, kPeriodic };

inline Bytes MakeCorpus(Corpus kind, std::size_t size, std::uint32_t seed = 1) {
  nolvo::test::Rng rng(seed);
  Bytes out;
  switch (kind) {
    case Corpus::kText:
      return nolvo::test::TextCorpus(size, seed);
    case Corpus::kBinary:
      return nolvo::test::BinaryCorpus(size, seed);
    case Corpus::kRandom:
      return nolvo::test::RandomCorpus(size, seed);
    case Corpus::kRuns:
      while (out.size() < size) {
        const std::uint8_t b = rng.Below(3) == 0 ? 0x94 : static_cast<std::uint8_t>(rng.Below(4));
        out.insert(out.end(), std::min<std::size_t>(1 + rng.Below(300), size - out.size()), b);
      }
      return out;
    case Corpus::kPeriodic: {
      Bytes period(1 + rng.Below(70));
      for (auto& b : period) b = static_cast<std::uint8_t>('a' + rng.Below(5));
      for (std::size_t i = 0; i < size; ++i) out.push_back(period[i % period.size()]);
      return out;
    }
  }
  return out;
}

}  // namespace nolvo::codec::testing
