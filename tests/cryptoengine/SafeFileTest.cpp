// The replacing file under the engine's file operations: large output goes
// out in blocks from a second thread, yet arrives byte for byte, a failed
// write is reported with its reason, and nothing but a committed file is
// ever left behind.
#include "cryptoengine/SafeFile.h"

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>

#include "TestFolder.h"
#include "cryptoengine/ProcessSafety.h"

namespace vkcrypto {
namespace {

using detail::ReplacingFile;
using testing::Pattern;
using testing::TestFolder;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A process killed before Commit leaves nothing: the file being written has
// no name. What replaces a setuid program is not setuid; a new file is private.
TEST(ReplacingFile, TheTemporaryFileHasNoNameAndOnlyPermissionBitsPassOn) {
  TestFolder disk(TestFolder::Place::kDisk);
  TestFolder memory;
  for (const TestFolder* folder : {&disk, &memory}) {
    const std::string path = folder->File("program");
    testing::WriteFile(path, testing::Text("old"));
    ASSERT_EQ(::chmod(path.c_str(), 06755), 0);
    ReplacingFile file(path);
    const Bytes data = Pattern(ReplacingFile::kBlockSize + 5, 1);  // a block is on disk before Commit
    file.Write(data.data(), data.size());
    EXPECT_EQ(folder->Names(), std::vector<std::string>{"program"}) << path;
    file.Commit();
    EXPECT_EQ(ModeOf(path), 0755u) << path;
    ReplacingFile(folder->File("new")).Commit();
    EXPECT_EQ(ModeOf(folder->File("new")), 0600u) << path;
  }
}

// Where a file system has no unnamed files: the named one is private until
// Commit, and the clean-up a signal handler calls removes it.
TEST(ReplacingFile, ANamedTemporaryIsPrivateAndRemovedByTheSignalCleanUp) {
  TestFolder folder;
  const std::string path = folder.File("plain.txt");
  testing::WriteFile(path, testing::Text("old"));
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  {
    ReplacingFile file(path, ReplacingFile::Temporary::kNamed);
    file.Write(reinterpret_cast<const uint8_t*>("new"), 3);
    const std::vector<std::string> names = folder.Names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].rfind(".plain.txt.vktmp-", 0), 0u) << names[0];
    EXPECT_EQ(ModeOf(folder.File(names[0])), 0600u);
    RemoveUnfinishedFiles();
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"plain.txt"});
  }
  EXPECT_EQ(testing::ReadFile(path), testing::Text("old"));
}

// Replaces path with fchmod refused by a seccomp filter and exits with 3
// when that fails with the reason and leaves the old file.
[[noreturn]] void ReplaceWithoutFchmod(const std::string& path) {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fchmod, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    std::_Exit(2);
  }
  try {
    ReplacingFile file(path);
    file.Write(reinterpret_cast<const uint8_t*>("new"), 3);
    file.Commit();
  } catch (const EngineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::_Exit(testing::ReadFile(path) == testing::Text("old") && e.Kind() == ErrorKind::kFile ? 3 : 4);
  }
  std::_Exit(5);
}

TEST(ReplacingFileDeathTest, AFailedChangeOfPermissionsIsReported) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TestFolder folder;
  const std::string path = folder.File("kept");
  testing::WriteFile(path, testing::Text("old"));
  EXPECT_EXIT(ReplaceWithoutFchmod(path), ::testing::ExitedWithCode(3),
              "cannot set the permissions of '.*/kept': Operation not permitted");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept"});
}

TEST(ReplacingFile, BlocksAndTheTailArriveWhateverTheSizesOfTheWrites) {
  // On the disk: blocks are written around the page cache where the file
  // system allows it, which memory file systems may not.
  TestFolder disk(TestFolder::Place::kDisk);
  TestFolder memory;
  constexpr size_t kBlock = ReplacingFile::kBlockSize;
  // Less than a block, exactly one, and enough to go round both blocks with
  // a tail that is not a multiple of any sector.
  for (size_t size : {size_t(1000), kBlock, 2 * kBlock + kBlock / 2 + 7, 3 * kBlock + 1}) {
    for (const std::string& path : {disk.File("out"), memory.File("out")}) {
      const Bytes data = Pattern(size, 3);
      {
        ReplacingFile file(path);
        // Pieces of odd sizes, as the sealed batches are.
        size_t at = 0;
        for (size_t piece = 1; at < data.size(); piece = piece * 3 + 65553) {
          const size_t take = std::min(piece, data.size() - at);
          file.Write(data.data() + at, take);
          at += take;
        }
        file.Commit();
      }
      EXPECT_TRUE(testing::ReadFile(path) == data) << "size " << size << " in " << path;
    }
  }
  EXPECT_EQ(disk.Names(), std::vector<std::string>{"out"});
}

TEST(ReplacingFile, AbandonedWhileABlockIsWrittenLeavesTheDestinationAlone) {
  TestFolder disk(TestFolder::Place::kDisk);
  const std::string path = disk.File("keep");
  testing::WriteFile(path, testing::Text("old content"));
  {
    ReplacingFile file(path);
    const Bytes data = Pattern(2 * ReplacingFile::kBlockSize + 3, 4);
    file.Write(data.data(), data.size());
  }
  EXPECT_EQ(testing::ReadFile(path), testing::Text("old content"));
  EXPECT_EQ(disk.Names(), std::vector<std::string>{"keep"});
}

// A write that fails on the writing thread (here: beyond the file size
// limit) is reported to the caller with the path and the reason.
TEST(ReplacingFile, AFailedBlockWriteIsReportedAndNothingIsLeft) {
  TestFolder disk(TestFolder::Place::kDisk);
  const std::string path = disk.File("full");
  testing::WriteFile(path, testing::Text("old content"));
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = old;
  limited.rlim_cur = 3 * ReplacingFile::kBlockSize / 2;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  std::string message;
  try {
    ReplacingFile file(path);
    const Bytes data = Pattern(ReplacingFile::kBlockSize, 5);
    for (int i = 0; i < 4; ++i) file.Write(data.data(), data.size());
    file.Commit();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::kFile);
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(message, "cannot write '" + path + "': File too large");
  EXPECT_EQ(testing::ReadFile(path), testing::Text("old content"));
  EXPECT_EQ(disk.Names(), std::vector<std::string>{"full"});
}

}  // namespace
}  // namespace vkcrypto
