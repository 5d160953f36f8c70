#pragma once
// The modelled Windows machine: a prefix folder laid out as a Wine prefix
// (dosdevices/c: -> ../drive_c, dosdevices/z: -> /), the drive map, the current
// directory, the code page of names, and Windows path <-> host path resolution.
//
// Windows paths are ANSI bytes (std::string) in the machine's code page; host paths are
// UTF-8. Operations that can fail return Win32 error codes (platform/win_error.h).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/code_page.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace nolvo::platform {

// A Windows path resolved onto the host.
struct ResolvedPath {
  WinError error;              // 0, or why the path cannot be resolved (2, 3, 123, 161, 206)
  std::string full;            // the normalised Windows path (GetFullPathName), caller's case
  std::filesystem::path host;  // host path; for a missing last component, the name as given
  bool exists = false;         // an entry (of any kind, links not followed) is at `host`
  bool isDirectory = false;    // it is a directory (links followed)
  bool isRoot = false;         // `full` is a drive root such as "C:\"
};

class Machine {
 public:
  // Opens the prefix at `prefix`, creating it (or the parts it lacks) first; the code
  // page comes from NOLVO_CODEPAGE. Throws EPrefixError naming the folder when it
  // cannot be created or written, ECodePageError for an unknown code page.
  explicit Machine(const std::filesystem::path& prefix);
  Machine(const std::filesystem::path& prefix, CodePage codePage);
  // The machine at DefaultPrefix().
  static Machine FromEnvironment();
  // NOLVO_PREFIX when set and not empty; else $XDG_DATA_HOME/nolvo/prefix (an absolute
  // XDG_DATA_HOME); else ~/.local/share/nolvo/prefix.
  static std::filesystem::path DefaultPrefix();

  Machine(Machine&&) = default;
  Machine& operator=(Machine&&) = default;
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  const std::filesystem::path& Prefix() const { return prefix_; }
  std::filesystem::path RegistryFile() const { return prefix_ / "registry.reg"; }
  // Whether the prefix is a Wine prefix: it holds Wine's registry file system.reg (its
  // registry is then Wine's hives, see platform/machine_registry.h).
  bool IsWinePrefix() const;
  std::filesystem::path LockFile() const { return prefix_ / "nolvo.lock"; }
  std::filesystem::path DosDevices() const { return prefix_ / "dosdevices"; }
  const CodePage& Codepage() const { return codePage_; }

  // Maps drive `letter` onto host folder `target` (a symlink dosdevices/<x>:), replacing
  // an earlier mapping. Returns a Win32 code.
  WinError MapDrive(char letter, const std::filesystem::path& target);
  // The host folder of drive `letter` (links resolved), or nothing when the drive has
  // no link or its folder is missing.
  std::optional<std::filesystem::path> DriveRoot(char letter) const;

  // GetFullPathName against this machine's current directories (see FullPathName).
  WinError FullPath(std::string_view path, std::string& out) const;
  // Normalises and resolves `path` component by component: the exact name first, then
  // an ASCII case-insensitive scan (lowest byte order wins when several match); a
  // missing last component keeps the case given. Names with <>:"|?* or control
  // characters give 123; a missing drive or intermediate directory gives 3. A missing
  // last component is not an error: `exists` is false. A trailing backslash after a
  // file's name gives 123.
  ResolvedPath Resolve(std::string_view path) const;
  // Host path -> Windows path: under a drive's folder it maps to that drive (the
  // deepest such folder wins), anything else to Z: style through the drive mapped to
  // "/". Empty when no drive covers it.
  std::string ToWindows(const std::filesystem::path& host) const;
  // One host file name as a Windows name: ANSI in this code page, with '?' for each
  // character the code page lacks or Windows forbids in names ("\", ":", "*", ...), so
  // that a listed name never reads as a different path.
  std::string WindowsName(std::string_view hostName) const;
  // Whether `path` lies on one of the prefix's own drives (a drive whose folder is
  // inside the prefix, such as C:), as opposed to a host drive such as Z:.
  bool IsOnPrefixDrive(std::string_view path) const;

  // GetCurrentDirectory: the path as it was set (caller's case), without a trailing
  // backslash except at a root. Initially the host's working directory, as a Windows path.
  const std::string& GetCurrentDirectory() const;
  // SetCurrentDirectory: 0, or 2/3 when the directory does not exist (267 for a file).
  WinError SetCurrentDirectory(std::string_view path);
  // The host folder of the current directory (for checks such as "is it in use").
  std::filesystem::path CurrentHostDirectory() const;

  // GetWindowsDirectory: "C:\WINDOWS", created on first use as drive_c/windows (the
  // name Wine gives it, so that a later wineboot finds it; names resolve without case).
  std::string WindowsDirectory() const;

  // Tells the name index that this process has just added the entry `name` to the host
  // folder `dir` (the file operations call it), so that the next new name there needs no
  // new scan of the folder.
  void NoteAdded(const std::filesystem::path& dir, const std::string& name) const;

 private:
  // The names of one host folder, read once and kept while the folder's identity and
  // modification time stay as they were (or change only by NoteAdded): without it every
  // new name scans its folder, and filling a folder with n files costs n scans.
  struct FolderNames {
    std::uint64_t device = 0, inode = 0;
    std::int64_t modified = 0;                             // ns
    std::unordered_map<std::string, std::string> byUpper;  // upper-case name -> entry
  };

  void Complete();
  // The entry of `dir` named `name`: that exact name when it exists, else the
  // case-insensitive match with the lowest byte order.
  std::optional<std::string> FindEntry(const std::filesystem::path& dir,
                                       const std::string& name) const;

  std::filesystem::path prefix_;
  CodePage codePage_;
  DriveDirectories dirs_;
  std::string current_;
  mutable bool windowsReady_ = false;
  mutable std::unordered_map<std::string, FolderNames> folders_;  // by host folder
};

}  // namespace nolvo::platform
