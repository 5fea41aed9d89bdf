#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/LineBuffer.h"

namespace rssvane {
namespace {

// Drives the buffer as a read pass does: complete lines first, a full buffer
// as one piece, then as many of the bytes as fit. Pieces are "text|1" for a
// line and "text|0" for a piece without terminator.
void Receive(LineBuffer& buffer, std::string_view bytes, std::vector<std::string>& out) {
  for (;;) {
    std::string_view line;
    while (buffer.TakeLine(line)) out.push_back(std::string(line) + "|1");
    std::span<char> space = buffer.FreeSpace();
    if (space.empty()) {
      out.push_back(std::string(buffer.TakeAll()) + "|0");
      continue;
    }
    if (bytes.empty()) return;
    size_t n = std::min(space.size(), bytes.size());
    std::memcpy(space.data(), bytes.data(), n);
    buffer.Commit(n);
    bytes.remove_prefix(n);
  }
}

TEST(LineBuffer, TerminatorSplitAcrossReceivesStillEndsTheLine) {
  LineBuffer buffer;
  buffer.SetTerminator("\r\n");
  std::vector<std::string> out;
  Receive(buffer, "GET / HTTP/1.0\r", out);
  EXPECT_TRUE(out.empty());
  Receive(buffer, "\nHost: a\r\n\r\nbody", out);
  EXPECT_EQ(out, (std::vector<std::string>{"GET / HTTP/1.0|1", "Host: a|1", "|1"}));
  EXPECT_EQ(buffer.Size(), 4u);
  EXPECT_EQ(buffer.TakeAll(), "body");
}

TEST(LineBuffer, LinesLongerThanTheCapacityArriveAsPieces) {
  LineBuffer buffer;
  ASSERT_EQ(buffer.SetCapacity(4), 0);
  buffer.SetTerminator("\r\n");
  std::vector<std::string> out;
  Receive(buffer, "abcdefghij\r\nxy\r\n", out);
  EXPECT_EQ(out, (std::vector<std::string>{"abcd|0", "efgh|0", "ij|1", "xy|1"}));
  // A terminator cut by the capacity is not found: its bytes come as data.
  Receive(buffer, "abc\r\n", out);
  EXPECT_EQ(out.back(), "abc\r|0");
  EXPECT_EQ(buffer.TakeAll(), "\n");
}

TEST(LineBuffer, CapacityIsKeptBetweenOneAnd65536) {
  LineBuffer buffer;
  EXPECT_EQ(buffer.Capacity(), 2048u);
  ASSERT_EQ(buffer.SetCapacity(100000), 0);
  EXPECT_EQ(buffer.Capacity(), 65536u);
  ASSERT_EQ(buffer.SetCapacity(0), 0);
  EXPECT_EQ(buffer.Capacity(), 1u);
}

TEST(LineBuffer, RawModeAndANewTerminatorCutWhatIsBuffered) {
  LineBuffer buffer;
  buffer.SetTerminator("\n");
  std::vector<std::string> out;
  Receive(buffer, "a\r\nb\r\n5\r\nhel", out);
  EXPECT_EQ(out, (std::vector<std::string>{"a\r|1", "b\r|1", "5\r|1"}));
  // Raw mode: whatever is buffered goes up at once.
  buffer.SetTerminator("");
  Receive(buffer, "lo", out);
  EXPECT_EQ(out, (std::vector<std::string>{"a\r|1", "b\r|1", "5\r|1", "hel|1", "lo|1"}));
  buffer.SetTerminator("\r\n");
  Receive(buffer, "x\r", out);
  buffer.SetTerminator("\r");
  std::string_view line;
  ASSERT_TRUE(buffer.TakeLine(line));
  EXPECT_EQ(line, "x");
}

TEST(LineBuffer, AppendTakesBytesFromItsOwnFreeSpace) {
  // A firewall's reply is received into the free space; what follows the
  // reply is appended from there, after bytes that had to move to the front.
  LineBuffer buffer;
  ASSERT_EQ(buffer.SetCapacity(8), 0);
  buffer.SetTerminator("\n");
  std::vector<std::string> out;
  Receive(buffer, "ab\ncd", out);
  std::span<char> space = buffer.FreeSpace();
  ASSERT_EQ(space.size(), 3u);
  std::memcpy(space.data(), "RRx", 3);
  EXPECT_TRUE(buffer.Append({space.data() + 2, 1}));
  EXPECT_TRUE(buffer.Append("yz\n"));
  EXPECT_FALSE(buffer.Append("too long"));
  std::string_view line;
  ASSERT_TRUE(buffer.TakeLine(line));
  EXPECT_EQ(line, "cdxyz");
}

}  // namespace
}  // namespace rssvane
