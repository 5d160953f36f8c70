#pragma once
// A temporary file of the segmented reader in SegTmpDir: whatever is at its path is
// removed and the file is created exclusively (a planted link is never followed); the
// file is deleted when the guard goes, on every path.

#include <memory>
#include <string>

#include "platform/host_file_stream.h"
#include "platform/machine.h"

namespace nolvo::segment {

class TSegTempFile {
 public:
  // Creates the file; throws ESegError "Stream open failed" when it cannot.
  TSegTempFile(const platform::Machine& machine, std::string path);
  ~TSegTempFile();
  TSegTempFile(const TSegTempFile&) = delete;
  TSegTempFile& operator=(const TSegTempFile&) = delete;

  const std::string& Path() const { return path_; }
  // The open stream (null after Close()).
  platform::HostFileStream* Stream() const { return stream_.get(); }
  // Flushes and closes the stream; throws when the host reports a failed close.
  void Close();

 private:
  const platform::Machine& machine_;
  std::string path_;
  std::unique_ptr<platform::HostFileStream> stream_;
};

}  // namespace nolvo::segment
