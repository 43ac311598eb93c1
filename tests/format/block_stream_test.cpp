#include "app/format/block_stream.h"

#include <gtest/gtest.h>

#include <random>

#include "app/core/protocol.h"
#include "app/format/tape_description.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "tests/support/program_fixture.h"

namespace vantrel {
namespace {

using testing::ProgramFixture;
using testing::ReadFile;

// A capacity that leaves 8 stream blocks' worth below the reserve: TapeBlockLimit 8.
constexpr int64_t kSmallCapacity = 648LL * 32768;

class BlockStream : public ::testing::Test {
 protected:
  void SetUp() override {
    VirtualTapeDrive drive = fixture_.Drive();
    ASSERT_EQ(drive.NewCartridge("set1", kSmallCapacity).code, 0u);
    ASSERT_EQ(drive.NewCartridge("set2", kSmallCapacity).code, 0u);
    ASSERT_EQ(drive.LoadCartridge("set1").code, 0u);
    ASSERT_EQ(drive.SetAutoload(true).code, 0u);
    ReadDriveParameters(p());
    ASSERT_EQ(p().TapeBlockLimit, 8);
    p().Hauptmenu.optionsPage.CheckBox12.Checked = true;
  }
  Program& p() { return fixture_.p(); }

  // Starts a new set on the loaded tape and opens the stream at block 1.
  TapeHandle StartWriting() {
    TapeDescription& d = p().Hauptmenu.tapeDescription;
    d.TapeLabel = "Tape";
    d.TapeNumber = 1;
    d.SetDate = 40523.5;
    EXPECT_TRUE(WriteTapeDescription(p(), d));
    MoveTapeToBlock(p(), "1");
    p().StreamPosition = {0, 0, 1};
    p().StreamFailed = false;
    return OpenTape(p());
  }

  TapeHandle StartReading() {
    fixture_.Drive().LoadCartridge("set1");
    GetTapeDescription1Click(p());
    EXPECT_TRUE(RewindTape(p()));
    MoveTapeToBlock(p(), "1");
    TapeHandle handle = OpenTape(p());
    EXPECT_TRUE(StartStreamRead(p(), handle));
    return handle;
  }

