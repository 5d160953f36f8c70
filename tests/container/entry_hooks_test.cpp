// The hooks the tools and the setup's medium checks hang on an expansion: which entries are
// selected, the stream each entry's bytes go through, and each file once it is complete.

#include <gtest/gtest.h>

#include <map>

#include "archive/container/compress.h"
#include "tests/container/raw_archive.h"
#include "tests/support/test_machine.h"

namespace nolvo::container {
namespace {

// Passes every byte on and keeps a copy.
class CopyingStream : public platform::ByteStream {
 public:
  CopyingStream(platform::ByteStream& inner, std::string& copy) : inner_(inner), copy_(copy) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  void WriteAll(const void* buffer, std::size_t count) override {
    inner_.WriteAll(buffer, count);
    copy_.append(static_cast<const char*>(buffer), count);
  }
  std::int64_t Seek(std::int64_t, platform::SeekOrigin) override {
    return static_cast<std::int64_t>(copy_.size());
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(copy_.size()); }

 private:
  platform::ByteStream& inner_;
  std::string& copy_;
};

TEST(EntryHooks, SeeEachSelectedEntryItsBytesAndItsFinishedFile) {
  test::TestMachine tm;
  auto bytes = raw::RawHeader("NON", 6);
  for (const auto& e : {raw::StoredEntry("one.txt", "1"), raw::StoredEntry("two.txt", "22"),
                        raw::StoredEntry("three.txt", "333")})
    raw::AppendEntry(bytes, e);
  test::WriteBytes(tm.DriveC() / "arc.bin", std::vector<unsigned char>(bytes.begin(), bytes.end()));

  TCompress compress(tm.Machine());
  compress.SetTargetPath("C:\\out");
  compress.SetMakeDirectories(true);
  std::vector<std::string> events;
  std::map<std::string, std::string> copies;
  compress.OnEntrySelected = [&](const TListedEntry& e) { events.push_back("selected " + e.Name); };
  compress.OnCheckFile = [&](std::string& path, TCProcessMode) {
    events.push_back("check " + path);
  };
  compress.OnEntryOutput = [&](const TListedEntry& e, platform::ByteStream& out) {
    events.push_back("output " + e.Name);
    return std::make_unique<CopyingStream>(out, copies[e.Name]);
  };
  compress.OnEntryWritten = [&](const TListedEntry& e, const std::string& path) {
    // The file is complete and closed by now.
    EXPECT_EQ(test::ReadText(tm.Machine().Resolve(path).host), copies[e.Name]);
    events.push_back("written " + path);
  };
  std::vector<std::string> selection = {"one.txt", "THREE.TXT"};
  compress.ExpandArchiveEntries("C:\\arc.bin", &selection);
  EXPECT_EQ(events, (std::vector<std::string>{"selected one.txt", "check C:\\out\\one.txt",
                                              "output one.txt", "written C:\\out\\one.txt",
                                              "selected three.txt", "check C:\\out\\three.txt",
                                              "output three.txt", "written C:\\out\\three.txt"}));
  EXPECT_EQ(copies["three.txt"], "333");

  // A test run sends every entry's bytes through the output hook, into nothing.
  copies.clear();
  compress.TestArchiveEntries("C:\\arc.bin", {});
  EXPECT_EQ(copies, (std::map<std::string, std::string>{
                        {"one.txt", "1"}, {"three.txt", "333"}, {"two.txt", "22"}}));
}

}  // namespace
}  // namespace nolvo::container
