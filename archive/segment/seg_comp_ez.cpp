#include "archive/segment/seg_comp_ez.h"

namespace nolvo::segment {

void TSegCompEZ::ExpandSegmentedArchive() {
  SetTargetPath("");
  ExpandSegArcs(SegArcList);
  seg_source_.clear();
  for (const TSegArc& arc : SegArcList) seg_source_.push_back(arc.Template);
  SetTargetPath("");
}

}  // namespace nolvo::segment
