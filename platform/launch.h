#pragma once
// The host side of "open this file through the shell": given a host file, it starts a
// Windows program through Wine, a host program directly, and any other file (or folder)
// through the desktop's opener. Nothing waits for the started program.
//
// NOLVO_LAUNCH_LOG: when this variable names a file, nothing is started; the request is
// appended to that file as one line instead (see LaunchHostFile).

#include <filesystem>
#include <string>

namespace nolvo::platform {

// Shell-style results: above 32 means started.
struct LaunchCode {
  static constexpr int kStarted = 42;
  static constexpr int kAccessDenied = 5;  // the launch log cannot be written
  static constexpr int kFileNotFound = 2;
  static constexpr int kPathNotFound = 3;    // the working directory does not exist
  static constexpr int kNoAssociation = 31;  // no Wine, no opener, or the start failed
};

struct LaunchRequest {
  std::filesystem::path file;         // host path of the file to open
  std::string parameters;             // Windows command-line text for the program
  std::filesystem::path working_dir;  // host path; empty: the current directory
  int show_command = 1;               // SW_ value; windows are not placed on this host
  std::filesystem::path prefix;       // the machine's prefix, WINEPREFIX for Wine
  // How the caller named the file and the directory (Windows paths); written to the
  // launch log in place of the host paths when not empty.
  std::string display_file;
  std::string display_dir;
};

// Opens `request.file` and returns at once with a shell-style result:
// - a missing file gives kFileNotFound, a missing working directory kPathNotFound;
// - with NOLVO_LAUNCH_LOG set, appends "file<TAB>parameters<TAB>dir<TAB>show" and a LF
//   to that file (control characters inside a field become '?') and gives kStarted
//   (kAccessDenied when the log cannot be written);
// - a .exe, .com or .bat file is run as `wine <file> <arguments>` with WINEPREFIX set to
//   the prefix, when `wine` is on PATH;
// - a host-executable regular file is run with the arguments split from the parameters;
// - anything else is handed to `xdg-open` when it is on PATH (parameters are dropped);
// - kNoAssociation when none of these applies or the program could not be executed.
// Never throws except for memory exhaustion.
int LaunchHostFile(const LaunchRequest& request);

}  // namespace nolvo::platform
