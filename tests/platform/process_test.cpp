#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

namespace fs = std::filesystem;

void WriteExecutable(const std::string& path, const std::string& text) {
  WriteFile(path, text);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// The started program runs on its own: wait for the file it writes last.
std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 1000 && !fs::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ReadFile(path);
}

// Children of this process that ended and were never waited for.
int ZombieChildren() {
  int zombies = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string stat = ReadFile(entry.path().string() + "/stat");
    size_t end = stat.rfind(')');
    if (end == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(stat.c_str() + end + 1, " %c %d", &state, &parent) != 2) continue;
    if (parent == getpid() && state == 'Z') ++zombies;
  }
  return zombies;
}

TEST(StartProgramSplit, SplitsLikeAWindowsCommandLine) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"prog a b", {"prog", "a", "b"}},
      {"  prog \t a   ", {"prog", "a"}},
      {"\"my prog\" \"two words\" x", {"my prog", "two words", "x"}},
      {"prog a\"b c\"d", {"prog", "ab cd"}},
      {"prog \"\" x", {"prog", "", "x"}},
      {"prog c:\\dir\\ \"d:\\a b\\\"", {"prog", "c:\\dir\\", "d:\\a b\\"}},
      {"prog \"open to the end", {"prog", "open to the end"}},
      {"", {}},
      {"   ", {}},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(SplitCommandLine(line), expected) << line;
}

class StartProgramTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(StartProgramTest, StartsAScriptWithItsArguments) {
  std::string script = dir_ / "bin dir/report.sh";
  std::string marker = dir_ / "marker.txt";
  WriteExecutable(script,
                  "#!/bin/sh\n"
                  "out=\"$1\"; shift\n"
                  "{ echo \"$#\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"
                  "  readlink /proc/$$/fd/0; echo \"$PPID\"; } > \"$out.tmp\"\n"
                  "mv \"$out.tmp\" \"$out\"\n");
  StartResult result =
      StartProgram("\"" + script + "\" " + marker + " \"two words\" a\\b \"\" last");
  ASSERT_TRUE(result.started) << result.code;

  std::string expected = "4\n[two words]\n[a\\b]\n[]\n[last]\n/dev/null\n";
  std::string report = WaitForFile(marker);
  ASSERT_EQ(report.substr(0, expected.size()), expected);
  EXPECT_NE(std::stoi(report.substr(expected.size())), getpid());
  EXPECT_EQ(ZombieChildren(), 0);
}

TEST_F(StartProgramTest, FindsProgramsInThePath) {
  std::string marker = dir_ / "touched";
  StartResult result = StartProgram("touch " + marker);
  ASSERT_TRUE(result.started) << result.code;
  WaitForFile(marker);
  EXPECT_TRUE(fs::exists(marker));
}

TEST_F(StartProgramTest, ReportsWhyAProgramDidNotStart) {
  WriteFile(dir_ / "plain.txt", "echo not executable\n");
  WriteExecutable(dir_ / "garbage", std::string("\x01\x02\x03 no format\n"));
  WriteExecutable(dir_ / "no-interpreter.sh", "#!/nonexistent/shell\necho\n");
  const std::pair<std::string, int> cases[] = {
      {"vantrel-no-such-program-4711 arg", kStartFileNotFound},
      {dir_ / "missing", kStartFileNotFound},
      {"", kStartFileNotFound},
      {dir_ / "no-dir/prog", kStartPathNotFound},
      {dir_ / "plain.txt/prog", kStartPathNotFound},
      {dir_ / "plain.txt", kStartInvalidProgram},
      {dir_ / "garbage", kStartInvalidProgram},
      {dir_ / "no-interpreter.sh", kStartInvalidProgram},
      {dir_ / "", kStartInvalidProgram},  // a directory
  };
  for (const auto& [line, code] : cases) {
    StartResult result = StartProgram(line);
    EXPECT_FALSE(result.started) << line;
    EXPECT_EQ(result.code, code) << line;
  }
}

// Sets PATH for one test and puts the old value back.
class ScopedPath {
 public:
  explicit ScopedPath(const std::string& value) : old_(std::getenv("PATH")) {
    setenv("PATH", value.c_str(), 1);
  }
  ~ScopedPath() { old_ ? setenv("PATH", old_->c_str(), 1) : unsetenv("PATH"); }

 private:
  std::optional<std::string> old_;
};

TEST_F(StartProgramTest, PathLookupGoesOnPastUnusableEntries) {
  WriteFile(dir_ / "a/tool", "not executable\n");
  std::string marker = dir_ / "ran";
  WriteExecutable(dir_ / "b/tool", "#!/bin/sh\n: > \"$1\"\n");
  WriteFile(dir_ / "file", "");
  const std::string a = dir_ / "a", b = dir_ / "b", file = dir_ / "file";
  {
    ScopedPath path(file + ":" + dir_ / "missing" + ":" + a + ":" + b);
    StartResult result = StartProgram("tool " + marker);
    ASSERT_TRUE(result.started) << result.code;
    EXPECT_EQ(WaitForFile(marker), "");
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(StartProgram("no-such-tool").code, kStartFileNotFound);
  }
  ScopedPath path(file + ":" + a);
  EXPECT_EQ(StartProgram("tool").code, kStartInvalidProgram);
}

}  // namespace
}  // namespace vantrel
