// The segmented media walk: the segment reader without dialogs locates each archive in
// the segment files and hands it to the visitor instead of expanding it.

#include <fmt/format.h>

#include "archive/media/media_reader.h"
#include "archive/segment/seg_compress.h"

namespace nolvo::media {

namespace {
constexpr char kMediaDrive = 'm';
}  // namespace

MediaWalk ForEachSegmentedArchive(PrivateWorkspace& workspace, const MediaLocation& media,
                                  std::int32_t key, const ArchiveVisitor& visit) {
  platform::Machine& machine = workspace.Machine();
  if (!machine.MapDrive(kMediaDrive, media.Folder).ok())
    throw EMediaPath(fmt::format("cannot reach the media folder {}", media.Folder.string()));
  segment::TSegCompress reader(machine);  // no dialogs: a missing segment is an error
  reader.SetSegDir(std::string(1, kMediaDrive) + ":\\");
  reader.SetSegBaseName(machine.WindowsName(media.BaseName));
  reader.SetJoinArchives(false);
  reader.OnSegArchiveLocated = [&](segment::TSegArc& arc, const container::TArchiveOpener& open) {
    MediaArchive archive;
    archive.Index = arc.Index;
    archive.Template = arc.Template;
    archive.TargetDir = arc.TargetDir;
    archive.ArcFlags = arc.ArcFlags;
    archive.FileNames = arc.ArcFileNames;
    archive.EndSegment = reader.SegNumber();
    archive.EndRemaining = reader.SegRemaining();
    archive.SegDir = reader.SegDir();
    archive.SegBaseName = reader.SegBaseName();
    container::TCompress compress(machine);
    compress.SetKey(key);
    visit(archive, compress, open);
    return false;  // the visitor did the work
  };
  segment::TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  return {reader.SegNumber(), reader.SegDir(), reader.SegBaseName()};
}

}  // namespace nolvo::media
