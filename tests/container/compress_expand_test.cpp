#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "archive/codec/codec_run.h"
#include "archive/container/compress.h"
#include "archive/container/compress_errors.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "tests/container/raw_archive.h"
#include "tests/support/corpus.h"
#include "tests/support/test_machine.h"
#include "util/file_errors.h"

namespace nolvo::container {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

class CompressExpand : public ::testing::Test {
 protected:
  CompressExpand() : comp_(tm_.Machine()) {
    EXPECT_TRUE(tm_.Machine().SetCurrentDirectory("C:\\").ok());
  }

  // Writes `bytes` as C:\arc.bin and returns that path.
  std::string Archive(const std::vector<std::uint8_t>& bytes) {
    nolvo::test::WriteBytes(tm_.DriveC() / "arc.bin",
                            std::vector<unsigned char>(bytes.begin(), bytes.end()));
    return "C:\\arc.bin";
  }
  fs::path Host(const std::string& relative) { return tm_.DriveC() / relative; }
  std::string Text(const std::string& relative) { return nolvo::test::ReadText(Host(relative)); }

  nolvo::test::TestMachine tm_;
  TCompress comp_;
};

std::vector<raw::RawEntry> ThreeFiles() {
  return {raw::StoredEntry("one.txt", "1"), raw::StoredEntry("two.txt", "22"),
          raw::StoredEntry("three.txt", "333")};
}

TEST_F(CompressExpand, TargetPathGainsABackslashOnlyWhenItHasNone) {
  comp_.SetTargetPath("C:\\app");
  EXPECT_EQ(comp_.TargetPath(), "C:\\app\\");
  comp_.SetTargetPath("C:\\app\\");
  EXPECT_EQ(comp_.TargetPath(), "C:\\app\\");
  comp_.SetTargetPath("");
  EXPECT_EQ(comp_.TargetPath(), "");
}

TEST_F(CompressExpand, WritesEveryEntryBelowTargetPathOrAtItsRootedName) {
  const auto name = Archive(raw::RawArchive(
      {raw::StoredEntry("doc\\readme.txt", "docs"), raw::StoredEntry("\\readme.txt", "root")}));
  comp_.SetTargetPath("C:\\app");
  comp_.SetMakeDirectories(true);
  comp_.ExpandArchiveEntries(name, nullptr);
  EXPECT_EQ(Text("app/doc/readme.txt"), "docs");
  EXPECT_EQ(Text("readme.txt"), "root");
}

TEST_F(CompressExpand, SelectionIgnoresCaseAndIsReplacedByTheWrittenPaths) {
  const auto name = Archive(raw::RawArchive(ThreeFiles()));
  comp_.SetTargetPath("C:\\");
  Paths list = {"THREE.txt", "One.TXT", "missing"};
  comp_.ExpandArchiveEntries(name, &list);
  EXPECT_EQ(list, (Paths{"C:\\one.txt", "C:\\three.txt"}));
  EXPECT_FALSE(fs::exists(Host("two.txt")));

  Paths empty;
  fs::remove(Host("one.txt"));
  comp_.ExpandArchiveEntries(name, &empty);
  EXPECT_TRUE(empty.empty());
  EXPECT_FALSE(fs::exists(Host("one.txt")));
}

TEST_F(CompressExpand, OnCheckFileCanRedirectSkipOrStop) {
  const auto name =
      Archive(raw::RawArchive({raw::StoredEntry("a.txt", "a"), raw::StoredEntry("b.txt", "b"),
                               raw::StoredEntry("c.txt", "c"), raw::StoredEntry("d.txt", "d")}));
  comp_.SetTargetPath("C:\\t");
  fs::create_directory(Host("t"));
  std::vector<std::pair<std::string, TCProcessMode>> seen;
  comp_.OnCheckFile = [&](std::string& path, TCProcessMode mode) {
    seen.emplace_back(path, mode);
    if (path == "C:\\t\\a.txt") path = "C:\\renamed.txt";
    if (path == "C:\\t\\b.txt") path.clear();
    if (path == "C:\\t\\d.txt") path = "*";
  };
  Paths list = {"a.txt", "b.txt", "c.txt", "d.txt"};
  comp_.ExpandArchiveEntries(name, &list);
  EXPECT_EQ(list, (Paths{"C:\\renamed.txt", "C:\\t\\c.txt"}));
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].second, TCProcessMode::pmExpanding);
  EXPECT_EQ(Text("renamed.txt"), "a");
  EXPECT_FALSE(fs::exists(Host("t/b.txt")));
  EXPECT_FALSE(fs::exists(Host("t/d.txt")));
}

