// Writes link files field by field, little-endian.

#include <array>
#include <limits>

#include "platform/le_bytes.h"
#include "platform/shell_link_format.h"

namespace nolvo::platform {
namespace {

// CLSID_ShellLink {00021401-0000-0000-C000-000000000046} in its stored byte order.
constexpr std::array<std::uint8_t, 16> kShellLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

constexpr std::uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr std::uint32_t kVolumeIdHeaderSize = 0x10;

class Writer {
 public:
  void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U16(std::uint16_t v) { AppendUInt16(out_, v); }
  void U32(std::uint32_t v) { AppendUInt32(out_, v); }
  void U64(std::uint64_t v) { AppendUInt64(out_, v); }
  void Bytes(std::string_view s) { out_.append(s); }
  void Zeros(std::size_t n) { out_.append(n, '\0'); }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

void CheckText(std::string_view text, std::string_view what) {
  if (text.find('\0') != std::string_view::npos)
    throw ELinkFormatError(std::string("Link ") + std::string(what) + " contains a NUL character");
}

// One counted string: the character count, then UTF-16LE units or ANSI bytes, no NUL.
void WriteCountedString(Writer& w, std::string_view ansi, bool unicode, const CodePage& codePage,
                        std::string_view what) {
  CheckText(ansi, what);
  if (!unicode) {
    if (ansi.size() > kLinkMaxStringChars)
      throw ELinkFormatError(std::string("Link ") + std::string(what) + " is too long");
    w.U16(static_cast<std::uint16_t>(ansi.size()));
    w.Bytes(ansi);
    return;
  }
  std::u16string units;
  units.reserve(ansi.size());
  for (const char c : ansi) {
    const char32_t cp = codePage.ToUnicode(static_cast<std::uint8_t>(c));
    if (cp > 0xFFFF) {
      const char32_t v = cp - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
  }
  if (units.size() > kLinkMaxStringChars)
    throw ELinkFormatError(std::string("Link ") + std::string(what) + " is too long");
  w.U16(static_cast<std::uint16_t>(units.size()));
  for (const char16_t u : units) w.U16(static_cast<std::uint16_t>(u));
}

// LinkInfo with a VolumeID, the local base path and an empty common path suffix.
void WriteLinkInfo(Writer& w, const LinkContents& link) {
  CheckText(link.localBasePath, "target");
  CheckText(link.volumeLabel, "volume label");
  const std::uint64_t volumeIdSize = kVolumeIdHeaderSize + link.volumeLabel.size() + 1;
  const std::uint64_t localBasePathOffset = kLinkInfoHeaderSize + volumeIdSize;
  const std::uint64_t suffixOffset = localBasePathOffset + link.localBasePath.size() + 1;
  const std::uint64_t linkInfoSize = suffixOffset + 1;
  if (linkInfoSize > std::numeric_limits<std::uint32_t>::max())
    throw ELinkFormatError("Link target is too long");

  w.U32(static_cast<std::uint32_t>(linkInfoSize));
  w.U32(kLinkInfoHeaderSize);
  w.U32(kLinkInfoVolumeIdAndLocalBasePath);
  w.U32(kLinkInfoHeaderSize);  // the VolumeID follows the header
  w.U32(static_cast<std::uint32_t>(localBasePathOffset));
  w.U32(0);  // no common network relative link
  w.U32(static_cast<std::uint32_t>(suffixOffset));

  w.U32(static_cast<std::uint32_t>(volumeIdSize));
  w.U32(link.driveType);
  w.U32(link.driveSerial);
  w.U32(kVolumeIdHeaderSize);  // the label follows the VolumeID header
  w.Bytes(link.volumeLabel);
  w.U8(0);

  w.Bytes(link.localBasePath);
  w.U8(0);
  w.U8(0);  // empty common path suffix
}

}  // namespace

std::string SerializeLink(const LinkContents& link, const CodePage& codePage) {
  std::uint32_t flags = 0;
  if (!link.localBasePath.empty()) flags |= kLinkHasLinkInfo;
  if (!link.workingDirectory.empty()) flags |= kLinkHasWorkingDir;
  if (!link.iconLocation.empty()) flags |= kLinkHasIconLocation;
  if (link.unicode) flags |= kLinkIsUnicode;

  Writer w;
  w.U32(kLinkHeaderSize);
  for (const std::uint8_t b : kShellLinkClsid) w.U8(b);
  w.U32(flags);
  w.U32(link.fileAttributes);
  w.U64(link.creationTime);
  w.U64(link.accessTime);
  w.U64(link.writeTime);
  w.U32(link.fileSize);
  w.U32(static_cast<std::uint32_t>(link.iconIndex));
  w.U32(link.showCommand);
  w.U16(0);            // no hot key
  w.Zeros(2 + 4 + 4);  // reserved

  if (flags & kLinkHasLinkInfo) WriteLinkInfo(w, link);
  if (flags & kLinkHasWorkingDir)
    WriteCountedString(w, link.workingDirectory, link.unicode, codePage, "working directory");
  if (flags & kLinkHasIconLocation)
    WriteCountedString(w, link.iconLocation, link.unicode, codePage, "icon location");

  w.U32(0);  // terminal block
  return w.Take();
}

std::uint64_t UnixTimeToFileTime(std::int64_t seconds) {
  constexpr std::int64_t kEpochDelta = 11644473600;  // seconds from 1601 to 1970
  constexpr std::int64_t kTicks = 10000000;          // 100 ns units per second
  if (seconds < -kEpochDelta) return 0;
  const auto since1601 = static_cast<std::uint64_t>(seconds + kEpochDelta);
  if (since1601 > std::numeric_limits<std::uint64_t>::max() / kTicks)
    return std::numeric_limits<std::uint64_t>::max();
  return since1601 * kTicks;
}

}  // namespace nolvo::platform
