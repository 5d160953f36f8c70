// nolvo archive create OUT FILE... [--method lh5|lzh|rle|none] [--key N] [--threads N]: one
// container archive file built from host files and folders.

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "archive/container/compress.h"
#include "archive/media/digest_files.h"
#include "archive/media/media_reader.h"
#include "cli/archive_text.h"
#include "cli/command.h"
#include "cli/media_errors.h"
#include "platform/ascii.h"
#include "platform/atomic_file.h"

namespace nolvo::cli {

namespace fs = std::filesystem;

namespace {

struct CreateOptions {
  std::string out;
  std::vector<std::string> files;
  std::string method = "lh5";
  std::int32_t key = 0;
  std::int32_t threads = 1;
};

struct HostSource {
  fs::path File;
  std::string StoredName;  // UTF-8, backslashes
};

// A file stands for itself under its own name; a folder for every file below it, named
// by the folder's name and the path inside it.
std::vector<HostSource> CollectSources(const std::vector<std::string>& args) {
  std::vector<HostSource> sources;
  for (const auto& arg : args) {
    const fs::path path(arg);
    std::error_code ec;
    const auto status = fs::status(path, ec);
    fs::path full = fs::absolute(path).lexically_normal();
    if (!full.has_filename()) full = full.parent_path();
    const std::string base = full.filename().string();
    if (fs::is_regular_file(status)) {
      sources.push_back({path, base});
    } else if (fs::is_directory(status)) {
      std::vector<HostSource> below;
      for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::end(it);
           it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string stored = base;
        for (const auto& part : it->path().lexically_relative(path)) stored += "\\" + part.string();
        below.push_back({it->path(), stored});
      }
      if (ec)
        throw media::EMediaPath(fmt::format("cannot read the folder {}: {}", arg, ec.message()));
      std::sort(below.begin(), below.end(), [](const HostSource& a, const HostSource& b) {
        return a.StoredName < b.StoredName;
      });
      sources.insert(sources.end(), below.begin(), below.end());
    } else {
      throw media::EMediaPath(fmt::format("no such file or folder: {}", arg));
    }
  }
  return sources;
}

container::TCompressionMethod MethodOf(const std::string& name) {
  using container::TCompressionMethod;
  if (name == "lzh") return TCompressionMethod::coLZH;
  if (name == "rle") return TCompressionMethod::coRLE;
  if (name == "none") return TCompressionMethod::coNone;
  return TCompressionMethod::coLZH5;
}

int Create(const CreateOptions& options, bool quiet) {
  const std::vector<HostSource> sources = CollectSources(options.files);
  const fs::path out = fs::absolute(options.out);
  if (!fs::is_directory(out.parent_path()))
    throw media::EMediaPath(
        fmt::format("no folder for the archive: {}", out.parent_path().string()));
  if (fs::is_directory(out)) throw media::EMediaPath(fmt::format("{} is a folder", options.out));

  media::PrivateWorkspace workspace;
  platform::Machine& machine = workspace.Machine();
  const platform::CodePage& cp = machine.Codepage();
  const container::TCompressionMethod method = MethodOf(options.method);

  // Each source is reached through a link of a fixed name in the work folder, so that
  // host names the code page cannot spell still open; the stored name must be spelled.
  fs::create_directory(workspace.Root() / "work" / "src");
  std::vector<container::TArchiveSource> files;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    container::TArchiveSource file;
    if (!cp.FromUtf8(sources[i].StoredName, file.StoredName))
      throw media::EMediaPath(fmt::format("\"{}\" cannot be written in code page {}",
                                          sources[i].StoredName, cp.Name()));
    const std::string folded = platform::AsciiLower(file.StoredName);
    if (!seen.insert(folded).second)
      throw media::EMediaPath(
          fmt::format("two files would be stored as \"{}\"", sources[i].StoredName));
    const std::string link = std::to_string(i);
    fs::create_symlink(fs::absolute(sources[i].File), workspace.Root() / "work" / "src" / link);
    file.FileName = workspace.WorkDir() + "src\\" + link;
    file.Method = method;
    files.push_back(std::move(file));
  }

