// nolvo pack SOURCE_DIR -o MEDIA_DIR: builds setup media from a product folder.

#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/settings_loader.h"
#include "archive/media/digest_files.h"
#include "archive/segment/seg_writer.h"
#include "cli/command.h"
#include "cli/console_progress.h"
#include "platform/atomic_file.h"
#include "platform/code_page.h"
#include "platform/dos_time.h"
#include "setup/desktop_entry.h"
#include "util/split_at_char.h"

namespace nolvo::cli {

namespace {

namespace fs = std::filesystem;

struct PackOptions {
  std::string source, output, config, method = "lh5", setupProgram;
  std::int32_t segmentSize = 1440000;
  std::int32_t key = 0;
};

container::TCompressionMethod MethodOf(const std::string& name) {
  if (name == "lzh") return container::TCompressionMethod::coLZH;
  if (name == "rle") return container::TCompressionMethod::coRLE;
  if (name == "none") return container::TCompressionMethod::coNone;
  return container::TCompressionMethod::coLZH5;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

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
    const auto d = setup::SplitDesktopEntry(raw);
    named.emplace_back("Desktop", NamePart(setup::DesktopEntry::AfterToken(d.TargetField)));
    named.emplace_back("Desktop", NamePart(setup::DesktopEntry::AfterToken(d.IconField)));
  }
  return named;
}

// A small stand-in for the setup program when the build has none.
const char kPlaceholderSetup[] =
    "This medium was made by nolvo pack. Run the setup with:\n"
    "  nolvo-setup        (from inside this folder)\n"
    "  nolvo install .    (without a window)\n";

// Writes the entry list, then the media list over every file of the medium. Returns what
// went wrong, or "".
std::string WriteDigestLists(const fs::path& folder, const segment::TSegWriteResult& result,
                             const std::map<std::string, media::HostFileDigest>& digests) {
  std::vector<media::EntryDigest> entries;
  for (std::size_t a = 0; a < result.Archives.size(); ++a) {
    const auto& listing = result.Archives[a];
    for (std::size_t i = 0; i < listing.size(); ++i) {
      const auto& e = listing[i];
      const auto found = digests.find(e.Name);
      // A file that changed while it was packed no longer matches what was stored.
      if (found == digests.end() || found->second.Size != e.Info.OriginalSize)
        return "a file changed while it was packed; pack again";
      entries.push_back({static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(i),
                         e.Info.OriginalSize, found->second.Digest, e.Name});
    }
  }
  std::vector<std::string> names;
  for (const auto& path : result.Segments) names.push_back(path.filename().string());
  names.insert(names.end(), {"install.cfg", "install.exe", std::string(media::kEntryDigestsName)});
  try {
    platform::WriteFileAtomicOrThrow(folder / media::kEntryDigestsName,
                                     media::FormatEntryDigests(entries));
    platform::WriteFileAtomicOrThrow(
        folder / media::kMediaDigestsName,
        media::FormatMediaDigests(media::DigestFolderFiles(folder, names)));
  } catch (const std::exception& e) {
    return fmt::format("cannot write the digest lists: {}", e.what());
  }
  return "";
}

int RunPack(const PackOptions& o, const GlobalOptions& global) {
  std::error_code ec;
  const fs::path source = o.source;
  if (!fs::is_directory(source, ec)) {
    fmt::print(stderr, "nolvo pack: {} is not a folder\n", o.source);
    return kExitUsage;
  }
  const fs::path config = o.config.empty() ? source / "install.cfg" : fs::path(o.config);
  if (!fs::is_regular_file(config, ec)) {
    fmt::print(stderr, "nolvo pack: no configuration at {}\n", config.string());
    return kExitUsage;
  }
  const fs::path media = o.output;
  fs::create_directories(media, ec);
  if (ec) {
    fmt::print(stderr, "nolvo pack: cannot create {}: {}\n", media.string(), ec.message());
    return kExitFailure;
  }
  if (fs::equivalent(media, source, ec)) {
    fmt::print(stderr, "nolvo pack: the media folder must not be the source folder\n");
    return kExitUsage;
  }
  // Digest lists of an earlier medium would not describe this one; a failed run leaves none.
  for (const auto name : {media::kMediaDigestsName, media::kEntryDigestsName})
    fs::remove(media / name, ec);
  const platform::CodePage cp = platform::CodePage::FromEnvironment();

  // Every file below SOURCE_DIR but its install.cfg, in a stable order.
  segment::TSegWriteArchive archive;
  archive.Template = "C:\\*.*";
  archive.RecordLength = 260;
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(source, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    if (fs::equivalent(it->path(), config, ec)) continue;
    if (fs::equivalent(it->path().parent_path(), media, ec)) continue;
    files.push_back(it->path());
  }
  if (ec) {
    fmt::print(stderr, "nolvo pack: cannot read {}: {}\n", source.string(), ec.message());
    return kExitFailure;
  }
  std::sort(files.begin(), files.end());
  std::map<std::string, std::string> byName;  // upper-case file name -> stored name
  std::map<std::string, media::HostFileDigest> digests;  // stored name -> original bytes
  int warnings = 0;
  for (const auto& file : files) {
    std::string relative = fs::relative(file, source).generic_string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    std::string stored;
    if (!cp.FromUtf8(relative, stored)) {
      fmt::print(stderr, "nolvo pack: {}: the name has characters code page {} cannot hold\n",
                 relative, cp.Name());
      return kExitFailure;
    }
    segment::TSegWriteFile w;
    w.Source = file;
    w.StoredName = stored;
    w.Method = MethodOf(o.method);
    struct stat st {};
    std::uint16_t date = 0, time = 0;
    if (::stat(file.c_str(), &st) == 0 && platform::UnixToDosDateTime(st.st_mtime, date, time))
      w.FileDate = static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time);
    w.Attributes = (st.st_mode & S_IWUSR) ? 0x20 : 0x21;
    digests[stored] = media::HashHostFile(file);
    archive.Files.push_back(w);
    const std::string key = Upper(NamePart(stored));
    if (auto [it, fresh] = byName.emplace(key, stored); !fresh) {
      fmt::print(stderr,
                 "nolvo pack: warning: {} and {} have the same name; the setup puts every file "
                 "into one folder, so one of them would be lost\n",
                 cp.ToUtf8(it->second), relative);
      ++warnings;
    }
  }

