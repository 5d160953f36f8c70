#pragma once
// Shared vocabulary of the registry store: key handles, the predefined root keys, value
// types and the Win32-style status codes its entry points answer.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace nolvo::platform {

// An open key: one of the predefined roots below or a handle the store handed out.
struct RegKey {
  std::uint32_t value = 0;
  friend bool operator==(RegKey, RegKey) = default;
};

inline constexpr RegKey kHKeyClassesRoot{0x80000000u};
inline constexpr RegKey kHKeyCurrentUser{0x80000001u};
inline constexpr RegKey kHKeyLocalMachine{0x80000002u};
inline constexpr RegKey kHKeyUsers{0x80000003u};
inline constexpr RegKey kHKeyCurrentConfig{0x80000005u};

// Value types, numbered as Win32 numbers them (the number is kept for any other type read
// from a file).
struct RegType {
  static constexpr std::uint32_t kNone = 0;
  static constexpr std::uint32_t kSz = 1;
  static constexpr std::uint32_t kExpandSz = 2;
  static constexpr std::uint32_t kBinary = 3;
  static constexpr std::uint32_t kDword = 4;
  static constexpr std::uint32_t kMultiSz = 7;
  static constexpr std::uint32_t kQword = 11;
};

// Win32 status codes answered by the store's entry points.
struct RegCode {
  static constexpr WinError kSuccess{0};
  static constexpr WinError kFileNotFound{2};  // no such key or value
  static constexpr WinError kAccessDenied{5};  // store not writable; key with subkeys
  static constexpr WinError kInvalidHandle{6};
  static constexpr WinError kInvalidParameter{87};  // a name the store file cannot hold
  static constexpr WinError kBadPathname{161};      // empty component or leading "\"
  static constexpr WinError kMoreData{234};         // caller's buffer too small
  static constexpr WinError kNoMoreItems{259};      // enumeration past the end
  static constexpr WinError kRegistryIoFailed{1016};
  static constexpr WinError kKeyDeleted{1018};  // the open key was deleted meanwhile
};

// What CreateKeyEx did.
enum class RegDisposition : std::uint32_t {
  rdCreatedNewKey = 1,
  rdOpenedExistingKey = 2,
};

// One value as stored: its name's spelling, type and raw data. A string written through
// the A-style API carries its terminating NUL, as Win32 stores it.
struct RegValue {
  std::string name;
  std::uint32_t type = RegType::kNone;
  std::vector<std::uint8_t> data;

  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// Data of a string value as the A-style API writes it: the text and a terminating NUL.
std::vector<std::uint8_t> RegStringData(std::string_view text);

}  // namespace nolvo::platform
