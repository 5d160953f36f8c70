#pragma once
// Expanding the stored data of one entry into an output stream, with the checksum and key
// rules: a locked entry needs a key, its checksum holds the byte sum plus the key, and a
// coNone entry is copied without any test.

#include <string>

#include "archive/codec/codec_run.h"
#include "archive/container/compress_events.h"
#include "archive/container/entry_walk.h"
#include "platform/byte_stream.h"

namespace nolvo::container {

struct TExpandSettings {
  codec::CodecComponent Codec;  // progress handler and key for the codec run
  TExpandEvent OnExpand;        // expands coCustom entries; empty: nothing is written
  std::string CompressID;       // the archive header's method id, handed to OnExpand
};

// Expands `entry` from `archive` into `dest` (the archive is first positioned at the
// entry's data; no read goes past them). Nothing decodes a method above coLZH5, so such an
// entry writes nothing and passes only when its checksum is 0.
// Throws EInvalidKey (locked entry with key 0; checksum matching neither with nor without
// the key; a code table, data length or output length the decoder rejects in a locked
// entry, which is what a wrong key produces), EBadChecksum (unlocked entry), the codec's
// errors for an unlocked entry, and the streams' errors.
void ExpandEntry(const TArchiveEntry& entry, platform::ByteStream& archive,
                 platform::ByteStream& dest, const TExpandSettings& settings);

}  // namespace nolvo::container
