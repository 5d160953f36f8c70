// Archives built by TCompress and read back through the codec run.

#include <gtest/gtest.h>

#include <random>

#include "archive/codec/codec_errors.h"
#include "archive/container/compress.h"
#include "archive/container/compress_errors.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "tests/support/test_machine.h"

namespace nolvo::container {
namespace {

namespace fs = std::filesystem;
using Method = TCompressionMethod;
using nolvo::test::ReadText;
using nolvo::test::WriteBytes;

std::string Repetitive(std::size_t size) {
  std::string s;
  while (s.size() < size) {
    s += "the quick brown fox ======== jumps over the lazy dog " + std::to_string(s.size() % 97);
  }
  s.resize(size);
  return s;
}

std::string Noise(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(gen());
  return s;
}

class CompressBuild : public ::testing::TestWithParam<Method> {
 protected:
  CompressBuild() : comp_(tm_.Machine()) {
    EXPECT_TRUE(tm_.Machine().SetCurrentDirectory("C:\\").ok());
    fs::create_directories(tm_.DriveC() / "src" / "sub dir");
    fs::create_directories(tm_.DriveC() / "out");
  }
  // Writes a source file C:\src\<name> and returns the entry that stores it.
  TArchiveSource Source(const std::string& name, const std::string& text, Method method) {
    std::string host = name;
    for (auto& c : host)
      if (c == '\\') c = '/';
    WriteBytes(tm_.DriveC() / "src" / host, text);
    return {"C:\\src\\" + name, name, method};
  }
  std::string Out(const std::string& name) { return ReadText(tm_.DriveC() / "out" / name); }

  nolvo::test::TestMachine tm_;
  TCompress comp_;
};

TEST_P(CompressBuild, FilesRoundTripWithTheirMethodDateAndAttributes) {
  const Method method = GetParam();
  const std::string big = Repetitive(50000);
  const std::string noise = Noise(100000, 7);  // more than one output block
  // The empty file comes last here and first in the archive: a reader stops once the
  // entries passed add up to the total, so it would never reach it at the end.
  std::vector<TArchiveSource> files = {
      Source("big.txt", big, method), Source("sub dir\\noise.bin", noise, method),
      Source("abc.txt", "abc", Method::coNone), Source("empty.txt", "", method)};
  ASSERT_TRUE(platform::SetFileDosTime(tm_.Machine(), "C:\\src\\big.txt", 0x5021, 0x6000).ok());
  ASSERT_TRUE(platform::SetFileAttributes(tm_.Machine(), "C:\\src\\abc.txt", 0x21).ok());
  const TCompressedFileList built = comp_.CompressArchiveEntries("C:\\arc.bin", files, method);

  TCompressedFileList listed;
  comp_.ListArchiveEntries("C:\\arc.bin", listed);
  ASSERT_EQ(listed.size(), 4u);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].Name, built[i].Name);
    EXPECT_EQ(listed[i].Info.EntryPosition, built[i].Info.EntryPosition);
    EXPECT_EQ(listed[i].Info.Checksum, built[i].Info.Checksum);
  }
  EXPECT_EQ(listed[0].Name, "empty.txt");
  EXPECT_EQ(listed[0].Info.Method, Method::coNone);
  EXPECT_EQ(listed[1].Info.Method, method);
  EXPECT_LT(listed[1].Info.CompressedSize, 50000);
  EXPECT_EQ(listed[1].Info.FileDate, 0x50216000);
  EXPECT_EQ(listed[2].Name, "sub dir\\noise.bin");
  EXPECT_EQ(listed[2].Info.Method, Method::coNone);  // noise cannot be made smaller
  EXPECT_EQ(listed[2].Info.CompressedSize, 100000);
  EXPECT_EQ(listed[3].Info.Checksum, 294u);
  EXPECT_EQ(listed[3].Info.Attributes, 0x21);

  comp_.SetTargetPath("C:\\out");
  comp_.SetMakeDirectories(true);
  std::vector<std::string> names = {"BIG.TXT", "sub dir\\noise.bin", "empty.txt", "abc.txt"};
  comp_.ExpandArchiveEntries("C:\\arc.bin", &names);
  EXPECT_EQ(names.size(), 4u);
  EXPECT_EQ(Out("big.txt"), big);
  EXPECT_EQ(Out("sub dir/noise.bin"), noise);
  EXPECT_EQ(Out("empty.txt"), "");
  EXPECT_EQ(Out("abc.txt"), "abc");
  std::uint16_t date = 0, time = 0;
  EXPECT_TRUE(platform::GetFileDosTime(tm_.Machine(), "C:\\out\\big.txt", date, time).ok());
  EXPECT_EQ(date, 0x5021);
  EXPECT_EQ(time, 0x6000);
}

