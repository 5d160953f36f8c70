#pragma once
// The component's touch points on the machine's file system, shared by its operations.

#include <memory>
#include <string>

#include "platform/host_file_stream.h"
#include "platform/machine.h"

namespace nolvo::container {

// Opens an archive read-only with exclusive sharing; throws util::EFOpenError
// "Cannot open file <path>".
std::unique_ptr<platform::HostFileStream> OpenArchiveFile(const platform::Machine& machine,
                                                          const std::string& path);

// The directory part of a path: up to and including its last backslash or colon; empty
// when it has neither.
std::string DirectoryPart(const std::string& path);

}  // namespace nolvo::container
