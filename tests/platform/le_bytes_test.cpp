#include "platform/le_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nolvo::platform {
namespace {

TEST(LeBytes, FieldsReadAndWriteLowByteFirst) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::uint64_t value;
  };
  const std::vector<Case> cases = {
      {{0x34, 0x12}, 0x1234},
      {{0xFF, 0xFF}, 0xFFFF},
      {{0x78, 0x56, 0x34, 0x12}, 0x12345678},
      {{0x00, 0x00, 0x00, 0x80}, 0x80000000},
      {{0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}, 0x0123456789ABCDEF},
      {{0x01, 0, 0, 0, 0, 0, 0, 0xFF}, 0xFF00000000000001},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> put(c.bytes.size(), 0xAA);
    std::vector<std::uint8_t> appended;
    std::string text;
    switch (c.bytes.size()) {
      case 2:
        EXPECT_EQ(GetUInt16(c.bytes.data()), c.value);
        EXPECT_EQ(GetUInt16(reinterpret_cast<const char*>(c.bytes.data())), c.value);
        PutUInt16(put.data(), static_cast<std::uint16_t>(c.value));
        AppendUInt16(appended, static_cast<std::uint16_t>(c.value));
        AppendUInt16(text, static_cast<std::uint16_t>(c.value));
        break;
      case 4:
        EXPECT_EQ(GetUInt32(c.bytes.data()), c.value);
        EXPECT_EQ(GetUInt32(reinterpret_cast<const char*>(c.bytes.data())), c.value);
        PutUInt32(put.data(), static_cast<std::uint32_t>(c.value));
        AppendUInt32(appended, static_cast<std::uint32_t>(c.value));
        AppendUInt32(text, static_cast<std::uint32_t>(c.value));
        break;
      default:
        EXPECT_EQ(GetUInt64(c.bytes.data()), c.value);
        PutUInt64(put.data(), c.value);
        AppendUInt64(appended, c.value);
        AppendUInt64(text, c.value);
    }
    EXPECT_EQ(put, c.bytes) << std::hex << c.value;
    EXPECT_EQ(appended, c.bytes) << std::hex << c.value;
    EXPECT_EQ(std::vector<std::uint8_t>(text.begin(), text.end()), c.bytes) << std::hex << c.value;
  }
}

TEST(LeBytes, SignedFieldsKeepTheirSign) {
  std::uint8_t b[4] = {};
  PutInt16(b, -2);
  EXPECT_EQ(GetInt16(b), -2);
  EXPECT_EQ(GetUInt16(b), 0xFFFE);
  PutInt32(b, -100000);
  EXPECT_EQ(GetInt32(b), -100000);
  PutInt32(b, INT32_MIN);
  EXPECT_EQ(GetInt32(b), INT32_MIN);
  EXPECT_EQ(b[3], 0x80);
}

}  // namespace
}  // namespace nolvo::platform
