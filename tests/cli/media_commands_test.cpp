// list, test and extract on segmented media made by the segment writer.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <nlohmann/json.hpp>

#include "archive/media/pack_media.h"
#include "archive/segment/seg_writer.h"
#include "tests/container/raw_archive.h"
#include "tests/support/archive_media.h"
#include "tests/support/run_command.h"
#include "tests/support/seg_media.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;
using container::TCompressionMethod;

// Two archives cut into 16384-byte segments: the large files span several segments, one
// name has a space and a Windows-1252 letter, one file is empty, and noise that cannot be
// compressed is stored as it stands.
class SegmentedMedia : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path src = dir_.Path() / "src";
    fs::create_directories(src);
    fs::create_directories(Media());
    fs::create_directories(Tmp());
    contents_ = {{"big text.txt", SampleBytes(120000, 3)},
                 {"Caf\xE9 menu.txt", SampleBytes(900, 4)},
                 {"empty.dat", ""},
                 {"noise.bin", Noise(40000)},
                 {"sys.dll", SampleBytes(20000, 5)}};
    auto file = [&](const std::string& stored, const std::string& host, std::size_t index) {
      WriteBytes(src / host, contents_[index].second);
      return segment::TSegWriteFile{src / host, stored, TCompressionMethod::coLZH5, 0x5A8F6000,
                                    0x20};
    };
    segment::TSegWriteArchive app;
    app.Template = "C:\\App\\*.*";
    app.Files = {file("big text.txt", "0", 0), file("docs\\Caf\xE9 menu.txt", "1", 1),
                 file("empty.dat", "2", 2), file("noise.bin", "3", 3)};
    segment::TSegWriteArchive sys;
    sys.Template = "C:\\WINDOWS\\SYSTEM\\*.*";
    sys.Flags = 2;
    sys.Files = {file("sys.dll", "4", 4)};
    segment::TSegWriterSettings settings;
    settings.Dir = Media();
    settings.SegSize = 16384;
    const auto result = segment::WriteSegmentedArchive(settings, {app, sys});
    ASSERT_GE(result.Segments.size(), 5u);
    segments_ = result.Segments.size();
  }

  static std::string Noise(std::size_t n) {
    std::string s(n, '\0');
    unsigned x = 12345;
    for (auto& c : s) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      c = static_cast<char>(x);
    }
    return s;
  }

  static std::string SegmentName(std::size_t i) {
    std::string n = std::to_string(i);
    return "disk." + std::string(n.size() < 3 ? 3 - n.size() : 0, '0') + n;
  }
  fs::path Media() const { return dir_.Path() / "media"; }
  fs::path Tmp() const { return dir_.Path() / "tmp"; }
  // Runs the tool with its temporary folder inside the test's folder.
  CommandResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), NolvoTool());
    return RunCommand(args, {{"TMPDIR", Tmp().string()}});
  }
  std::string Bytes(std::size_t i) const { return contents_[i].second; }

  TempDir dir_;
  std::vector<std::pair<std::string, std::string>> contents_;
  std::size_t segments_ = 0;
};

TEST_F(SegmentedMedia, ListShowsEveryArchiveAndEntry) {
  const auto r = Run({"list", "--json", Media().string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["Archives"].size(), 2u);
  const auto& app = j["Archives"][0];
  EXPECT_EQ(app["Index"], 0);
  EXPECT_EQ(app["Template"], "C:\\App\\*.*");
  EXPECT_EQ(app["TargetDir"], "C:\\App\\");
  ASSERT_EQ(app["Entries"].size(), 4u);
  EXPECT_EQ(app["Entries"][0]["Name"], "empty.dat");  // empty files are stored first
  EXPECT_EQ(app["Entries"][2]["Name"], "docs\\Caf\xC3\xA9 menu.txt");
  EXPECT_EQ(app["Entries"][1]["OriginalSize"], 120000);
  EXPECT_EQ(app["Entries"][1]["FileDate"], 0x5A8F6000);
  EXPECT_EQ(app["Entries"][1]["Date"], "2025-04-15T12:00:00");
  EXPECT_EQ(app["Entries"][1]["Method"], "coLZH5");
  EXPECT_EQ(app["Entries"][3]["Method"], "coNone");
  EXPECT_EQ(app["Entries"][3]["CompressedSize"], 40000);
  const auto& sys = j["Archives"][1];
  EXPECT_EQ(sys["Index"], 1);
  EXPECT_EQ(sys["ArcFlags"], 2);
  EXPECT_EQ(sys["Entries"][0]["Name"], "sys.dll");
  EXPECT_TRUE(FilesBelow(Tmp()).empty());
  EXPECT_TRUE(fs::is_empty(Tmp()));

  // The first segment file names the same media.
  const auto text = Run({"list", (Media() / "disk.001").string()});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("C:\\App\\*.*"), std::string::npos) << text.out;
}