TEST_P(CompressBuild, AKeyLocksEntriesAndOnlyTheRightKeyOpensThem) {
  const Method method = GetParam();
  const std::string text = Repetitive(20000);
  comp_.SetKey(0x01020304);
  const auto built = comp_.CompressArchiveEntries(
      "C:\\locked.bin", {Source("a.txt", text, method), Source("abc.txt", "abc", Method::coNone)},
      method);
  std::uint32_t sum = 0;
  for (unsigned char c : text) sum += c;
  EXPECT_TRUE(built[0].Info.Locked);
  EXPECT_EQ(built[0].Info.Method, method);
  EXPECT_EQ(built[0].Info.Checksum, sum + 0x01020304u);
  EXPECT_EQ(built[1].Info.Checksum, 294u + 0x01020304u);

  comp_.SetTargetPath("C:\\out");
  comp_.ExpandArchiveEntries("C:\\locked.bin", nullptr);
  EXPECT_EQ(Out("a.txt"), text);
  fs::remove(tm_.DriveC() / "out" / "a.txt");

  for (std::int32_t key : {0, 0x01020305, -1}) {
    comp_.SetKey(key);
    EXPECT_THROW(comp_.ExpandArchiveEntries("C:\\locked.bin", nullptr), EInvalidKey) << key;
    EXPECT_FALSE(fs::exists(tm_.DriveC() / "out" / "a.txt")) << key;
  }
}

TEST_P(CompressBuild, ProgressIsReportedPerBlockAndMinusOneEndsTheEntry) {
  const Method method = GetParam();
  const std::string text = Repetitive(300000);
  comp_.CompressArchiveEntries(
      "C:\\p.bin", {Source("p.txt", text, method), Source("abc.txt", "abc", Method::coNone)},
      method);
  comp_.SetTargetPath("C:\\out");
  std::vector<int> seen;
  comp_.OnShowProgress = [&](int& percent) { seen.push_back(percent); };
  comp_.ExpandArchiveEntries("C:\\p.bin", nullptr);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);  // and none for the stored copy
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  comp_.OnShowProgress = [](int& percent) { percent = -1; };
  EXPECT_ANY_THROW(comp_.ExpandArchiveEntries("C:\\p.bin", nullptr));
  EXPECT_NE(Out("p.txt"), text);  // the incomplete file stays
}

TEST_P(CompressBuild, DamagedDataFailTheirEntryButNotTheWalk) {
  const Method method = GetParam();
  const std::string text = Repetitive(40000);
  comp_.CompressArchiveEntries(
      "C:\\d.bin", {Source("d.txt", text, method), Source("abc.txt", "abc", Method::coNone)},
      method);
  // Flip bytes in the middle of the first entry's data.
  auto bytes = nolvo::test::ReadBytes(tm_.DriveC() / "d.bin");
  for (std::size_t i = 200; i < 260; ++i) bytes[i] ^= 0x5A;
  WriteBytes(tm_.DriveC() / "d.bin", bytes);

  int good = 0;
  int bad = 0;
  comp_.TestArchiveEntries("C:\\d.bin", [&](const TListedEntry& entry, std::exception_ptr error) {
    (error ? bad : good)++;
    if (entry.Name == "abc.txt") {
      EXPECT_FALSE(error);
    }
  });
  EXPECT_EQ(good, 1);
  EXPECT_EQ(bad, 1);

  comp_.SetTargetPath("C:\\out");
  EXPECT_ANY_THROW(comp_.ExpandArchiveEntries("C:\\d.bin", nullptr));
  EXPECT_TRUE(fs::exists(tm_.DriveC() / "out" / "d.txt"));  // stays, closed
}

INSTANTIATE_TEST_SUITE_P(Methods, CompressBuild,
                         ::testing::Values(Method::coRLE, Method::coLZH, Method::coLZH5),
                         [](const auto& info) {
                           return info.param == Method::coRLE   ? std::string("RLE")
                                  : info.param == Method::coLZH ? std::string("LZH")
                                                                : std::string("LH5");
                         });

}  // namespace
}  // namespace nolvo::container