TEST_F(CompressExpand, StarOnTheThirdEntryLeavesExactlyTheFirstTwo) {
  const auto name = Archive(raw::RawArchive(ThreeFiles()));
  comp_.SetTargetPath("C:\\");
  int calls = 0;
  comp_.OnCheckFile = [&](std::string& path, TCProcessMode) {
    if (++calls == 3) path = "*";
  };
  Paths list = {"one.txt", "two.txt", "three.txt"};
  comp_.ExpandArchiveEntries(name, &list);
  EXPECT_EQ(list, (Paths{"C:\\one.txt", "C:\\two.txt"}));
  EXPECT_FALSE(fs::exists(Host("three.txt")));
}

TEST_F(CompressExpand, TotalSizeEndsTheArchiveCountingOnlyPassedEntries) {
  auto bytes = raw::RawArchive(ThreeFiles());
  bytes[8] = 3;  // TotalSize 3 of 6
  const auto name = Archive(bytes);
  comp_.SetTargetPath("C:\\");
  comp_.ExpandArchiveEntries(name, nullptr);
  EXPECT_TRUE(fs::exists(Host("two.txt")));
  EXPECT_FALSE(fs::exists(Host("three.txt")));

  // A skipped entry does not count, so the third one is reached.
  fs::remove(Host("one.txt"));
  fs::remove(Host("two.txt"));
  comp_.OnCheckFile = [](std::string& path, TCProcessMode) {
    if (path == "C:\\one.txt") path.clear();
  };
  comp_.ExpandArchiveEntries(name, nullptr);
  EXPECT_FALSE(fs::exists(Host("one.txt")));
  EXPECT_TRUE(fs::exists(Host("three.txt")));

  // An unselected entry does count.
  fs::remove(Host("two.txt"));
  fs::remove(Host("three.txt"));
  comp_.OnCheckFile = nullptr;
  Paths list = {"two.txt", "three.txt"};
  comp_.ExpandArchiveEntries(name, &list);
  EXPECT_EQ(list, (Paths{"C:\\two.txt"}));
}

TEST_F(CompressExpand, OnceTheTotalIsReachedWhatFollowsEndsTheArchive) {
  // "a.txt" and "b.txt" make up the total; each tail follows them.
  const auto tailed = [](std::int32_t total, const std::vector<std::uint8_t>& tail) {
    auto bytes = raw::RawHeader("NON", total);
    raw::AppendEntry(bytes, raw::StoredEntry("a.txt", "aa"));
    raw::AppendEntry(bytes, raw::StoredEntry("b.txt", "b"));
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  };
  const auto header = [](raw::RawEntry e) {
    std::vector<std::uint8_t> out;
    raw::AppendEntry(out, e);
    return out;
  };
  auto negative_name = raw::StoredEntry("x", "x");
  negative_name.name_length = -4;
  auto negative_data = raw::StoredEntry("x", "x");
  negative_data.compressed_size = -1;
  auto long_name = raw::StoredEntry("x", "");
  long_name.name_length = 300;
  auto long_data = raw::StoredEntry("x", "xyz");
  long_data.compressed_size = 4000;
  auto cut_header = header(raw::StoredEntry("late.txt", "late"));
  cut_header.resize(24);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> tail;
    bool damaged_before_the_total;
  };
  const Case cases[] = {
      {"an empty entry", header(raw::StoredEntry("empty.txt", "")), false},
      {"one stray byte", {0x7F}, true},
      {"24 bytes of a header", cut_header, true},
      {"a negative name length", header(negative_name), true},
      {"a negative stored size", header(negative_data), true},
      {"a name past the end", header(long_name), true},
      {"data past the end", header(long_data), true},
  };
  comp_.SetTargetPath("C:\\out");
  fs::create_directory(Host("out"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Host("out"));
    fs::create_directory(Host("out"));
    const auto name = Archive(tailed(3, c.tail));
    Paths list = {"a.txt", "b.txt", "empty.txt", "x", "late.txt"};
    comp_.ExpandArchiveEntries(name, &list);
    EXPECT_EQ(list, (Paths{"C:\\out\\a.txt", "C:\\out\\b.txt"}));
    EXPECT_FALSE(fs::exists(Host("out/empty.txt")));
    // Listing and testing read the same archive to its end without an error.
    TCompressedFileList listed;
    comp_.ListArchiveEntries(name, listed);
    EXPECT_GE(listed.size(), 2u);
    int tested = 0;
    comp_.TestArchiveEntries(name, [&](const TListedEntry&, std::exception_ptr) { ++tested; });
    EXPECT_EQ(tested, static_cast<int>(listed.size()));

    // Before the total is reached the same tail is damage.
    const auto short_of_total = Archive(tailed(4, c.tail));
    if (c.damaged_before_the_total) {
      EXPECT_THROW(comp_.ExpandArchiveEntries(short_of_total, nullptr), EDamagedArchive);
      EXPECT_THROW(comp_.ListArchiveEntries(short_of_total, listed), EDamagedArchive);
    } else {
      comp_.ExpandArchiveEntries(short_of_total, nullptr);
      EXPECT_TRUE(fs::exists(Host("out/empty.txt")));
    }
  }
}

