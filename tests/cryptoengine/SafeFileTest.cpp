// The replacing file under the engine's file operations: large output goes
// out in blocks from a second thread, yet arrives byte for byte, a failed
// write is reported with its reason, and nothing but a committed file is
// ever left behind.
#include "cryptoengine/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "TestFolder.h"

namespace vkcrypto {
namespace {

using detail::ReplacingFile;
using testing::Pattern;
using testing::TestFolder;

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