  ProgramFixture fixture_;
};

TEST_F(BlockStream, WriteFillsTheBlockAndCarriesTheRest) {
  TapeHandle handle = StartWriting();
  std::vector<uint8_t> data(32700, 'a');
  StreamWrite(p(), handle, data.data(), data.size());
  EXPECT_EQ(p().StreamPosition.BlockOffset, 32700u);
  std::vector<uint8_t> header(296, 'h');
  StreamWrite(p(), handle, header.data(), header.size());
  EXPECT_EQ(p().StreamPosition.BlockOffset, 228u);
  EXPECT_EQ(p().StreamPosition.BlockNumber, 2);
  EXPECT_EQ(handle->GetPosition(TapePositionType::kAbsolute).block, 2);

  // Exactly the free space: the block stays in the buffer until the next byte.
  std::vector<uint8_t> rest(32768 - 228, 'r');
  StreamWrite(p(), handle, rest.data(), rest.size());
  EXPECT_EQ(p().StreamPosition.BlockOffset, 32768u);
  EXPECT_EQ(handle->GetPosition(TapePositionType::kAbsolute).block, 2);
  uint8_t one = 'x';
  StreamWrite(p(), handle, &one, 1);
  EXPECT_EQ(handle->GetPosition(TapePositionType::kAbsolute).block, 3);
  EXPECT_EQ(p().StreamPosition.BlockOffset, 1u);
}

TEST_F(BlockStream, ContinuesOverATapeChangeAndReadsBackIdentically) {
  std::mt19937 random(7);
  std::vector<std::vector<uint8_t>> chunks;
  TapeHandle handle = StartWriting();
  // Fill up to 68 bytes before the end of the last block of tape 1, then a 296-byte header that
  // is split across the two tapes.
  int64_t before = 6LL * 32768 + (32768 - 68);
  while (before > 0) {
    size_t length = std::min<int64_t>(before, 1 + random() % 32768);
    chunks.emplace_back(length);
    for (auto& b : chunks.back()) b = static_cast<uint8_t>(random());
    before -= static_cast<int64_t>(length);
  }
  chunks.emplace_back(296, 0x5A);
  for (int i = 0; i < 5; ++i) {
    chunks.emplace_back(1 + random() % 32768);
    for (auto& b : chunks.back()) b = static_cast<uint8_t>(random());
  }
  for (const auto& chunk : chunks) StreamWrite(p(), handle, chunk.data(), chunk.size());
  FlushStreamBlock(p(), handle);
  CloseTape(p(), handle, 1);
  ASSERT_FALSE(p().AbortFlag);
  ASSERT_EQ(fixture_.ui.prompts.size(), 1u);
  EXPECT_EQ(fixture_.ui.prompts[0], "Tape full! Please insert Tape 2 and press then ok!");

  // Tape 1 ends with the end marker in block 8; tape 2 carries number 2 of the same set.
  std::string tape1 = ReadFile(fixture_.DrivePath() + "/set1.tape/data");
  ASSERT_EQ(tape1.size(), 9u * 32768);
  EXPECT_EQ(tape1.substr(8 * 32768, 19), std::string("\x06XENDEX", 7) + std::string(12, '\0'));
  std::string tape2 = ReadFile(fixture_.DrivePath() + "/set2.tape/data");
  TapeDescription second =
      DecodeTapeDescription(std::span(reinterpret_cast<const uint8_t*>(tape2.data()), 296));
  EXPECT_EQ(second.TapeNumber, 2);
  EXPECT_EQ(second.SetDate, 40523.5);

  fixture_.ui.prompts.clear();
  TapeHandle reader = StartReading();
  for (const auto& chunk : chunks) {
    std::vector<uint8_t> back(chunk.size());
    ASSERT_TRUE(StreamRead(p(), reader, back.data(), back.size()));
    ASSERT_EQ(back, chunk);
  }
  CloseTape(p(), reader, 1);
  ASSERT_EQ(fixture_.ui.prompts.size(), 1u);
  EXPECT_EQ(fixture_.ui.prompts[0], "Tape at end! Please insert Tape 2 and press then ok!");
  EXPECT_FALSE(p().AbortFlag);
}

TEST_F(BlockStream, WithoutMoreTapesTheLimitChangesNothing) {
  p().Hauptmenu.optionsPage.CheckBox12.Checked = false;
  TapeHandle handle = StartWriting();
  std::vector<uint8_t> block(32768, 1);
  for (int i = 0; i < 10; ++i) StreamWrite(p(), handle, block.data(), block.size());
  uint8_t one = 2;
  StreamWrite(p(), handle, &one, 1);
  EXPECT_TRUE(fixture_.ui.prompts.empty());
  EXPECT_EQ(handle->GetPosition(TapePositionType::kAbsolute).block, 11);
}

TEST_F(BlockStream, ReadingOnAWrongTapeAsksAgainAndStopsOnCancel) {
  TapeHandle handle = StartWriting();
  std::vector<uint8_t> block(32768, 3);
  for (int i = 0; i < 8; ++i) StreamWrite(p(), handle, block.data(), block.size());
  CloseTape(p(), handle, 1);
  ASSERT_EQ(fixture_.ui.prompts.size(), 1u);

  // Turn set2 into tape 3 of the set: the reader must refuse it.
  VirtualTapeDrive drive = fixture_.Drive();
  drive.LoadCartridge("set2");
  TapeDescription wrong = p().Hauptmenu.tapeDescription;
  wrong.TapeNumber = 3;
  WriteTapeDescription(p(), wrong);
  drive.SetAutoload(false);

  fixture_.ui.prompts.clear();
  int asked = 0;
  fixture_.ui.onPrompt = [&](const std::string&) {
    if (++asked == 1) fixture_.Drive().LoadCartridge("set2");
  };
  fixture_.ui.okCancelAnswers = {true, false};
  TapeHandle reader = StartReading();
  fixture_.ui.prompts.clear();
  std::vector<uint8_t> back(32768);
  bool ok = true;
  for (int i = 0; i < 8 && ok; ++i) ok = StreamRead(p(), reader, back.data(), back.size());
  EXPECT_FALSE(ok);
  EXPECT_EQ(fixture_.ui.prompts.size(), 2u);
  EXPECT_TRUE(p().AbortFlag);
}

TEST_F(BlockStream, WriteErrorEndsTheStreamWithoutAGap) {
  IniFile ini = *IniFile::Load(fixture_.CartridgeIni("set1"));
  ini.Set("Faults", "WriteErrorAtBlock", "3");
  ASSERT_EQ(ini.Save(fixture_.CartridgeIni("set1")), 0);
  TapeHandle handle = StartWriting();
  std::vector<uint8_t> block(32768, 4);
  for (int i = 0; i < 5; ++i) StreamWrite(p(), handle, block.data(), block.size());
  CloseTape(p(), handle, 1);
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_TRUE(p().StreamFailed);
  // Blocks 1 and 2 reached the tape; nothing was written behind the failed block.
  EXPECT_EQ(ReadFile(fixture_.DrivePath() + "/set1.tape/data").size(), 3u * 32768);
  EXPECT_TRUE(fixture_.ui.HasProtocolLine(ProtocolSeparator()));
}

TEST_F(BlockStream, ReadErrorIsReportedAndNotHandedOn) {
  TapeHandle handle = StartWriting();
  std::vector<uint8_t> block(32768, 5);
  for (int i = 0; i < 4; ++i) StreamWrite(p(), handle, block.data(), block.size());
  FlushStreamBlock(p(), handle);
  CloseTape(p(), handle, 1);
  IniFile ini = *IniFile::Load(fixture_.CartridgeIni("set1"));
  ini.Set("Faults", "ReadErrorAtBlock", "3");
  ASSERT_EQ(ini.Save(fixture_.CartridgeIni("set1")), 0);

  TapeHandle reader = StartReading();
  std::vector<uint8_t> back(32768, 0);
  EXPECT_TRUE(StreamRead(p(), reader, back.data(), back.size()));  // block 1
  EXPECT_TRUE(StreamRead(p(), reader, back.data(), back.size()));  // block 2
  std::vector<uint8_t> after(32768, 0xEE);
  EXPECT_FALSE(StreamRead(p(), reader, after.data(), 100));
  EXPECT_TRUE(p().AbortFlag);
  // The failed block's stale buffer never reaches the caller.
  EXPECT_EQ(after[0], 0xEE);
  bool reported = false;
  for (const auto& line : fixture_.ui.protocol)
    reported |= line.find("Data error (cyclic redundancy check).") != std::string::npos;
  EXPECT_TRUE(reported);
}

TEST_F(BlockStream, SetOfMoreThan254TapesIsRefused) {
  TapeHandle handle = StartWriting();
  p().Hauptmenu.tapeDescription.TapeNumber = 254;
  std::vector<uint8_t> block(32768, 6);
  for (int i = 0; i < 8; ++i) StreamWrite(p(), handle, block.data(), block.size());
  CloseTape(p(), handle, 1);
  EXPECT_TRUE(p().StreamFailed);
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_TRUE(fixture_.ui.prompts.empty());
}

TEST_F(BlockStream, MoveTapeToBlockRefusesANonNumber) {
  EXPECT_THROW(MoveTapeToBlock(p(), "x1"), std::invalid_argument);
  EXPECT_THROW(MoveTapeToBlock(p(), "-1"), std::invalid_argument);
  EXPECT_NO_THROW(MoveTapeToBlock(p(), "0"));
}

}  // namespace
}  // namespace vantrel
