#include "util/copy_file_to.h"

#include <sys/stat.h>

#include <memory>
#include <vector>

#include "platform/file_ops.h"
#include "platform/win_error.h"
#include "util/file_errors.h"
#include "util/file_has_attr.h"

namespace nolvo::util {

namespace {

constexpr std::size_t kCopyBufferSize = 8192;
constexpr std::uint16_t kDirectoryBit = 16;

std::string FileNamePart(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Whether the stream's file is a plain file (a partial copy of one may be removed).
bool IsRegularFile(platform::HostFileStream& stream) {
  struct stat st {};
  return ::fstat(stream.Descriptor(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void CopyFileTo(const platform::Machine& machine, const std::string& source,
                const std::string& destination) {
  std::string target;
  if (machine.FullPath(destination, target) != platform::kErrorSuccess) target = destination;
  if (FileHasAttr(machine, target, kDirectoryBit)) {
    if (target.empty() || target.back() != '\\') target += '\\';
    target += FileNamePart(source);
  }

  std::vector<char> buffer(kCopyBufferSize);
  platform::WinError error;
  auto in = platform::OpenFileRead(machine, source, platform::ShareMode::shDenyWrite, error);
  if (!in) throw EFOpenError("Cannot open file " + source);
  auto out = platform::CreateFileAlways(machine, target, error);
  if (!out) throw EFCreateError("Cannot create file " + target);

  const bool removable = IsRegularFile(*out);
  try {
    std::size_t got = 0;
    do {
      try {
        got = in->Read(buffer.data(), buffer.size());
      } catch (const platform::EStreamError&) {
        throw EFReadError("Cannot read file " + source);
      }
      if (got > 0) out->WriteAll(buffer.data(), got);
    } while (got == buffer.size());
    out->Close();
  } catch (...) {
    // A failed read or write must not leave a truncated file that looks installed.
    out.reset();
    // Deleted if it can be; the read or write failure is what the caller hears.
    if (removable) static_cast<void>(platform::DeleteFile(machine, target));
    try {
      throw;
    } catch (const platform::EStreamError&) {
      throw EFWriteError("Cannot write file " + target);
    }
  }
}

}  // namespace nolvo::util
