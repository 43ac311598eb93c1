#include "app/settings/external_programs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/scripted_ui.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using testing::ReadFile;
using testing::ScriptedUserInterface;
using testing::TempDir;
using testing::WriteFile;

namespace fs = std::filesystem;

const std::string kNotFound = ". Error The specified file was not found.";

// Also keeps the icons of the message boxes.
class IconRecordingUi : public ScriptedUserInterface {
 public:
  void MessageBox(const std::string& caption, const std::string& text, MessageIcon icon) override {
    icons.push_back(icon);
    ScriptedUserInterface::MessageBox(caption, text, icon);
  }
  std::vector<MessageIcon> icons;
};

class RunProgramTest : public ::testing::Test {
 protected:
  RunProgramTest() {
    p_.Hauptmenu.LogPath = dir_ / "vl_backup.log";
    p_.Sleep = [this](int ms) { sleeps_.push_back(ms); };
  }

  // A script that creates the file named by its first argument.
  std::string TouchScript() {
    std::string script = dir_ / "touch.sh";
    WriteFile(script, "#!/bin/sh\n: > \"$1\"\n");
    fs::permissions(script, fs::perms::owner_all);
    return script;
  }

  // The started program runs on its own: wait until it has done its work.
  static bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 1000 && !fs::exists(path); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(path);
  }

  static Edit Field(const std::string& text) { return Edit{{}, text}; }

  TempDir dir_;
  IconRecordingUi ui_;
  Program p_{ui_, ProgramOptions{dir_.Path(), nullptr}};
  std::vector<int> sleeps_;
};

TEST_F(RunProgramTest, StartsTheProgram) {
  std::string marker = dir_ / "ran";
  EXPECT_TRUE(RunProgram(p_, TouchScript() + " " + marker));
  EXPECT_TRUE(WaitForFile(marker));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(RunProgramTest, WarnsWithTheCommandLineAndTheReason) {
  WriteFile(dir_ / "plain.txt", "text");
  const std::pair<std::string, std::string> cases[] = {
      {"vantrel-no-such-program-4711 /x", "The specified file was not found."},
      {dir_ / "no-dir/prog", "The specified path was not found."},
      {dir_ / "plain.txt", "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
  };
  for (const auto& [line, reason] : cases) {
    ui_.messages.clear();
    ui_.icons.clear();
    EXPECT_FALSE(RunProgram(p_, line));
    EXPECT_EQ(ui_.messages, std::vector<std::string>{line + ". Error " + reason});
    EXPECT_EQ(ui_.icons, std::vector<MessageIcon>{MessageIcon::kWarning});
  }
}

TEST_F(RunProgramTest, RefusesCommandLinesLongerThan260Characters) {
  std::string script = TouchScript();
  std::string marker = dir_ / "m";
  std::string base = script + " " + marker + " ";
  ASSERT_LT(base.size(), 200u);
  std::string longest = base + std::string(260 - base.size(), 'x');
  EXPECT_TRUE(RunProgram(p_, longest));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(WaitForFile(marker));

  std::string tooLong = longest + "x";
  EXPECT_FALSE(RunProgram(p_, tooLong));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].rfind(tooLong + ". Error ", 0), 0u) << ui_.messages[0];
  EXPECT_NE(ui_.messages[0].find("260"), std::string::npos) << ui_.messages[0];

  // Characters count, not bytes: 200 letters of two bytes each are not too long.
  std::string umlauts;
  for (int i = 0; i < 200; ++i) umlauts += "\xC3\xA4";
  ui_.messages.clear();
  EXPECT_FALSE(RunProgram(p_, umlauts));
  EXPECT_EQ(ui_.messages, std::vector<std::string>{umlauts + kNotFound});
}

TEST_F(RunProgramTest, JobProgramWithAnEmptyFieldRunsNothing) {
  EXPECT_TRUE(RunJobProgram(p_, Field(""), Field("5")));
  EXPECT_TRUE(sleeps_.empty());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(ui_.protocol.empty());
}

TEST_F(RunProgramTest, JobProgramWaitsTheWholeSeconds) {
  const std::pair<std::string, int> cases[] = {
      {"0", 0}, {"5", 5000}, {" 12 ", 12000}, {"+3", 3000}, {"007", 7000}, {"2147483", 2147483000},
  };
  for (const auto& [wait, ms] : cases) {
    sleeps_.clear();
    EXPECT_TRUE(RunJobProgram(p_, Field("true"), Field(wait)));
    EXPECT_EQ(sleeps_, std::vector<int>{ms}) << wait;
  }
  EXPECT_TRUE(ui_.protocol.empty());
}

TEST_F(RunProgramTest, JobProgramTakesAnUnusableWaitAsNoWait) {
  for (std::string wait : {"abc", "-1", "2147484", "99999999999", "1.5", "", "5 s", "+"}) {
    sleeps_.clear();
    ui_.protocol.clear();
    EXPECT_TRUE(RunJobProgram(p_, Field("true"), Field(wait)));
    EXPECT_TRUE(sleeps_.empty()) << wait;
    ASSERT_EQ(ui_.protocol.size(), 1u) << wait;
    EXPECT_EQ(
        ui_.protocol[0],
        "Wait Time \"" + wait + "\" is not a whole number of seconds from 0 to 2147483; no wait.");
  }
  EXPECT_NE(ReadFile(p_.Hauptmenu.LogPath).find("Wait Time \"abc\""), std::string::npos);
}

TEST_F(RunProgramTest, JobProgramThatFailsToStartDoesNotWait) {
  std::string line = "vantrel-no-such-program-4711";
  EXPECT_FALSE(RunJobProgram(p_, Field(line), Field("5")));
  EXPECT_TRUE(sleeps_.empty());
  EXPECT_EQ(ui_.messages, std::vector<std::string>{line + kNotFound});
}

}  // namespace
}  // namespace vantrel
