#pragma once
// Opening, creating and deleting files of the modelled machine, Win32-shaped: each
// operation takes a Windows path and reports a Win32 code (0 on success). Streams
// opened here hold their file in the open-file table until closed or destroyed, so a
// conflicting open or a delete of an open file fails with 32.

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/host_file_stream.h"
#include "platform/machine.h"
#include "platform/open_file_table.h"

namespace nolvo::platform {

// Opens an existing file for reading (OPEN_EXISTING, GENERIC_READ) with `share` for
// other opens. Null and `error` set on failure: 2/3 missing, 5 a directory, 32 held.
std::unique_ptr<HostFileStream> OpenFileRead(const Machine& machine, std::string_view path,
                                             ShareMode share, WinError& error);

// Creates or replaces a file for reading and writing, exclusively (CREATE_ALWAYS).
// An existing entry whose name differs only in case is reused and keeps its spelling.
// Fails with 5 when the existing entry is a directory or a read-only, hidden or system
// file (also for root), 32 when it is held open, 3 when the folder is missing.
std::unique_ptr<HostFileStream> CreateFileAlways(const Machine& machine, std::string_view path,
                                                 WinError& error);

// Creates a fresh file for temporary use: any file or link already there is removed
// first, then the file is created with O_EXCL|O_NOFOLLOW so that no planted link is
// ever followed. Fails with 5 on a directory, 32 on a held file.
std::unique_ptr<HostFileStream> CreateFileFresh(const Machine& machine, std::string_view path,
                                                WinError& error);

// DeleteFile: 2/3 missing, 5 for a directory, a read-only file (also for root) or a
// device, 32 for a file held open. A link is removed itself, never its target.
WinError DeleteFile(const Machine& machine, std::string_view path);

// CreateDirectory: 183 when any entry of that name exists (in any case), 3 when the
// parent is missing.
WinError CreateDirectory(const Machine& machine, std::string_view path);

// RemoveDirectory: 2 missing, 267 not a directory, 5 a drive root, 32 the current
// directory, 145 not empty.
WinError RemoveDirectory(const Machine& machine, std::string_view path);

}  // namespace nolvo::platform
