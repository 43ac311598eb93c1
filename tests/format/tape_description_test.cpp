#include "app/format/tape_description.h"

#include <gtest/gtest.h>

#include "app/format/file_records.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"
#include "platform/ini_file.h"
#include "tests/support/program_fixture.h"

namespace vantrel {
namespace {

using testing::ProgramFixture;
using testing::ReadFile;

TapeDescription Description(const std::string& label, int number, double date) {
  TapeDescription d;
  d.TapeLabel = label;
  d.TapeNumber = static_cast<uint8_t>(number);
  d.SetDate = date;
  return d;
}

TEST(TapeDescriptionCaption, Forms) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  double date = 40523.8958333333;
  std::string text = DateTimeToText(date);
  struct Case {
    TapeDescription d;
    std::string caption;
    bool valid;
  } cases[] = {
      {Description("Tape", 2, date), "Vantrel <Tape 2 from: " + text + ">", true},
      {Description("Tape", 255, date), "Vantrel <Tapefrom: " + text + ">", true},
      {Description("Tape", 1, 0.5), "Vantrel", false},
      {Description("Tape", 1, 0), "Vantrel", false},
      {Description("Tape", 1, 1e300), "Vantrel", false},
  };
  for (const Case& c : cases) {
    p.Hauptmenu.DescriptionValid = false;
    EXPECT_EQ(ShowDescriptionInCaption(p, c.d), c.caption);
    EXPECT_EQ(p.Hauptmenu.DescriptionValid, c.valid) << c.caption;
  }
}

TEST(TapeDescriptionLoad, ClassifiesBlockZero) {
  struct Case {
    std::string label;
    std::string status;
    bool valid;
  } cases[] = {
      {"Tape", "Tape Description successful loaded!", true},
      {"MyDiskImage", "Tape Description successful loaded!", true},
      {"Something", "Tape Description is not valid! Please try \"Load Tape Descripton\" or "
                    "\"Format Tape\"", false},
  };
  for (const Case& c : cases) {
    ProgramFixture fixture;
    Program& p = fixture.p();
    ASSERT_TRUE(WriteTapeDescription(p, Description(c.label, 3, 40000.5)));
    TapeDescription loaded = LoadTapeDescription(p);
    EXPECT_EQ(fixture.ui.LastStatus(), c.status) << c.label;
    EXPECT_EQ(loaded.TapeNumber, c.valid ? 3 : 255) << c.label;
    EXPECT_EQ(loaded.SetDate, c.valid ? 40000.5 : 0) << c.label;
    EXPECT_EQ(p.Hauptmenu.DescriptionValid, c.valid) << c.label;
  }
}

TEST(TapeDescriptionLoad, UnreadableBlockZeroNamesNoSet) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  ASSERT_TRUE(WriteTapeDescription(p, Description("Tape", 1, 40000.5)));
  LoadTapeDescription(p);  // the buffer now holds a valid description
  IniFile ini = *IniFile::Load(fixture.CartridgeIni());
  ini.Set("Faults", "ReadErrorAtBlock", "0");
  ASSERT_EQ(ini.Save(fixture.CartridgeIni()), 0);
  TapeDescription loaded = LoadTapeDescription(p);
  EXPECT_EQ(loaded.TapeNumber, 255);
  EXPECT_EQ(loaded.SetDate, 0);
  EXPECT_EQ(p.Hauptmenu.Caption, "Vantrel");

  // A blank tape reads nothing either.
  ProgramFixture blank;
  EXPECT_EQ(LoadTapeDescription(blank.p()).TapeNumber, 255);
  EXPECT_FALSE(blank.p().Hauptmenu.DescriptionValid);
}

TEST(TapeDescriptionWrite, BlockZeroHoldsTheRecordAndZeros) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  p.ControlBlockBuffer.fill(0xAB);
  ASSERT_TRUE(WriteTapeDescription(p, Description("Tape", 1, 40000.5)));
  std::string block = ReadFile(fixture.DrivePath() + "/tape1.tape/data");
  ASSERT_EQ(block.size(), 32768u);
  EXPECT_EQ(block.substr(8, 6), std::string("\x01\x04Tape", 6));
  EXPECT_EQ(block.substr(296), std::string(32768 - 296, '\0'));
  EXPECT_EQ(p.Hauptmenu.Caption, "Vantrel <Tape 1 from: " + DateTimeToText(40000.5) + ">");

  IniFile ini = *IniFile::Load(fixture.CartridgeIni());
  ini.Set("Cartridge", "WriteProtected", "1");
  ASSERT_EQ(ini.Save(fixture.CartridgeIni()), 0);
  EXPECT_FALSE(WriteTapeDescription(p, Description("Tape", 2, 40000.5)));
  EXPECT_TRUE(p.AbortFlag);
}

TEST(ReadNextTapeFile, CopiesUpToTheFilemark) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  {
    TapeOpenResult opened = fixture.Drive().Open();
    ASSERT_TRUE(opened.device);
    std::vector<uint8_t> block(32768, 'a');
    ASSERT_EQ(opened.device->WriteBlock(block), 0u);
    ASSERT_EQ(opened.device->WriteBlock(block), 0u);
    ASSERT_EQ(opened.device->WriteFilemark(), 0u);
    ASSERT_EQ(opened.device->Rewind(), 0u);
  }
  std::string file = fixture.Scratch("files") + "one";
  EXPECT_EQ(ReadNextTapeFile(p, file), "No Error");
  EXPECT_EQ(ReadFile(file), std::string(2 * 32768, 'a'));
  EXPECT_EQ(ReadNextTapeFile(p, file), "End of data");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(fixture.ui.LastStatus(), "End of data found.");
}

}  // namespace
}  // namespace vantrel
