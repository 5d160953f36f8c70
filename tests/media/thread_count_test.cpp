// Packing, testing and extracting give the same media, files, findings and order of
// findings on any number of threads, on sound and on damaged media.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "archive/media/medium_extract.h"
#include "archive/media/medium_test.h"
#include "archive/media/outcome_table.h"
#include "archive/media/pack_media.h"
#include "tests/support/corpus.h"
#include "tests/support/temp_dir.h"

namespace nolvo::media {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Files = std::map<std::string, Bytes>;  // path below the folder -> bytes

void Write(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Files Read(const fs::path& dir) {
  Files files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    files[fs::relative(e.path(), dir).generic_string()] =
        Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

// A product folder of `files` with a configuration naming none of them.
fs::path Product(const fs::path& dir, const Files& files) {
  fs::create_directories(dir);
  std::ofstream(dir / "install.cfg") << "[Setup - Main]\r\nInstall Dir=Product\r\n";
  for (const auto& [name, bytes] : files) Write(dir / name, bytes);
  return dir;
}

Files Corpus(const std::string& kind) {
  Files f;
  if (kind == "text") {
    for (int i = 0; i < 5; ++i)
      f["docs/t" + std::to_string(i) + ".txt"] = test::TextCorpus(300000, i);
  } else if (kind == "noise") {
    for (int i = 0; i < 4; ++i) f["bin/n" + std::to_string(i)] = test::RandomCorpus(70000 + i, i);
  } else if (kind == "small") {
    for (int i = 0; i < 120; ++i)
      f["s/f" + std::to_string(i) + ".dat"] = test::BinaryCorpus(10 + 97 * i, i);
  } else if (kind == "big") {
    f["big.txt"] = test::TextCorpus(5 * 1024 * 1024 + 123, 9);
    f["after.txt"] = test::TextCorpus(1000, 10);
  } else if (kind == "empty") {
    for (int i = 0; i < 4; ++i) f["e/empty" + std::to_string(i)] = {};
  } else {  // mixed
    f["a/empty"] = {};
    f["a/text.txt"] = test::TextCorpus(200000, 3);
    f["b/noise"] = test::RandomCorpus(50000, 4);
    f["b/rep"] = test::RepetitiveCorpus(120000, 5);
    f["c/tiny"] = {'x'};
  }
  return f;
}

// Packs `product` into `media` on `threads` threads; returns the entries as stored.
container::TCompressedFileList Pack(const fs::path& product, const fs::path& media, int threads,
                                    std::int32_t key, std::int32_t segment = 40000) {
  const platform::CodePage cp = platform::CodePage::FromEnvironment();
  PackSettings settings;
  settings.Source = product;
  settings.Media = media;
  settings.SegmentSize = segment;
  settings.Key = key;
  settings.Threads = threads;
  const PackProduct collected = CollectProduct(settings, cp);
  const auto written = WriteMedia(settings, collected, {});
  PlaceSetupProgram(settings, collected, written);
  return written.Archives.at(0);
}

TEST(ThreadCount, PackedMediaAreTheSameForAnyCount) {
  const struct {
    const char* corpus;
    std::int32_t key;
  } cases[] = {{"text", 0},  {"noise", 0}, {"small", 0},      {"big", 0},
               {"empty", 0}, {"mixed", 0}, {"mixed", 1234567}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.corpus) + " key " + std::to_string(c.key));
    test::TempDir temp;
    const Files files = Corpus(c.corpus);
    const fs::path product = Product(temp.Path() / "product", files);
    const auto one = Pack(product, temp.Path() / "m1", 1, c.key);
    // A count past the most used is cut to it.
    for (const int threads : {2, 5, 1000000}) {
      const fs::path media = temp.Path() / "m" += std::to_string(threads);
      const auto many = Pack(product, media, threads, c.key);
      ASSERT_EQ(many.size(), files.size());
      for (std::size_t i = 0; i < many.size(); ++i) {
        EXPECT_EQ(many[i].Name, one[i].Name);
        EXPECT_EQ(many[i].Info.CompressedSize, one[i].Info.CompressedSize);
        EXPECT_EQ(many[i].Info.Checksum, one[i].Info.Checksum);
      }
      EXPECT_TRUE(Read(media) == Read(temp.Path() / "m1")) << threads << " threads";
    }
    // And the media hold the product.
    ExtractOptions options;
    options.Dir = temp.Path() / "out";
    options.Key = c.key;
    ExtractResult result;
    ExtractMedium(LocateMedia(temp.Path() / "m2"), options, {}, result);
    EXPECT_FALSE(result.Report.Failed());
    Files out = Read(temp.Path() / "out");
    EXPECT_EQ(out.size(), files.size());
    for (const auto& file : files) {
      const std::string& name = file.first;
      const auto found = std::find_if(out.begin(), out.end(),
                                      [&](const auto& o) { return o.first.ends_with(name); });
      ASSERT_NE(found, out.end()) << name;
      EXPECT_TRUE(found->second == file.second) << name;
    }
  }
}

struct Outcome {
  std::vector<stage::MediaFinding> findings;
  std::size_t count = 0;  // files written or entries tested
  std::size_t bad = 0;
  bool refused = false;
  Files out;
};

bool Same(const std::vector<stage::MediaFinding>& x, const std::vector<stage::MediaFinding>& y) {
  return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const auto& a, const auto& b) {
    return a.Level == b.Level && a.Kind == b.Kind && a.Segment == b.Segment &&
           a.Archive == b.Archive && a.Template == b.Template && a.Entry == b.Entry &&
           a.Name == b.Name && a.Text == b.Text && a.Other == b.Other;
  });
}