// A file cut inside its first entry header is under 46 bytes: listing, testing and expanding
// all call it damaged when its header promises entries, and pass it over when it promises none.
TEST_F(CompressExpand, AnArchiveCutInsideItsFirstEntryHeaderIsDamagedWhenEntriesArePromised) {
  const auto whole = raw::RawArchive({raw::StoredEntry("a.txt", "abc")});
  for (const std::int32_t total : {3, 0}) {
    for (const std::size_t cut : {std::size_t{1}, std::size_t{24}}) {
      SCOPED_TRACE(std::to_string(total) + " promised, cut " + std::to_string(cut));
      std::vector<std::uint8_t> bytes(whole.begin(), whole.begin() + 21 + cut);
      for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<std::uint8_t>(total >> (8 * i));
      const auto name = Archive(bytes);
      TCompressedFileList listed;
      int tested = 0;
      const auto test = [&] {
        comp_.TestArchiveEntries(name, [&](const TListedEntry&, std::exception_ptr) { ++tested; });
      };
      if (total > 0) {
        EXPECT_THROW(comp_.ListArchiveEntries(name, listed), EDamagedArchive);
        EXPECT_THROW(test(), EDamagedArchive);
        EXPECT_THROW(comp_.ExpandArchiveEntries(name, nullptr), EDamagedArchive);
      } else {
        comp_.ListArchiveEntries(name, listed);
        test();
        comp_.ExpandArchiveEntries(name, nullptr);
      }
      EXPECT_TRUE(listed.empty());
      EXPECT_EQ(tested, 0);
    }
  }
}

TEST_F(CompressExpand, NegativeOriginalSizeDecodesNothingAndCopiesByStoredSize) {
  struct Case {
    std::uint8_t method;
    std::string data;
    std::string expected;
  };
  const Case cases[] = {
      {0, "xyz", "xyz"},        // a stored copy goes by CompressedSize
      {1, "", ""},              // rle
      {2, "\x12\x34\x56", ""},  // lzhuf
      {4, "\x12\x34\x56", ""},  // lh5
  };
  comp_.SetTargetPath("C:\\");
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.method));
    raw::RawEntry entry = raw::StoredEntry("neg.bin", c.data);
    entry.method = c.method;
    entry.original_size = -7;
    entry.checksum = 0;  // what a decoder that writes nothing returns
    auto bytes = raw::RawHeader("LH5", 100);
    raw::AppendEntry(bytes, entry);
    raw::AppendEntry(bytes, raw::StoredEntry("next.txt", "next"));
    const auto name = Archive(bytes);
    Paths list = {"neg.bin", "next.txt"};
    comp_.ExpandArchiveEntries(name, &list);
    EXPECT_EQ(list, (Paths{"C:\\neg.bin", "C:\\next.txt"}));
    EXPECT_EQ(Text("neg.bin"), c.expected);
    EXPECT_EQ(Text("next.txt"), "next");
    TCompressedFileList listed;
    comp_.ListArchiveEntries(name, listed);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].Info.OriginalSize, -7);
  }
}

TEST_F(CompressExpand, ShortFilesExpandNothingAndRaiseNothing) {
  const auto name = Archive(std::vector<std::uint8_t>(20, 0xFF));
  Paths list = {"x"};
  comp_.ExpandArchiveEntries(name, &list);
  EXPECT_TRUE(list.empty());
  // A header and part of an entry is damage, not a short archive.
  auto cut = raw::RawArchive({raw::StoredEntry("a", "abc")});
  cut.resize(30);
  EXPECT_THROW(comp_.ExpandArchiveEntries(Archive(cut), nullptr), EDamagedArchive);
}

