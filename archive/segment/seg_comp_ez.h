#pragma once
// TSegCompEZ: the segmented reader with the one-call operation the extraction stage uses,
// and the list of archives read.

#include <string>
#include <vector>

#include "archive/codec/compression_method.h"
#include "archive/segment/seg_compress.h"

namespace nolvo::segment {

// How a builder would walk its source folders (building side only; no effect on reading).
enum class TBuildMode : std::uint8_t { bmFlat = 0, bmRecursive = 1 };

class TSegCompEZ : public TSegCompress {
 public:
  using TSegCompress::TSegCompress;

  // The archives of the last read, in scan-record order.
  TSegArcList SegArcList;

  // Building-side settings; reading ignores them.
  TBuildMode SegBuildMode = TBuildMode::bmRecursive;
  codec::TCompressionMethod SegCompType = codec::TCompressionMethod::coLZH;
  bool SegMultiArc = false;

  // After an expansion: the Template of each archive expanded, in order.
  const std::vector<std::string>& SegSource() const { return seg_source_; }
  void SetSegSource(const std::vector<std::string>& value) { seg_source_ = value; }

  // Reads and expands the whole segmented archive described by the properties, filling
  // SegArcList and SegSource. TargetPath is empty before and after. An exception passes
  // unchanged and leaves SegSource and TargetPath as they were at that moment.
  void ExpandSegmentedArchive();

 private:
  std::vector<std::string> seg_source_;
};

}  // namespace nolvo::segment
