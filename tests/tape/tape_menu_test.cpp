#include "app/tape/tape_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/core/protocol.h"
#include "app/core/startup.h"
#include "app/format/tape_description.h"
#include "app/tape/tape_info.h"
#include "platform/virtual_tape_drive.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using testing::ReadFile;
using testing::ScriptedUserInterface;
using testing::TempDir;

// A started program over a virtual drive in a temporary directory, optionally a copy of a
// reference tape.
class TapeMenuTest : public ::testing::Test {
 protected:
  void StartWith(const std::string& referenceDrive = "") {
    if (!referenceDrive.empty()) {
      std::filesystem::copy(std::string(VANTREL_REFERENCE_TAPES) + "/" + referenceDrive,
                            DrivePath(), std::filesystem::copy_options::recursive);
    }
    program_ = std::make_unique<Program>(
        ui, ProgramOptions{dir_.Path(), std::make_unique<VirtualTapeDrive>(DrivePath())});
    program_->Sleep = [](int) {};
    FormCreate(*program_);
    ui.messages.clear();
  }

  Program& p() { return *program_; }
  std::string DrivePath() const { return dir_ / "vtape"; }
  VirtualTapeDrive Drive() const { return VirtualTapeDrive(DrivePath()); }
  int64_t Position() {
    std::optional<int64_t> block = ReadCurrentTapePosition(p());
    EXPECT_TRUE(block.has_value());
    return block.value_or(-1);
  }
  int Count(const std::vector<std::string>& lines, const std::string& text) const {
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
  }
  // A small cartridge, loaded.
  void LoadSmallCartridge(int64_t capacity) {
    ASSERT_EQ(Drive().NewCartridge("small", capacity).code, tape_code::kSuccess);
    ASSERT_EQ(Drive().LoadCartridge("small").code, tape_code::kSuccess);
  }

  ScriptedUserInterface ui;
  TempDir dir_;

 private:
  std::unique_ptr<Program> program_;
};

TEST_F(TapeMenuTest, RewindThenPositionShowsBlockZero) {
  StartWith("plain");
  ASSERT_TRUE(Weiterspulen1Click(p()));
  EXPECT_EQ(ui.LastStatus(), "Tape at end of Data <Block: 10>");
  EXPECT_TRUE(ui.HasMessage("OK"));

  ASSERT_TRUE(apezurckspulen1Click(p()));
  EXPECT_EQ(ui.LastStatus(), "Tape : At First pos");
  ASSERT_TRUE(GetTapePosition1Click(p()));
  EXPECT_EQ(ui.messages.back(), "Tape at Block: 0");
}

TEST_F(TapeMenuTest, GotoShowsOkForTheTrailerOnly) {
  StartWith("plain");
  ui.inputAnswers = {"9"};
  ASSERT_TRUE(GotoBlock1Click(p()));
  EXPECT_EQ(ui.prompts.back(), "Move to");
  EXPECT_EQ(Count(ui.messages, "OK"), 1);
  EXPECT_EQ(ui.LastStatus(), "Tape at Block 9");
  EXPECT_EQ(Position(), 10);  // the block was read

  ui.messages.clear();
  ASSERT_TRUE(GotoBlock(p(), "0"));
  EXPECT_EQ(Count(ui.messages, "OK"), 0);
  EXPECT_EQ(Position(), 1);
}

TEST_F(TapeMenuTest, GotoBeyondTheDataReportsTheReadAndShowsNoStaleOk) {
  StartWith("plain");
  ASSERT_TRUE(GotoBlock(p(), "9"));  // leaves the trailer block in the buffer
  ui.messages.clear();
  EXPECT_FALSE(GotoBlock(p(), "500"));
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_EQ(Count(ui.messages, "OK"), 0);
}

TEST_F(TapeMenuTest, GotoRefusesWhatIsNoBlockNumberWithoutMovingTheTape) {
  StartWith("plain");
  ASSERT_TRUE(GotoBlock(p(), "3"));
  for (const char* text :
       {"", "  ", "abc", "-1", "+5", "12x", "1e3", "2147483648", "99999999999999999999"}) {
    SCOPED_TRACE(text);
    ui.messages.clear();
    ui.statusLines.clear();
    EXPECT_FALSE(GotoBlock(p(), text));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("is not a block number"), std::string::npos);
    EXPECT_TRUE(ui.statusLines.empty());
    // The drive was left closed: it opens, and the tape is where it was.
    EXPECT_EQ(Position(), 4);
  }
}

TEST_F(TapeMenuTest, GotoCancelledDoesNothing) {
  StartWith("plain");
  ui.inputAnswers = {std::nullopt};
  EXPECT_FALSE(GotoBlock1Click(p()));
  EXPECT_TRUE(ui.statusLines.empty());
}

TEST_F(TapeMenuTest, ParseBlockNumberTakesDecimalsUpToTheLimit) {
  EXPECT_EQ(ParseBlockNumber("0"), 0);
  EXPECT_EQ(ParseBlockNumber(" 42 "), 42);
  EXPECT_EQ(ParseBlockNumber("007"), 7);
  EXPECT_EQ(ParseBlockNumber("2147483647"), 2147483647);
  EXPECT_EQ(ParseBlockNumber("2147483648"), std::nullopt);
  EXPECT_EQ(ParseBlockNumber("0x10"), std::nullopt);
}

