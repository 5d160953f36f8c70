// A medium made by `nolvo pack`, damaged a few hundred times in fixed pseudo-random ways
// (bit flips, swapped bytes, cut, swapped or removed segments, changed digest lists):
// `nolvo test` and `nolvo extract` may pass only when what they vouch for is right.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/support/archive_media.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // name -> bytes

// Under the sanitizers every run of the tool is many times slower: fewer damages there.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kCorruptions = 50;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kCorruptions = 50;
#else
constexpr int kCorruptions = 250;
#endif
#else
constexpr int kCorruptions = 250;
#endif

Files ReadFolder(const fs::path& dir) {
  Files files;
  if (!fs::exists(dir)) return files;
  for (const auto& name : FilesBelow(dir)) files[name] = ReadText(dir / name);
  return files;
}

void WriteFolder(const fs::path& dir, const Files& files) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& [name, bytes] : files) WriteBytes(dir / name, bytes);
}

// One damage of the kinds a medium meets; returns what it did.
std::string Damage(Files& files, std::mt19937& gen) {
  std::vector<std::string> segments, all;
  for (const auto& [name, bytes] : files) {
    all.push_back(name);
    if (name.rfind("disk.", 0) == 0) segments.push_back(name);
  }
  auto pick = [&](const std::vector<std::string>& from) { return from[gen() % from.size()]; };
  auto at = [&](const std::string& bytes) { return bytes.empty() ? 0 : gen() % bytes.size(); };
  switch (gen() % 8) {
    case 0: {
      const std::string name = pick(all);
      std::string& b = files[name];
      if (!b.empty()) b[at(b)] ^= static_cast<char>(1 << gen() % 8);
      return "bit flip in " + name;
    }
    case 1: {
      const std::string name = pick(segments);
      std::string& b = files[name];
      const std::size_t i = at(b), j = gen() % 2 ? i + 1 : at(b);
      if (j < b.size()) std::swap(b[i], b[j]);
      return "bytes swapped in " + name;
    }
    case 2: {
      const std::string name = pick(segments);
      files[name].resize(at(files[name]));
      return "cut " + name;
    }
    case 3: {
      const std::string a = pick(segments), b = pick(segments);
      std::swap(files[a], files[b]);
      return "swapped " + a + " and " + b;
    }
    case 4: {
      const std::string name = pick(segments);
      files.erase(name);
      return "removed " + name;
    }
    case 5: {
      // A digest changed in the entry list (a digit, so that the list still reads).
      std::string& b = files["nolvo-entries.digests"];
      const std::size_t line = b.find('\n', at(b));
      if (line != std::string::npos && line > 70) b[line - 70] = b[line - 70] == '0' ? '1' : '0';
      return "digit changed in the entry list";
    }
    case 6: {
      const std::string name = gen() % 2 ? "nolvo-entries.digests" : "nolvo-media.sha256";
      std::string& b = files[name];
      b.resize(at(b));
      return "cut " + name;
    }
    default: {
      const std::string name = pick(segments);
      std::string& b = files[name];
      const std::size_t i = at(b);
      const int n = static_cast<int>(gen() % 4) + 1;
      for (int k = 0; k < n && i + k < b.size(); ++k) b[i + k] = static_cast<char>(gen());
      return "bytes overwritten in " + name;
    }
  }
}

TEST(Corruption, TestAndExtractNeverPassWrongBytes) {
  TempDir dir;
  const fs::path product = dir.Path() / "product", media = dir.Path() / "media",
                 out = dir.Path() / "out";
  fs::create_directories(product / "data");
  WriteBytes(product / "install.cfg", std::string("[Setup - Main]\r\nInstall Dir=P\r\n"));
  WriteBytes(product / "main.exe", SampleBytes(120000, 31));
  WriteBytes(product / "data" / "table.dat", SampleBytes(80000, 32));
  WriteBytes(product / "data" / "empty.txt", std::string());
  WriteBytes(product / "readme.txt", std::string(2000, 'r'));
  // Stored as it stands, so that bytes the codecs would never see get damaged too.
  std::string noise(12000, '\0');
  std::mt19937 noiseGen(5);
  for (auto& c : noise) c = static_cast<char>(noiseGen());
  WriteBytes(product / "data" / "noise.bin", noise);
  auto r = RunCommand({NolvoTool(), "-q", "pack", product.string(), "-o",
                       (dir.Path() / "made").string(), "--segment-size", "16384"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Files sound = ReadFolder(dir.Path() / "made");
  ASSERT_GE(sound.size(), 7u);  // three segments or more, the setup files, the two lists
  Files expected = ReadFolder(product);
  expected.erase("install.cfg");

  std::mt19937 gen(20240611);
  int passedTest = 0, passedExtract = 0, tried = 0;
  for (int i = 0; i < kCorruptions; ++i) {
    Files files = sound;
    std::string what = Damage(files, gen);
    if (gen() % 3 == 0) what += "; " + Damage(files, gen);
    if (files == sound) continue;  // a damage that changed nothing
    ++tried;
    WriteFolder(media, files);

    r = RunCommand({NolvoTool(), "-q", "test", media.string()});
    // 2: the folder no longer holds a first segment.
    ASSERT_TRUE(r.exitCode >= 0 && r.exitCode <= 2) << what << ": " << r.err;
    if (r.exitCode == 0) {
      ++passedTest;
      // Passing is right only when every file the lists cover is as it was made.
      for (const auto& [name, bytes] : sound) {
        if (name != "nolvo-media.sha256") {
          EXPECT_EQ(files[name], bytes) << what << ": test passed with " << name << " changed";
        }
      }
    }

    fs::remove_all(out);
    r = RunCommand({NolvoTool(), "-q", "extract", media.string(), "-d", out.string()});
    // 2: the folder no longer holds a first segment.
    ASSERT_TRUE(r.exitCode >= 0 && r.exitCode <= 2) << what << ": " << r.err;
    const Files written = ReadFolder(out);
    for (const auto& [name, bytes] : written)
      EXPECT_TRUE(expected.count(name) && expected.at(name) == bytes)
          << what << ": " << name << " written with wrong bytes (exit " << r.exitCode << ")";
    if (r.exitCode == 0) {
      ++passedExtract;
      EXPECT_EQ(written, expected) << what << ": extract passed without every file";
    }
  }
  EXPECT_GE(tried, kCorruptions * 9 / 10);
  RecordProperty("tried", tried);
  RecordProperty("test passed", passedTest);
  RecordProperty("extract passed", passedExtract);
}

}  // namespace
}  // namespace nolvo::test
