#include "archive/container/entry_walk.h"

#include <gtest/gtest.h>

#include "archive/container/compress_errors.h"
#include "archive/container/listing.h"
#include "tests/container/raw_archive.h"

namespace nolvo::container {
namespace {

using Reason = EDamagedArchive::Reason;

std::vector<std::string> Names(const TCompressedFileList& list) {
  std::vector<std::string> names;
  for (const auto& e : list) names.push_back(e.Name);
  return names;
}

// Lists `bytes` and returns the reason of the damage it reports.
Reason DamageOf(std::vector<std::uint8_t> bytes) {
  platform::MemoryStream s(std::move(bytes));
  TCompressedFileList list;
  try {
    ListEntries(s, nullptr, list);
  } catch (const EDamagedArchive& e) {
    return e.Why();
  }
  ADD_FAILURE() << "no damage reported";
  return Reason::kShortEntryHeader;
}

TEST(ListEntries, ReportsEveryEntryWithItsPositionAndFields) {
  auto locked = raw::StoredEntry("sub\\b.txt", "hello");
  locked.lock_level = 1;
  locked.method = 4;
  platform::MemoryStream s(
      raw::RawArchive({raw::StoredEntry("a.txt", "abc"), locked, raw::StoredEntry("", "")}));
  TCompressedFileList list = {{"kept", {}}};
  ListEntries(s, nullptr, list);
  ASSERT_EQ(Names(list), (std::vector<std::string>{"kept", "a.txt", "sub\\b.txt", ""}));
  EXPECT_EQ(list[1].Info.EntryPosition, 21);
  EXPECT_EQ(list[1].Info.Checksum, 294u);
  EXPECT_FALSE(list[1].Info.Locked);
  EXPECT_EQ(list[2].Info.EntryPosition, 21 + 25 + 5 + 3);
  EXPECT_EQ(list[2].Info.OriginalSize, 5);
  EXPECT_EQ(list[2].Info.Method, TCompressionMethod::coLZH5);
  EXPECT_TRUE(list[2].Info.Locked);
  EXPECT_EQ(list[3].Info.EntryPosition, 21 + 25 + 5 + 3 + 25 + 9 + 5);
}

TEST(ListEntries, AFileShorterThan46BytesListsNothingEvenWithoutASignature) {
  platform::MemoryStream s(std::vector<std::uint8_t>(45, 0));
  TCompressedFileList list;
  ListEntries(s, nullptr, list);
  EXPECT_TRUE(list.empty());
  // 46 bytes: the header and one entry with an empty name and no data.
  platform::MemoryStream smallest(raw::RawArchive({raw::StoredEntry("", "")}));
  ASSERT_EQ(smallest.Size(), 46);
  ListEntries(smallest, nullptr, list);
  EXPECT_EQ(list.size(), 1u);
}

TEST(ListEntries, HeaderErrorsReachTheCaller) {
  auto bytes = raw::RawArchive({raw::StoredEntry("a", "x")});
  bytes[1] = 'e';
  platform::MemoryStream s(bytes);
  TCompressedFileList list;
  EXPECT_THROW(ListEntries(s, nullptr, list), EInvalidHeader);
}

TEST(EntryWalk, AnArchiveCutInsideAnEntryHeaderIsDamaged) {
  const auto whole =
      raw::RawArchive({raw::StoredEntry("a.txt", "abc"), raw::StoredEntry("b.txt", "de")});
  const std::size_t second = 21 + 25 + 5 + 3;
  for (std::size_t cut : {std::size_t{1}, std::size_t{12}, std::size_t{24}}) {
    EXPECT_EQ(DamageOf({whole.begin(), whole.begin() + second + cut}), Reason::kShortEntryHeader)
        << cut;
  }
  EXPECT_EQ(DamageOf({whole.begin(), whole.begin() + second + 25 + 3}), Reason::kNameTooLong);
  EXPECT_EQ(DamageOf({whole.begin(), whole.end() - 1}), Reason::kDataTooLong);
}

TEST(EntryWalk, NegativeAndHugeLengthsAreRejectedBeforeAnyRead) {
  // (A negative OriginalSize is not among them: it only makes decoders write nothing.)
  auto negative_name = raw::StoredEntry("a", "x");
  negative_name.name_length = -1;
  EXPECT_EQ(DamageOf(raw::RawArchive({negative_name})), Reason::kNegativeLength);
  auto negative_data = raw::StoredEntry("a", "x");
  negative_data.compressed_size = -8;
  EXPECT_EQ(DamageOf(raw::RawArchive({negative_data})), Reason::kNegativeLength);
  auto huge_name = raw::StoredEntry("a", "x");
  huge_name.name_length = 32767;
  EXPECT_EQ(DamageOf(raw::RawArchive({huge_name})), Reason::kNameTooLong);
  auto huge_data = raw::StoredEntry("a", "x");
  huge_data.compressed_size = 0x7FFFFFFF;
  EXPECT_EQ(DamageOf(raw::RawArchive({huge_data})), Reason::kDataTooLong);
}

TEST(EntryWalk, ContinuesAtTheDataEndWhateverWasReadOfTheData) {
  platform::MemoryStream s(
      raw::RawArchive({raw::StoredEntry("a", "abcdef"), raw::StoredEntry("b", "gh")}));
  ReadArchiveHeader(s, nullptr);
  TEntryWalker walker(s);
  TArchiveEntry entry;
  ASSERT_TRUE(walker.Next(entry));
  EXPECT_EQ(entry.Name, "a");
  EXPECT_EQ(s.Position(), entry.DataStart);
  char c = 0;
  s.Read(&c, 1);  // a decoder that stops early
  ASSERT_TRUE(walker.Next(entry));
  EXPECT_EQ(entry.Name, "b");
  s.Seek(0, platform::SeekOrigin::soEnd);  // or one that read too far
  walker.SeekToData(entry);
  EXPECT_EQ(s.Position(), entry.DataStart);
  EXPECT_FALSE(walker.Next(entry));
}

}  // namespace
}  // namespace nolvo::container
