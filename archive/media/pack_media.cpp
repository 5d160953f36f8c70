#include "archive/media/pack_media.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <set>
#include <string_view>

#include "app/desktop_entry.h"
#include "app/settings_loader.h"
#include "archive/media/confined_path.h"
#include "archive/media/thread_count.h"
#include "platform/ascii.h"
#include "platform/atomic_file.h"
#include "platform/dos_time.h"
#include "platform/win_path.h"
#include "util/split_at_char.h"

namespace nolvo::media {

namespace {

namespace fs = std::filesystem;

std::string Upper(const std::string& s) { return platform::AsciiUpper(s); }

std::string NamePart(const std::string& path) {
  const auto cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The product files a configuration names: [Files], [WorkStation] and the targets and
// icons of [Desktop].
std::vector<std::pair<std::string, std::string>> NamedFiles(const app::SetupSettings& s) {
  std::vector<std::pair<std::string, std::string>> named;
  auto first = [](std::string entry) {
    std::string head;
    util::SplitAtChar(entry, '~', head);
    return head;
  };
  for (const auto& e : s.FileList) named.emplace_back("Files", NamePart(first(e)));
  for (const auto& e : s.WorkStationList) named.emplace_back("WorkStation", NamePart(first(e)));
  for (const auto& raw : s.DesktopList) {
    const auto d = app::SplitDesktopEntry(raw);
    named.emplace_back("Desktop", NamePart(app::DesktopEntry::AfterToken(d.TargetField)));
    named.emplace_back("Desktop", NamePart(app::DesktopEntry::AfterToken(d.IconField)));
  }
  return named;
}

// Whether a file or folder name reaches the Windows side unchanged: the setup would drop
// a trailing dot or space, and extraction renames device names and forbidden characters.
bool FitsWindows(const std::string& part, const platform::CodePage& cp) {
  return !part.empty() && part.back() != '.' && part.back() != ' ' &&
         part.find_first_of("\\/:") == std::string::npos && ConfineFileName(part, cp).Notes.empty();
}

// The setup expands every file flat into its temporary folder, C:\WINDOWS\Temp\q: a file
// whose name makes a longer path there than Windows takes could never be unpacked.
constexpr std::size_t kTempFolderLength = std::string_view("C:\\WINDOWS\\Temp\\q\\").size();

// A small stand-in for the setup program when the build has none.
const char kPlaceholderSetup[] =
    "This medium was made by nolvo pack. Run the setup with:\n"
    "  nolvo-setup        (from inside this folder)\n"
    "  nolvo install .    (without a window)\n";

[[noreturn]] void Fail(const std::string& what, bool usage = false) {
  throw EPackError(what, usage);
}

segment::TSegWriteFile StoredFile(const fs::path& file, std::string stored,
                                  container::TCompressionMethod method) {
  segment::TSegWriteFile w;
  w.Source = file;
  w.StoredName = std::move(stored);
  w.Method = method;
  struct stat st {};
  std::uint16_t date = 0, time = 0;
  if (::stat(file.c_str(), &st) == 0 && platform::UnixToDosDateTime(st.st_mtime, date, time))
    w.FileDate = static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time);
  w.Attributes = (st.st_mode & S_IWUSR) ? 0x20 : 0x21;
  return w;
}

// The entry list of what was stored. The files were hashed before they were stored: an
// entry whose size or byte sum differs from its file's means the file changed in between.
std::vector<EntryDigest> StoredEntries(const segment::TSegWriteResult& result,
                                       const std::map<std::string, HostFileDigest>& digests,
                                       std::int32_t key) {
  std::vector<EntryDigest> entries;
  for (std::size_t a = 0; a < result.Archives.size(); ++a) {
    const auto& listing = result.Archives[a];
    for (std::size_t i = 0; i < listing.size(); ++i) {
      const auto& e = listing[i];
      const auto found = digests.find(e.Name);
      const std::uint32_t sum =
          e.Info.Checksum - (e.Info.Locked ? static_cast<std::uint32_t>(key) : 0u);
      if (found == digests.end() || found->second.Size != e.Info.OriginalSize ||
          found->second.ByteSum != sum)
        Fail("a file changed while it was packed; pack again");
      entries.push_back({static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(i),
                         e.Info.OriginalSize, found->second.Digest, e.Name});
    }
  }
  return entries;
}

// Writes the entry list, then the media list over every file of the medium.
void WriteDigestLists(const fs::path& folder, const segment::TSegWriteResult& result,
                      const std::vector<EntryDigest>& entries, int threads) {
  std::vector<std::string> names;
  for (const auto& path : result.Segments) names.push_back(path.filename().string());
  names.insert(names.end(), {"install.cfg", "install.exe", std::string(kEntryDigestsName)});
  try {
    platform::WriteFileAtomicOrThrow(folder / kEntryDigestsName, FormatEntryDigests(entries));
    platform::WriteFileAtomicOrThrow(folder / kMediaDigestsName,
                                     FormatMediaDigests(DigestFolderFiles(folder, names, threads)));
  } catch (const std::exception& e) {
    Fail(fmt::format("cannot write the digest lists: {}", e.what()));
  }
}

// An exclusive lock on the folder itself (no file is added to the medium); another pack
// holding it is refused at once.
std::shared_ptr<const void> LockMediaFolder(const fs::path& media) {
  const int fd = ::open(media.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail(fmt::format("cannot open {}: {}", media.string(), std::strerror(errno)));
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) Fail(fmt::format("another pack is writing {}", media.string()));
    Fail(fmt::format("cannot lock {}: {}", media.string(), std::strerror(error)));
  }
  return std::shared_ptr<const void>(nullptr, [fd](const void*) { ::close(fd); });
}

}  // namespace

