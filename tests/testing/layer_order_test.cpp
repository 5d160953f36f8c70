#include "testing/layer_order.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/temp_dir.h"

namespace nolvo::testing {
namespace {

const std::vector<std::string> kLayers = {"platform", "util", "archive/codec", "app",
                                          "archive/stage"};

TEST(LayerOrderCheck, FlagsOnlyIncludesAboveTheFilesOwnLayer) {
  struct Case {
    std::string file;
    std::string line;
    bool violation;
  };
  const std::vector<Case> cases = {
      {"util/a.h", "#include \"platform/b.h\"", false},
      {"util/a.cpp", "#include \"util/a.h\"", false},
      {"archive/stage/s.cpp", "#include \"app/x.h\"", false},
      {"app/x.cpp", "#include \"local.h\"", false},
      {"app/y.cpp", "#include <archive/stage/s.h>", false},
      {"app/ui/view.cpp", "#include \"archive/stage/s.h\"", false},  // a view, not a layer
      {"platform/p.cpp", "#include \"util/a.h\"", true},
      {"archive/codec/c.h", "  #  include \"archive/stage/s.h\"", true},
      {"app/z.cpp", "#include \"app/ui/view.h\"", true},  // a view from the core
      {"util/b.cpp", "#include \"cli/tool.h\"", true},
  };
  test::TempDir root;
  for (const auto& layer : kLayers) std::filesystem::create_directories(root.Path() / layer);
  for (const auto& c : cases) {
    std::filesystem::create_directories((root.Path() / c.file).parent_path());
    test::WriteBytes(root.Path() / c.file, "// " + c.file + "\n" + c.line + "\n");
  }

  const auto found = CheckLayerOrder(root.Path(), kLayers);
  for (const auto& c : cases) {
    const auto hit = std::find_if(found.begin(), found.end(),
                                  [&](const LayerViolation& v) { return v.file == c.file; });
    EXPECT_EQ(hit != found.end(), c.violation) << c.file << ": " << c.line;
    if (hit != found.end()) {
      EXPECT_EQ(hit->line, 2u) << c.file;
    }
  }
}

}  // namespace
}  // namespace nolvo::testing
