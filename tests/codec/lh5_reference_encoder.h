#pragma once
// A plain model of the -lh5- encoder, for tests: the token choice with one position
// of look-ahead over the naive match rule, then the item buffer, blocks, code
// construction and bit packing written out step by step. Slow: for inputs up to some
// 64 KB.

#include <cstdint>
#include <functional>
#include <vector>

#include "lh5_reference_match.h"

namespace nolvo::codec::test {

struct Lh5Token {
  int symbol;              // 0..255 a literal; 256..509 a match of symbol - 253 bytes
  std::uint32_t distance;  // a match's distance value (0 is the byte just before)
  bool operator==(const Lh5Token&) const = default;
};

inline std::vector<Lh5Token> Lh5ReferenceTokens(const std::vector<std::uint8_t>& in) {
  std::vector<Lh5Token> tokens;
  if (in.empty()) return tokens;
  const std::vector<std::uint8_t> text = Lh5Text(in);
  const PositionIndex index = IndexPositions(text, in.size());
  std::size_t p = 0;  // input index of the current position
  std::int64_t remainder = static_cast<std::int64_t>(in.size());
  std::pair<int, std::size_t> match{0, 0};
  auto advance = [&](bool search) {
    --remainder;
    ++p;
    if (search) {
      match = BruteForceMatch(text, index, p);
      if (match.first > remainder) match.first = static_cast<int>(remainder);
    }
  };
  while (remainder > 0) {
    const auto last = match;
    advance(true);
    if (match.first > last.first || last.first < 3) {
      tokens.push_back({in[p - 1], 0});
      continue;
    }
    tokens.push_back({last.first + 253, static_cast<std::uint32_t>((p - last.second - 2) & 8191)});
    for (int k = 1; k < last.first; ++k) advance(k == last.first - 1);
  }
  return tokens;
}

class Lh5ReferenceWriter {
 public:
  std::vector<std::uint8_t> Write(const std::vector<Lh5Token>& tokens) {
    if (tokens.empty()) return {};
    for (const Lh5Token& t : tokens) PutItem(t);
    SendBlock();
    Bits(7, 0);
    std::vector<std::uint8_t> bytes(bits_.size() / 8);  // a partly filled byte is dropped
    for (std::size_t i = 0; i < bytes.size() * 8; ++i)
      bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] << 1 | bits_[i]);
    return bytes;
  }

 private:
  struct Code {
    int root = 0;  // a symbol when fewer than two occur (its length is then 0)
    std::vector<int> lengths;
    std::vector<std::uint32_t> codes;
  };

  static int BitLength(std::uint32_t v) {
    int n = 0;
    for (; v != 0; v >>= 1) ++n;
    return n;
  }

  void Bits(int n, std::uint32_t v) {
    for (int i = n - 1; i >= 0; --i) bits_.push_back((v >> i) & 1);
  }
  void Symbol(const Code& code, int s) { Bits(code.lengths[s], code.codes[s]); }

  // Groups of eight items behind a flag byte; a literal takes one byte, a match three.
  void PutItem(const Lh5Token& t) {
    if (in_group_ == 8) {
      if (used_ >= 16360) SendBlock();
      ++used_;
      in_group_ = 0;
    }
    ++in_group_;
    used_ += t.symbol < 256 ? 1 : 3;
    block_.push_back(t);
    ++symbol_freq_[static_cast<std::size_t>(t.symbol)];
    if (t.symbol >= 256) ++distance_freq_[static_cast<std::size_t>(BitLength(t.distance))];
  }

  static Code MakeCode(std::vector<std::uint32_t> freq) {
    const int n = static_cast<int>(freq.size());
    Code code{0, std::vector<int>(freq.size()), std::vector<std::uint32_t>(freq.size())};
    freq.resize(2 * freq.size());
    std::vector<int> heap{0};  // from index 1
    for (int s = 0; s < n; ++s)
      if (freq[s] != 0) heap.push_back(s);
    int size = static_cast<int>(heap.size()) - 1;
    if (size < 2) {
      code.root = size == 1 ? heap[1] : 0;
      return code;
    }
    // The left child wins a tie; the sifted entry stops at a child of equal frequency.
    auto sift = [&](int i) {
      const int k = heap[i];
      for (int j = 2 * i; j <= size; i = j, j = 2 * i) {
        if (j < size && freq[heap[j + 1]] < freq[heap[j]]) ++j;
        if (freq[k] <= freq[heap[j]]) break;
        heap[i] = heap[j];
      }
      heap[i] = k;
    };
    for (int i = size / 2; i >= 1; --i) sift(i);
    std::vector<int> taken;
    std::vector<int> left(freq.size());
    std::vector<int> right(freq.size());
    int node = n;
    while (size > 1) {
      const int a = heap[1];
      if (a < n) taken.push_back(a);
      heap[1] = heap[size--];
      sift(1);
      const int b = heap[1];
      if (b < n) taken.push_back(b);
      freq[node] = freq[a] + freq[b];
      left[node] = a;
      right[node] = b;
      heap[1] = node++;
      sift(1);
    }
    code.root = node - 1;
    std::vector<std::uint32_t> count(17);
    std::function<void(int, int)> depths = [&](int at, int depth) {
      if (at < n) {
        ++count[static_cast<std::size_t>(std::min(depth, 16))];
      } else {
        depths(left[at], depth + 1);
        depths(right[at], depth + 1);
      }
    };
    depths(code.root, 0);
    std::uint32_t sum = 0;
    for (int len = 1; len <= 16; ++len) sum += count[len] << (16 - len);
    for (; sum != 65536; --sum) {
      --count[16];
      for (int len = 15; len > 0; --len) {
        if (count[len] != 0) {
          --count[len];
          count[len + 1] += 2;
          break;
        }
      }
    }
    std::size_t k = 0;
    for (int len = 16; len > 0; --len)
      for (std::uint32_t i = 0; i < count[len]; ++i) code.lengths[taken[k++]] = len;
    std::uint32_t next = 0;
    for (int len = 1; len <= 16; ++len, next <<= 1)
      for (int s = 0; s < n; ++s)
        if (code.lengths[s] == len) code.codes[s] = next++;
    return code;
  }

  // Calls zero_run(run) for each run of zero lengths and length(k) for each other
  // length, trailing zeros dropped.
  static void WalkLengths(const std::vector<int>& lengths, const std::function<void(int)>& length,
                          const std::function<void(int)>& zero_run) {
    int n = static_cast<int>(lengths.size());
    while (n > 0 && lengths[n - 1] == 0) --n;
    for (int i = 0; i < n;) {
      if (lengths[i] != 0) {
        length(lengths[i++]);
        continue;
      }
      int run = 0;
      for (; i < n && lengths[i] == 0; ++i) ++run;
      zero_run(run);
    }
  }

  void WriteAuxLengths(const std::vector<int>& lengths, int width, int special) {
    int n = static_cast<int>(lengths.size());
    while (n > 0 && lengths[n - 1] == 0) --n;
    Bits(width, static_cast<std::uint32_t>(n));
    for (int i = 0; i < n;) {
      const int k = lengths[i++];
      if (k < 7) {
        Bits(3, static_cast<std::uint32_t>(k));
      } else {
        for (int b = 0; b < k - 4; ++b) Bits(1, 1);
        Bits(1, 0);
      }
      if (i == special) {
        int zeros = 0;
        while (i < 6 && lengths[i] == 0) ++i, ++zeros;
        Bits(2, static_cast<std::uint32_t>(zeros));
      }
    }
  }

  void SendBlock() {
    const Code symbols = MakeCode(symbol_freq_);
    Bits(16, static_cast<std::uint32_t>(block_.size()) & 0xFFFF);
    if (symbols.root < 510) {
      Bits(5, 0);
      Bits(5, 0);
      Bits(9, 0);
      Bits(9, static_cast<std::uint32_t>(symbols.root));
    } else {
      std::vector<std::uint32_t> cl_freq(19);
      WalkLengths(
          symbols.lengths, [&](int k) { ++cl_freq[static_cast<std::size_t>(k + 2)]; },
          [&](int run) {
            if (run <= 2) {
              cl_freq[0] += static_cast<std::uint32_t>(run);
            } else if (run <= 18) {
              ++cl_freq[1];
            } else if (run == 19) {
              ++cl_freq[0];
              ++cl_freq[1];
            } else {
              ++cl_freq[2];
            }
          });
      const Code cl = MakeCode(cl_freq);
      if (cl.root < 19) {
        Bits(5, 0);
        Bits(5, static_cast<std::uint32_t>(cl.root));
      } else {
        WriteAuxLengths(cl.lengths, 5, 3);
      }
      std::vector<int> trimmed = symbols.lengths;
      while (!trimmed.empty() && trimmed.back() == 0) trimmed.pop_back();
      Bits(9, static_cast<std::uint32_t>(trimmed.size()));
      WalkLengths(
          symbols.lengths, [&](int k) { Symbol(cl, k + 2); },
          [&](int run) {
            if (run <= 2) {
              for (int i = 0; i < run; ++i) Symbol(cl, 0);
            } else if (run <= 18) {
              Symbol(cl, 1);
              Bits(4, static_cast<std::uint32_t>(run - 3));
            } else if (run == 19) {
              Symbol(cl, 0);
              Symbol(cl, 1);
              Bits(4, 15);
            } else {
              Symbol(cl, 2);
              Bits(9, static_cast<std::uint32_t>(run - 20));
            }
          });
    }
    const Code distances = MakeCode(distance_freq_);
    if (distances.root < 14) {
      Bits(4, 0);
      Bits(4, static_cast<std::uint32_t>(distances.root));
    } else {
      WriteAuxLengths(distances.lengths, 4, -1);
    }
    for (const Lh5Token& t : block_) {
      Symbol(symbols, t.symbol);
      if (t.symbol < 256) continue;
      const int b = BitLength(t.distance);
      Symbol(distances, b);
      if (b > 1) Bits(b - 1, t.distance);
    }
    block_.clear();
    used_ = 0;
    symbol_freq_.assign(510, 0);
    distance_freq_.assign(14, 0);
  }

  std::vector<std::uint8_t> bits_;
  std::vector<Lh5Token> block_;
  int used_ = 0;      // bytes of the item buffer in use
  int in_group_ = 8;  // items in the current group; 8 means a new group is due
  std::vector<std::uint32_t> symbol_freq_ = std::vector<std::uint32_t>(510);
  std::vector<std::uint32_t> distance_freq_ = std::vector<std::uint32_t>(14);
};

// What the encoder writes for `in`.
inline std::vector<std::uint8_t> Lh5ReferenceStream(const std::vector<std::uint8_t>& in) {
  return Lh5ReferenceWriter().Write(Lh5ReferenceTokens(in));
}

}  // namespace nolvo::codec::test
