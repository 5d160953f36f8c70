// The segmented media walk: the segment reader without dialogs joins each archive into
// the workspace's work folder and hands the joined file to the visitor instead of
// expanding it.

#include <fmt/format.h>

#include "archive/media/media_reader.h"
#include "archive/segment/seg_compress.h"

namespace nolvo::media {

namespace {
constexpr char kMediaDrive = 'm';
}  // namespace

MediaWalk ForEachSegmentedArchive(PrivateWorkspace& workspace, const MediaLocation& media,
                                  std::int32_t key, const ArchiveVisitor& visit,
                                  const MediaProgress& progress) {
  platform::Machine& machine = workspace.Machine();
  if (machine.MapDrive(kMediaDrive, media.Folder) != 0)
    throw EMediaPath(fmt::format("cannot reach the media folder {}", media.Folder.string()));
  segment::TSegCompress reader(machine);  // no dialogs: a missing segment is an error
  reader.SetSegDir(std::string(1, kMediaDrive) + ":\\");
  reader.SetSegBaseName(machine.WindowsName(media.BaseName));
  reader.SetSegTmpDir(std::string(1, kWorkDrive) + ":\\");
  std::size_t current = 0;
  if (progress)
    reader.OnSegShowProgress = [&](std::int32_t percent) { progress(current, percent); };
  reader.OnSegArchiveJoined = [&](segment::TSegArc& arc, const std::string& joined) {
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
    visit(archive, compress, joined);
    ++current;
    return false;  // the visitor did the work; the joined file is deleted all the same
  };
  segment::TSegArcList arcs;
  reader.ExpandSegArcs(arcs);
  return {reader.SegNumber(), reader.SegDir(), reader.SegBaseName()};
}

}  // namespace nolvo::media
