// nolvo extract PATH [-d DIR] [--flat] [--key N]: writes the files of install media under
// DIR, never outside it. Each file is written under a temporary name and takes its own
// name only once its checksum held.

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <set>

#include "archive/container/compress_errors.h"
#include "archive/media/confined_path.h"
#include "archive/media/media_reader.h"
#include "archive/media/stored_copy_check.h"
#include "cli/command.h"
#include "cli/interrupt.h"
#include "cli/media_errors.h"

namespace nolvo::cli {

namespace fs = std::filesystem;

namespace {

constexpr char kOutputDrive = 'o';

struct ExtractOptions {
  std::string path;
  std::string dir = ".";
  bool flat = false;
  std::int32_t key = 0;
};

// One file being written: its temporary and final host paths.
struct PendingFile {
  fs::path Temp;
  fs::path Final;
  std::string Shown;  // its path below DIR, for messages
};

class Extractor {
 public:
  Extractor(const ExtractOptions& options, bool quiet, media::PrivateWorkspace& workspace)
      : options_(options), quiet_(quiet), workspace_(workspace),
        cp_(workspace.Machine().Codepage()), bar_(quiet, "Extracting") {
    const fs::path dir(options.dir);
    std::error_code ec;
    fs::create_directories(dir, ec);
    root_ = fs::canonical(dir, ec);
    if (ec || !fs::is_directory(root_))
      throw media::EMediaPath(fmt::format("cannot use {} as the output folder", options.dir));
  }

  ~Extractor() { Discard(); }
  Extractor(const Extractor&) = delete;
  Extractor& operator=(const Extractor&) = delete;

  void Run(const media::MediaLocation& location) {
    media::ForEachArchive(
        workspace_, location, options_.key,
        [this](const media::MediaArchive& a, container::TCompress& c, const std::string& file) {
          ExtractArchive(a, c, file);
        },
        bar_.Callback());
    bar_.Clear();
    if (!quiet_)
      fmt::print("{} file{} extracted to {}\n", written_, written_ == 1 ? "" : "s",
                 root_.string());
  }

  bool Failed() const { return failed_; }

 private:
  void ExtractArchive(const media::MediaArchive& archive, container::TCompress& compress,
                      const std::string& file) {
    media::ConfinedPath base;
    if (!options_.flat) {
      base = media::ConfinePath(archive.TargetDir, true, cp_);
      for (const auto& note : base.Notes)
        Report(fmt::format("template \"{}\": {}", cp_.ToUtf8(archive.Template), note));
    }
    compress.SetExceptionOnFileError(true);
    std::string entry;
    compress.OnShowProgress = [&](int& percent) { bar_.Show(entry, percent); };
    container::TCompressedFileList entries;
    compress.ListArchiveEntries(file, entries);
    const auto badCopies = media::BadStoredCopies(compress.Machine(), file, entries, options_.key);
    std::set<std::string> badNames;
    for (const auto& e : entries)
      if (badCopies.count(e.Info.EntryPosition)) badNames.insert(e.Name);
    compress.OnCheckFile = [&](std::string& path, container::TCProcessMode) {
      Commit();
      ThrowIfInterrupted();
      entry = cp_.ToUtf8(path);
      // A directory entry (no file-name part, such as DATA\) names no file: passed over.
      const auto cut = path.find_last_of("\\/:");
      if (cut == std::string::npos ? path.empty() : cut + 1 == path.size()) {
        path.clear();
        return;
      }
      if (badNames.count(path))
        throw std::runtime_error(fmt::format("{}: {}", entry, container::EBadChecksum().what()));
      path = Prepare(base, path);
    };
    std::vector<std::string> selection = archive.FileNames;
    try {
      compress.ExpandArchiveEntries(file, archive.Template.empty() ? nullptr : &selection);
    } catch (const container::EDamagedArchive&) {
      // Raised while reading the next entry's header: the one before it was whole.
      Commit();
      throw;
    } catch (const EInterrupted&) {
      Discard();
      throw;
    } catch (const std::exception& e) {
      const bool inEntry = pending_.has_value();
      Discard();
      if (inEntry) throw std::runtime_error(fmt::format("{}: {}", entry, e.what()));
      throw;
    }
    Commit();
  }

