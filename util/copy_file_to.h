#pragma once

#include <string>

#include "platform/machine.h"

namespace nolvo::util {

// Copies the file `source` to `destination`. When the destination (made a full path)
// is a directory, or does not exist, the source's file name is appended to it. The
// source is read with others denied writing; an existing destination is replaced. The
// new file has the current time and normal attributes.
// Raises EFOpenError "Cannot open file <source>", EFCreateError "Cannot create file
// <destination path>", or EFWriteError "Cannot write file <destination path>" when a
// write or the final close fails, EFReadError "Cannot read file <source>" when a read
// fails; in both cases the partial destination is removed.
void CopyFileTo(const platform::Machine& machine, const std::string& source,
                const std::string& destination);

}  // namespace nolvo::util
