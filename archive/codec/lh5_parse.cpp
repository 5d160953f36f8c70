#include "archive/codec/lh5_parse.h"

#include <algorithm>

namespace nolvo::codec {

void Lh5Tokens::Reset(std::int64_t start, std::size_t room) {
  bytes_.clear();
  if (bytes_.capacity() < room) bytes_.reserve(room);
  mask_ = 0;
  start_ = end_ = start;
}

std::int64_t Lh5Parse(Lh5MatchFinder& finder, const Lh5Stretch& stretch, std::int64_t from,
                      std::int64_t until, Lh5Tokens& out, Lh5Tokens::Reader* meet) {
  constexpr std::int64_t kWindow = Lh5MatchFinder::kWindow;
  // Finder positions count from 1 at input index 0.
  auto pos = [](std::int64_t k) { return static_cast<std::uint32_t>(k + 1); };
  auto at = [&](std::int64_t k) { return stretch.bytes + (k - stretch.first); };
  const std::int64_t end = stretch.input_end;
  auto search = [&](std::int64_t k, int longer_than) {
    Lh5MatchFinder::Match m = finder.Insert(pos(k), at(k), longer_than);
    if (m.length > end - k) m.length = static_cast<int>(end - k);
    return m;
  };

  finder.Reset();
  const std::int64_t primed = std::max(stretch.first, from - kWindow);
  if (from > primed) finder.AddRun(pos(primed), at(primed), static_cast<int>(from - primed));
  out.Reset(from);
  std::int64_t p = from;
  Lh5MatchFinder::Match match = search(p, 2);
  while (p < end && p < until) {
    if (meet != nullptr) {
      meet->SkipTo(p);
      if (!meet->Done() && meet->Position() == p) break;
    }
    const Lh5MatchFinder::Match last = match;
    // Behind a match of 3 or more only a longer one matters.
    match = search(p + 1, last.length);
    if (match.length > last.length || last.length < 3) {
      out.Literal(*at(p));
      ++p;
      continue;
    }
    out.Match(last.length, (pos(p) - last.position - 1) & (kWindow - 1));
    // Only the match at the last position the match covers is looked at.
    finder.AddRun(pos(p + 2), at(p + 2), last.length - 2);
    p += last.length;
    match = search(p, 2);
  }
  return p;
}

}  // namespace nolvo::codec
