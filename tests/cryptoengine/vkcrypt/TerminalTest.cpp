// vkcrypt's handling of secrets read from the terminal and from files.
#include "Terminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "../TestFolder.h"

namespace vkcrypt {
namespace {

std::string FailureOf(std::string_view text, const std::string& codeset) {
  try {
    ToUtf8(text, codeset);
  } catch (const Failure& e) {
    return e.what();
  }
  return "converted";
}

TEST(Terminal, PasswordsTypedInAnotherCharacterSetBecomeUtf8) {
  EXPECT_EQ(ToUtf8("caf\xe9", "ISO-8859-1").View(), "caf\xc3\xa9");
  EXPECT_EQ(ToUtf8("\x80 5", "CP1252").View(), "\xe2\x82\xac 5");
  EXPECT_EQ(ToUtf8("\xa4\xb3", "EUC-JP").View(), "\xe3\x81\x93");
  // UTF-8, and whatever comes under the C locale, pass byte for byte.
  EXPECT_EQ(ToUtf8("caf\xc3\xa9", "UTF-8").View(), "caf\xc3\xa9");
  EXPECT_EQ(ToUtf8("caf\xc3\xa9", "ANSI_X3.4-1968").View(), "caf\xc3\xa9");
  EXPECT_EQ(FailureOf("\xa4", "EUC-JP"), "the password is not valid text in the terminal's character set EUC-JP");
  EXPECT_EQ(FailureOf("x", "NO-SUCH-SET"), "the terminal's character set NO-SUCH-SET is not known");
}

// The file is written straight from the literal and read back; afterwards
// the heap is searched for a piece of the password a growing string would
// have left in its freed buffers.
TEST(Terminal, AReadPasswordLeavesNoCopyInFreedMemory) {
  static const char kPassword[] = "a pass phrase long enough to outgrow a string's buffer several times over";
  vkcrypto::testing::TestFolder folder;
  const std::string path = folder.File("pw");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, kPassword, sizeof kPassword - 1), ssize_t(sizeof kPassword - 1));
  ::close(fd);
  {
    const Secret password = ReadPasswordFile(path);
    ASSERT_TRUE(password.View() == kPassword);
  }
  // Read and searched without allocating, which could reuse a freed buffer.
  static char maps[1 << 16];
  const int mapsFd = ::open("/proc/self/maps", O_RDONLY);
  ASSERT_GE(mapsFd, 0);
  const ssize_t size = ::read(mapsFd, maps, sizeof maps - 1);
  ::close(mapsFd);
  ASSERT_GT(size, 0);
  maps[size] = '\0';
  const char* heap = std::strstr(maps, "[heap]");
  if (heap == nullptr) GTEST_SKIP() << "the allocator (a sanitizer's) keeps no [heap] to search";
  while (heap > maps && heap[-1] != '\n') --heap;
  char* dash = nullptr;
  const uintptr_t start = std::strtoull(heap, &dash, 16);
  const uintptr_t end = std::strtoull(dash + 1, nullptr, 16);
  EXPECT_EQ(::memmem(reinterpret_cast<const void*>(start), end - start, kPassword + 40, 16), nullptr);
}

}  // namespace
}  // namespace vkcrypt
