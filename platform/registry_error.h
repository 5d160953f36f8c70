#pragma once
// The registry failures the installation reports to the person: the store's status code
// turned into the system's own messages.

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/platform_error.h"
#include "platform/win_error.h"

namespace nolvo::platform {

class ERegistryException : public EPlatformError {
 public:
  ERegistryException(const std::string& message, WinError code)
      : EPlatformError(message), code_(code) {}
  // The store's status code (RegCode) behind the failure.
  WinError Code() const { return code_; }

 private:
  WinError code_;
};

// Throws ERegistryException "Failed to create key <key>".
[[noreturn]] void RaiseCreateKeyFailed(std::string_view key, WinError code);
// Throws ERegistryException "Failed to set data for '<value_name>'".
[[noreturn]] void RaiseSetDataFailed(std::string_view value_name, WinError code);

}  // namespace nolvo::platform
