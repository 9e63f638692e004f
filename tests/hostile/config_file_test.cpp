// Configuration files that are not plain files: a FIFO without a writer,
// given by --config or lying in the working directory as qav-cli.conf, must
// not keep qav-cli waiting; a pipe with a writer is read to its end.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "run_checks.h"
#include "test_pbx.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

TEST(SpecialConfigFiles, AFifoWithoutWriterReadsAsEmptyInsteadOfBlocking) {
  const testing::TemporaryDirectory directory;
  const std::string fifo = directory.path() + "/qav-cli.conf";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--config", fifo, "--dry-run", "--target", "5"},
                                              std::vector<std::string>{"--dry-run", "--target", "5"}}) {
    const ProcessRun run = runCli({args, {}, 10s, directory.path(), {}});
    EXPECT_FALSE(run.killedAfterLimit) << "qav-cli waited for a writer";
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Ziel: 5\n"), std::string::npos) << run.out;
  }
}

TEST(SpecialConfigFiles, APipeWithAWriterIsReadToItsEnd) {
  const testing::TemporaryDirectory directory;
  const std::string fifo = directory.path() + "/settings.pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The writer holds the pipe open before qav-cli opens it and writes late,
  // as a shell's process substitution may.
  const int fd = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::thread writer([&] {
    std::this_thread::sleep_for(500ms);
    const std::string text = "[device]\ntarget = 4711\n";
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
  });
  const ProcessRun run = runCli({{"--config", fifo, "--dry-run"}, {}, 10s, "", {}});
  writer.join();
  EXPECT_FALSE(run.killedAfterLimit);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Ziel: 4711\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace qav::hostile
