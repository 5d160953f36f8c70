#include "platform/win_error.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "platform/registry_types.h"

namespace nolvo::platform {
namespace {

// A code is compared, never read as a number or a truth value by accident.
static_assert(!std::is_convertible_v<WinError, std::uint32_t>);
static_assert(!std::is_constructible_v<bool, WinError>);
static_assert(!std::is_convertible_v<std::uint32_t, WinError>);

// The typed codes keep the Win32 numbers that messages, logs and uninstall reports print;
// the codes of the file operations have their own text, any other reads "Error <n>.".
TEST(WinErrorTest, CodesKeepTheirWin32Numbers) {
  struct Row {
    WinError code;
    std::uint32_t number;
    bool named;
  };
  const Row rows[] = {
      {kErrorSuccess, 0, true},
      {kErrorFileNotFound, 2, true},
      {kErrorPathNotFound, 3, true},
      {kErrorAccessDenied, 5, true},
      {kErrorNoMoreFiles, 18, true},
      {kErrorSharingViolation, 32, true},
      {kErrorHandleDiskFull, 39, true},
      {kErrorInvalidParameter, 87, true},
      {kErrorDiskFull, 112, true},
      {kErrorInvalidName, 123, true},
      {kErrorDirNotEmpty, 145, true},
      {kErrorBadPathname, 161, true},
      {kErrorAlreadyExists, 183, true},
      {kErrorFilenameExcedRange, 206, true},
      {kErrorDirectory, 267, true},
      {RegCode::kSuccess, 0, true},
      {RegCode::kFileNotFound, 2, true},
      {RegCode::kAccessDenied, 5, true},
      {RegCode::kInvalidHandle, 6, false},
      {RegCode::kInvalidParameter, 87, true},
      {RegCode::kBadPathname, 161, true},
      {RegCode::kMoreData, 234, false},
      {RegCode::kNoMoreItems, 259, false},
      {RegCode::kRegistryIoFailed, 1016, false},
      {RegCode::kKeyDeleted, 1018, false},
  };
  for (const Row& r : rows) {
    const std::string label = std::to_string(r.number);
    EXPECT_EQ(r.code.value(), r.number) << label;
    EXPECT_TRUE(r.code == WinError{r.number}) << label;
    EXPECT_EQ(r.code.ok(), r.number == 0) << label;
    EXPECT_EQ(ErrorText(r.code) == "Error " + label + ".", !r.named) << label;
  }
  EXPECT_TRUE(WinError{}.ok());
}

}  // namespace
}  // namespace nolvo::platform
