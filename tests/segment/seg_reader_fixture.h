#pragma once
// A temporary machine with a media folder mapped as drive D: and the helpers the reader's
// tests share.

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/segment/seg_compress.h"
#include "archive/segment/seg_error.h"
#include "archive/segment/seg_writer.h"
#include "platform/machine.h"
#include "tests/support/seg_media.h"
#include "tests/support/temp_dir.h"

namespace nolvo::segment::test {

namespace fs = std::filesystem;

class SegReader : public ::testing::Test {
 protected:
  SegReader() : machine(tmp.Path() / "prefix") {
    fs::create_directories(media());
    fs::create_directories(sources());
    EXPECT_TRUE(machine.MapDrive('d', media()).ok());
  }

  fs::path media() const { return tmp.Path() / "media"; }
  fs::path sources() const { return tmp.Path() / "src"; }
  fs::path driveC() const { return tmp.Path() / "prefix" / "drive_c"; }
  // The host folder of SegTmpDir (the reader creates it with the setter's lower case).
  fs::path tempDir() const { return machine.Resolve("C:\\WINDOWS\\temp").host; }

  // Configures a reader the way the extraction stage does.
  void Configure(TSegCompress& reader) {
    reader.SetSegBaseName("disk");
    reader.SetSegDir("D:\\");
    reader.SetSegTmpDir("C:\\WINDOWS\\temp");
    reader.SetSegPopUp(false);
  }

  // Writes `content` as a source file and returns its writer description.
  TSegWriteFile Source(
      const std::string& storedName, const Bytes& content,
      container::TCompressionMethod method = container::TCompressionMethod::coLZH5) {
    const fs::path path = sources() / std::to_string(counter++);
    nolvo::test::WriteBytes(path, std::vector<unsigned char>(content.begin(), content.end()));
    TSegWriteFile file;
    file.Source = path;
    file.StoredName = storedName;
    file.Method = method;
    file.FileDate = 0x21A86000;
    return file;
  }

  TSegWriteResult Write(const std::vector<TSegWriteArchive>& archives,
                        std::int32_t segSize = 16384) {
    TSegWriterSettings settings;
    settings.Dir = media();
    settings.SegSize = segSize;
    return WriteSegmentedArchive(settings, archives);
  }

  Bytes Read(const std::string& hostRelative) {
    const auto bytes = nolvo::test::ReadBytes(driveC() / hostRelative);
    return Bytes(bytes.begin(), bytes.end());
  }

  // Runs a read that must fail with an ESegError of `kind`; checks that no temporary file
  // is left behind.
  void ExpectSegError(TSegCompress& reader, ESegError::Kind kind) {
    TSegArcList list;
    try {
      reader.ExpandSegArcs(list);
      ADD_FAILURE() << "no error";
    } catch (const ESegError& e) {
      EXPECT_EQ(e.Why(), kind) << e.what();
    }
    EXPECT_EQ(FilesIn(tempDir()), std::vector<std::string>{});
  }

  // A stream of one archive holding a.txt ("alpha") and b.txt ("beta") for C:\Small\.
  static Bytes SmallStream() {
    const Bytes archive = MakeArchive({{"a.txt", TextBytes("alpha")}, {"b.txt", TextBytes("beta")}},
                                      container::TCompressionMethod::coNone);
    const Bytes list = MakeArchive({{"names", ListFile({"a.txt", "b.txt"}, 16)}},
                                   container::TCompressionMethod::coNone);
    Bytes stream = SegHeaderRecord(1);
    for (const Bytes& part : {ScanRecord("C:\\Small\\*.*", 16, list), ArcRecord(0, archive)})
      stream.insert(stream.end(), part.begin(), part.end());
    return stream;
  }

  nolvo::test::TempDir tmp;
  platform::Machine machine;
  int counter = 0;
};

}  // namespace nolvo::segment::test