TEST_F(SegmentedMedia, TestAndExtractReproduceEveryByte) {
  auto r = Run({"test", Media().string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("5 entries tested, 0 bad"), std::string::npos) << r.out;

  const fs::path out = dir_.Path() / "out";
  r = Run({"extract", Media().string(), "-d", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;  // templates lose their drive silently
  EXPECT_EQ(FilesBelow(out),
            (std::vector<std::string>{"App/big text.txt", "App/docs/Caf\xC3\xA9 menu.txt",
                                      "App/empty.dat", "App/noise.bin", "WINDOWS/SYSTEM/sys.dll"}));
  EXPECT_EQ(ReadText(out / "App/big text.txt"), Bytes(0));
  EXPECT_EQ(ReadText(out / "App/docs/Caf\xC3\xA9 menu.txt"), Bytes(1));
  EXPECT_EQ(ReadText(out / "App/empty.dat"), "");
  EXPECT_EQ(ReadText(out / "App/noise.bin"), Bytes(3));
  EXPECT_EQ(ReadText(out / "WINDOWS/SYSTEM/sys.dll"), Bytes(4));

  const fs::path flat = dir_.Path() / "flat";
  r = Run({"extract", "--flat", "-q", Media().string(), "-d", flat.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(FilesBelow(flat), (std::vector<std::string>{"Caf\xC3\xA9 menu.txt", "big text.txt",
                                                        "empty.dat", "noise.bin", "sys.dll"}));
  EXPECT_EQ(ReadText(flat / "sys.dll"), Bytes(4));
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

TEST_F(SegmentedMedia, MissingOrWrongSegmentIsNamed) {
  const fs::path third = Media() / "disk.003";
  const fs::path moved = dir_.Path() / "saved.003";
  fs::rename(third, moved);
  for (const char* cmd : {"list", "test", "extract"}) {
    const auto r = Run({cmd, Media().string(), "-q"});
    EXPECT_EQ(r.exitCode, 1) << cmd;
    EXPECT_NE(r.err.find("disk.003"), std::string::npos) << cmd << ": " << r.err;
    EXPECT_TRUE(fs::is_empty(Tmp())) << cmd;
  }
  // A segment of another number in its place.
  fs::copy_file(Media() / "disk.002", third);
  const auto r = Run({"test", Media().string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("disk.003"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

TEST_F(SegmentedMedia, DamagedStoredEntryIsNamedAndWrittenAsStored) {
  // Flip a byte inside the stored noise (kept as it stands, so it is found in a segment).
  const std::string marker = Bytes(3).substr(5000, 64);
  bool flipped = false;
  for (std::size_t i = 1; i <= segments_ && !flipped; ++i) {
    const fs::path seg = Media() / SegmentName(i);
    auto raw = ReadBytes(seg);
    std::string data(raw.begin(), raw.end());
    const auto at = data.find(marker);
    if (at == std::string::npos) continue;
    data[at + 10] = static_cast<char>(data[at + 10] ^ 1);
    WriteBytes(seg, data);
    flipped = true;
  }
  ASSERT_TRUE(flipped);
  auto r = Run({"test", Media().string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("noise.bin"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("big text.txt"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("5 entries tested, 1 bad"), std::string::npos) << r.out;

  // Without digest lists the stored copy is written as the format writes it, and named.
  const fs::path out = dir_.Path() / "out";
  r = Run({"extract", Media().string(), "-d", out.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("noise.bin"), std::string::npos) << r.err;
  EXPECT_NE(ReadText(out / "App/noise.bin"), Bytes(3));
  for (const auto& f : FilesBelow(out)) EXPECT_EQ(f.find(".part"), std::string::npos) << f;
  EXPECT_EQ(ReadText(out / "App/big text.txt"), Bytes(0));
  EXPECT_TRUE(fs::is_empty(Tmp()));
}

}  // namespace
}  // namespace nolvo::test

namespace nolvo::test {
namespace {

// The product builder's media go back through test and extract byte for byte.
TEST(PackedMedia, PackTestExtractRoundTrip) {
  TempDir dir;
  const fs::path src = dir.Path() / "product";
  fs::create_directories(src / "data files");
  WriteBytes(src / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=Product\r\n"));
  WriteBytes(src / "main.exe", SampleBytes(400000, 11));
  WriteBytes(src / "data files" / "r\xC3\xA9sum\xC3\xA9 2.txt", SampleBytes(7000, 12));
  WriteBytes(src / "data files" / "empty.txt", std::string());
  WriteBytes(src / "zz empty.txt", std::string());  // last by name, first in the archive
  const fs::path media = dir.Path() / "media";
  auto r = RunCommand({NolvoTool(), "-q", "pack", src.string(), "-o", media.string(),
                       "--segment-size", "16384", "--key", "99"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(fs::exists(media / "disk.003"));  // the product spans several segments

  r = RunCommand({NolvoTool(), "test", media.string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;  // locked: the key is needed
  r = RunCommand({NolvoTool(), "test", media.string(), "--key", "99"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("4 entries tested, 0 bad"), std::string::npos) << r.out;

  const fs::path out = dir.Path() / "out";
  r = RunCommand({NolvoTool(), "extract", media.string(), "-d", out.string(), "--key", "99"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"data files/empty.txt",
                                                       "data files/r\xC3\xA9sum\xC3\xA9 2.txt",
                                                       "main.exe", "zz empty.txt"}));
  for (const auto& f : FilesBelow(out)) EXPECT_EQ(ReadBytes(out / f), ReadBytes(src / f)) << f;
}

// A pack into a media folder another pack is writing (it holds the folder's lock) is
// refused and leaves the media there as they were.
TEST(PackedMedia, ASecondPackIntoTheSameFolderIsRefused) {
  TempDir dir;
  const fs::path media = dir.Path() / "media";
  const std::string demo = (SourceDir() / "examples/demo").string();
  ASSERT_EQ(RunCommand({NolvoTool(), "-q", "pack", demo, "-o", media.string()}).exitCode, 0);
  const std::vector<unsigned char> segment = ReadBytes(media / "disk.001");
  const fs::path other = dir.Path() / "other";
  fs::create_directories(other);
  WriteBytes(other / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=Other\r\n"));
  WriteBytes(other / "other.exe", SampleBytes(30000, 7));

  const int held = ::open(media.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  auto r = RunCommand({NolvoTool(), "-q", "pack", other.string(), "-o", media.string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(ReadBytes(media / "disk.001"), segment);
  EXPECT_EQ(RunCommand({NolvoTool(), "-q", "test", media.string()}).exitCode, 0);
  ::close(held);

  r = RunCommand({NolvoTool(), "-q", "pack", other.string(), "-o", media.string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadBytes(media / "disk.001"), segment);
}

// A product entry that the media cannot carry as it stands stops the pack (exit 1) with no
// segment written and the product untouched; a link to a file is stored as that file.
TEST(PackedMedia, AwkwardEntriesAreRefusedNotChanged) {
  const struct {
    const char* name;
    std::function<void(const fs::path& src)> make;
    bool packs = false;
  } cases[] = {
      {"link to a file", [](const fs::path& s) { fs::create_symlink("a.txt", s / "b.txt"); }, true},
      {"link out of the product",
       [](const fs::path& s) { fs::create_symlink(fs::absolute(s / "../outside.txt"), s / "o"); },
       true},
      {"broken link", [](const fs::path& s) { fs::create_symlink("nowhere", s / "x"); }},
      {"link to a folder", [](const fs::path& s) { fs::create_directory_symlink(".", s / "x"); }},
      {"pipe", [](const fs::path& s) { ASSERT_EQ(::mkfifo((s / "x").c_str(), 0600), 0); }},
      {"backslash", [](const fs::path& s) { WriteBytes(s / "d\\a.txt", std::string("2")); }},
      {"device name", [](const fs::path& s) { WriteBytes(s / "Nul.txt", std::string("2")); }},
      {"colon in a folder", [](const fs::path& s) { WriteBytes(s / "d:x", std::string()); }},
      {"name longer than the setup's temporary folder takes",
       [](const fs::path& s) { WriteBytes(s / (std::string(238, 'n') + ".txt"), std::string()); }},
      {"longest name the setup unpacks",
       [](const fs::path& s) {
         WriteBytes(s / (std::string(237, 'n') + ".txt"), std::string("2"));
       },
       true},
      {"trailing dot",
       [](const fs::path& s) {
         fs::create_directory(s / "d.");
         WriteBytes(s / "d." / "f", std::string("2"));
       }},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const fs::path src = dir.Path() / "product", media = dir.Path() / "media";
    fs::create_directories(src);
    WriteBytes(src / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=P\r\n"));
    WriteBytes(src / "a.txt", std::string("1"));
    WriteBytes(dir.Path() / "outside.txt", std::string("3"));
    c.make(src);
    const auto before = FilesBelow(src);
    auto r = RunCommand({NolvoTool(), "-q", "pack", src.string(), "-o", media.string()});
    EXPECT_EQ(r.exitCode, c.packs ? 0 : 1) << c.name << r.err;
    EXPECT_EQ(FilesBelow(src), before) << c.name;
    if (!c.packs) {
      EXPECT_FALSE(fs::exists(media / "disk.001")) << c.name;
      continue;
    }
    const fs::path out = dir.Path() / "out";
    r = RunCommand({NolvoTool(), "-q", "extract", media.string(), "-d", out.string()});
    ASSERT_EQ(r.exitCode, 0) << c.name << r.err;
    for (const auto& f : FilesBelow(out)) EXPECT_EQ(ReadBytes(out / f), ReadBytes(src / f)) << f;
    EXPECT_EQ(FilesBelow(out).size(), 2u) << c.name;
  }
}

// A file that changes (same size, other bytes) between its hashing and its storing makes
// the pack fail and leaves no segment that could pass for finished media.
// Pack settings for a product of one file, a.bin, below `root` (media in root/media).
media::PackSettings OneFileProduct(const fs::path& root) {
  const fs::path src = root / "product";
  fs::create_directories(src);
  WriteBytes(src / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=P\r\n"));
  WriteBytes(src / "a.bin", SampleBytes(5000, 1));
  media::PackSettings settings;
  settings.Source = src;
  settings.Media = root / "media";
  return settings;
}

TEST(PackedMedia, AFileChangedWhileStoredLeavesNoMedia) {
  TempDir dir;
  const media::PackSettings settings = OneFileProduct(dir.Path());
  const fs::path& src = settings.Source;
  const auto cp = platform::CodePage::FromEnvironment();
  const media::PackProduct product = media::CollectProduct(settings, cp);
  WriteBytes(src / "a.bin", SampleBytes(5000, 2));
  const auto written = media::WriteMedia(settings, product, {});
  ASSERT_TRUE(fs::exists(settings.Media / "disk.001"));
  EXPECT_THROW(media::PlaceSetupProgram(settings, product, written), media::EPackError);
  EXPECT_FALSE(fs::exists(settings.Media / "disk.001"));
  EXPECT_THROW(media::ParseMediaDigests(ReadText(settings.Media / "nolvo-media.sha256")),
               media::EDigestList);
}

// A pack that ends part way (killed after its segments, before install.cfg and the lists)
// leaves media that every command refuses as unfinished, also over an earlier medium.
TEST(PackedMedia, MediaAPackLeftUnfinishedAreRefused) {
  TempDir dir;
  const media::PackSettings settings = OneFileProduct(dir.Path());
  const fs::path& src = settings.Source;
  const fs::path& media = settings.Media;
  ASSERT_EQ(RunCommand({NolvoTool(), "-q", "pack", src.string(), "-o", media.string()}).exitCode,
            0);
  WriteBytes(src / "a.bin", SampleBytes(7000, 2));
  {
    const media::PackProduct product =
        media::CollectProduct(settings, platform::CodePage::FromEnvironment());
    media::WriteMedia(settings, product, {});
  }
  auto r = RunCommand({NolvoTool(), "-q", "test", media.string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("the media are unfinished"), std::string::npos) << r.err;
  r = RunCommand(
      {NolvoTool(), "-q", "extract", media.string(), "-d", (dir.Path() / "out").string()});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_FALSE(fs::exists(dir.Path() / "out" / "a.bin"));
}

}  // namespace
}  // namespace nolvo::test

namespace nolvo::test {
namespace {

// Media whose every part the format allows, crafted byte by byte: list, test and extract
// read each of them through without an error and write exactly the expected files.
TEST(CraftedMedia, EveryCommandReadsWhatTheFormatAllows) {
  using container::raw::AppendEntry;
  using container::raw::RawHeader;
  using container::raw::StoredEntry;
  using Bytes = std::vector<std::uint8_t>;
  namespace seg = segment::test;
  const auto archive = [](std::int32_t total, const std::vector<container::raw::RawEntry>& entries,
                          const Bytes& tail = {}) {
    Bytes out = RawHeader("NON", total);
    for (const auto& e : entries) AppendEntry(out, e);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
  };
  // One archive of a.txt and b.txt for `templ` (an empty one takes no byte at all).
  const auto stream = [](const std::string& templ) {
    const Bytes list = seg::MakeArchive({{"names", seg::ListFile({"a.txt", "b.txt"}, 8)}});
    Bytes tail = seg::TextBytes(templ);
    if (!templ.empty()) tail.push_back(0);
    segment::TSegScanHeader scan;
    scan.TemplateLength = static_cast<std::uint16_t>(tail.size());
    scan.RecordLength = 8;
    scan.ArchiveLength = static_cast<std::int32_t>(list.size());
    tail.insert(tail.end(), list.begin(), list.end());
    Bytes out = seg::SegHeaderRecord(1);
    for (const Bytes& part :
         {seg::ScanRecordRaw(scan, tail),
          seg::ArcRecord(0, seg::MakeArchive({{"a.txt", seg::TextBytes("alpha")},
                                              {"b.txt", seg::TextBytes("beta")}},
                                             TCompressionMethod::coNone))})
      out.insert(out.end(), part.begin(), part.end());
    return out;
  };
  auto negative = StoredEntry("neg.bin", "xyz");
  negative.original_size = -5;
  auto rle = StoredEntry("rle.bin", "\x41\x94");  // the escape as the last byte is itself
  rle.method = 1;

  struct Case {
    const char* what;
    Bytes bytes;
    std::vector<std::size_t> slices;  // segmented media when not empty
    std::map<std::string, std::string> files;
  };
  const Case cases[] = {
      {"segments of nothing but their identification record",
       stream("C:\\App\\*.*"),
       {0, 30, 0, 0},
       {{"App/a.txt", "alpha"}, {"App/b.txt", "beta"}}},
      {"an empty template", stream(""), {20}, {{"a.txt", "alpha"}, {"b.txt", "beta"}}},
      {"stray bytes after the total",
       archive(3, {StoredEntry("a.txt", "aaa")}, Bytes(10, 0xEE)),
       {},
       {{"a.txt", "aaa"}}},
      {"an empty entry after the total",
       archive(3, {StoredEntry("a.txt", "aaa"), StoredEntry("late.txt", "")}),
       {},
       {{"a.txt", "aaa"}}},
      {"directory entries",
       archive(1,
               {StoredEntry("DATA\\", ""), StoredEntry("", ""), StoredEntry("DATA\\a.txt", "a")}),
       {},
       {{"DATA/a.txt", "a"}}},
      {"a negative original size",
       archive(100, {negative, StoredEntry("b.txt", "b")}),
       {},
       {{"neg.bin", "xyz"}, {"b.txt", "b"}}},
      {"an rle stream ending in the escape", archive(2, {rle}), {}, {{"rle.bin", "\x41\x94"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::create_directories(dir.Path() / "tmp");
    fs::path media = dir.Path() / "media.arc";
    if (c.slices.empty()) {
      WriteBytes(media, std::vector<unsigned char>(c.bytes.begin(), c.bytes.end()));
    } else {
      media = dir.Path() / "media";
      fs::create_directories(media);
      seg::WriteSegments(media, c.bytes, c.slices);
    }
    const auto run = [&](std::vector<std::string> args) {
      args.insert(args.begin(), NolvoTool());
      return RunCommand(args, {{"TMPDIR", (dir.Path() / "tmp").string()}});
    };
    auto r = run({"list", media.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = run({"test", media.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const fs::path out = dir.Path() / "out";
    r = run({"extract", "-q", media.string(), "-d", out.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    std::vector<std::string> names;
    for (const auto& [name, content] : c.files) {
      names.push_back(name);
      EXPECT_EQ(ReadText(out / name), content) << name;
    }
    EXPECT_EQ(FilesBelow(out), names);
    EXPECT_TRUE(fs::is_empty(dir.Path() / "tmp"));
  }
}

}  // namespace
}  // namespace nolvo::test
