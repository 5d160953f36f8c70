#include "archive/segment/seg_error.h"

namespace nolvo::segment {

namespace {
constexpr const char* kPrefix = "(TSegCompress) ";
}

std::string SegErrorText(ESegError::Kind kind) {
  using K = ESegError::Kind;
  switch (kind) {
    case K::skInvalidSegmentId:
      return "Invalid Segment ID Header";
    case K::skInvalidSegmentHeader:
      return "Invalid Segment Header ID";
    case K::skInvalidScanId:
      return "Invalid Scan ID Header";
    case K::skInvalidArchiveId:
      return "Invalid Archive ID Header";
    case K::skInvalidSequence:
      return "Invalid Archive sequence number";
    case K::skOpenFailed:
      return "Stream open failed";
    case K::skReadFailed:
      return "Stream read failed";
    case K::skAborted:
      return "Operation aborted by user";
    case K::skEmptyListArchive:
      return "List archive holds no file";
    case K::skSegmentLimit:
      return "Segment number above 65535";
    case K::skInvalidLength:
    case K::skMissingSegment:
    case K::skWrongSegment:
      break;
  }
  return {};
}

ESegError::ESegError(Kind kind, const std::string& message)
    : std::runtime_error(kPrefix + message), kind_(kind) {}

ESegError::ESegError(Kind kind) : ESegError(kind, SegErrorText(kind)) {}

ESegError InvalidLength(const std::string& field, std::int64_t value) {
  return ESegError(ESegError::Kind::skInvalidLength,
                   "Invalid " + field + " " + std::to_string(value));
}

}  // namespace nolvo::segment