  // Built under a temporary name beside OUT, then renamed over it.
  if (!machine.MapDrive('o', out.parent_path()).ok())
    throw media::EMediaPath(fmt::format("cannot reach the folder {}", out.parent_path().string()));
  const std::string tempName = fmt::format(".nolvo-{}.tmp", ::getpid());
  const fs::path tempHost = out.parent_path() / tempName;
  container::TCompress compress(machine);
  compress.SetKey(options.key);
  compress.SetThreads(options.threads);
  MediaProgressBar bar(quiet, "Packing");
  compress.OnShowProgress = [&](std::int32_t& percent) {
    bar.Show(fmt::format("{} file{}", files.size(), files.size() == 1 ? "" : "s"), percent);
  };
  // The entry list beside OUT: the sources are hashed before they are stored, and an entry
  // whose size differs from its source's means the file changed in between.
  std::vector<media::HostFileDigest> digests;
  for (const auto& source : sources) digests.push_back(media::HashHostFile(source.File));
  const fs::path sidecar = out.parent_path() / media::SidecarName(out.filename().string());
  container::TCompressedFileList entries;
  try {
    entries = compress.CompressArchiveEntries("o:\\" + tempName, files, method);
    std::vector<media::EntryDigest> list;
    // The writer stores empty files first, so entries are matched to sources by name.
    std::map<std::string, std::size_t> sourceOf;
    for (std::size_t i = 0; i < files.size(); ++i) sourceOf[files[i].StoredName] = i;
    for (std::size_t e = 0; e < entries.size(); ++e) {
      const std::size_t i = sourceOf.at(entries[e].Name);
      if (digests[i].Size != entries[e].Info.OriginalSize)
        throw std::runtime_error(
            fmt::format("{} changed while it was stored", sources[i].File.string()));
      list.push_back({0, static_cast<std::uint32_t>(e), entries[e].Info.OriginalSize,
                      digests[i].Digest, entries[e].Name});
    }
    platform::WriteFileAtomicOrThrow(sidecar, media::FormatEntryDigests(list));
    try {
      fs::rename(tempHost, out);
    } catch (...) {
      std::error_code ec;
      fs::remove(sidecar, ec);
      throw;
    }
  } catch (...) {
    std::error_code ec;
    fs::remove(tempHost, ec);
    throw;
  }
  bar.Clear();
  if (!quiet) {
    for (const auto& e : entries)
      fmt::print("  {:>10} -> {:>10} {:<8} {}\n", e.Info.OriginalSize, e.Info.CompressedSize,
                 MethodName(e.Info.Method), cp.ToUtf8(e.Name));
    fmt::print("{}: {} entr{}\n", options.out, entries.size(), entries.size() == 1 ? "y" : "ies");
  }
  return kExitOk;
}

}  // namespace

CommandRegistration RegisterArchive(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<CreateOptions>();
  CLI::App* sub = app.add_subcommand("archive", "Work with single archive files");
  sub->require_subcommand(1);
  CLI::App* create = sub->add_subcommand("create", "Build one archive file from files and folders");
  create->add_option("OUT", options->out, "The archive file to create (replaced if it exists)")
      ->required();
  create
      ->add_option("FILE", options->files,
                   "Files (stored by name) and folders (stored by folder name and path below it)")
      ->required();
  create->add_option("--method", options->method, "Compression method of every entry")
      ->check(CLI::IsMember({"lh5", "lzh", "rle", "none"}))
      ->capture_default_str();
  create->add_option("--key", options->key, "Lock every entry with this key (0: none)");
  AddThreadsOption(create, options->threads,
                   "Threads that encode; the archive is the same for any count");
  create->footer(
      std::string("An entry the method cannot make smaller is stored uncompressed.\n"
                  "OUT.digests beside it receives the SHA-256 of every entry's bytes.\n\n") +
      kExitCodeHelp);
  sub->footer(kExitCodeHelp);
  auto run = [options, &global]() -> int {
    return RunMediaCommand("archive create", [&]() { return Create(*options, global.quiet); });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
