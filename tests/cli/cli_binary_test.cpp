// The real vantrel-cli binary, run as a script would run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/virtual_tape_drive.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

struct BinaryResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs vantrel-cli without a terminal and with standard input at its end.
class CliBinaryTest : public ::testing::Test {
 protected:
  BinaryResult Run(const std::string& home, std::vector<std::string> args) {
    args.insert(args.begin(), {VANTREL_CLI_PATH, "--home", home});
    std::string outPath = dir_ / "stdout", errPath = dir_ / "stderr";
    pid_t pid = fork();
    if (pid == 0) {
      setsid();  // no controlling terminal: nobody to ask
      unsetenv("VANTREL_HOME");
      unsetenv("VANTREL_TAPE");
      dup2(open("/dev/null", O_RDONLY), 0);
      dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, ReadFile(outPath), ReadFile(errPath)};
  }

  TempDir dir_;
  std::string home_ = dir_ / "home";
};

TEST_F(CliBinaryTest, LoadRewindPositionAndEject) {
  ASSERT_EQ(Run(home_, {"vtape", "new", "set1"}).status, 0);
  ASSERT_EQ(Run(home_, {"vtape", "load", "set1"}).status, 0);
  BinaryResult load = Run(home_, {"tape", "load"});
  EXPECT_EQ(load.status, 0) << load.err;
  EXPECT_EQ(Run(home_, {"tape", "rewind"}).status, 0);
  BinaryResult position = Run(home_, {"tape", "position"});
  EXPECT_EQ(position.status, 0);
  EXPECT_EQ(position.out, "Tape at Block: 0\n");

  BinaryResult eject = Run(home_, {"tape", "eject"});
  EXPECT_EQ(eject.status, 0) << eject.err;
  std::string separator(89, '-');
  std::string log = ReadFile(home_ + "/vl_backup.log");
  size_t at = log.find(separator + "\r\nTape 255 at ");
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_NE(log.find(" ejected !\r\n", at), std::string::npos);
  EXPECT_EQ(eject.out.find(separator + "\nTape 255 at "), 0u) << eject.out;

  BinaryResult again = Run(home_, {"tape", "eject"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, separator + "\nTape not ejected !\n");
  EXPECT_NE(ReadFile(home_ + "/vl_backup.log").find("Tape not ejected !\r\n"), std::string::npos);
}

TEST_F(CliBinaryTest, UsageErrorExitsWithTwo) {
  BinaryResult r = Run(home_, {"tape", "spin"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "vantrel-cli: unknown command 'tape spin' (see vantrel-cli --help)\n");
}

TEST_F(CliBinaryTest, ADriveHeldOpenIsReportedInUse) {
  std::string drive = dir_ / "shared-drive";
  TapeOpenResult held = VirtualTapeDrive(drive).Open();
  ASSERT_TRUE(held.device);
  BinaryResult r = Run(dir_ / "other-home", {"--tape", drive, "tape", "position"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Tape drive in use: " + drive), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("No Tape Drive!"), std::string::npos);
  // The drive is as it was: one blank cartridge, loaded, nothing written.
  held.device.reset();
  VirtualCartridgeList list = VirtualTapeDrive(drive).ListCartridges();
  ASSERT_EQ(list.cartridges.size(), 1u);
  EXPECT_TRUE(list.cartridges[0].loaded);
  EXPECT_EQ(list.cartridges[0].endOfData, 0);
}

}  // namespace
}  // namespace vantrel