// Hashes `files` (stored in that order in the product) on up to `threads` threads; a
// file that cannot be read throws as it would on one thread, the first in order first.
void HashFiles(const std::vector<fs::path>& files, PackProduct& product, std::int32_t threads) {
  const std::vector<HashedHostFile> hashed = HashHostFiles(files, threads);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (hashed[i].Error) std::rethrow_exception(hashed[i].Error);
    product.Digests[product.Archive.Files[i].StoredName] = hashed[i].Digest;
  }
}

PackProduct CollectProduct(const PackSettings& settings, const platform::CodePage& cp) {
  std::error_code ec;
  const fs::path& source = settings.Source;
  if (!fs::is_directory(source, ec)) Fail(fmt::format("{} is not a folder", source.string()), true);
  PackProduct product;
  product.Config = settings.Config.empty() ? source / "install.cfg" : settings.Config;
  if (!fs::is_regular_file(product.Config, ec))
    Fail(fmt::format("no configuration at {}", product.Config.string()), true);
  const fs::path& media = settings.Media;
  fs::create_directories(media, ec);
  if (ec) Fail(fmt::format("cannot create {}: {}", media.string(), ec.message()));
  if (fs::equivalent(media, source, ec))
    Fail("the media folder must not be the source folder", true);
  product.FolderLock = LockMediaFolder(media);
  // Digest lists of an earlier medium would not describe this one. Until the run ends, the
  // media list says the media are unfinished, so that a run that dies or fails part way
  // leaves nothing that passes for finished media.
  fs::remove(media / kEntryDigestsName, ec);
  try {
    platform::WriteFileAtomicOrThrow(media / kMediaDigestsName, UnfinishedMediaDigests());
  } catch (const std::exception& e) {
    Fail(fmt::format("cannot write the digest lists: {}", e.what()));
  }

  // Every file below the product folder but its install.cfg (and the media folder), in a
  // stable order. Links to files are stored as the file under the link's own name; anything
  // the media cannot carry as a file stops the pack rather than going missing unnoticed.
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(source, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string relative = it->path().lexically_relative(source).generic_string();
    std::error_code typeEc;
    const fs::file_status target = fs::status(it->path(), typeEc);
    if (fs::is_directory(target) && !it->is_symlink(typeEc)) {
      if (fs::equivalent(it->path(), media, typeEc)) it.disable_recursion_pending();
      continue;
    }
    if (!fs::is_regular_file(target))
      Fail(
          fmt::format("{}: not a file or a folder (a link to a folder, a broken link, a pipe or "
                      "a device); pack stores files only",
                      relative));
    if (fs::equivalent(it->path(), product.Config, ec)) continue;
    for (const auto& part : fs::path(relative))
      if (!FitsWindows(part.string(), cp))
        Fail(
            fmt::format("{}: Windows cannot hold the name \"{}\" (a device name, one of "
                        "\\ : * ? \" < > | or a control character, or a trailing dot or space)",
                        relative, part.string()));
    files.push_back(it->path());
  }
  if (ec) Fail(fmt::format("cannot read {}: {}", source.string(), ec.message()));
  std::sort(files.begin(), files.end());

  product.Archive.Template = "C:\\*.*";
  product.Archive.RecordLength = 260;
  for (const auto& file : files) {
    std::string relative = file.lexically_relative(source).generic_string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    std::string stored;
    if (!cp.FromUtf8(relative, stored))
      Fail(
          fmt::format("{}: the name has characters code page {} cannot hold", relative, cp.Name()));
    if (kTempFolderLength + NamePart(stored).size() > platform::kMaxPath)
      Fail(fmt::format("{}: the file name is longer than the {} characters the setup can unpack",
                       relative, platform::kMaxPath - kTempFolderLength));
    product.Archive.Files.push_back(StoredFile(file, std::move(stored), settings.Method));
  }
  HashFiles(files, product, ThreadsToUse(settings.Threads));
  return product;
}

