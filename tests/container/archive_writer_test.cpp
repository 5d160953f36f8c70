#include "archive/container/archive_writer.h"

#include <gtest/gtest.h>

#include "archive/container/compress_errors.h"
#include "archive/container/expand_entry.h"
#include "archive/container/listing.h"

namespace nolvo::container {
namespace {

using Method = TCompressionMethod;

platform::MemoryStream Text(const std::string& s) {
  return platform::MemoryStream(std::vector<std::uint8_t>(s.begin(), s.end()));
}

// Expands every entry of `archive` and returns the names and contents.
std::vector<std::pair<std::string, std::string>> ExpandAll(platform::MemoryStream& archive,
                                                           std::int32_t key = 0) {
  archive.Seek(0, platform::SeekOrigin::soBeginning);
  const TArchiveStart start = ReadArchiveHeader(archive, nullptr);
  TEntryWalker walker(archive);
  TArchiveEntry entry;
  TExpandSettings settings;
  settings.Codec.Key = key;
  settings.CompressID = start.Header.MethodId;
  std::vector<std::pair<std::string, std::string>> files;
  while (walker.Next(entry)) {
    platform::MemoryStream out;
    ExpandEntry(entry, archive, out, settings);
    files.emplace_back(entry.Name, std::string(out.Bytes().begin(), out.Bytes().end()));
  }
  return files;
}

TEST(ArchiveWriter, StoredEntriesRoundTripWithNamesDatesAndTotal) {
  platform::MemoryStream archive;
  TWriterSettings settings;
  settings.ArchiveMethod = Method::coNone;
  TArchiveWriter writer(archive, settings);
  auto a = Text("abc");
  auto b = Text("0123456789");
  const auto info = writer.AddEntry("a.txt", a, 3, Method::coNone, 0x5A216000, 0x21);
  writer.AddEntry("sub dir\\b.txt", b, 10, Method::coNone, 0, 0x20);
  writer.Finish();
  EXPECT_EQ(info.Checksum, 294u);
  EXPECT_EQ(info.EntryPosition, 21);

  TCompressedFileList list;
  ListEntries(archive, nullptr, list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Info.FileDate, 0x5A216000);
  EXPECT_EQ(list[0].Info.Attributes, 0x21);
  EXPECT_EQ(list[1].Name, "sub dir\\b.txt");
  EXPECT_FALSE(list[1].Info.Locked);
  const auto& bytes = archive.Bytes();
  EXPECT_EQ(std::string(bytes.begin() + 5, bytes.begin() + 8), "NON");
  EXPECT_EQ(bytes[8], 13);  // TotalSize
  EXPECT_EQ(ExpandAll(archive), (std::vector<std::pair<std::string, std::string>>{
                                    {"a.txt", "abc"}, {"sub dir\\b.txt", "0123456789"}}));
}

TEST(ArchiveWriter, AKeyLocksEntriesAndIsAddedToTheirChecksums) {
  platform::MemoryStream archive;
  TWriterSettings settings;
  settings.Codec.Key = 1000;
  TArchiveWriter writer(archive, settings);
  auto a = Text("abc");
  const auto info = writer.AddEntry("a", a, 3, Method::coNone, 0, 0);
  writer.Finish();
  EXPECT_TRUE(info.Locked);
  EXPECT_EQ(info.Checksum, 1294u);
  EXPECT_EQ(archive.Bytes()[17], 2);       // header offset 17: written while the key is above 0
  EXPECT_EQ(archive.Bytes()[21 + 21], 1);  // lock level 1: a copy is never scrambled
  EXPECT_EQ(ExpandAll(archive, 0).at(0).second, "abc");
}

TEST(ArchiveWriter, AnEmptyFileIsStoredAsACopyWhateverTheMethod) {
  platform::MemoryStream archive;
  TArchiveWriter writer(archive, {});
  auto empty = Text("");
  const auto info = writer.AddEntry("empty", empty, 0, Method::coLZH5, 0, 0);
  writer.Finish();
  EXPECT_EQ(info.Method, Method::coNone);
  EXPECT_EQ(info.CompressedSize, 0);
  EXPECT_EQ(archive.Size(), 21 + 25 + 5);
}

TEST(ArchiveWriter, TotalSizeIsTheSumOrOneWhenEveryEntryIsEmpty) {
  // A reader stops once the entries passed add up to TotalSize: at 0 it would read none.
  struct Case {
    std::vector<std::string> files;
    std::uint8_t recorded;
    std::int64_t sum;
  };
  const Case cases[] = {{{}, 0, 0}, {{""}, 1, 0}, {{"", ""}, 1, 0}, {{"", "ab", ""}, 2, 2}};
  for (const Case& c : cases) {
    platform::MemoryStream archive;
    TArchiveWriter writer(archive, {});
    for (const std::string& text : c.files) {
      auto source = Text(text);
      writer.AddEntry("f", source, static_cast<std::int64_t>(text.size()), Method::coNone, 0, 0);
    }
    writer.Finish();
    EXPECT_EQ(archive.Bytes()[8], c.recorded) << c.files.size();
    EXPECT_EQ(writer.TotalSize(), c.sum);
  }
}

TEST(ArchiveWriter, RefusesWhatAnArchiveCannotHold) {
  platform::MemoryStream archive;
  TArchiveWriter writer(archive, {});
  auto a = Text("abc");
  EXPECT_THROW(writer.AddEntry(std::string(32768, 'n'), a, 3, Method::coNone, 0, 0), EArchiveLimit);
  EXPECT_THROW(writer.AddEntry("big", a, 0x80000000LL, Method::coNone, 0, 0), EArchiveLimit);
  EXPECT_THROW(writer.AddEntry("c", a, 3, Method::coCustom, 0, 0), std::invalid_argument);
  EXPECT_THROW(writer.AddEntry("d", a, 3, static_cast<Method>(5), 0, 0), std::invalid_argument);
  EXPECT_THROW(writer.AddEntry("short", a, 4, Method::coNone, 0, 0), platform::EStreamError);
}

TEST(ArchiveWriter, AnEntryNotMadeShorterByTheMarginIsStoredAsACopy) {
  for (std::int32_t margin : {0, 1}) {
    platform::MemoryStream archive;
    TWriterSettings settings;
    settings.Codec.SizeMargin = margin;
    TArchiveWriter writer(archive, settings);
    auto plain = Text("abcdef");  // RLE keeps it at 6 bytes
    const auto info = writer.AddEntry("p", plain, 6, Method::coRLE, 0, 0);
    EXPECT_EQ(info.Method, margin == 0 ? Method::coRLE : Method::coNone) << margin;
    EXPECT_EQ(info.CompressedSize, 6);
    writer.Finish();
    EXPECT_EQ(ExpandAll(archive).at(0).second, "abcdef");
  }
}

TEST(ArchiveWriter, CustomEntriesGoThroughOnCompress) {
  platform::MemoryStream archive;
  TWriterSettings settings;
  settings.ArchiveMethod = Method::coCustom;
  std::string id_seen;
  settings.OnCompress = [&](platform::ByteStream& dest, platform::ByteStream& source,
                            std::string& id, std::int32_t&, std::uint32_t& checksum) {
    id_seen = id;
    std::uint8_t b = 0;
    while (source.Read(&b, 1) == 1) {
      checksum += b;
      b ^= 0x55;
      dest.WriteAll(&b, 1);
    }
  };
  TArchiveWriter writer(archive, settings);
  auto a = Text("abcdef");
  const auto info = writer.AddEntry("c", a, 3, Method::coCustom, 0, 0);  // only 3 of 6
  writer.Finish();
  EXPECT_EQ(id_seen, "CUS");
  EXPECT_EQ(info.CompressedSize, 3);
  EXPECT_EQ(info.Checksum, 294u);
  EXPECT_EQ(archive.Bytes().back(), 'c' ^ 0x55);
}

}  // namespace
}  // namespace nolvo::container
