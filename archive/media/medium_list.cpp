#include "archive/media/medium_list.h"

#include "archive/media/medium_run.h"

namespace nolvo::media {

void ListMedium(const MediaLocation& location, const ListEvents& events,
                stage::MediaReport& report) {
  MediumRun run(location, Tool::List, report, events.OnFinding);
  run.Walk(0, true, [&](MediumRun::Archive& archive) {
    if (events.OnArchive) events.OnArchive(archive.Media, archive.Listing);
  });
}

}  // namespace nolvo::media