  // The machine path to expand the stored name `name` to: a fresh temporary file in the
  // confined folder it belongs in. Empty (skip) when nothing of the name is usable.
  std::string Prepare(const media::ConfinedPath& base, const std::string& name) {
    media::ConfinedPath confined =
        options_.flat ? media::ConfineFileName(name, cp_) : media::ConfinePath(name, false, cp_);
    for (const auto& note : confined.Notes)
      Report(fmt::format("\"{}\": {}", cp_.ToUtf8(name), note));
    if (confined.Parts.empty()) {
      Report(fmt::format("\"{}\": no file name left; not extracted", cp_.ToUtf8(name)));
      failed_ = true;
      return "";
    }
    std::vector<std::string> parts = base.Parts;
    parts.insert(parts.end(), confined.Parts.begin(), confined.Parts.end());
    fs::path folder = root_;
    std::string shown;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
      folder /= parts[i];
      shown += parts[i] + "/";
      EnsureFolder(folder, shown);
    }
    shown += parts.back();
    const fs::path target = folder / parts.back();
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(target, ec)))
      throw std::runtime_error(fmt::format("{} is a folder", shown));

    PendingFile pending{folder / fmt::format(".nolvo-{}-{}.part", ::getpid(), ++counter_), target,
                        shown};
    const int fd = ::open(pending.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error(fmt::format("cannot create a file in {}", folder.string()));
    ::close(fd);
    pending_ = std::move(pending);
    if (workspace_.Machine().MapDrive(kOutputDrive, folder) != 0)
      throw std::runtime_error(fmt::format("cannot reach the folder {}", folder.string()));
    return std::string(1, kOutputDrive) + ":\\" + pending_->Temp.filename().string();
  }

  // A folder below DIR, made when missing; an existing link is never followed.
  static void EnsureFolder(const fs::path& folder, const std::string& shown) {
    std::error_code ec;
    const auto status = fs::symlink_status(folder, ec);
    if (fs::is_symlink(status))
      throw std::runtime_error(fmt::format("{} is a symbolic link; not followed", shown));
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) throw std::runtime_error(fmt::format("{} is not a folder", shown));
      return;
    }
    if (!fs::create_directory(folder, ec) && ec)
      throw std::runtime_error(fmt::format("cannot create the folder {}: {}", shown, ec.message()));
  }

  // The file before is whole: it takes its name.
  void Commit() {
    if (!pending_) return;
    PendingFile done = std::move(*pending_);
    pending_.reset();
    std::error_code ec;
    fs::rename(done.Temp, done.Final, ec);
    if (ec) {
      fs::remove(done.Temp, ec);
      throw std::runtime_error(fmt::format("cannot write {}", done.Shown));
    }
    ++written_;
    if (!quiet_) {
      bar_.Clear();
      fmt::print("  {}\n", done.Shown);
    }
  }

  void Discard() {
    if (!pending_) return;
    std::error_code ec;
    fs::remove(pending_->Temp, ec);
    pending_.reset();
  }

  void Report(const std::string& text) {
    bar_.Clear();
    fmt::print(stderr, "nolvo extract: {}\n", text);
  }

  const ExtractOptions& options_;
  bool quiet_;
  media::PrivateWorkspace& workspace_;
  const platform::CodePage& cp_;
  MediaProgressBar bar_;
  fs::path root_;
  std::optional<PendingFile> pending_;
  std::size_t counter_ = 0;
  std::size_t written_ = 0;
  bool failed_ = false;
};

}  // namespace

CommandRegistration RegisterExtract(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<ExtractOptions>();
  CLI::App* sub = app.add_subcommand("extract", "Write the files of install media into a folder");
  sub->add_option("PATH", options->path,
                  "A media folder (disk.001, ...), a first segment file, or one archive file")
      ->required();
  sub->add_option("-d,--dir", options->dir, "The output folder (made when missing)")
      ->type_name("DIR")
      ->capture_default_str();
  sub->add_flag("--flat", options->flat, "Put every file directly in the output folder");
  sub->add_option("--key", options->key, "The key of locked entries");
  sub->footer(std::string(
                  "Each archive's files go below its template's folder, made relative (the\n"
                  "drive and leading backslashes dropped). Names with \"..\", device names or\n"
                  "characters a file name cannot hold are kept inside the folder and reported.\n"
                  "A file whose checksum fails is not left behind.\n\n") +
              kExitCodeHelp);
  auto run = [options, &global]() -> int {
    return RunMediaCommand("extract", [&]() -> int {
      const media::MediaLocation location = media::LocateMedia(options->path);
      media::PrivateWorkspace workspace;
      Extractor extractor(*options, global.quiet, workspace);
      extractor.Run(location);
      return extractor.Failed() ? kExitFailure : kExitOk;
    });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
