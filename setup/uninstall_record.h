#pragma once
// The uninstall configuration "uninstall.cfg" in the installation directory: [Program]
// Title, the [UNINS] keys of everything the product's uninstaller deletes and the
// [Folders] keys of the program-group folders it removes (each key with an empty value),
// and, last, the section of what this installation created exactly (created_files.h).
//
// The created section is appended to line by line as the run goes, without rewriting the
// file, so that whatever the run had finished is on record even when the process is
// killed. The [UNINS] and [Folders] keys are gathered and written with the profile
// writer's rules at Flush() (the engine flushes after each step and when it stops).

#include <map>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/profile_text.h"
#include "setup/created_files.h"
#include "setup/engine_actions.h"

namespace nolvo::setup {

inline constexpr const char* kUninstallFileName = "uninstall.cfg";
inline constexpr const char* kUninsSection = "UNINS";
inline constexpr const char* kFoldersSection = "Folders";
inline constexpr const char* kProgramSection = "Program";

class UninstallRecord {
 public:
  // A record in `installDir` (a Windows path). With `dryRun` nothing is written; every
  // key still goes to `log`.
  UninstallRecord(const platform::Machine& machine, const std::string& installDir, bool dryRun,
                  ActionLog& log);
  // Flushes what is gathered; a failure here is not reported (call Close() to learn it).
  ~UninstallRecord();
  UninstallRecord(const UninstallRecord&) = delete;
  UninstallRecord& operator=(const UninstallRecord&) = delete;

  const std::string& File() const { return file_; }

  // Erases [UNINS] and [Folders] (other sections stay), writes [Program] Title and puts
  // the created section last, keeping what an earlier installation recorded there. Raises
  // EIniFileError "Unable to write to <file>" on failure, as every write here.
  void Open(const std::string& title);
  // Gathers one [UNINS] / [Folders] key (a repeated key stays one line).
  void AddUnins(const std::string& key) { Add(kUninsSection, key); }
  void AddFolder(const std::string& key) { Add(kFoldersSection, key); }
  // Writes the gathered keys into the file.
  void Flush();
  // Flushes and stops appending. Later calls do nothing.
  void Close();

  // Appends one created entry to the file at once.
  void Created(const CreatedEntry& entry);
  void CreatedFile(const std::string& path, std::uint64_t size, std::int64_t modified) {
    Created({CreatedKind::ckFile, path, size, modified});
  }
  void CreatedFolder(const std::string& path) { Created({CreatedKind::ckFolder, path, 0, 0}); }
  // A temporary file about to be written at `path` (removed by an uninstall if left).
  void PartialFile(const std::string& path) { Created({CreatedKind::ckPartial, path, 0, 0}); }
  // Files and folders made outside the modelled machine (such as the host's menu
  // entries), by host path; a file is recorded with its size and time now.
  void CreatedHostFile(const std::filesystem::path& host);
  void CreatedHostFolder(const std::filesystem::path& host) {
    Created({CreatedKind::ckHostFolder, host.string(), 0, 0});
  }
  // Whether `path` is a file recorded as created, by this run or by an earlier
  // installation into the same directory (so replacing it replaces a product file).
  bool CreatedEarlier(const std::string& path) const;
  // Whether `path` is a file recorded as created whose size and modification time are
  // still those recorded (nobody changed it since).
  bool CreatedUnchanged(const std::string& path) const;

 private:
  void Add(const char* section, const std::string& key);
  void Fail(EngineAction action, const std::string& why);
  // Writes `profile` with the created section last and reopens the file for appending.
  void Rewrite(platform::ProfileText profile);
  void Append(const std::string& line);
  void CloseAppend();

  const platform::Machine& machine_;
  std::string file_;
  bool dryRun_;
  ActionLog& log_;
  bool open_ = false;
  std::string host_;                // host path of the file (UTF-8)
  int fd_ = -1;                     // appending descriptor
  platform::ProfileText encoding_;  // an empty profile in the file's encoding
  std::vector<std::pair<const char*, std::string>> pending_;
  std::vector<std::string> createdLines_;             // the created section's lines, in order
  std::map<std::string, CreatedEntry> createdFiles_;  // created files by upper-case path
};

}  // namespace nolvo::setup
