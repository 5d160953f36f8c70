// The packed records of the segmented stream and the names of segment files.

#include <gtest/gtest.h>

#include "archive/segment/seg_arc_header.h"
#include "archive/segment/seg_error.h"
#include "archive/segment/seg_header.h"
#include "archive/segment/seg_id_header.h"
#include "archive/segment/seg_names.h"
#include "archive/segment/seg_scan_header.h"

namespace nolvo::segment {
namespace {

template <typename Fn>
ESegError::Kind KindOf(Fn&& fn) {
  try {
    fn();
  } catch (const ESegError& e) {
    return e.Why();
  }
  ADD_FAILURE() << "no ESegError";
  return ESegError::Kind::skAborted;
}

TEST(SegRecords, IdHeaderOfSegmentTwoIsSSegAnyTwoBytesThenTwoZero) {
  TSegIdBytes bytes{'S', 'S', 'e', 'g', 0xAB, 0xCD, 0x02, 0x00};
  const auto header = ParseSegIdHeader(bytes);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->SegmentNumber, 2);
  EXPECT_EQ(header->Reserved, 0xCDAB);

  TSegIdHeader written;
  written.SegmentNumber = 0x0102;
  EXPECT_EQ(FormatSegIdHeader(written), (TSegIdBytes{'S', 'S', 'e', 'g', 0, 0, 0x02, 0x01}));