TEST_F(CompressExpand, DateAndAttributesAreApplied) {
  auto entry = raw::StoredEntry("ro.txt", "data");
  // 2020-01-02 03:04:06
  entry.file_date =
      static_cast<std::int32_t>(((40u << 9 | 1u << 5 | 2u) << 16) | (3u << 11 | 4u << 5 | 3u));
  entry.attributes = 0x21;
  const auto name = Archive(raw::RawArchive({raw::StoredEntry("empty", ""), entry}));
  comp_.SetTargetPath("C:\\");
  comp_.ExpandArchiveEntries(name, nullptr);
  std::uint16_t date = 0, time = 0;
  ASSERT_TRUE(platform::GetFileDosTime(tm_.Machine(), "C:\\ro.txt", date, time).ok());
  EXPECT_EQ(date, static_cast<std::uint32_t>(entry.file_date) >> 16);
  EXPECT_EQ(time, static_cast<std::uint32_t>(entry.file_date) & 0xFFFF);
  EXPECT_EQ(platform::GetFileAttributes(tm_.Machine(), "C:\\ro.txt") & 0x01, 0x01u);
  EXPECT_TRUE(fs::exists(Host("empty")));
}

TEST_F(CompressExpand, AFileThatCannotBeCreatedIsSkippedUnlessExceptionOnFileError) {
  const auto name = Archive(
      raw::RawArchive({raw::StoredEntry("nodir\\a.txt", "a"), raw::StoredEntry("b.txt", "b")}));
  comp_.SetTargetPath("C:\\");
  Paths list = {"nodir\\a.txt", "b.txt"};
  comp_.ExpandArchiveEntries(name, &list);
  EXPECT_EQ(list, (Paths{"C:\\b.txt"}));

  comp_.SetExceptionOnFileError(true);
  list = {"nodir\\a.txt", "b.txt"};
  try {
    comp_.ExpandArchiveEntries(name, &list);
    FAIL();
  } catch (const util::EFCreateError& e) {
    EXPECT_STREQ(e.what(), "Cannot create file C:\\nodir\\a.txt");
  }
  EXPECT_EQ(list.size(), 2u);  // unchanged by the failed call
}

TEST_F(CompressExpand, ADirectoryThatCannotBeMadeRaises) {
  nolvo::test::WriteBytes(Host("plain"), "x");
  const auto name = Archive(raw::RawArchive({raw::StoredEntry("plain\\sub\\a.txt", "a")}));
  comp_.SetTargetPath("C:\\");
  comp_.SetMakeDirectories(true);
  EXPECT_THROW(comp_.ExpandArchiveEntries(name, nullptr), util::EInOutError);
}

TEST_F(CompressExpand, MakeDirectoryPathStopsBelowThreeCharacters) {
  struct Case {
    const char* path;
    std::vector<const char*> made;  // below C:\ (the current directory)
  };
  const Case cases[] = {
      {"C:\\a\\b\\c\\", {"a", "a/b", "a/b/c"}},
      {"C:\\a\\b\\c", {"a", "a/b", "a/b/c"}},  // exists: nothing more to do
      {"", {}},
      {"C:", {}},
      {"C:\\", {}},
      {"xy", {}},    // too short to be made
      {"xy\\", {}},  // likewise once its backslash is dropped
      {"\\q", {}},
      {"xyz", {"xyz"}},               // relative to the current directory C:\ .
      {"C:\\mm\\n", {"mm", "mm/n"}},  // the whole path's length counts, not the name's
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    comp_.MakeDirectoryPath(c.path);
    for (const char* made : c.made) EXPECT_TRUE(fs::is_directory(Host(made))) << made;
  }
  EXPECT_FALSE(fs::exists(Host("xy")));
  EXPECT_FALSE(fs::exists(Host("q")));
  // A short relative parent is not made, so its child cannot be.
  EXPECT_THROW(comp_.MakeDirectoryPath("ab\\cd"), util::EInOutError);
}

