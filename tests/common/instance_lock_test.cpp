#include "common/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;

namespace fs = std::filesystem;

// Runs `probe` in a child process and returns its exit code.
template <typename Probe>
int InChild(Probe probe) {
  pid_t pid = fork();
  if (pid == 0) _exit(probe());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, OneHolderPerProgramDirectory) {
  TempDir dir;
  std::unique_ptr<InstanceLock> first = AcquireInstanceLock(dir.Path());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(AcquireInstanceLock(dir.Path()), nullptr);
  EXPECT_EQ(AcquireInstanceLock(dir / "."), nullptr);  // another spelling of the same directory
  fs::create_symlink(dir.Path(), dir / "alias");
  EXPECT_EQ(AcquireInstanceLock(dir / "alias"), nullptr);

  TempDir other;
  EXPECT_NE(AcquireInstanceLock(other.Path()), nullptr);

  first.reset();
  EXPECT_NE(AcquireInstanceLock(dir.Path()), nullptr);
}

TEST(InstanceLock, AnotherProcessFindsTheLockTaken) {
  TempDir dir;
  std::string path = dir.Path();
  {
    auto lock = AcquireInstanceLock(path);
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(InChild([&] { return AcquireInstanceLock(path) == nullptr ? 0 : 1; }), 0);
  }
  EXPECT_EQ(InChild([&] { return AcquireInstanceLock(path) != nullptr ? 0 : 1; }), 0);
}

TEST(InstanceLock, AMissingDirectoryIsAnErrorNotARunningCopy) {
  TempDir dir;
  EXPECT_THROW(AcquireInstanceLock(dir / "missing"), std::system_error);
  testing::WriteFile(dir / "file", "x");
  EXPECT_THROW(AcquireInstanceLock(dir / "file"), std::system_error);
}

}  // namespace
}  // namespace vantrel
