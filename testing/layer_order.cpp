#include "testing/layer_order.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>

namespace nolvo::testing {
namespace {

namespace fs = std::filesystem;

std::optional<std::size_t> LayerIndex(const std::vector<std::string>& layers,
                                      const std::string& dir) {
  const auto it = std::find(layers.begin(), layers.end(), dir);
  if (it == layers.end()) return std::nullopt;
  return static_cast<std::size_t>(it - layers.begin());
}

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void CheckFile(const fs::path& file, const std::string& relative, std::size_t own,
               const std::vector<std::string>& layers, std::vector<LayerViolation>& out) {
  static const std::regex kInclude(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::ifstream in(file);
  std::string text;
  for (std::size_t line = 1; std::getline(in, text); ++line) {
    std::smatch m;
    if (!std::regex_search(text, m, kInclude)) continue;
    const std::string include = m[1].str();
    const std::string folder = Folder(include);
    if (folder.empty()) continue;  // a header beside the file
    const auto target = LayerIndex(layers, folder);
    if (!target || *target > own) out.push_back({relative, line, include});
  }
}

}  // namespace

std::vector<LayerViolation> CheckLayerOrder(const fs::path& root,
                                            const std::vector<std::string>& layers) {
  std::vector<LayerViolation> out;
  for (std::size_t own = 0; own < layers.size(); ++own) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(root / layers[own])) {
      const auto ext = entry.path().extension();
      if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
      CheckFile(file, layers[own] + "/" + file.filename().string(), own, layers, out);
  }
  return out;
}

}  // namespace nolvo::testing
