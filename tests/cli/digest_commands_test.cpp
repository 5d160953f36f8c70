// The digest lists through the tool: what pack and archive create write, what test,
// extract and install make of them, and the names from media escaped on the way out.

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "archive/media/digest_lists.h"
#include "archive/segment/seg_writer.h"
#include "tests/support/archive_media.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Changes one digit of `name`'s digest in the entry list and writes the media list's line
// for the entry list anew, so that only the entry check can tell.
void ChangeEntryDigest(const fs::path& media, const std::string& name) {
  auto t = ReadText(media / "nolvo-entries.digests");
  char& digit = t[t.find(" " + name + "\n") - 1];
  digit = digit == '0' ? '1' : '0';
  WriteBytes(media / "nolvo-entries.digests", t);
  auto files = media::ParseMediaDigests(ReadText(media / "nolvo-media.sha256"));
  for (auto& f : files)
    if (f.Name == "nolvo-entries.digests") f.Digest = media::Sha256Of(t);
  WriteBytes(media / "nolvo-media.sha256", media::FormatMediaDigests(files));
}

// A product packed into several segments.
class PackedProduct : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Src() / "docs");
    WriteBytes(Src() / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=Product\r\n"));
    WriteBytes(Src() / "main.exe", SampleBytes(200000, 21));
    WriteBytes(Src() / "docs" / "read me.txt", SampleBytes(9000, 22));
    WriteBytes(Src() / "docs" / "empty.txt", std::string());
    const auto r =
        Tool({"-q", "pack", Src().string(), "-o", Media().string(), "--segment-size", "16384"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(fs::exists(Media() / "disk.003"));
  }
  fs::path Src() const { return dir_.Path() / "product"; }
  fs::path Media() const { return dir_.Path() / "media"; }
  fs::path Out() const { return dir_.Path() / "out"; }
  CommandResult Tool(std::vector<std::string> args) {
    args.insert(args.begin(), NolvoTool());
    return RunCommand(args);
  }
  std::string EntryList() const { return ReadText(Media() / "nolvo-entries.digests"); }

  TempDir dir_;
};

TEST_F(PackedProduct, SoundMediaPassEveryCheckSilently) {
  // The media list is what sha256sum checks.
  const auto sums = RunCommand(
      {"/bin/sh", "-c", "cd '" + Media().string() + "' && sha256sum -c nolvo-media.sha256"});
  EXPECT_EQ(sums.exitCode, 0) << sums.out << sums.err;
  const auto files = media::ParseMediaDigests(ReadText(Media() / "nolvo-media.sha256"));
  std::vector<std::string> names;
  for (const auto& f : files) names.push_back(f.Name);
  std::vector<std::string> expected;
  for (const auto& f : FilesBelow(Media()))
    if (f != "nolvo-media.sha256") expected.push_back(f);
  EXPECT_EQ(names, expected);
  const auto entries = media::ParseEntryDigests(EntryList());
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& e : entries) {
    std::string host = e.Name;
    std::replace(host.begin(), host.end(), '\\', '/');
    EXPECT_EQ(e.Digest, media::Sha256Of(ReadText(Src() / host))) << e.Name;
  }
  EXPECT_NE(EntryList().find(" docs\\\\read\\x20me.txt\n"), std::string::npos) << EntryList();

  for (const char* cmd : {"list", "test"}) {
    const auto r = Tool({cmd, Media().string()});
    EXPECT_EQ(r.exitCode, 0) << cmd << r.err;
    EXPECT_EQ(r.err, "") << cmd;
  }
  const auto r = Tool({"extract", Media().string(), "-d", Out().string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* f : {"main.exe", "docs/read me.txt", "docs/empty.txt"})
    EXPECT_EQ(ReadBytes(Out() / f), ReadBytes(Src() / f)) << f;
}

TEST_F(PackedProduct, DamageIsFoundNamedAndNeverExtractedAsGood) {
  const struct {
    const char* what;
    std::function<void(const fs::path& media)> damage;
    const char* named;       // in test's messages
    bool extractWritesNone;  // the digest lists stop extract before it writes
  } cases[] = {
      {"bytes swapped in a segment",
       [](const fs::path& m) {
         auto b = ReadBytes(m / "disk.002");
         std::swap(b[3000], b[3001]);
         if (b[3000] == b[3001]) b[3000] ^= 0x40;
         WriteBytes(m / "disk.002", b);
       },
       "disk.002", false},
      {"a segment removed", [](const fs::path& m) { fs::remove(m / "disk.003"); }, "disk.003",
       true},
      {"the entry list cut short",
       [](const fs::path& m) {
         auto t = ReadText(m / "nolvo-entries.digests");
         WriteBytes(m / "nolvo-entries.digests", t.substr(0, t.size() - 5));
       },
       "nolvo-entries.digests", true},
      {"an entry's digest changed in both lists",
       [](const fs::path& m) { ChangeEntryDigest(m, "main.exe"); }, "main.exe", false},
  };
  const fs::path pristine = dir_.Path() / "pristine";
  fs::copy(Media(), pristine);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Media());
    fs::remove_all(Out());
    fs::copy(pristine, Media());
    c.damage(Media());
    auto r = Tool({"test", Media().string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    r = Tool({"extract", "-q", Media().string(), "-d", Out().string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    if (c.extractWritesNone) {
      EXPECT_EQ(FilesBelow(Out()), std::vector<std::string>{});
    }
    // Whatever was written is what the product holds.
    for (const auto& f : FilesBelow(Out())) EXPECT_EQ(ReadBytes(Out() / f), ReadBytes(Src() / f));
  }
}

TEST_F(PackedProduct, InstallStopsBeforeCopyingWhenAnEntryDiffers) {
  ChangeEntryDigest(Media(), "main.exe");
  const fs::path prefix = dir_.Path() / "prefix";
  const auto r = Tool({"install", Media().string(), "--prefix", prefix.string(), "--unattended",
                       "--accept-license"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Error Expanding Files!!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("main.exe"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(prefix / "drive_c" / "Product"));
  EXPECT_FALSE(fs::exists(prefix / "drive_c" / "Program Files"));
}

TEST(DigestCommands, InstallCopiesABadStoredEntryAndFailsNamingIt) {
  // Media of another builder (no digest lists) with a stored entry whose checksum is off.
  TempDir dir;
  const fs::path media = dir.Path() / "media", prefix = dir.Path() / "prefix";
  fs::create_directories(media);
  WriteBytes(dir.Path() / "app.dat", std::string("stored bytes"));
  segment::TSegWriteArchive archive;
  archive.Files.push_back(
      {dir.Path() / "app.dat", "app.dat", container::TCompressionMethod::coNone});
  segment::TSegWriterSettings settings;
  settings.Dir = media;
  segment::WriteSegmentedArchive(settings, {archive});
  auto bytes = ReadBytes(media / "disk.001");
  std::string text(bytes.begin(), bytes.end());
  const auto name = text.rfind("app.dat");
  bytes[name - 25 + 17] ^= 1;  // the entry header's Checksum
  WriteBytes(media / "disk.001", bytes);
  WriteBytes(media / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=App\r\n"
                                                "[Directories]\r\nDir1=<INSTALLDIR>~\r\n"
                                                "[Files]\r\nF1=app.dat~<INSTALLDIR>\r\n"));
  WriteBytes(media / "install.exe", std::string("setup"));
  const auto r = RunCommand({NolvoTool(), "install", media.string(), "--prefix", prefix.string(),
                             "--unattended", "--dir", "C:\\App"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("\"app.dat\""), std::string::npos) << r.err;
  EXPECT_EQ(ReadText(prefix / "drive_c" / "App" / "app.dat"), "stored bytes");
}

TEST(DigestCommands, ArchiveCreateWritesTheEntryListBesideTheArchive) {
  TempDir dir;
  WriteBytes(dir.Path() / "one.txt", SampleBytes(7000, 1));
  WriteBytes(dir.Path() / "two.txt", SampleBytes(300, 2));
  const auto arc = (dir.Path() / "a.arc").string();
  auto r = RunCommand({NolvoTool(), "-q", "archive", "create", arc,
                       (dir.Path() / "one.txt").string(), (dir.Path() / "two.txt").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto list = media::ParseEntryDigests(ReadText(arc + ".digests"));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].Name, "two.txt");
  EXPECT_EQ(list[1].Digest, media::Sha256Of(SampleBytes(300, 2)));
  r = RunCommand({NolvoTool(), "test", arc});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");

  // A digest that does not match: the file is not extracted, the other one is.
  auto text = ReadText(arc + ".digests");
  char& digit = text[text.find("two.txt") - 2];
  digit = digit == '0' ? '1' : '0';
  WriteBytes(arc + ".digests", text);
  EXPECT_EQ(RunCommand({NolvoTool(), "test", arc}).exitCode, 1);
  r = RunCommand({NolvoTool(), "extract", arc, "-d", (dir.Path() / "out").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(FilesBelow(dir.Path() / "out"), std::vector<std::string>{"one.txt"});

  // Without the list only the byte sums are checked, and test and list say so once.
  fs::remove(arc + ".digests");
  for (const char* cmd : {"test", "list"}) {
    r = RunCommand({NolvoTool(), cmd, arc});
    EXPECT_EQ(r.exitCode, 0) << cmd << r.err;
    EXPECT_EQ(Count(r.err, "only the format's byte sums"), 1u) << cmd << r.err;
  }
}

TEST(DigestCommands, NamesFromMediaShowControlCharactersEscaped) {
  TempDir dir;
  const fs::path arc = dir.Path() / "a.arc";
  WriteArchiveFile(arc, {{"evil\x1b[2J\x07name.txt", "x"}});
  auto r = RunCommand({NolvoTool(), "list", "--json", arc.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["Archives"][0]["Entries"][0]["Name"], "evil\\x1b[2J\\x07name.txt");
  r = RunCommand({NolvoTool(), "list", arc.string()});
  EXPECT_NE(r.out.find("evil\\x1b[2J\\x07name.txt"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace nolvo::test
