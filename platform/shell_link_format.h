#pragma once
// The shell-link (.lnk) file format: a 76-byte header, an optional target ID list, an
// optional LinkInfo (volume and local base path), counted strings (name, relative path,
// working directory, arguments, icon location) and extra-data blocks closed by a
// four-byte terminal block. Everything is little-endian and packed.
//
// The writer produces the parts this system's links carry: header, LinkInfo with a
// VolumeID and the local base path, working directory and icon location. The reader
// accepts any well-formed link and checks every size and offset against the data.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "platform/code_page.h"
#include "platform/platform_error.h"

namespace nolvo::platform {

inline constexpr std::uint32_t kLinkHeaderSize = 0x4C;

// LinkFlags.
inline constexpr std::uint32_t kLinkHasTargetIdList = 0x01;
inline constexpr std::uint32_t kLinkHasLinkInfo = 0x02;
inline constexpr std::uint32_t kLinkHasName = 0x04;
inline constexpr std::uint32_t kLinkHasRelativePath = 0x08;
inline constexpr std::uint32_t kLinkHasWorkingDir = 0x10;
inline constexpr std::uint32_t kLinkHasArguments = 0x20;
inline constexpr std::uint32_t kLinkHasIconLocation = 0x40;
inline constexpr std::uint32_t kLinkIsUnicode = 0x80;
inline constexpr std::uint32_t kLinkForceNoLinkInfo = 0x100;

// LinkInfoFlags.
inline constexpr std::uint32_t kLinkInfoVolumeIdAndLocalBasePath = 0x01;
inline constexpr std::uint32_t kLinkInfoCommonNetworkRelativeLink = 0x02;

inline constexpr std::uint32_t kDriveRemovable = 2;
inline constexpr std::uint32_t kDriveFixed = 3;
inline constexpr std::uint32_t kDriveCdRom = 5;

inline constexpr std::uint32_t kShowNormal = 1;

// The longest text a counted string of the format can hold.
inline constexpr std::size_t kLinkMaxStringChars = 0xFFFF;

// What one link file holds, as the writer lays it out. Texts are ANSI bytes in the
// code page handed to the writer.
struct LinkContents {
  std::uint32_t fileAttributes = 0;  // the target's attributes, 0 when unknown
  std::uint64_t creationTime = 0;    // FILETIMEs (100 ns since 1601, UTC); 0 = not set
  std::uint64_t accessTime = 0;
  std::uint64_t writeTime = 0;
  std::uint32_t fileSize = 0;  // low 32 bits of the target's size
  std::int32_t iconIndex = 0;
  std::uint32_t showCommand = kShowNormal;
  std::uint32_t driveType = kDriveFixed;
  std::uint32_t driveSerial = 0;
  std::string volumeLabel;       // usually empty
  std::string localBasePath;     // the target; empty: no LinkInfo is written
  std::string workingDirectory;  // empty: not written
  std::string iconLocation;      // empty: not written
  bool unicode = true;           // the counted strings as UTF-16LE (else ANSI)
};

// A link file that cannot be read, or contents that cannot be written.
class ELinkFormatError : public EPlatformError {
 public:
  using EPlatformError::EPlatformError;
};

// The bytes of a link file. Raises ELinkFormatError when a text is longer than a
// counted string can hold or contains a NUL byte.
std::string SerializeLink(const LinkContents& link, const CodePage& codePage);

// A link file as read back. Texts are UTF-8.
struct ParsedLink {
  std::uint32_t linkFlags = 0;
  std::uint32_t fileAttributes = 0;
  std::uint64_t creationTime = 0;
  std::uint64_t accessTime = 0;
  std::uint64_t writeTime = 0;
  std::uint32_t fileSize = 0;
  std::int32_t iconIndex = 0;
  std::uint32_t showCommand = 0;
  std::uint16_t hotKey = 0;
  std::size_t idListSize = 0;  // bytes of the target ID list (0 when absent)

  bool hasLinkInfo = false;
  std::uint32_t linkInfoFlags = 0;
  std::uint32_t driveType = 0;
  std::uint32_t driveSerial = 0;
  std::string volumeLabel;
  std::string localBasePath;
  std::string commonPathSuffix;

  std::optional<std::string> name;
  std::optional<std::string> relativePath;
  std::optional<std::string> workingDirectory;
  std::optional<std::string> arguments;
  std::optional<std::string> iconLocation;

  std::size_t extraBlocks = 0;  // extra-data blocks before the terminal block
  std::size_t size = 0;         // bytes up to and including the terminal block

  // The full target path: local base path followed by the common path suffix.
  std::string TargetPath() const { return localBasePath + commonPathSuffix; }
};

// Reads a link file. ANSI texts are converted with `codePage`. Raises ELinkFormatError
// for a wrong header size or class id, and for any size or offset that points outside
// the data or its enclosing structure, or a missing terminal block.
ParsedLink ParseLink(std::span<const std::uint8_t> data, const CodePage& codePage);

// Unix seconds to a FILETIME (100 ns units since 1601-01-01 UTC); times before 1601
// give 0, times past the FILETIME range its largest value.
std::uint64_t UnixTimeToFileTime(std::int64_t seconds);

}  // namespace nolvo::platform
