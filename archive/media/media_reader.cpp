#include "archive/media/media_reader.h"

#include <fmt/format.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <system_error>

#include "platform/ascii.h"
#include "platform/host_file_stream.h"
#include "util/file_errors.h"

namespace nolvo::media {

namespace fs = std::filesystem;

namespace {

fs::path MakeTempRoot() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "nolvo-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error(fmt::format("cannot create a temporary folder in {}", base.string()));
  return pattern;
}

bool IsFirstSegmentName(const std::string& name) {
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".001") == 0;
}

}  // namespace

PrivateWorkspace::PrivateWorkspace() : root_(MakeTempRoot()) {
  try {
    fs::create_directory(root_ / "work");
    machine_ = std::make_unique<platform::Machine>(root_ / "prefix");
    if (!machine_->MapDrive(kWorkDrive, root_ / "work").ok())
      throw std::runtime_error("cannot map the work folder");
  } catch (...) {
    std::error_code ec;
    fs::remove_all(root_, ec);
    throw;
  }
}

PrivateWorkspace::~PrivateWorkspace() {
  machine_.reset();
  std::error_code ec;
  fs::remove_all(root_, ec);
}

MediaLocation LocateMedia(const fs::path& path) {
  std::error_code ec;
  const auto status = fs::status(path, ec);
  MediaLocation media;
  if (fs::is_directory(status)) {
    std::vector<std::string> firsts;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
      const std::string name = entry.path().filename().string();
      if (IsFirstSegmentName(name) && entry.is_regular_file(ec)) firsts.push_back(name);
    }
    if (firsts.empty())
      throw EMediaPath(
          fmt::format("no first segment file (such as disk.001) in {}", path.string()));
    std::sort(firsts.begin(), firsts.end());
    auto chosen = std::find_if(firsts.begin(), firsts.end(), [](const std::string& n) {
      return platform::AsciiLower(n) == "disk.001";
    });
    const std::string name = chosen != firsts.end() ? *chosen : firsts.front();
    media.Segmented = true;
    media.Folder = fs::absolute(path);
    media.BaseName = name.substr(0, name.size() - 4);
    return media;
  }
  if (!fs::is_regular_file(status))
    throw EMediaPath(fmt::format("no such file or folder: {}", path.string()));
  const std::string name = path.filename().string();
  if (IsFirstSegmentName(name)) {
    media.Segmented = true;
    media.Folder = fs::absolute(path).parent_path();
    media.BaseName = name.substr(0, name.size() - 4);
    return media;
  }
  media.File = fs::absolute(path);
  return media;
}

MediaWalk ForEachArchive(PrivateWorkspace& workspace, const MediaLocation& media, std::int32_t key,
                         const ArchiveVisitor& visit) {
  if (!media.Segmented) {
    // Opened by its host name, so that a name the machine's code page cannot spell opens.
    const fs::path file = media.File;
    const container::TArchiveOpener open = [file]() -> std::unique_ptr<platform::ByteStream> {
      try {
        return std::make_unique<platform::HostFileStream>(file,
                                                          platform::HostFileStream::Mode::mdRead);
      } catch (const platform::EStreamError&) {
        throw util::EFOpenError("Cannot open file " + file.string());
      }
    };
    container::TCompress compress(workspace.Machine());
    compress.SetKey(key);
    MediaArchive archive;
    visit(archive, compress, open);
    return {};
  }
  return ForEachSegmentedArchive(workspace, media, key, visit);
}

}  // namespace nolvo::media