  bytes[1] = 's';
  EXPECT_FALSE(ParseSegIdHeader(bytes));
}

TEST(SegRecords, SegHeaderFieldsAndId) {
  TSegHeader header;
  header.ArchiveCount = 0x1234;
  auto bytes = FormatSegHeader(header);
  EXPECT_EQ(bytes[6], 0x34);
  EXPECT_EQ(bytes[7], 0x12);
  bytes[4] = 0xFF;  // not examined
  bytes[20] = 0xFF;
  EXPECT_EQ(ParseSegHeader(bytes).ArchiveCount, 0x1234);
  bytes[0] = 'X';
  EXPECT_EQ(KindOf([&] { ParseSegHeader(bytes); }), ESegError::Kind::skInvalidSegmentHeader);
}

TEST(SegRecords, ScanHeaderRoundTripsAtItsOffsets) {
  TSegScanHeader header;
  header.TemplateLength = 8192;
  header.Flags = 0x5A;
  header.RecordLength = 260;
  header.ArchiveLength = 0x01020304;
  const auto bytes = FormatSegScanHeader(header);
  EXPECT_EQ(bytes[8], 0x5A);
  EXPECT_EQ(bytes[9], 4);  // 260 = 0x104
  EXPECT_EQ(bytes[10], 1);
  EXPECT_EQ(bytes[13], 4);
  EXPECT_EQ(bytes[16], 1);
  const auto back = ParseSegScanHeader(bytes);
  EXPECT_EQ(back.TemplateLength, 8192);
  EXPECT_EQ(back.Flags, 0x5A);
  EXPECT_EQ(back.RecordLength, 260);
  EXPECT_EQ(back.ArchiveLength, 0x01020304);
}

TEST(SegRecords, ScanHeaderRejectsLengthsOutsideTheWorkBuffer) {
  const auto with = [](std::uint16_t tl, std::int32_t rl, std::int32_t al) {
    TSegScanHeader h;
    h.TemplateLength = tl;
    h.RecordLength = rl;
    h.ArchiveLength = al;
    return FormatSegScanHeader(h);
  };
  using K = ESegError::Kind;
  struct Lengths {
    int tl, rl, al;
  };
  for (const Lengths& l : {Lengths{8193, 10, 0}, Lengths{65535, 10, 0}, Lengths{5, 8193, 0},
                           Lengths{5, -1, 0}, Lengths{5, 10, -5}}) {
    EXPECT_EQ(
        KindOf([&] { ParseSegScanHeader(with(static_cast<std::uint16_t>(l.tl), l.rl, l.al)); }),
        K::skInvalidLength)
        << l.tl << " " << l.rl << " " << l.al;
  }
  // An empty template, and records of no width (valid for an empty list file, which the
  // reader checks once it has the list file), up to the work buffer's size.
  for (const auto& [tl, rl] : {std::pair{0, 0}, std::pair{0, 10}, std::pair{5, 0},
                               std::pair{8192, 8192}, std::pair{1, 1}}) {
    const auto back = ParseSegScanHeader(with(static_cast<std::uint16_t>(tl), rl, 0));
    EXPECT_EQ(back.TemplateLength, tl);
    EXPECT_EQ(back.RecordLength, rl);
  }
  auto bytes = with(5, 10, 0);
  bytes[3] = 'N';
  EXPECT_EQ(KindOf([&] { ParseSegScanHeader(bytes); }), K::skInvalidScanId);
  try {
    ParseSegScanHeader(with(5, 8193, 0));
  } catch (const ESegError& e) {
    EXPECT_STREQ(e.what(), "(TSegCompress) Invalid RecordLength 8193");
  }
}

TEST(SegRecords, ArcHeaderRoundTripAndErrors) {
  TSegArcHeader header;
  header.SequenceNumber = 7;
  header.ArchiveLength = 123456;
  auto bytes = FormatSegArcHeader(header);
  EXPECT_EQ(bytes[6], 7);
  EXPECT_EQ(bytes[12], 0x40);  // 123456 = 0x1E240
  const auto back = ParseSegArcHeader(bytes);
  EXPECT_EQ(back.SequenceNumber, 7);
  EXPECT_EQ(back.ArchiveLength, 123456);

  bytes[15] = 0x80;  // negative length
  EXPECT_EQ(KindOf([&] { ParseSegArcHeader(bytes); }), ESegError::Kind::skInvalidLength);
  bytes[0] = 's';
  EXPECT_EQ(KindOf([&] { ParseSegArcHeader(bytes); }), ESegError::Kind::skInvalidArchiveId);
}

TEST(SegRecords, MessagesCarryThePrefix) {
  EXPECT_STREQ(ESegError(ESegError::Kind::skAborted).what(),
               "(TSegCompress) Operation aborted by user");
  EXPECT_STREQ(ESegError(ESegError::Kind::skInvalidSequence).what(),
               "(TSegCompress) Invalid Archive sequence number");
  EXPECT_STREQ(ESegError(ESegError::Kind::skOpenFailed).what(),
               "(TSegCompress) Stream open failed");
}

TEST(SegNames, NumberedAndFixedExtensions) {
  EXPECT_EQ(BuildSegmentNames("disk", "", 12, "a:\\").SegName, "disk.012");
  EXPECT_EQ(BuildSegmentNames("disk", "", 12, "a:\\").SegPath, "a:\\disk.012");
  EXPECT_EQ(BuildSegmentNames("disk", "", 1, "c:\\media").SegPath, "c:\\media\\disk.001");
  EXPECT_EQ(BuildSegmentNames("disk", "", 1234, "x:").SegName, "disk.1234");
  EXPECT_EQ(BuildSegmentNames("disk", "", 65535, "x:").SegName, "disk.65535");
  EXPECT_EQ(BuildSegmentNames("disk", "dat", 2, "d:\\cd\\").SegPath, "d:\\cd\\disk.dat");
}

TEST(SegNames, SetterRules) {
  EXPECT_EQ(NormaliseSegBaseName(""), "SegData");
  EXPECT_EQ(NormaliseSegBaseName("C:\\Some\\Dir\\DISK"), "disk");
  EXPECT_EQ(NormaliseSegBaseName("a:Disk"), "disk");
  // Only "\\" and ":" end a directory part; a value ending in one has an empty file name.
  EXPECT_EQ(NormaliseSegBaseName("c:\\dir\\"), "");
  EXPECT_EQ(NormaliseSegBaseName("c:"), "");
  EXPECT_EQ(NormaliseSegBaseName("Sub/DISK"), "sub/disk");
  EXPECT_EQ(NormaliseSegBaseName("a:b/Disk"), "b/disk");
  EXPECT_EQ(NormaliseSegDir(""), "a:\\");
  EXPECT_EQ(NormaliseSegDir("D:\\Setup\\"), "d:\\setup\\");
  EXPECT_EQ(NormaliseSegExt("ABCD"), "ABC");
  EXPECT_EQ(NormaliseSegExt("ab"), "ab");
  EXPECT_EQ(NormaliseSegSize(1000), 16384);
  EXPECT_EQ(NormaliseSegSize(-5), 16384);
  EXPECT_EQ(NormaliseSegSize(16385), 16385);
  EXPECT_EQ(NormaliseSegTmpDir("C:\\WINDOWS\\Temp\\", "z:\\x"), "c:\\windows\\temp");
  EXPECT_EQ(NormaliseSegTmpDir("", "C:\\Cur\\"), "c:\\cur");
  EXPECT_EQ(DirectoryPart("C:\\App\\*.*"), "C:\\App\\");
  EXPECT_EQ(DirectoryPart("C:*.*"), "C:");
  EXPECT_EQ(DirectoryPart("*.*"), "");
}

}  // namespace
}  // namespace nolvo::segment
