#include "common/process_count.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;

namespace fs = std::filesystem;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), ::toupper);
  return text;
}

// Copies of `sleep` under a name of our choosing, so that the count sees a program that nothing
// else on the machine runs.
class ProcessCountTest : public ::testing::Test {
 protected:
  ~ProcessCountTest() override { StopAll(); }

  std::string CopyOfSleep(const std::string& name) {
    std::string path = dir_ / name;
    fs::copy_file("/bin/sleep", path);
    return path;
  }

  void Start(const std::string& path) {
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("60"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
    children_.push_back(pid);  // posix_spawn returns once the program is loaded
  }

  void StopAll() {
    for (pid_t pid : children_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    children_.clear();
  }

  TempDir dir_;
  std::vector<pid_t> children_;
};

TEST_F(ProcessCountTest, CountsRunningCopiesIgnoringCase) {
  std::string program = CopyOfSleep("vantrel-probe");
  EXPECT_EQ(CountProcessesByName("vantrel-probe"), 0);
  Start(program);
  EXPECT_EQ(CountProcessesByName("vantrel-probe"), 1);
  Start(program);
  EXPECT_EQ(CountProcessesByName("VANTREL-Probe"), 2);
  EXPECT_EQ(CountProcessesByName("vantrel-prob"), 0);
  EXPECT_EQ(CountProcessesByName("vantrel-probe.exe"), 0);
  StopAll();
  EXPECT_EQ(CountProcessesByName("vantrel-probe"), 0);
}

TEST_F(ProcessCountTest, TheCallingProcessCounts) {
  std::string self = fs::read_symlink("/proc/self/exe").filename().string();
  // Other copies of the test program may come and go meanwhile (ctest runs them side by side),
  // so only a lower bound holds.
  EXPECT_GE(CountProcessesByName(self), 1);
  EXPECT_GE(CountProcessesByName(Upper(self)), 1);
}

TEST_F(ProcessCountTest, LongNamesCompareInFull) {
  // Longer than the 15 characters the system keeps of a command name.
  Start(CopyOfSleep("vantrel-long-probe-name"));
  EXPECT_EQ(CountProcessesByName("vantrel-long-probe-name"), 1);
  EXPECT_EQ(CountProcessesByName("vantrel-long-pr"), 0);
}

TEST_F(ProcessCountTest, AProgramReplacedOnDiskStillCounts) {
  std::string program = CopyOfSleep("vantrel-updated");
  Start(program);
  fs::remove(program);
  EXPECT_EQ(CountProcessesByName("vantrel-updated"), 1);
}

}  // namespace
}  // namespace vantrel
