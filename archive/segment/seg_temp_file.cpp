#include "archive/segment/seg_temp_file.h"

#include "archive/segment/seg_error.h"
#include "platform/files.h"

namespace nolvo::segment {

TSegTempFile::TSegTempFile(const platform::Machine& machine, std::string path)
    : machine_(machine), path_(std::move(path)) {
  std::uint32_t error = 0;
  stream_ = platform::CreateFileFresh(machine_, path_, error);
  if (!stream_) throw ESegError(ESegError::Kind::skOpenFailed);
}

TSegTempFile::~TSegTempFile() {
  // The stream goes first: a file held open cannot be deleted.
  stream_.reset();
  platform::DeleteFile(machine_, path_);
}

void TSegTempFile::Close() {
  if (!stream_) return;
  auto stream = std::move(stream_);
  stream->Close();
}

}  // namespace nolvo::segment