TEST_F(CompressExpand, ALockedEntryWithoutKeyLeavesNoFile) {
  auto locked = raw::StoredEntry("locked.bin", "abc");
  locked.method = 4;
  locked.lock_level = 2;
  const auto name = Archive(raw::RawArchive({raw::StoredEntry("first.txt", "1"), locked}));
  comp_.SetTargetPath("C:\\");
  Paths list = {"first.txt", "locked.bin"};
  EXPECT_THROW(comp_.ExpandArchiveEntries(name, &list), EInvalidKey);
  EXPECT_TRUE(fs::exists(Host("first.txt")));
  EXPECT_FALSE(fs::exists(Host("locked.bin")));
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], "first.txt");
}

TEST_F(CompressExpand, AFileThatFailsItsChecksumStaysWithItsAttributes) {
  auto bad = raw::StoredEntry("bad.bin", "abc");
  bad.method = 7;  // nothing decodes it: empty output, checksum 0 against 294
  bad.attributes = 0x21;
  const auto name = Archive(raw::RawArchive({bad}));
  comp_.SetTargetPath("C:\\");
  EXPECT_THROW(comp_.ExpandArchiveEntries(name, nullptr), EBadChecksum);
  EXPECT_TRUE(fs::exists(Host("bad.bin")));
  EXPECT_EQ(platform::GetFileAttributes(tm_.Machine(), "C:\\bad.bin") & 0x01, 0x01u);
}

TEST_F(CompressExpand, AFileThatFailsItsChecksumKeepsEveryByteExpanded) {
  // Larger than the output buffer, so that part of it is written before the failure.
  const auto original = nolvo::test::TextCorpus(700000);
  platform::MemoryStream source(original), stored;
  std::int32_t checksum = 0;
  codec::RunCodec({}, stored, source, static_cast<std::int32_t>(original.size()), 0,
                  codec::TCompressionMethod::coLZH5, checksum, codec::TCodecDirection::cdCompress);
  raw::RawEntry entry;
  entry.name = "text.txt";
  entry.data = stored.Bytes();
  entry.original_size = static_cast<std::int32_t>(original.size());
  entry.method = 4;  // lh5
  entry.checksum = static_cast<std::uint32_t>(checksum) + 1;
  comp_.SetTargetPath("C:\\");
  EXPECT_THROW(comp_.ExpandArchiveEntries(Archive(raw::RawArchive({entry})), nullptr),
               EBadChecksum);
  const auto written = nolvo::test::ReadBytes(Host("text.txt"));
  EXPECT_TRUE(std::equal(written.begin(), written.end(), original.begin(), original.end()));
}

TEST_F(CompressExpand, TheArchiveIsOpenedExclusivelyAndClosedAfterwards) {
  const auto name = Archive(raw::RawArchive(ThreeFiles()));
  EXPECT_THROW(comp_.ExpandArchiveEntries("C:\\missing.bin", nullptr), util::EFOpenError);
  {
    platform::WinError error;
    auto held = platform::OpenFileRead(tm_.Machine(), name, platform::ShareMode::shDenyNone, error);
    ASSERT_TRUE(held);
    TCompressedFileList entries;
    EXPECT_THROW(comp_.ListArchiveEntries(name, entries), util::EFOpenError);
  }
  TCompressedFileList entries;
  comp_.ListArchiveEntries(name, entries);
  EXPECT_EQ(entries.size(), 3u);
  EXPECT_TRUE(platform::DeleteFile(tm_.Machine(), name).ok());  // nothing holds it now
}

TEST_F(CompressExpand, FreeSpaceIsUnlimitedWhenOffAndCountsTheFileBeingReplaced) {
  EXPECT_EQ(comp_.CheckFreeSpace("C:\\x"), 2147483647);
  comp_.SetCheckSpaceBeforeExpand(true);
  EXPECT_EQ(comp_.CheckFreeSpace("Q:\\unmapped"), 2147483647);
  // A sparse file of 1 TiB takes no space but is replaced: its size comes free.
  {
    std::ofstream(Host("sparse.bin")).close();
    fs::resize_file(Host("sparse.bin"), std::uintmax_t{1} << 40);
  }
  const std::int64_t without = comp_.CheckFreeSpace("c:\\new.bin");
  const std::int64_t with = comp_.CheckFreeSpace("c:\\SPARSE.BIN");
  EXPECT_GT(without, 0);
  EXPECT_NEAR(static_cast<double>(with - without), static_cast<double>(std::int64_t{1} << 40), 1e9);
}

}  // namespace
}  // namespace nolvo::container
