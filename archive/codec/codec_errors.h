#pragma once
// The typed failures of a codec run. Each carries the system's fixed message.

#include <stdexcept>

namespace nolvo::codec {

// Common base of the failures a codec raises on its own account beyond the two the
// archive format names (those derive directly from the message-carrying base).
class ECompressError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Code lengths in a block header that do not form a usable prefix code.
class ELZHBadDecodeTable : public std::runtime_error {
 public:
  ELZHBadDecodeTable() : std::runtime_error("Bad decode table in archive!") {}
};

// The compressed form would exceed the output budget.
class EUnableToCompress : public std::runtime_error {
 public:
  EUnableToCompress() : std::runtime_error("Could not compress data") {}
};

// A decoder needed stored data beyond the entry's stored size, or the progress
// handler cancelled the run while expanding.
class ETruncatedData : public ECompressError {
 public:
  ETruncatedData() : ECompressError("Compressed data ends early -- data may be invalid") {}
};

// A decoder would write more than the entry's original size allows.
class EExpandOverrun : public ECompressError {
 public:
  EExpandOverrun()
      : ECompressError("Expanded data is longer than expected -- data may be invalid") {}
};

}  // namespace nolvo::codec
