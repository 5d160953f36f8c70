#include "archive/segment/seg_temp_file.h"

#include "archive/segment/seg_error.h"
#include "platform/files.h"

namespace nolvo::segment {

TSegTempFile::TSegTempFile(const platform::Machine& machine, std::string path)
    : machine_(machine), path_(std::move(path)) {
  platform::WinError error;
  stream_ = platform::CreateFileFresh(machine_, path_, error);
  if (!stream_) throw ESegError(ESegError::Kind::skOpenFailed);
}

TSegTempFile::~TSegTempFile() {
  // The stream goes first: a file held open cannot be deleted.
  stream_.reset();
  // A temporary file that cannot be deleted stays; a destructor has no one to tell.
  static_cast<void>(platform::DeleteFile(machine_, path_));
}

void TSegTempFile::Close() {
  if (!stream_) return;
  auto stream = std::move(stream_);
  stream->Close();
}

}  // namespace nolvo::segment
