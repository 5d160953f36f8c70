#pragma once
// A modelled machine over a fresh prefix in a temporary folder, for tests.

#include "platform/machine.h"
#include "tests/support/temp_dir.h"

namespace nolvo::test {

class TestMachine {
 public:
  TestMachine() : machine_(dir_.Path() / "prefix", platform::CodePage()) {}

  platform::Machine& Machine() { return machine_; }
  // The temporary folder that holds the prefix (free for fixture trees).
  const std::filesystem::path& Root() const { return dir_.Path(); }
  // The host folder of drive C:.
  std::filesystem::path DriveC() const { return dir_.Path() / "prefix" / "drive_c"; }

 private:
  TempDir dir_;
  platform::Machine machine_;
};

}  // namespace nolvo::test
