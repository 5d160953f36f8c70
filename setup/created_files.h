#pragma once
// What an installation created, exactly: the section [Nolvo Created] that the engine
// keeps last in uninstall.cfg and appends to as it goes (so that it survives the process
// being killed), one line per item:
//
//   File=<size>|<modification time, ns since 1970>|<Windows path>|
//   Folder=<Windows path>|
//   Partial=<Windows path>|      a temporary file the run was about to write
//   HostFile=<size>|<modification time>|<host path>|   outside the modelled machine
//   HostFolder=<host path>|
//   Found=<Windows path>|        a file that was there before and that the run wrote into
//                                (the record itself): never removed
//
// A later line about the same path replaces an earlier one. The closing "|" keeps a
// path's last blanks. The system's own sections ([Program], [UNINS], [Folders]) stay as
// the product's uninstaller reads them; this section is what `nolvo uninstall` removes.
//
// Removal takes a file only while its size and modification time are those recorded
// (anything else was changed since, so it is kept and named), a partial file whatever
// it holds, and folders, deepest first, only when they are empty.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/profile_text.h"

namespace nolvo::setup {

inline constexpr const char* kCreatedSection = "Nolvo Created";

enum class CreatedKind { ckFile, ckFolder, ckPartial, ckHostFile, ckHostFolder, ckFound };

struct CreatedEntry {
  CreatedKind kind = CreatedKind::ckFile;
  std::string path;           // a Windows path (ANSI); a host path (UTF-8) for the host kinds
  std::uint64_t size = 0;     // files
  std::int64_t modified = 0;  // files: modification time in ns since 1970
};

// The line of one entry, without a line end.
std::string FormatCreatedLine(const CreatedEntry& entry);

// The entries of a record's created section, in the order their paths first appear, each
// as its last line gives it. Lines that do not parse are skipped.
std::vector<CreatedEntry> ReadCreatedEntries(const platform::ProfileText& record);
bool HasCreatedSection(const platform::ProfileText& record);

// Whether the host file `path` is of a kind a host menu entry is made of (.desktop, .menu,
// .directory and icon files): the only host files an installation makes.
bool IsHostMenuFileKind(const std::filesystem::path& path);

// The size and modification time of the plain file at the host path `host`, as the record
// keeps them; false when there is no plain file there (links are not followed).
bool StatCreatedFile(const std::filesystem::path& host, std::uint64_t& size,
                     std::int64_t& modified);

// What a removal did with one entry.
struct RemovalItem {
  CreatedKind kind = CreatedKind::ckFile;
  std::string path;     // the full Windows path, or the host path
  std::string reason;   // why it was kept or refused
  bool failed = false;  // kept because removing it failed, not by choice
};

struct RemovalReport {
  std::vector<RemovalItem> removed;  // (dry run: would be removed)
  std::vector<RemovalItem> kept;     // left in place, with the reason
  std::vector<RemovalItem> refused;  // not touched because of where it lies
};

struct RemovalOptions {
  bool dryRun = false;
  // Whether a Windows path may be deleted at all (empty: every path may).
  std::function<bool(const std::string&)> allowed;
  // Folders that are never removed, even when recorded and empty (the Windows directory
  // and its shell folders, drive roots); empty: none.
  std::function<bool(const std::string&)> keepFolder;
  // Host paths that stay in any case (such as the record file, removed last by its owner).
  std::vector<std::filesystem::path> spare;
};

// Removes what a record lists, in two steps so that the owner can remove more files in
// between (the record itself) before the folders are tried. Entries already gone are
// not reported.
class CreatedRemover {
 public:
  CreatedRemover(const platform::Machine& machine, RemovalOptions options);
  // The files, partial files included, in record order.
  void RemoveFiles(const std::vector<CreatedEntry>& entries);
  // A file the owner removed itself (a dry run counts it as gone when it checks whether a
  // folder would be empty).
  void NoteRemoved(const std::filesystem::path& host);
  // The folders, deepest first; with `only`, just those whose recorded path it accepts.
  void RemoveFolders(const std::vector<CreatedEntry>& entries,
                     const std::function<bool(const std::string&)>& only = {});

  RemovalReport report;

 private:
  void File(const CreatedEntry& e);
  void Folder(const CreatedEntry& e);
  bool WouldBeEmpty(const std::filesystem::path& dir) const;

  const platform::Machine& machine_;
  RemovalOptions options_;
  std::set<std::string> spare_;  // host paths never removed here
  std::set<std::string> gone_;   // host paths removed (dry run: to be removed)
};

// Both steps at once.
RemovalReport RemoveCreated(const platform::Machine& machine,
                            const std::vector<CreatedEntry>& entries,
                            const RemovalOptions& options);

}  // namespace nolvo::setup