TEST_F(TapeMenuTest, FormatLeavesAnEmptyTapeDescription) {
  StartWith("plain");
  ASSERT_TRUE(test1Click(p()));
  EXPECT_EQ(ui.LastStatus(), "Tape Formated");
  EXPECT_EQ(p().Hauptmenu.tapeDescription.TapeLabel, "Empty Tape ");

  TapeDescription loaded = LoadTapeDescription(p());
  EXPECT_EQ(loaded.TapeLabel, "Empty Tape ");
  EXPECT_EQ(loaded.TapeNumber, 255);
  EXPECT_GT(loaded.SetDate, 1.0);
  // Only the description is left on the tape.
  ASSERT_TRUE(Weiterspulen1Click(p()));
  EXPECT_EQ(ui.LastStatus(), "Tape at end of Data <Block: 1>");
}

TEST_F(TapeMenuTest, FormatOfAWriteProtectedTapeShowsTapeError) {
  StartWith("plain");
  ASSERT_EQ(Drive().ProtectCartridge("tape1", true).code, tape_code::kSuccess);
  EXPECT_FALSE(test1Click(p()));
  EXPECT_EQ(ui.LastStatus(), "Tape Error");
  EXPECT_EQ(LoadTapeDescription(p()).TapeLabel, "Tape");
}

TEST_F(TapeMenuTest, DeleteErasesFromTheCurrentPosition) {
  StartWith("plain");
  ASSERT_TRUE(GotoBlock(p(), "2"));  // leaves the tape at block 3
  ASSERT_TRUE(apelschen1Click(p()));
  EXPECT_EQ(ui.LastStatus(), "Erase Ok");
  ASSERT_TRUE(Weiterspulen1Click(p()));
  EXPECT_EQ(ui.LastStatus(), "Tape at end of Data <Block: 3>");
}

TEST_F(TapeMenuTest, LoadTapeNeedsACartridgeInTheDrive) {
  StartWith();
  ASSERT_EQ(Drive().UnloadCartridge().code, tape_code::kSuccess);
  EXPECT_FALSE(apeladen1Click(p()));
  EXPECT_EQ(ui.messages.back(), "There is no media in the drive.");
  EXPECT_FALSE(ui.HasMessage("No Tape Drive!"));

  ASSERT_EQ(Drive().LoadCartridge("tape1").code, tape_code::kSuccess);
  EXPECT_TRUE(apeladen1Click(p()));
  EXPECT_EQ(ui.messages.back(), "OK");
  EXPECT_EQ(ui.LastStatus(), "Tape loaded");
}

TEST_F(TapeMenuTest, CommandsReportADriveInUse) {
  StartWith();
  TapeOpenResult held = VirtualTapeDrive(DrivePath()).Open();
  ASSERT_TRUE(held.device);
  EXPECT_FALSE(GetTapePosition1Click(p()));
  EXPECT_FALSE(apeladen1Click(p()));
  EXPECT_EQ(Count(ui.messages, "No Tape Drive!"), 2);
  EXPECT_EQ(ui.LastStatus(), "Tape drive in use: " + DrivePath());
}

TEST_F(TapeMenuTest, InitWithZeroRunsToTheEndOfMedia) {
  StartWith();
  LoadSmallCartridge(100 * 32768);
  int64_t blocks = InitTapewith01Click(p());
  EXPECT_EQ(blocks, 100);
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_EQ(ui.statusLines[ui.statusLines.size() - 1], "Tape at Block Nr. 100-> 3 MB");
  EXPECT_TRUE(ui.HasMessage(SystemMessageText(SystemError::Windows(tape_code::kEndOfMedia))));
  std::string log = ReadFile(p().Hauptmenu.LogPath);
  EXPECT_NE(log.find("Error: "), std::string::npos);
  // The job controls are free again; block 0 was overwritten too.
  EXPECT_TRUE(p().Hauptmenu.backupPage.BitBtn1.Enabled);
  std::string data = ReadFile(DrivePath() + "/small.tape/data");
  EXPECT_EQ(data.size(), 100u * 32768u);
  EXPECT_EQ(data.find_first_not_of('\0'), std::string::npos);
}

TEST_F(TapeMenuTest, InitWithZeroShowsProgressAndStopsOnCancel) {
  StartWith();
  LoadSmallCartridge(10000 * 512);
  p().BlockSize = 512;
  ui.onPump = [&] { return ui.LastStatus() == "Tape at Block Nr. 3000 -> 1 MB"; };
  EXPECT_EQ(InitTapewith01Click(p()), 3000);
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_EQ(p().Hauptmenu.backupPage.LEDDisplay1.Value, 1);
  EXPECT_TRUE(
      ui.HasMessage(SystemMessageText(SystemError::Message("Init Tape with 0 was cancelled."))));
}

TEST_F(TapeMenuTest, TapeInfoWithoutATapeShowsOffAndZero) {
  StartWith();
  ASSERT_EQ(Drive().UnloadCartridge().code, tape_code::kSuccess);
  TTape_Info window;
  apeInfo1Click(p(), window);
  EXPECT_TRUE(window.Visible);
  for (size_t i = 0; i < window.Labels.size(); ++i) {
    SCOPED_TRACE(TTape_Info::kCaptions[i]);
    bool flag = i < 4 || i == 15;
    EXPECT_EQ(window.Labels[i], flag ? "Off" : "0");
  }
}

}  // namespace
}  // namespace vantrel
