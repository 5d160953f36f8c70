#include "archive/container/expand_entry.h"

#include <gtest/gtest.h>

#include "archive/container/compress_errors.h"
#include "tests/container/raw_archive.h"

namespace nolvo::container {
namespace {

// The first entry of a hand-made archive, read back through the walk.
struct OneEntry {
  explicit OneEntry(const raw::RawEntry& raw) : archive(raw::RawArchive({raw})) {
    ReadArchiveHeader(archive, nullptr);
    TEntryWalker walker(archive);
    EXPECT_TRUE(walker.Next(entry));
  }
  std::string Expand(const TExpandSettings& settings) {
    platform::MemoryStream out;
    ExpandEntry(entry, archive, out, settings);
    return {out.Bytes().begin(), out.Bytes().end()};
  }
  platform::MemoryStream archive;
  TArchiveEntry entry;
};

TExpandSettings WithKey(std::int32_t key) {
  TExpandSettings s;
  s.Codec.Key = key;
  return s;
}

TEST(ExpandEntry, AStoredCopyIsNeverCheckedNorRefusedForItsLock) {
  auto raw = raw::StoredEntry("a", "abc");
  raw.checksum = 1;
  raw.lock_level = 2;
  EXPECT_EQ(OneEntry(raw).Expand(WithKey(0)), "abc");
  EXPECT_EQ(OneEntry(raw::StoredEntry("e", "")).Expand(WithKey(0)), "");
}

TEST(ExpandEntry, ALockedEntryWithoutKeyFailsBeforeAnythingIsWritten) {
  auto raw = raw::StoredEntry("a", "abc");
  raw.method = 4;
  raw.lock_level = 1;
  OneEntry one(raw);
  platform::MemoryStream out;
  EXPECT_THROW(ExpandEntry(one.entry, one.archive, out, WithKey(0)), EInvalidKey);
  EXPECT_EQ(out.Size(), 0);
}

// A custom method for the tests: every stored byte is the original XOR 0x55.
TExpandEvent XorExpander(std::string* seen_id = nullptr) {
  return [seen_id](platform::ByteStream& dest, platform::ByteStream& source, std::int32_t size,
                   std::int32_t, const std::string& id, std::uint32_t& checksum) {
    if (seen_id) *seen_id = id;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size) + 100);
    const std::size_t got = source.Read(data.data(), data.size());  // asks for too much
    data.resize(got);
    for (auto& b : data) {
      b ^= 0x55;
      checksum += b;
    }
    dest.WriteAll(data.data(), data.size());
  };
}

raw::RawEntry XorEntry(const std::string& text) {
  raw::RawEntry e = raw::StoredEntry("x", text);
  for (auto& b : e.data) b ^= 0x55;
  e.method = 3;
  return e;
}

TEST(ExpandEntry, CustomEntriesGoThroughOnExpandAndCannotReadPastTheirData) {
  auto raw = XorEntry("hello");
  std::vector<std::uint8_t> archive_bytes = raw::RawArchive({raw, XorEntry("tail")}, "ZZZ");
  platform::MemoryStream archive(archive_bytes);
  const TArchiveStart start =
      ReadArchiveHeader(archive, [](const std::string&, bool& ok) { ok = true; });
  TEntryWalker walker(archive);
  TArchiveEntry entry;
  ASSERT_TRUE(walker.Next(entry));
  TExpandSettings settings;
  std::string seen_id;
  settings.OnExpand = XorExpander(&seen_id);
  settings.CompressID = start.Header.MethodId;
  platform::MemoryStream out;
  ExpandEntry(entry, archive, out, settings);
  EXPECT_EQ(std::string(out.Bytes().begin(), out.Bytes().end()), "hello");
  EXPECT_EQ(seen_id, "ZZZ");
}

TEST(ExpandEntry, ChecksumRulesForOpenAndLockedEntries) {
  TExpandSettings open;
  open.OnExpand = XorExpander();
  auto bad = XorEntry("abc");
  bad.checksum = 295;
  EXPECT_THROW(OneEntry(bad).Expand(open), EBadChecksum);

  TExpandSettings keyed = WithKey(1000);
  keyed.OnExpand = XorExpander();
  auto locked = XorEntry("abc");
  locked.lock_level = 1;
  locked.checksum = 294 + 1000;
  EXPECT_EQ(OneEntry(locked).Expand(keyed), "abc");
  locked.checksum = 294;  // the sum alone also passes
  EXPECT_EQ(OneEntry(locked).Expand(keyed), "abc");
  locked.checksum = 294 + 999;
  EXPECT_THROW(OneEntry(locked).Expand(keyed), EInvalidKey);

  // The key is added modulo 2^32.
  TExpandSettings negative = WithKey(-300);
  negative.OnExpand = XorExpander();
  locked.checksum = static_cast<std::uint32_t>(294 - 300);
  EXPECT_EQ(OneEntry(locked).Expand(negative), "abc");
}

TEST(ExpandEntry, NothingDecodesAnUnknownMethodOrACustomEntryWithoutHandler) {
  for (std::uint8_t method : {std::uint8_t{3}, std::uint8_t{5}, std::uint8_t{200}}) {
    auto raw = raw::StoredEntry("a", "abc");
    raw.method = method;
    raw.checksum = 0;
    EXPECT_EQ(OneEntry(raw).Expand(WithKey(0)), "") << int(method);
    raw.checksum = 294;
    EXPECT_THROW(OneEntry(raw).Expand(WithKey(0)), EBadChecksum) << int(method);
  }
}

}  // namespace
}  // namespace nolvo::container
