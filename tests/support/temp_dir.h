#pragma once
// A fresh host folder for one test, removed with everything in it afterwards.

#include <filesystem>
#include <string>
#include <vector>

namespace nolvo::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Whole-file helpers for tests.
std::vector<unsigned char> ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// Source and data folders of the checkout, and the build folder.
std::filesystem::path DataDir();
std::filesystem::path SourceDir();
std::filesystem::path BinaryDir();

}  // namespace nolvo::test
