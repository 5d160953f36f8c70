#include "tests/support/archive_media.h"

#include <algorithm>

#include "archive/container/compress.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_machine.h"

namespace nolvo::test {

namespace fs = std::filesystem;

void WriteArchiveFile(const fs::path& out, const std::vector<StoredFile>& files, int key) {
  TestMachine tm;
  std::vector<container::TArchiveSource> sources;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = "src" + std::to_string(i);
    WriteBytes(tm.DriveC() / name, files[i].Bytes);
    sources.push_back({"C:\\" + name, files[i].StoredName, files[i].Method});
  }
  container::TCompress compress(tm.Machine());
  compress.SetKey(key);
  compress.CompressArchiveEntries("C:\\out.arc", sources, container::TCompressionMethod::coLZH5);
  fs::copy_file(tm.DriveC() / "out.arc", out, fs::copy_options::overwrite_existing);
}

std::string SampleBytes(std::size_t size, unsigned seed) {
  static const char* const words[] = {"alpha ", "beta ", "gamma ",  "delta\n",
                                      "x",      "yz ",   "\x01\xff"};
  std::string s;
  unsigned state = seed * 2654435761u + 1;
  while (s.size() < size) {
    state = state * 1103515245u + 12345u;
    s += words[(state >> 16) % 7];
    if ((state >> 8) % 5 == 0) s += static_cast<char>(state >> 24);
  }
  s.resize(size);
  return s;
}

std::vector<std::string> FilesBelow(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) names.push_back(e.path().lexically_relative(dir).generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace nolvo::test
