// nolvo_layer_order ROOT LAYER...: lists every include in the core layers under ROOT that
// breaks the order of the LAYERs (lowest first); exits 1 when there is any.

#include <cstdio>
#include <exception>

#include "testing/layer_order.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: nolvo_layer_order ROOT LAYER...\n");
    return 2;
  }
  try {
    const std::vector<std::string> layers(argv + 2, argv + argc);
    const auto violations = nolvo::testing::CheckLayerOrder(argv[1], layers);
    for (const auto& v : violations)
      std::printf("%s:%zu: includes \"%s\", which is not a layer at or below its own\n",
                  v.file.c_str(), v.line, v.include.c_str());
    std::printf("%zu include%s against the layer order\n", violations.size(),
                violations.size() == 1 ? "" : "s");
    return violations.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "nolvo_layer_order: %s\n", e.what());
    return 2;
  }
}
