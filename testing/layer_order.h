#pragma once
// The include rule of the core layers: a file directly in a layer's folder may include
// headers of its own layer and of the layers below it (by the order given, lowest first),
// never of a higher layer, a view or a program.

#include <filesystem>
#include <string>
#include <vector>

namespace nolvo::testing {

struct LayerViolation {
  std::string file;      // relative to the root, '/'-separated
  std::size_t line = 0;  // 1-based
  std::string include;   // the quoted path as written
};

// Every `#include "<dir>/..."` in the .h and .cpp files of `layers` under `root` that breaks
// the order of `layers` (lowest first).
std::vector<LayerViolation> CheckLayerOrder(const std::filesystem::path& root,
                                            const std::vector<std::string>& layers);

}  // namespace nolvo::testing
