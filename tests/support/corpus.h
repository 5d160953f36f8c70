#pragma once
// Deterministic test and benchmark inputs of four kinds, generated on the fly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nolvo::test {

// A small, fast, seedable generator (xorshift64*), so corpora never depend on the
// standard library's distributions.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>((Next() >> 32) % n); }

 private:
  std::uint64_t state_;
};

// English-like text: words from a skewed vocabulary, punctuation and line breaks.
inline std::vector<std::uint8_t> TextCorpus(std::size_t size, std::uint64_t seed = 1) {
  static const char* const kWords[] = {"the",
                                       "of",
                                       "and",
                                       "to",
                                       "in",
                                       "a",
                                       "is",
                                       "that",
                                       "for",
                                       "it",
                                       "as",
                                       "was",
                                       "with",
                                       "be",
                                       "by",
                                       "on",
                                       "not",
                                       "he",
                                       "this",
                                       "are",
                                       "or",
                                       "his",
                                       "from",
                                       "at",
                                       "which",
                                       "but",
                                       "have",
                                       "an",
                                       "had",
                                       "they",
                                       "you",
                                       "were",
                                       "their",
                                       "one",
                                       "all",
                                       "we",
                                       "setup",
                                       "install",
                                       "directory",
                                       "archive",
                                       "segment",
                                       "windows",
                                       "program",
                                       "file",
                                       "compressed",
                                       "expansion",
                                       "configuration",
                                       "shortcut",
                                       "registry",
                                       "uninstall",
                                       "destination",
                                       "product",
                                       "licence",
                                       "temporary",
                                       "progress",
                                       "checksum",
                                       "header"};
  constexpr std::size_t kCount = sizeof kWords / sizeof kWords[0];
  Rng rng(seed);
  std::vector<std::uint8_t> out;
  out.reserve(size + 32);
  std::size_t line = 0;
  while (out.size() < size) {
    // Skewed choice: low indices are far more frequent.
    const std::uint32_t r = rng.Below(kCount * kCount);
    const char* w = kWords[(r / kCount) * (r % kCount) / kCount];
    const std::size_t before = out.size();
    for (const char* p = w; *p; ++p) out.push_back(static_cast<std::uint8_t>(*p));
    if (rng.Below(97) == 0) out.push_back(static_cast<std::uint8_t>('0' + rng.Below(10)));
    line += out.size() - before + 1;
    const std::uint32_t punct = rng.Below(20);
    if (punct == 0) out.push_back('.');
    if (punct == 1) out.push_back(',');
    if (line > 72) {
      out.push_back('\r');
      out.push_back('\n');
      line = 0;
    } else {
      out.push_back(' ');
    }
  }
  out.resize(size);
  return out;
}

// Binary-like data: little-endian records with counters, small integers, repeated
// structures and some noise, like executables and tables.
inline std::vector<std::uint8_t> BinaryCorpus(std::size_t size, std::uint64_t seed = 2) {
  Rng rng(seed);
  std::vector<std::uint8_t> out;
  out.reserve(size + 64);
  std::uint32_t counter = 0x401000;
  while (out.size() < size) {
    const std::uint32_t kind = rng.Below(4);
    if (kind == 0) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(counter >> (8 * i)));
      counter += 4 * (1 + rng.Below(8));
    } else if (kind == 1) {
      const std::uint32_t n = rng.Below(16);
      out.push_back(static_cast<std::uint8_t>(n));
      out.push_back(0);
      out.push_back(0);
      out.push_back(0);
    } else if (kind == 2) {
      static const std::uint8_t kOps[] = {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x53, 0x56,
                                          0x57, 0xE8, 0x5F, 0x5E, 0x5B, 0xC9, 0xC3, 0x90};
      const std::uint32_t start = rng.Below(8);
      for (std::uint32_t i = start; i < start + 4 + rng.Below(5); ++i) out.push_back(kOps[i % 16]);
    } else {
      for (std::uint32_t i = 0, n = 1 + rng.Below(6); i < n; ++i)
        out.push_back(static_cast<std::uint8_t>(rng.Next()));
    }
  }
  out.resize(size);
  return out;
}

// Bytes with no structure at all.
inline std::vector<std::uint8_t> RandomCorpus(std::size_t size, std::uint64_t seed = 3) {
  Rng rng(seed);
  std::vector<std::uint8_t> out(size);
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t v = rng.Next();
    for (std::size_t k = 0; k < 8 && i + k < size; ++k)
      out[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
  }
  return out;
}

// Long runs of a few byte values and short repeating patterns.
inline std::vector<std::uint8_t> RepetitiveCorpus(std::size_t size, std::uint64_t seed = 4) {
  Rng rng(seed);
  std::vector<std::uint8_t> out;
  out.reserve(size + 1024);
  while (out.size() < size) {
    if (rng.Below(3) == 0) {
      const std::uint8_t pattern[3] = {static_cast<std::uint8_t>(rng.Below(4)),
                                       static_cast<std::uint8_t>(rng.Below(4)), 0xFF};
      for (std::uint32_t i = 0, n = rng.Below(600); i < n; ++i) out.push_back(pattern[i % 3]);
    } else {
      out.insert(out.end(), 1 + rng.Below(1000), static_cast<std::uint8_t>(rng.Below(3) * 0x20));
    }
  }
  out.resize(size);
  return out;
}

}  // namespace nolvo::test
