// Reads link files field by field, checking every size and offset against the data.

#include <array>

#include "platform/le_bytes.h"
#include "platform/shell_link_format.h"

namespace nolvo::platform {
namespace {

constexpr std::array<std::uint8_t, 16> kShellLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

[[noreturn]] void Bad(const char* what) {
  throw ELinkFormatError(std::string("Invalid link file: ") + what);
}

// A bounded view of the data with a read position.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t Position() const { return pos_; }
  std::size_t Left() const { return data_.size() - pos_; }
  void Need(std::size_t n, const char* what) const {
    if (n > Left()) Bad(what);
  }
  void Skip(std::size_t n, const char* what) {
    Need(n, what);
    pos_ += n;
  }
  std::uint8_t U8(const char* what) {
    Need(1, what);
    return data_[pos_++];
  }
  std::uint16_t U16(const char* what) { return GetUInt16(Take(2, what)); }
  std::uint32_t U32(const char* what) { return GetUInt32(Take(4, what)); }
  std::uint64_t U64(const char* what) { return GetUInt64(Take(8, what)); }

 private:
  // The next `n` bytes, after checking that they are there.
  const std::uint8_t* Take(std::size_t n, const char* what) {
    Need(n, what);
    pos_ += n;
    return data_.data() + pos_ - n;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

std::uint32_t U32At(std::span<const std::uint8_t> d, std::size_t at) {
  return GetUInt32(d.data() + at);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-16LE units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  const std::size_t n = bytes.size() / 2;
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t u = GetUInt16(&bytes[2 * i]);
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < n) {
      const char32_t v = GetUInt16(&bytes[2 * i + 2]);
      if (v >= 0xDC00 && v < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, (u >= 0xD800 && u < 0xE000) ? char32_t{0xFFFD} : u);
  }
  return out;
}

// The NUL-terminated ANSI text at `at`, which must end before `end`.
std::string AnsiZ(std::span<const std::uint8_t> d, std::size_t at, std::size_t end,
                  const CodePage& codePage, const char* what) {
  if (at >= end) Bad(what);
  std::size_t stop = at;
  while (stop < end && d[stop] != 0) ++stop;
  if (stop == end) Bad(what);
  const std::string ansi(reinterpret_cast<const char*>(d.data() + at), stop - at);
  return codePage.ToUtf8(ansi);
}

void ReadLinkInfo(std::span<const std::uint8_t> data, Reader& r, ParsedLink& link,
                  const CodePage& codePage) {
  const std::size_t start = r.Position();
  r.Need(4, "LinkInfo truncated");
  const std::uint32_t size = U32At(data, start);
  if (size < 0x1C) Bad("LinkInfo size too small");
  r.Need(size, "LinkInfo larger than the file");
  const std::size_t end = start + size;
  const auto info = data.first(end);

  const std::uint32_t headerSize = U32At(data, start + 4);
  if (headerSize < 0x1C || headerSize > size) Bad("LinkInfo header size");
  link.linkInfoFlags = U32At(data, start + 8);
  const std::uint32_t volumeIdOffset = U32At(data, start + 12);
  const std::uint32_t localBasePathOffset = U32At(data, start + 16);
  const std::uint32_t networkOffset = U32At(data, start + 20);
  const std::uint32_t suffixOffset = U32At(data, start + 24);

  if (link.linkInfoFlags & kLinkInfoVolumeIdAndLocalBasePath) {
    if (volumeIdOffset < headerSize || volumeIdOffset > size - 0x10) Bad("VolumeID offset");
    const std::size_t volume = start + volumeIdOffset;
    const std::uint32_t volumeSize = U32At(data, volume);
    if (volumeSize < 0x10 || volumeSize > size - volumeIdOffset) Bad("VolumeID size");
    link.driveType = U32At(data, volume + 4);
    link.driveSerial = U32At(data, volume + 8);
    std::uint32_t labelOffset = U32At(data, volume + 12);
    const std::size_t volumeEnd = volume + volumeSize;
    if (labelOffset == 0x14) {
      // A Unicode label: its offset follows; the text is UTF-16LE up to a NUL unit.
      if (volumeSize < 0x14) Bad("VolumeID size");
      labelOffset = U32At(data, volume + 16);
      if (labelOffset < 0x14 || labelOffset >= volumeSize) Bad("volume label offset");
      const std::size_t at = volume + labelOffset;
      std::size_t stop = at;
      while (stop + 1 < volumeEnd && (data[stop] | data[stop + 1]) != 0) stop += 2;
      if (stop + 1 >= volumeEnd) Bad("volume label not terminated");
      link.volumeLabel = Utf16ToUtf8(data.subspan(at, stop - at));
    } else {
      if (labelOffset < 0x10 || labelOffset >= volumeSize) Bad("volume label offset");
      link.volumeLabel = AnsiZ(info, volume + labelOffset, volumeEnd, codePage, "volume label");
    }
    if (localBasePathOffset < headerSize || localBasePathOffset >= size)
      Bad("local base path offset");
    link.localBasePath = AnsiZ(info, start + localBasePathOffset, end, codePage, "local base path");
  }
  if (link.linkInfoFlags & kLinkInfoCommonNetworkRelativeLink) {
    if (networkOffset < headerSize || networkOffset > size - 0x14) Bad("network link offset");
    const std::uint32_t networkSize = U32At(data, start + networkOffset);
    if (networkSize < 0x14 || networkSize > size - networkOffset) Bad("network link size");
  }
  if (suffixOffset != 0 || (link.linkInfoFlags & kLinkInfoVolumeIdAndLocalBasePath)) {
    if (suffixOffset < headerSize || suffixOffset >= size) Bad("common path suffix offset");
    link.commonPathSuffix = AnsiZ(info, start + suffixOffset, end, codePage, "common path suffix");
  }
  r.Skip(size, "LinkInfo truncated");
}

std::string ReadCountedString(std::span<const std::uint8_t> data, Reader& r, bool unicode,
                              const CodePage& codePage) {
  const std::uint16_t count = r.U16("string data truncated");
  const std::size_t bytes = unicode ? std::size_t{count} * 2 : count;
  r.Need(bytes, "string data truncated");
  const auto text = data.subspan(r.Position(), bytes);
  r.Skip(bytes, "string data truncated");
  if (unicode) return Utf16ToUtf8(text);
  return codePage.ToUtf8(std::string(reinterpret_cast<const char*>(text.data()), text.size()));
}

}  // namespace

ParsedLink ParseLink(std::span<const std::uint8_t> data, const CodePage& codePage) {
  ParsedLink link;
  Reader r(data);
  if (r.U32("header truncated") != kLinkHeaderSize) Bad("header size");
  for (const std::uint8_t b : kShellLinkClsid)
    if (r.U8("header truncated") != b) Bad("class id");
  link.linkFlags = r.U32("header truncated");
  link.fileAttributes = r.U32("header truncated");
  link.creationTime = r.U64("header truncated");
  link.accessTime = r.U64("header truncated");
  link.writeTime = r.U64("header truncated");
  link.fileSize = r.U32("header truncated");
  link.iconIndex = static_cast<std::int32_t>(r.U32("header truncated"));
  link.showCommand = r.U32("header truncated");
  link.hotKey = r.U16("header truncated");
  r.Skip(10, "header truncated");

  if (link.linkFlags & kLinkHasTargetIdList) {
    // IDListSize, then items (each led by its own size) closed by a two-byte zero.
    const std::size_t listSize = r.U16("ID list truncated");
    r.Need(listSize, "ID list truncated");
    std::size_t at = 0;
    for (;;) {
      if (at + 2 > listSize) Bad("ID list not terminated");
      const std::size_t item = GetUInt16(&data[r.Position() + at]);
      if (item == 0) break;
      if (item < 2 || item > listSize - at) Bad("ID list item size");
      at += item;
    }
    if (at + 2 != listSize) Bad("ID list size");
    link.idListSize = listSize;
    r.Skip(listSize, "ID list truncated");
  }

  if (link.linkFlags & kLinkHasLinkInfo) {
    link.hasLinkInfo = true;
    ReadLinkInfo(data, r, link, codePage);
  }

  const bool unicode = (link.linkFlags & kLinkIsUnicode) != 0;
  if (link.linkFlags & kLinkHasName) link.name = ReadCountedString(data, r, unicode, codePage);
  if (link.linkFlags & kLinkHasRelativePath)
    link.relativePath = ReadCountedString(data, r, unicode, codePage);
  if (link.linkFlags & kLinkHasWorkingDir)
    link.workingDirectory = ReadCountedString(data, r, unicode, codePage);
  if (link.linkFlags & kLinkHasArguments)
    link.arguments = ReadCountedString(data, r, unicode, codePage);
  if (link.linkFlags & kLinkHasIconLocation)
    link.iconLocation = ReadCountedString(data, r, unicode, codePage);

  // Extra-data blocks (size, signature, data) until the terminal block (size < 4).
  for (;;) {
    const std::uint32_t blockSize = r.U32("terminal block missing");
    if (blockSize < 4) {
      if (blockSize != 0) Bad("extra data block size");
      break;
    }
    if (blockSize < 8) Bad("extra data block size");
    r.Skip(blockSize - 4, "extra data block truncated");
    ++link.extraBlocks;
  }
  link.size = r.Position();
  return link;
}

}  // namespace nolvo::platform
