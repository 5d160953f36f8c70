#include "archive/container/write_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace nolvo::container {
namespace {

using platform::MemoryStream;
using platform::SeekOrigin;

std::string Text(const MemoryStream& s) { return std::string(s.Bytes().begin(), s.Bytes().end()); }

TEST(WriteBuffer, GathersSmallWritesAndPassesLargeOnesInOrder) {
  MemoryStream base;
  TWriteBuffer buffer(base, 8);
  buffer.WriteAll("abc", 3);
  buffer.WriteAll("defg", 4);
  EXPECT_EQ(base.Size(), 0);  // still gathered
  buffer.WriteAll("hi", 2);   // does not fit: the gathered bytes go first
  EXPECT_EQ(Text(base), "abcdefg");
  buffer.WriteAll("0123456789", 10);  // larger than the buffer: after "hi", at once
  EXPECT_EQ(Text(base), "abcdefghi0123456789");
  buffer.WriteAll("xyz", 3);
  buffer.Flush();
  buffer.Flush();
  EXPECT_EQ(Text(base), "abcdefghi0123456789xyz");
}

TEST(WriteBuffer, PositionSizeSeekAndReadSeeTheGatheredBytes) {
  MemoryStream base;
  TWriteBuffer buffer(base, 64);
  buffer.WriteAll("hello", 5);
  EXPECT_EQ(buffer.Position(), 5);
  EXPECT_EQ(buffer.Size(), 5);
  buffer.WriteAll(" world", 6);
  EXPECT_EQ(buffer.Seek(0, SeekOrigin::soBeginning), 0);
  char head[5] = {};
  EXPECT_EQ(buffer.Read(head, 5), 5u);
  EXPECT_EQ(std::string(head, 5), "hello");
  buffer.WriteAll("!", 1);  // at the position the read left
  buffer.Flush();
  EXPECT_EQ(Text(base), "hello!world");
}

// A stream whose writes fail until it is told otherwise.
class FailingStream : public MemoryStream {
 public:
  void WriteAll(const void* buffer, std::size_t count) override {
    ++attempts;
    if (failing) throw platform::EStreamError("Cannot write");
    MemoryStream::WriteAll(buffer, count);
  }
  bool failing = true;
  int attempts = 0;
};

TEST(WriteBuffer, AFailedFlushIsNotRepeatedAndUnflushedBytesAreDropped) {
  FailingStream base;
  {
    TWriteBuffer buffer(base, 16);
    buffer.WriteAll("lost", 4);
    EXPECT_THROW(buffer.Flush(), platform::EStreamError);
    base.failing = false;
    buffer.Flush();  // nothing left to write
    EXPECT_EQ(base.attempts, 1);
    buffer.WriteAll("dropped", 7);  // never flushed
  }
  EXPECT_EQ(base.Size(), 0);
}

}  // namespace
}  // namespace nolvo::container
