#include "archive/media/archive_create.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <map>
#include <set>

#include "archive/container/compress.h"
#include "archive/media/digest_files.h"
#include "archive/media/media_reader.h"
#include "archive/media/thread_count.h"
#include "platform/ascii.h"
#include "platform/atomic_file.h"

namespace nolvo::media {

namespace fs = std::filesystem;

namespace {

struct HostSource {
  fs::path File;
  std::string StoredName;  // UTF-8, backslashes
};

// Stored names separate folders with backslashes, so a host name holding one would come
// back as a folder and a file: it is refused.
void CheckNamePart(const std::string& part, const fs::path& source) {
  if (part.find('\\') != std::string::npos)
    throw EMediaPath(fmt::format("{}: a backslash in \"{}\" would be read as a folder separator",
                                 source.string(), part));
}

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
      CheckNamePart(base, path);
      sources.push_back({path, base});
    } else if (fs::is_directory(status)) {
      CheckNamePart(base, path);
      std::vector<HostSource> below;
      for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::end(it);
           it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string stored = base;
        for (const auto& part : it->path().lexically_relative(path)) {
          CheckNamePart(part.string(), it->path());
          stored += '\\';
          stored += part.string();
        }
        below.push_back({it->path(), stored});
      }
      if (ec) throw EMediaPath(fmt::format("cannot read the folder {}: {}", arg, ec.message()));
      std::sort(below.begin(), below.end(), [](const HostSource& a, const HostSource& b) {
        return a.StoredName < b.StoredName;
      });
      sources.insert(sources.end(), below.begin(), below.end());
    } else if (fs::exists(status)) {
      throw EMediaPath(fmt::format("neither a file nor a folder: {}", arg));  // a FIFO, a device
    } else {
      throw EMediaPath(fmt::format("no such file or folder: {}", arg));
    }
  }
  return sources;
}

// Each source is reached through a link of a fixed name in the work folder, so that host
// names the code page cannot spell still open; the stored name must be spelled.
std::vector<container::TArchiveSource> LinkSources(const std::vector<HostSource>& sources,
                                                   PrivateWorkspace& workspace,
                                                   container::TCompressionMethod method) {
  const platform::CodePage& cp = workspace.Machine().Codepage();
  fs::create_directory(workspace.Root() / "work" / "src");
  std::vector<container::TArchiveSource> files;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    container::TArchiveSource file;
    if (!cp.FromUtf8(sources[i].StoredName, file.StoredName))
      throw EMediaPath(fmt::format("\"{}\" cannot be written in code page {}",
                                   sources[i].StoredName, cp.Name()));
    if (!seen.insert(platform::AsciiLower(file.StoredName)).second)
      throw EMediaPath(fmt::format("two files would be stored as \"{}\"", sources[i].StoredName));
    const std::string link = std::to_string(i);
    fs::create_symlink(fs::absolute(sources[i].File), workspace.Root() / "work" / "src" / link);
    file.FileName = workspace.WorkDir() + "src\\" + link;
    file.Method = method;
    files.push_back(std::move(file));
  }
  return files;
}

// The entry list of the stored entries: the sources were hashed before they were stored,
// and an entry whose size differs from its source's means the file changed in between.
std::vector<EntryDigest> EntryList(const container::TCompressedFileList& entries,
                                   const std::vector<container::TArchiveSource>& files,
                                   const std::vector<HostSource>& sources,
                                   const std::vector<HostFileDigest>& digests) {
  std::vector<EntryDigest> list;
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
  return list;
}

}  // namespace

CreatedArchive CreateArchive(const ArchiveCreateSettings& settings,
                             const ArchiveCreateProgress& progress) {
  const std::vector<HostSource> sources = CollectSources(settings.Files);
  const fs::path out = fs::absolute(settings.Out);
  if (!fs::is_directory(out.parent_path()))
    throw EMediaPath(fmt::format("no folder for the archive: {}", out.parent_path().string()));
  if (fs::is_directory(out)) throw EMediaPath(fmt::format("{} is a folder", settings.Out.string()));
  // The archive and its list replace what is at their names, which must not be a source.
  const fs::path sidecar = out.parent_path() / SidecarName(out.filename().string());
  for (const auto& source : sources)
    for (const fs::path& target : {out, sidecar}) {
      std::error_code ec;
      if (fs::equivalent(target, source.File, ec))
        throw EMediaPath(fmt::format("{} would replace a file to be stored", target.string()));
    }

  PrivateWorkspace workspace;
  platform::Machine& machine = workspace.Machine();
  const std::vector<container::TArchiveSource> files =
      LinkSources(sources, workspace, settings.Method);

  if (!machine.MapDrive('o', out.parent_path()).ok())
    throw EMediaPath(fmt::format("cannot reach the folder {}", out.parent_path().string()));
  const std::string tempName = fmt::format(".nolvo-{}.tmp", ::getpid());
  const fs::path tempHost = out.parent_path() / tempName;
  container::TCompress compress(machine);
  compress.SetKey(settings.Key);
  compress.SetThreads(ThreadsToUse(settings.Threads));
  if (progress)
    compress.OnShowProgress = [&](std::int32_t& percent) { progress(files.size(), percent); };
  // The sources are hashed on a thread of their own while they are stored (the encoder
  // leaves a core idle part of the time); a file that changes in between gives an entry
  // whose size or digest differs, which the size check here or a later test reports.
  std::future<std::vector<HostFileDigest>> hashing = std::async(std::launch::async, [&sources] {
    std::vector<HostFileDigest> digests;
    for (const auto& source : sources) digests.push_back(HashHostFile(source.File));
    return digests;
  });
  CreatedArchive created;
  try {
    created.Entries = compress.CompressArchiveEntries("o:\\" + tempName, files, settings.Method);
    const std::vector<HostFileDigest> digests = hashing.get();
    platform::WriteFileAtomicOrThrow(
        sidecar, FormatEntryDigests(EntryList(created.Entries, files, sources, digests)));
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
  for (const auto& e : created.Entries) created.Names.push_back(machine.Codepage().ToUtf8(e.Name));
  return created;
}

}  // namespace nolvo::media
