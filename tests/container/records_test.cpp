#include <gtest/gtest.h>

#include "archive/container/archive_header.h"
#include "archive/container/compress_errors.h"
#include "archive/container/entry_header.h"
#include "archive/container/entry_walk.h"
#include "tests/container/raw_archive.h"

namespace nolvo::container {
namespace {

std::array<std::uint8_t, kArchiveHeaderSize> HeaderBytes(std::vector<std::uint8_t> v) {
  std::array<std::uint8_t, kArchiveHeaderSize> a{};
  std::copy(v.begin(), v.begin() + kArchiveHeaderSize, a.begin());
  return a;
}

TEST(ArchiveHeader, DecodesEveryFieldAndWritesTheSameBytes) {
  auto raw = raw::RawHeader("RLE", 0x01020304);
  raw[13] = 7;  // offset 13, not examined but kept
  raw[17] = 2;
  const TCompressHeader h = ParseArchiveHeader(HeaderBytes(raw));
  EXPECT_EQ(h.MethodId, "RLE");
  EXPECT_EQ(h.TotalSize, 0x01020304);
  EXPECT_EQ(h.ArchiveType, caMulti);
  EXPECT_EQ(h.Reserved13, 7);
  EXPECT_EQ(h.Reserved17, 2);
  const auto again = FormatArchiveHeader(h);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), raw.begin()));
}

TEST(ArchiveHeader, SignatureMustBeExactAndTypeMustBeMulti) {
  auto lower = raw::RawHeader();
  lower[0] = 'v';
  EXPECT_THROW(ParseArchiveHeader(HeaderBytes(lower)), EInvalidHeader);
  auto no_eof = raw::RawHeader();
  no_eof[4] = 0;
  EXPECT_THROW(ParseArchiveHeader(HeaderBytes(no_eof)), EInvalidHeader);
  try {
    ParseArchiveHeader(HeaderBytes(raw::RawHeader("LH5", 10, 0)));
    FAIL();
  } catch (const EInvalidHeaderArchiveType& e) {
    EXPECT_STREQ(e.what(), "Archive type must be caMulti");
  }
}

TEST(ArchiveHeader, ANewArchiveMarksAPositiveKeyAtOffset17) {
  EXPECT_EQ(NewArchiveHeader(TCompressionMethod::coLZH5, 5).Reserved17, 2);
  EXPECT_EQ(NewArchiveHeader(TCompressionMethod::coLZH5, -5).Reserved17, 0);
  const auto h = NewArchiveHeader(TCompressionMethod::coRLE, 0);
  EXPECT_EQ(h.MethodId, "RLE");
  EXPECT_EQ(h.TotalSize, 0);
  EXPECT_EQ(h.ArchiveType, caMulti);
  EXPECT_EQ(h.Reserved17, 0);
}

TEST(EntryHeader, FieldsSitAtTheirOffsets) {
  raw::RawEntry e;
  e.name = "ab";
  e.file_date = static_cast<std::int32_t>(0x5A216000);
  e.attributes = 0x21;
  e.original_size = 0x11223344;
  e.compressed_size = 3;
  e.data = {1, 2, 3};
  e.method = 4;
  e.checksum = 0xFEDCBA98;
  e.lock_level = 2;
  std::vector<std::uint8_t> raw;
  raw::AppendEntry(raw, e);
  std::array<std::uint8_t, kEntryHeaderSize> bytes{};
  std::copy(raw.begin(), raw.begin() + kEntryHeaderSize, bytes.begin());
  const TCompressEntryHeader h = ParseEntryHeader(bytes);
  EXPECT_EQ(h.NameLength, 2);
  EXPECT_EQ(h.FileDate, static_cast<std::int32_t>(0x5A216000));
  EXPECT_EQ(h.Attributes, 0x21);
  EXPECT_EQ(h.OriginalSize, 0x11223344);
  EXPECT_EQ(h.CompressedSize, 3);
  EXPECT_EQ(h.Method, TCompressionMethod::coLZH5);
  EXPECT_EQ(h.Checksum, 0xFEDCBA98u);
  EXPECT_EQ(h.LockLevel, 2);
  EXPECT_TRUE(h.Locked());
  EXPECT_EQ(FormatEntryHeader(h), bytes);
}

TEST(ReadArchiveHeader, FewerThan21BytesReadNothingAndAssumeANewArchive) {
  platform::MemoryStream s(std::vector<std::uint8_t>(20, 'x'));
  const TArchiveStart start = ReadArchiveHeader(s, nullptr);
  EXPECT_TRUE(start.Assumed);
  EXPECT_EQ(start.Header.TotalSize, 0);
  EXPECT_EQ(s.Position(), 0);
}

TEST(ReadArchiveHeader, KnownIdsAreExactAndOthersGoToOnRecognize) {
  platform::MemoryStream known(raw::RawHeader("CUS"));
  EXPECT_EQ(ReadArchiveHeader(known, nullptr).Method, TCompressionMethod::coCustom);
  EXPECT_EQ(known.Position(), 21);

  std::string asked;
  auto accept = [&](const std::string& id, bool& recognized) {
    asked = id;
    recognized = true;
  };
  platform::MemoryStream lower(raw::RawHeader("lh5"));
  EXPECT_EQ(ReadArchiveHeader(lower, accept).Method, TCompressionMethod::coCustom);
  EXPECT_EQ(asked, "lh5");

  auto refuse = [](const std::string&, bool&) {};
  for (const TRecognizeEvent& handler : {TRecognizeEvent(refuse), TRecognizeEvent()}) {
    platform::MemoryStream s(raw::RawHeader("lh5"));
    try {
      ReadArchiveHeader(s, handler);
      FAIL();
    } catch (const EUnrecognizedCompressionMethod& e) {
      EXPECT_STREQ(e.what(), "Unrecognized compression method: \"lh5\" in header");
    }
  }
}

}  // namespace
}  // namespace nolvo::container
