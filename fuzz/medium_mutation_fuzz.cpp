// Random damage to a sound medium with its digest lists: the input is a list of mutations
// (bit flips, bytes set, swapped or cut, files cut, removed, swapped or copied over one
// another) applied to the medium's files before it is extracted and tested, on one thread or
// two. While a digest list is left, extraction must give the product's exact bytes or end as
// failed, and a test that passes must have seen the medium's files as they were made.

#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "archive/media/digest_files.h"
#include "archive/media/medium_extract.h"
#include "archive/media/medium_test.h"
#include "archive/segment/seg_writer.h"

using namespace nolvo;
namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The product, and the medium packed from it (file name -> bytes), made once.
struct Sound {
  fs::path root;
  std::map<std::string, std::string> product;  // path below the product folder -> bytes
  std::vector<std::pair<std::string, std::string>> medium;

  Sound() {
    char pattern[] = "/tmp/nolvo-mediumfuzz-XXXXXX";
    root = mkdtemp(pattern);
    ::setenv("TMPDIR", root.c_str(), 1);
    std::string text, noise(9000, '\0');
    for (int i = 0; text.size() < 30000; ++i) text += "line " + std::to_string(i * 37 % 101) + "\n";
    std::uint32_t x = 99;
    for (auto& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    product = {{"App/empty.dat", ""}, {"App/readme.txt", text}, {"App/sub/noise.bin", noise}};
    const fs::path source = root / "source", made = root / "made";
    segment::TSegWriteArchive archive;
    archive.Template = "C:\\App\\*.*";
    std::vector<media::EntryDigest> digests;
    for (const auto& [path, bytes] : product) {
      fs::create_directories((source / path).parent_path());
      Write(source / path, bytes);
      std::string stored = path.substr(4);
      for (auto& c : stored)
        if (c == '/') c = '\\';
      archive.Files.push_back({source / path, stored});
      digests.push_back({0, static_cast<std::uint32_t>(digests.size()),
                         static_cast<std::int64_t>(bytes.size()), media::Sha256Of(bytes), stored});
    }
    fs::create_directories(made);
    segment::TSegWriterSettings settings;
    settings.Dir = made;
    settings.SegSize = 16384;
    const auto result = segment::WriteSegmentedArchive(settings, {archive});
    Write(made / "install.cfg", "[Setup - Main]\r\n");
    Write(made / "install.exe", "setup");
    Write(made / std::string(media::kEntryDigestsName), media::FormatEntryDigests(digests));
    std::vector<std::string> names;
    for (const auto& s : result.Segments) names.push_back(s.filename().string());
    names.insert(names.end(),
                 {"install.cfg", "install.exe", std::string(media::kEntryDigestsName)});
    Write(made / std::string(media::kMediaDigestsName),
          media::FormatMediaDigests(media::DigestFolderFiles(made, names)));
    names.push_back(std::string(media::kMediaDigestsName));
    for (const auto& n : names) medium.emplace_back(n, Read(made / n));
  }
  ~Sound() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

Sound& TheSound() {
  static Sound sound;
  return sound;
}

// Reads the mutations from the input, five bytes each: kind, file, and a 24-bit position.
void Mutate(std::vector<std::pair<std::string, std::string>>& files, const std::uint8_t* data,
            std::size_t size) {
  for (; size >= 5 && !files.empty(); data += 5, size -= 5) {
    auto& [name, bytes] = files[data[1] % files.size()];
    auto& other = files[(data[1] / 16) % files.size()].second;
    const std::size_t at = data[2] | data[3] << 8 | data[4] << 16;
    const std::size_t pos = bytes.empty() ? 0 : at % bytes.size();
    switch (data[0] % 8) {
      case 0:
        if (!bytes.empty()) bytes[pos] = static_cast<char>(bytes[pos] ^ (1 << (data[4] % 8)));
        break;
      case 1:
        if (!bytes.empty()) bytes[pos] = static_cast<char>(data[3]);
        break;
      case 2:
        if (bytes.size() > 1) std::swap(bytes[pos], bytes[(pos + 1 + data[3]) % bytes.size()]);
        break;
      case 3:
        bytes.resize(pos);
        break;
      case 4:
        files.erase(files.begin() + static_cast<std::ptrdiff_t>(data[1] % files.size()));
        break;
      case 5:
        std::swap(bytes, other);
        break;
      case 6:
        bytes = other;
        break;
      default:
        bytes.insert(pos, 1, static_cast<char>(data[3]));
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Sound& sound = TheSound();
  const fs::path media = sound.root / "media", out = sound.root / "out";
  std::error_code ec;
  fs::remove_all(media, ec);
  fs::remove_all(out, ec);
  fs::create_directories(media);
  auto files = sound.medium;
  Mutate(files, data, size);
  for (const auto& [name, bytes] : files) Write(media / name, bytes);
  // Without either list the medium reads as one from another builder: only the format's
  // byte sums can be checked (the tools say so), and they are not what is asserted here.
  bool vouched = false;
  for (const auto& [name, bytes] : files)
    vouched = vouched || name == media::kMediaDigestsName || name == media::kEntryDigestsName;

  media::MediaLocation location;
  location.Segmented = true;
  location.Folder = media;
  location.BaseName = "disk";

  // Half the inputs (by the parity of their length) read on two threads.
  const int threads = 1 + static_cast<int>(size % 2);
  media::ExtractResult extracted;
  media::ExtractOptions options;
  options.Dir = out;
  options.Threads = threads;
  bool ok = false;
  try {
    media::ExtractMedium(location, options, {}, extracted);
    ok = !extracted.Report.Failed();
  } catch (const std::exception&) {
  }
  if (ok && vouched) {
    // Success means the product, byte for byte, and nothing else.
    std::size_t found = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      if (!entry.is_regular_file()) continue;
      const auto it = sound.product.find(fs::relative(entry.path(), out).generic_string());
      if (it == sound.product.end() || Read(entry.path()) != it->second) std::abort();
      ++found;
    }
    if (found != sound.product.size()) std::abort();
  }

  media::TestResult tested;
  try {
    media::TestMedium(location, 0, threads, {}, tested);
    ok = !tested.Report.Failed();
  } catch (const std::exception&) {
    ok = false;
  }
  if (ok && vouched) {
    // Every file the media list covers is as it was made.
    for (const auto& [name, bytes] : sound.medium)
      if (name != media::kMediaDigestsName && Read(media / name) != bytes) std::abort();
  }
  return 0;
}
