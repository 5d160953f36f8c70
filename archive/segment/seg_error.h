#pragma once
// The failures of the segmented archive reader and writer. Every message begins with
// "(TSegCompress) "; callers that need more than the text tell the cases apart by Kind().

#include <cstdint>
#include <stdexcept>
#include <string>

namespace nolvo::segment {

class ESegError : public std::runtime_error {
 public:
  enum class Kind {
    skInvalidSegmentId,      // "Invalid Segment ID Header"
    skInvalidSegmentHeader,  // "Invalid Segment Header ID"
    skInvalidScanId,         // "Invalid Scan ID Header"
    skInvalidArchiveId,      // "Invalid Archive ID Header"
    skInvalidSequence,       // "Invalid Archive sequence number"
    skOpenFailed,            // "Stream open failed"
    skReadFailed,            // "Stream read failed"
    skAborted,               // "Operation aborted by user"
    skInvalidLength,         // a length field out of its range
    skEmptyListArchive,      // a list archive without any entry
    skSegmentLimit,          // the stream would need a segment number above 65535
    skMissingSegment,        // no prompts allowed and a segment file is missing
    skWrongSegment,          // no prompts allowed and a segment carries another number
  };

  ESegError(Kind kind, const std::string& message);
  explicit ESegError(Kind kind);

  Kind Why() const { return kind_; }

 private:
  Kind kind_;
};

// The fixed text of `kind`, without the "(TSegCompress) " prefix (empty for the kinds
// whose message names a segment or a field).
std::string SegErrorText(ESegError::Kind kind);

// A length field of a record that lies outside what a reader accepts.
ESegError InvalidLength(const std::string& field, std::int64_t value);

}  // namespace nolvo::segment
