#include "archive/codec/lzhuf_match_finder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "lzhuf_reference_encoder.h"
#include "tests/codec/memory_run.h"

namespace nolvo::codec {
namespace {

using testing::Bytes;
using testing::Corpus;
using Finder = LzhufMatchFinder;

constexpr int kWindow = Finder::kWindow;
constexpr int kStart = kWindow - Finder::kMaxMatch;  // where the encoder puts its first byte
constexpr int kHeld = kWindow - Finder::kMaxMatch;   // positions held before the current one

// Drives the finder the way the encoder does (60 look-ahead bytes, the window's
// oldest position leaving as each byte arrives, the input's end leaving old bytes in
// the look-ahead) and holds every answer against plain search trees fed the same way,
// and its length against a scan of all held positions: the trees' walk meets the
// longest string, though not always the nearest of equal ones.
class FinderCheck {
 public:
  explicit FinderCheck(const Bytes& input) : input_(input), finder_(text_), trees_(text_) {
    std::memset(text_, 0x20, sizeof text_);
  }

  void Run() {
    while (fed_ < Finder::kMaxMatch && fed_ < input_.size()) {
      Store(kStart + static_cast<int>(fed_), input_[fed_]);
      ++fed_;
    }
    std::size_t len = fed_;
    if (len == 0) return;
    std::int64_t r = kStart;
    for (std::int64_t p = r - 1; p >= r - Finder::kMaxMatch; --p) {
      finder_.Insert(static_cast<int>(p));
      trees_.Insert(static_cast<int>(p));
    }
    Check(r);
    while (len > 0) {
      const std::int64_t s = r - kStart;
      finder_.Remove(Slot(s));
      trees_.Remove(Slot(s));
      ++r;
      if (fed_ < input_.size()) {
        Store(Slot(s), input_[fed_++]);
        Check(r);
      } else if (--len > 0) {
        Check(r);
      }
    }
  }

  int matches = 0;
  int full_matches = 0;
  int oldest_matches = 0;  // matches against the oldest held position
  int not_nearest = 0;     // matches farther than the nearest of equal length

 private:
  static int Slot(std::int64_t p) { return static_cast<int>(p & (kWindow - 1)); }

  void Store(int slot, std::uint8_t b) {
    text_[slot] = b;
    if (slot < Finder::kMaxMatch - 1) text_[slot + kWindow] = b;
  }

  int Common(std::int64_t a, std::int64_t b) const {
    const std::uint8_t* x = text_ + Slot(a);
    const std::uint8_t* y = text_ + Slot(b);
    int n = 0;
    while (n < Finder::kMaxMatch && x[n] == y[n]) ++n;
    return n;
  }

  void Check(std::int64_t r) {
    int best = 0;
    std::int64_t nearest = -1;
    const std::int64_t oldest = std::max<std::int64_t>(kStart - Finder::kMaxMatch, r - kHeld);
    for (std::int64_t p = r - 1; p >= oldest && best < Finder::kMaxMatch; --p) {
      const int n = Common(p, r);
      if (n > best) {
        best = n;
        nearest = p;
      }
    }
    const Finder::Match got = finder_.Insert(Slot(r));
    const test::LzhufReferenceTrees::Match want = trees_.Insert(Slot(r));
    ASSERT_EQ(got.length, want.length) << "at " << r;
    ASSERT_EQ(got.position, want.position) << "at " << r;
    if (best < Finder::kMinMatch) {
      ASSERT_EQ(got.length, 0) << "at " << r;
      return;
    }
    ASSERT_EQ(got.length, best) << "at " << r;
    const std::int64_t at = r - got.position - 1;
    ASSERT_GE(at, oldest) << "at " << r;
    ASSERT_EQ(Common(at, r), best) << "at " << r;
    ++matches;
    if (best == Finder::kMaxMatch) ++full_matches;
    if (at == r - kHeld) ++oldest_matches;
    if (at != nearest) ++not_nearest;
  }

  const Bytes& input_;
  std::size_t fed_ = 0;
  std::uint8_t text_[Finder::kTextAlloc]{};
  Finder finder_;
  test::LzhufReferenceTrees trees_;
};

void CheckInput(const Bytes& input, const char* what) {
  SCOPED_TRACE(what);
  FinderCheck check(input);
  check.Run();
}

TEST(LzhufMatchFinder, AgreesWithPlainTreesAndAFullScan) {
  for (Corpus kind :
       {Corpus::kText, Corpus::kBinary, Corpus::kRandom, Corpus::kRuns, Corpus::kPeriodic}) {
    CheckInput(testing::MakeCorpus(kind, 9000, 3), "corpus");
  }
  // A small alphabet gives many equally long matches to choose from, and the walk
  // does not always meet the nearest.
  Bytes ab(9000);
  std::mt19937 rng(11);
  for (auto& b : ab) b = static_cast<std::uint8_t>('a' + rng() % 2);
  FinderCheck two_letters(ab);
  two_letters.Run();
  EXPECT_GT(two_letters.not_nearest, 0);
  CheckInput(Bytes(4200, 0x20), "spaces like the initial window");
  CheckInput(Bytes(4200, 'x'), "one byte repeated");
  CheckInput(testing::ToBytes("  ab  ab   ab    ab"), "short, ending inside the look-ahead");
  CheckInput({}, "empty");
}

TEST(LzhufMatchFinder, MatchesAtTheWindowEdge) {
  // A marker string reappears exactly when its first copy is the oldest held position,
  // and again one position too late; filler in between never matches 3 bytes.
  std::mt19937 rng(2);
  Bytes marker(80);
  for (auto& b : marker) b = static_cast<std::uint8_t>(200 + rng() % 50);
  auto filler = [&](std::size_t n) {
    Bytes f;
    for (std::size_t i = 0; i < n; ++i) f.push_back(static_cast<std::uint8_t>(i * 7 % 128));
    return f;
  };
  for (std::size_t gap : {kHeld - 80 - 1, kHeld - 80, kHeld - 80 + 1}) {
    Bytes input = marker;
    const Bytes f = filler(gap);
    input.insert(input.end(), f.begin(), f.end());
    input.insert(input.end(), marker.begin(), marker.end());
    input.insert(input.end(), f.begin(), f.begin() + 200);
    FinderCheck check(input);
    check.Run();
    EXPECT_GT(check.matches, 0);
    if (gap == kHeld - 80) {
      EXPECT_GT(check.oldest_matches, 0);
    }
  }
}

}  // namespace
}  // namespace nolvo::codec
