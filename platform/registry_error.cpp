#include "platform/registry_error.h"

namespace nolvo::platform {

void RaiseCreateKeyFailed(std::string_view key, WinError code) {
  throw ERegistryException("Failed to create key " + std::string(key), code);
}

void RaiseSetDataFailed(std::string_view value_name, WinError code) {
  throw ERegistryException("Failed to set data for '" + std::string(value_name) + "'", code);
}

}  // namespace nolvo::platform