  // What the configuration names and the media do not hold.
  const auto loaded = app::LoadSettings(platform::ProfileReader(config));
  std::set<std::pair<std::string, std::string>> reported;
  for (const auto& [section, name] : NamedFiles(loaded.Settings)) {
    if (name.empty() || byName.count(Upper(name)) || !reported.emplace(section, name).second)
      continue;
    fmt::print(stderr, "nolvo pack: warning: [{}] names {}, which the media do not hold\n",
               section, cp.ToUtf8(name));
    ++warnings;
  }

  ConsoleProgress progress(global.quiet);
  segment::TSegWriterSettings settings;
  settings.Dir = media;
  settings.BaseName = "disk";
  settings.SegSize = std::max<std::int32_t>(o.segmentSize, 16384);
  settings.Key = o.key;
  settings.ArchiveMethod = MethodOf(o.method);
  std::size_t done = 0;
  settings.OnFile = [&](std::size_t, const segment::TSegWriteFile& f) {
    progress.Update(cp.ToUtf8(f.StoredName), static_cast<std::int64_t>(done++),
                    static_cast<std::int64_t>(archive.Files.size()));
  };
  const auto result = segment::WriteSegmentedArchive(settings, {archive});
  progress.Clear();

  fs::copy_file(config, media / "install.cfg", fs::copy_options::overwrite_existing, ec);
  if (ec) {
    fmt::print(stderr, "nolvo pack: cannot write {}: {}\n", (media / "install.cfg").string(),
               ec.message());
    return kExitFailure;
  }
  fs::path setupProgram = o.setupProgram;
  if (setupProgram.empty()) {
    // The setup program of this build, when it was built with the GUI.
    std::error_code probe;
    const fs::path beside = fs::read_symlink("/proc/self/exe", probe).parent_path().parent_path() /
                            "app" / "ui" / "nolvo-setup";
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
  if (ec) {
    fmt::print(stderr, "nolvo pack: cannot write {}: {}\n", (media / "install.exe").string(),
               ec.message());
    return kExitFailure;
  }
  if (const std::string problem = WriteDigestLists(media, result, digests); !problem.empty()) {
    fmt::print(stderr, "nolvo pack: {}\n", problem);
    return kExitFailure;
  }
  if (!global.quiet) {
    std::int64_t original = 0, stored = 0;
    for (const auto& e : result.Archives.at(0)) {
      original += e.Info.OriginalSize;
      stored += e.Info.CompressedSize;
    }
    fmt::print("Packed {} file(s), {} bytes ({} stored) into {} segment(s) in {}{}\n",
               archive.Files.size(), original, stored, result.Segments.size(), media.string(),
               warnings ? fmt::format(" with {} warning(s)", warnings) : "");
  }
  return kExitOk;
}

}  // namespace

CommandRegistration RegisterPack(CLI::App& app, const GlobalOptions& global) {
  auto o = std::make_shared<PackOptions>();
  CLI::App* sub = app.add_subcommand("pack", "Build setup media from a product folder");
  sub->add_option("SOURCE_DIR", o->source, "The product's files, with its install.cfg")
      ->type_name("DIR")
      ->required();
  sub->add_option("-o,--output", o->output, "The media folder to write")
      ->type_name("DIR")
      ->required();
  sub->add_option("--config", o->config, "The install.cfg to use (else SOURCE_DIR/install.cfg)");
  sub->add_option("--method", o->method, "lh5 (default), lzh, rle or none")
      ->check(CLI::IsMember({"lh5", "lzh", "rle", "none"}));
  sub->add_option("--segment-size", o->segmentSize, "Bytes per segment (default 1440000)")
      ->check(CLI::Range(1, 2147483647));
  sub->add_option("--key", o->key, "Lock every entry with this key");
  sub->add_option("--setup-program", o->setupProgram, "The file to put beside as install.exe")
      ->check(CLI::ExistingFile);
  sub->footer(std::string("Beside the segments go install.cfg, install.exe and two digest lists:\n"
                          "nolvo-entries.digests (the SHA-256 of every entry's bytes) and\n"
                          "nolvo-media.sha256 (every file of the medium; sha256sum -c reads it).\n\n") +
              kExitCodeHelp);
  auto run = [o, &global]() -> int { return RunPack(*o, global); };
  return {sub, run};
}

}  // namespace nolvo::cli