std::vector<PackWarning> CheckNames(const PackProduct& product, const platform::CodePage& cp) {
  std::vector<PackWarning> warnings;
  std::map<std::string, std::string> byName;  // upper-case file name -> stored name
  for (const auto& file : product.Archive.Files) {
    const std::string key = Upper(NamePart(file.StoredName));
    if (auto [it, fresh] = byName.emplace(key, file.StoredName); !fresh)
      warnings.push_back(
          {PackWarning::Kind::SameName, cp.ToUtf8(it->second), cp.ToUtf8(file.StoredName)});
  }
  const auto loaded = app::LoadSettings(platform::ProfileReader(product.Config));
  std::set<std::pair<std::string, std::string>> reported;
  for (const auto& [section, name] : NamedFiles(loaded.Settings)) {
    if (name.empty() || byName.count(Upper(name)) || !reported.emplace(section, name).second)
      continue;
    warnings.push_back({PackWarning::Kind::NotOnMedia, section, cp.ToUtf8(name)});
  }
  return warnings;
}

segment::TSegWriteResult WriteMedia(const PackSettings& settings, const PackProduct& product,
                                    const PackProgress& progress) {
  segment::TSegWriterSettings writer;
  writer.Dir = settings.Media;
  writer.BaseName = "disk";
  writer.SegSize = std::max<std::int32_t>(settings.SegmentSize, 16384);
  writer.Key = settings.Key;
  writer.ArchiveMethod = settings.Method;
  writer.Threads = ThreadsToUse(settings.Threads);
  std::int64_t total = 0;
  for (const auto& [name, digest] : product.Digests) total += digest.Size;
  std::int64_t done = 0;
  writer.OnFile = [&](std::size_t, const segment::TSegWriteFile& f) {
    if (progress) progress(f.StoredName, done, total);
    const auto found = product.Digests.find(f.StoredName);
    if (found != product.Digests.end()) done += found->second.Size;
  };
  return segment::WriteSegmentedArchive(writer, {product.Archive});
}

void PlaceSetupProgram(const PackSettings& settings, const PackProduct& product,
                       const segment::TSegWriteResult& written) {
  const fs::path& media = settings.Media;
  std::error_code ec;
  try {
    const std::vector<EntryDigest> entries = StoredEntries(written, product.Digests, settings.Key);
    fs::copy_file(product.Config, media / "install.cfg", fs::copy_options::overwrite_existing, ec);
    if (ec)
      Fail(fmt::format("cannot write {}: {}", (media / "install.cfg").string(), ec.message()));
    fs::path setupProgram = settings.SetupProgram;
    if (setupProgram.empty()) {
      // The setup program of this build, when it was built with the GUI.
      std::error_code probe;
      const fs::path beside =
          fs::read_symlink("/proc/self/exe", probe).parent_path().parent_path() / "app" / "ui" /
          "nolvo-setup";
      if (fs::is_regular_file(beside, probe)) setupProgram = beside;
    }
    ec.clear();
    if (!setupProgram.empty()) {
      fs::copy_file(setupProgram, media / "install.exe", fs::copy_options::overwrite_existing, ec);
    } else {
      std::ofstream out(media / "install.exe", std::ios::binary | std::ios::trunc);
      out << kPlaceholderSetup;
      if (!out) ec = std::make_error_code(std::errc::io_error);
    }
    if (ec)
      Fail(fmt::format("cannot write {}: {}", (media / "install.exe").string(), ec.message()));
    WriteDigestLists(media, written, entries, ThreadsToUse(settings.Threads));
  } catch (...) {
    // Segments without their digest lists would pass for the media of another builder.
    for (const auto& segment : written.Segments) fs::remove(segment, ec);
    throw;
  }
}

}  // namespace nolvo::media
