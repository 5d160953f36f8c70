#pragma once
// Where an installation or an uninstallation may write and delete: on the prefix's own
// drives, and inside an installation directory the user chose explicitly. A target that
// a configuration puts elsewhere (a host drive such as Z:) is refused unless host paths
// are allowed.

#include <string>
#include <vector>

#include "platform/machine.h"

namespace nolvo::setup {

class WriteGuard {
 public:
  WriteGuard(const platform::Machine& machine, bool allowHostPaths)
      : machine_(machine), allowHostPaths_(allowHostPaths) {}

  // Allows everything inside `directory` (a Windows path) as well, where it lies on the
  // host once links are followed (a link inside it leading elsewhere is not inside it).
  void AllowTree(const std::string& directory);
  // Whether `path` (a Windows path) may be written or deleted.
  bool Allowed(const std::string& path) const;

 private:
  const platform::Machine& machine_;
  bool allowHostPaths_;
  struct Tree {
    std::string key;        // the full path in upper case, ending in "\"
    std::string directory;  // as given
  };
  std::vector<Tree> trees_;
};

// Whether the full path `path` lies in (or is) the directory `dir`, compared without case.
bool PathWithin(const platform::Machine& machine, const std::string& path, const std::string& dir);

}  // namespace nolvo::setup
