#pragma once
// The uninstall configuration "uninstall.cfg" in the installation directory: [Program]
// Title, the [UNINS] keys of everything an uninstaller deletes and the [Folders] keys of
// the program-group folders it removes, each key with an empty value, written one key at
// a time through the profile writer.

#include <string>

#include "platform/machine.h"
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

  const std::string& File() const { return file_; }
  // Erases [UNINS] and [Folders] (other sections stay) and writes [Program] Title.
  // Raises EIniFileError "Unable to write to <file>" on failure, as every write here.
  void Open(const std::string& title);
  void AddUnins(const std::string& key) { Add(kUninsSection, key); }
  void AddFolder(const std::string& key) { Add(kFoldersSection, key); }

 private:
  void Add(const char* section, const std::string& key);
  void Fail(EngineAction action, const std::string& why);

  const platform::Machine& machine_;
  std::string file_;
  bool dryRun_;
  ActionLog& log_;
};

}  // namespace nolvo::setup
