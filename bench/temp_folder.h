#pragma once
// A host temporary folder for a benchmark's product, media and output, removed with
// everything in it unless the run asks to keep it.

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace nolvo::bench {

class TempFolder {
 public:
  // `name` labels the folder and the message that names it when kept.
  explicit TempFolder(std::string name) : name_(std::move(name)) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / ("nolvo-" + name_ + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
  }
  ~TempFolder() {
    if (keep_) {
      std::fprintf(stderr, "%s: kept %s\n", name_.c_str(), path_.c_str());
      return;
    }
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  void Keep() { keep_ = true; }

 private:
  std::string name_;
  std::filesystem::path path_;
  bool keep_ = false;
};

}  // namespace nolvo::bench