Outcome Extract(const fs::path& media, const fs::path& dir, int threads) {
  Outcome run;
  ExtractOptions options;
  options.Dir = dir;
  options.Threads = threads;
  ExtractEvents events;
  events.OnFinding = [&](const stage::MediaFinding& f) { run.findings.push_back(f); };
  ExtractResult result;
  try {
    ExtractMedium(LocateMedia(media), options, events, result);
  } catch (const EMediumRefused&) {
    run.refused = true;
  }
  EXPECT_TRUE(Same(run.findings, result.Report.Findings));
  run.count = result.Written;
  if (fs::exists(dir)) run.out = Read(dir);
  return run;
}

Outcome TestRun(const fs::path& media, int threads) {
  Outcome run;
  TestEvents events;
  events.OnFinding = [&](const stage::MediaFinding& f) { run.findings.push_back(f); };
  TestResult result;
  try {
    TestMedium(LocateMedia(media), 0, threads, events, result);
  } catch (const EMediumRefused&) {
    run.refused = true;
  }
  run.count = result.Tested;
  run.bad = result.Bad;
  return run;
}

void Damage(const fs::path& file, double at, std::size_t count) {
  std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
  const auto size = static_cast<std::streamoff>(fs::file_size(file));
  f.seekp(static_cast<std::streamoff>(static_cast<double>(size) * at));
  for (std::size_t i = 0; i < count; ++i) f.put(static_cast<char>(0x5a + i));
}

// Puts the entry list of `other` into `media` and writes a media list that holds it.
void TakeEntryList(const fs::path& media, const fs::path& other) {
  fs::copy_file(other / kEntryDigestsName, media / kEntryDigestsName,
                fs::copy_options::overwrite_existing);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(media))
    if (e.path().filename() != kMediaDigestsName) names.push_back(e.path().filename().string());
  std::ofstream(media / kMediaDigestsName, std::ios::binary)
      << FormatMediaDigests(DigestFolderFiles(media, names));
}

TEST(ThreadCount, DamagedMediaGiveTheSameFilesAndFindingsInTheSameOrder) {
  // What is done to the medium. Damaged segments come without digest lists, so that the
  // damage reaches the entries rather than stopping the run first.
  const struct {
    const char* what;
    const char* segment;
    double at;
    std::size_t bytes;
    bool lists;
    bool otherList;
    bool truncate;
  } cases[] = {
      {"sound", "", 0, 0, true, false, false},
      {"an entry list naming other bytes", "", 0, 0, true, true, false},
      {"bytes flipped early", "disk.002", 0.3, 40, false, false, false},
      {"bytes flipped in two segments", "disk.003", 0.5, 200, false, false, false},
      {"bytes flipped late", "disk.005", 0.7, 8, false, false, false},
      {"last segment cut short", "", 0, 0, false, false, true},
  };
  test::TempDir temp;
  Files files = Corpus("mixed");
  for (int i = 0; i < 12; ++i)
    files["d/t" + std::to_string(i)] = test::TextCorpus(20000 + i, 20 + i);
  // Far costlier than the entries before it: the workers take it before them.
  files["d/t9"] = test::TextCorpus(400000, 29);
  const fs::path product = Product(temp.Path() / "product", files);
  // The same product with one file's bytes changed, its size kept.
  files["d/t5"][100] ^= 0x20;
  Pack(Product(temp.Path() / "changed", files), temp.Path() / "other", 1, 0, 30000);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path media = temp.Path() / "media";
    fs::remove_all(media);
    Pack(product, media, 1, 0, 30000);
    if (!c.lists) {
      fs::remove(media / kMediaDigestsName);
      fs::remove(media / kEntryDigestsName);
    }
    if (c.otherList) TakeEntryList(media, temp.Path() / "other");
    if (*c.segment) Damage(media / c.segment, c.at, c.bytes);
    if (c.truncate) {
      fs::path last;
      for (const auto& e : fs::directory_iterator(media))
        if (e.path().filename().string().rfind("disk.", 0) == 0 && e.path() > last) last = e.path();
      fs::resize_file(last, fs::file_size(last) / 2);
    }
    const Outcome extract1 = Extract(media, temp.Path() / "x1", 1);
    const Outcome test1 = TestRun(media, 1);
    if (*c.segment || c.truncate || c.otherList) {
      EXPECT_FALSE(extract1.findings.empty());
      EXPECT_FALSE(test1.findings.empty());
    }
    for (const int threads : {2, 4, 1000000}) {
      SCOPED_TRACE(threads);
      const fs::path dir = temp.Path() / "x" += std::to_string(threads);
      const Outcome extract = Extract(media, dir, threads);
      EXPECT_TRUE(Same(extract.findings, extract1.findings));
      EXPECT_EQ(extract.count, extract1.count);
      EXPECT_EQ(extract.refused, extract1.refused);
      EXPECT_TRUE(extract.out == extract1.out);
      const Outcome test = TestRun(media, threads);
      EXPECT_TRUE(Same(test.findings, test1.findings));
      EXPECT_EQ(test.count, test1.count);
      EXPECT_EQ(test.bad, test1.bad);
      EXPECT_EQ(test.refused, test1.refused);
      fs::remove_all(dir);
    }
    fs::remove_all(temp.Path() / "x1");
  }
}

}  // namespace
}  // namespace nolvo::media
