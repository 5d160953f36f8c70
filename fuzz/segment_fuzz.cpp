// Feeds arbitrary bytes to the segmented reader: the input's first bytes choose how many
// segment files (1 to 3) the rest is cut into; the reader runs on a private machine whose
// dialogs answer Cancel. Whatever happens, no temporary file may stay in SegTmpDir.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "archive/segment/seg_compress.h"
#include "archive/segment/seg_id_header.h"
#include "platform/machine.h"
#include "testing/scripted_dialogs.h"

using namespace nolvo;
namespace fs = std::filesystem;

namespace {

struct World {
  fs::path root;
  std::unique_ptr<platform::Machine> machine;

  World() {
    char pattern[] = "/tmp/nolvo-segfuzz-XXXXXX";
    root = mkdtemp(pattern);
    machine = std::make_unique<platform::Machine>(root / "prefix");
    // Only the machine's own C: and the media drive exist: nothing can reach the host.
    std::error_code ec;
    fs::remove(machine->DosDevices() / "z:", ec);
    fs::create_directories(root / "media");
    // A fuzz run on a world without its media drive would test nothing.
    if (!machine->MapDrive('d', root / "media").ok() || !machine->SetCurrentDirectory("C:\\").ok())
      std::abort();
  }
  ~World() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  fs::path DriveC() const { return root / "prefix" / "drive_c"; }
};

World& TheWorld() {
  static World world;
  return world;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  std::error_code ec;
  fs::remove_all(world.root / "media", ec);
  fs::create_directories(world.root / "media");
  for (const auto& entry : fs::directory_iterator(world.DriveC(), ec))
    fs::remove_all(entry.path(), ec);

  if (size < 3) return 0;
  const std::size_t segments = 1 + data[0] % 3;
  const std::size_t cuts[2] = {data[1], static_cast<std::size_t>(data[1]) + data[2]};
  data += 3;
  size -= 3;

  std::size_t at = 0;
  for (std::size_t i = 0; i < segments; ++i) {
    const std::size_t end = i + 1 == segments ? size : std::min(size, std::max(at, cuts[i]));
    segment::TSegIdHeader id;
    id.SegmentNumber = static_cast<std::uint16_t>(i + 1);
    const auto idBytes = segment::FormatSegIdHeader(id);
    std::vector<std::uint8_t> file(idBytes.begin(), idBytes.end());
    file.insert(file.end(), data + at, data + end);
    char name[16];
    std::snprintf(name, sizeof name, "disk.%03zu", i + 1);
    WriteFile(world.root / "media" / name, file);
    at = end;
  }

  testing::ScriptedDialogs dialogs;
  dialogs.OnMessage(platform::DialogResult::idCancel);
  segment::TSegCompress reader(*world.machine, &dialogs);
  reader.SetSegBaseName("disk");
  reader.SetSegDir("D:\\");
  reader.SetSegTmpDir("C:\\TEMP");
  reader.SetSegPopUp(false);
  try {
    segment::TSegArcList list;
    reader.ExpandSegArcs(list);
  } catch (const std::exception&) {
  }

  const fs::path temp = world.DriveC() / "temp";
  if (fs::exists(temp) && !fs::is_empty(temp)) std::abort();  // a temporary file was left
  return 0;
}
