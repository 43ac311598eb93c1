#include "cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/tape/tape_info.h"
#include "cli/exit_status.h"
#include "common/instance_lock.h"
#include "platform/date_time.h"
#include "tests/support/temp_dir.h"

namespace vantrel::cli {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs vantrel-cli in-process with --home in a temporary directory.
class CliTest : public ::testing::Test {
 protected:
  CliResult Run(std::vector<std::string> args, const std::string& answers = "") {
    std::ostringstream out, err;
    std::istringstream in(answers);
    Invocation invocation;
    invocation.args = {"--home", home_};
    invocation.args.insert(invocation.args.end(), args.begin(), args.end());
    invocation.executableDir = dir_.Path();
    invocation.out = &out;
    invocation.err = &err;
    invocation.answers = &in;
    invocation.cancelRequested = [this] { return cancel_; };
    invocation.sleep = [](int) {};
    int status = vantrel::cli::Run(invocation);
    return {status, out.str(), err.str()};
  }
  // The drive of the program directory holds a copy of a reference tape.
  void UseReferenceTape(const std::string& name) {
    fs::create_directories(home_);
    fs::copy(std::string(VANTREL_REFERENCE_TAPES) + "/" + name, home_ + "/vtape",
             fs::copy_options::recursive);
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  TempDir dir_;
  std::string home_ = dir_ / "home";
  bool cancel_ = false;
};

TEST_F(CliTest, UsageErrorsExplainThemselvesInOneLine) {
  const std::vector<std::vector<std::string>> cases = {{},
                                                       {"frobnicate"},
                                                       {"--bogus", "tape", "info"},
                                                       {"tape"},
                                                       {"tape", "foo"},
                                                       {"tape", "info", "extra"},
                                                       {"tape", "goto"},
                                                       {"tape", "goto", "x"},
                                                       {"tape", "goto", "2147483648"},
                                                       {"catalog", "--fast"},
                                                       {"vtape", "new", "t", "--capacity", "0"},
                                                       {"vtape", "protect", "tape1", "maybe"},
                                                       {"restore", "/", "--overwrite", "sometimes"},
                                                       {"--tape"}};
  for (const auto& args : cases) {
    CliResult r = Run(args);
    std::string shown = args.empty() ? "(none)" : args[0] + (args.size() > 1 ? " " + args[1] : "");
    EXPECT_EQ(r.status, kExitUsage) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(Lines(r.err).size(), 1u) << shown << ": " << r.err;
    EXPECT_EQ(r.err.rfind("vantrel-cli: ", 0), 0u) << shown;
  }
  // Nothing was started for a refused command line.
  EXPECT_FALSE(fs::exists(home_ + "/vl_backup.log"));
}

TEST_F(CliTest, HelpPrintsTheUsage) {
  CliResult r = Run({"--help"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_NE(r.out.find("Usage: vantrel-cli [--home DIR] [--tape DEVICE] [--yes] COMMAND"),
            std::string::npos);
  EXPECT_NE(r.out.find("vtape protect NAME on|off"), std::string::npos);
}

TEST_F(CliTest, TapeInfoPrintsTheSixteenValuesAndTheDevice) {
  CliResult r = Run({"tape", "info"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 17u);
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(lines[i].rfind(std::string(TTape_Info::kCaptions[i]) + "=", 0), 0u) << lines[i];
  }
  EXPECT_EQ(lines[11], "Capacity=1073741824");
  EXPECT_EQ(lines[16], "Device=" + home_ + "/vtape");

  ASSERT_EQ(Run({"vtape", "unload"}).status, kExitOk);
  CliResult empty = Run({"tape", "info"});
  EXPECT_EQ(empty.status, kExitFailed);
  EXPECT_NE(empty.out.find("Capacity=0\n"), std::string::npos);
  EXPECT_NE(empty.err.find("No Tape Drive!"), std::string::npos);
}

TEST_F(CliTest, TapeCommandsDoNotMoveTheTapeBeyondTheirOwnWork) {
  UseReferenceTape("plain");
  ASSERT_EQ(Run({"tape", "goto", "3"}).status, kExitOk);
  CliResult position = Run({"tape", "position"});
  EXPECT_EQ(position.out, "Tape at Block: 4\n");
  CliResult eod = Run({"tape", "eod"});
  EXPECT_EQ(eod.status, kExitOk);
  EXPECT_EQ(Run({"tape", "position"}).out, "Tape at Block: 10\n");
}

TEST_F(CliTest, EjectNamesTheTapeByItsDescription) {
  UseReferenceTape("plain");
  CliResult r = Run({"tape", "eject"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(89, '-'));
  EXPECT_EQ(lines[1].rfind("Tape 1 at ", 0), 0u);
  EXPECT_EQ(lines[1].substr(lines[1].size() - 10), " ejected !");
}

TEST_F(CliTest, ErrorReportsReachStandardOutputLineByLine) {
  CliResult r = Run({"tape", "goto", "500"});  // beyond the data of a blank tape
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[3].find("Error: "), 0u);
  EXPECT_NE(lines[3].find(" : No more data is on the tape."), std::string::npos);
  EXPECT_EQ(lines[4], "");
  EXPECT_NE(ReadFile(home_ + "/vl_backup.log").find("No more data is on the tape.\r\n"),
            std::string::npos);
}

TEST_F(CliTest, TapeDescriptionShowsTheSetInTheDrive) {
  UseReferenceTape("plain");
  CliResult r = Run({"tape", "description"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::string date = DateTimeToText(40523.8958333333);
  EXPECT_EQ(r.out, "Label=Tape\nNumber=1\nSetDate=" + date +
                       "\nCaption=Vantrel <Tape 1 from: " + date + ">\n");
}

TEST_F(CliTest, CatalogListsTheFilesAndCleansTheWorkDirectory) {
  UseReferenceTape("plain");
  CliResult fast = Run({"catalog"});
  ASSERT_EQ(fast.status, kExitOk) << fast.err;
  std::vector<std::string> lines = Lines(fast.out);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "/data/docs/a.txt\t" + DateTimeToText(40500.5));
  EXPECT_FALSE(fs::exists(home_ + "/worker/vantrel catalog.dat"));

  CliResult sequential = Run({"catalog", "--sequential"});
  ASSERT_EQ(sequential.status, kExitOk) << sequential.err;
  EXPECT_EQ(Lines(sequential.out).size(), 8u);  // with the catalog file's own record
}

TEST_F(CliTest, CatalogOfABlankTapeListsNothingAndFails) {
  CliResult r = Run({"catalog"});  // the request for another tape meets the end of input
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("no catalog could be read"), std::string::npos);
}

TEST_F(CliTest, CtrlCCancelsTheJob) {
  UseReferenceTape("plain");
  cancel_ = true;
  CliResult r = Run({"catalog", "--sequential"});
  EXPECT_EQ(r.status, kExitCancelled);
}

TEST_F(CliTest, VirtualDriveAdministration) {
  EXPECT_EQ(Run({"vtape", "new", "small", "--capacity", "1M"}).status, kExitOk);
  EXPECT_EQ(Run({"vtape", "load", "small"}).status, kExitOk);
  EXPECT_EQ(Run({"vtape", "protect", "small", "on"}).status, kExitOk);
  CliResult list = Run({"vtape", "list"});
  EXPECT_EQ(list.out, "small\t1048576\t0\t0\tloaded,write-protected\ntape1\t1073741824\t0\t0\t-\n");

  CliResult again = Run({"vtape", "new", "small"});
  EXPECT_EQ(again.status, kExitFailed);
  EXPECT_EQ(Lines(again.err).size(), 1u);
  CliResult missing = Run({"vtape", "load", "nothing"});
  EXPECT_EQ(missing.status, kExitFailed);

  CliResult real = Run({"--tape", "/dev/null", "vtape", "list"});
  EXPECT_EQ(real.status, kExitFailed);
  EXPECT_NE(real.err.find("/dev/null is a tape device"), std::string::npos);
}

TEST_F(CliTest, ASecondProgramInTheSameDirectoryIsRefused) {
  fs::create_directories(home_);
  std::unique_ptr<InstanceLock> running = AcquireInstanceLock(home_);
  ASSERT_TRUE(running);
  CliResult r = Run({"tape", "info"});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.err, "Vantrel is already running !!!!!\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, AnUnwritableProtocolEndsTheCommandWithItsText) {
  fs::create_directories(home_ + "/vl_backup.log");
  CliResult r = Run({"tape", "eject"});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("vantrel-cli: " + home_ + "/vl_backup.log: Is a directory"),
            std::string::npos);
}

}  // namespace
}  // namespace vantrel::cli
