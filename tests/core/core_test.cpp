#include <gtest/gtest.h>
#include <unistd.h>

#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/core/startup.h"
#include "app/tape/tape_access.h"
#include "platform/ini_file.h"
#include "tests/support/program_fixture.h"

namespace vantrel {
namespace {

using testing::ProgramFixture;
using testing::ReadFile;
using testing::WriteFile;

TEST(TapeAccess, BlockSizeAndTapeBlockLimitArithmetic) {
  EXPECT_EQ(BlockSizeForDrive(65536), 32768u);
  EXPECT_EQ(BlockSizeForDrive(16384), 16384u);
  EXPECT_EQ(BlockSizeForDrive(100), 296u);  // never below one record header
  EXPECT_EQ(BlockSizeForDrive(0), 32768u);  // a drive that does not say
  EXPECT_EQ(TapeBlockLimitFor(107374182400LL, 32768), 3276160);
  EXPECT_LT(TapeBlockLimitFor(0, 32768), 0);
}

TEST(TapeAccess, ReadDriveParametersTakesTheDrivesValues) {
  ProgramFixture fixture;
  IniFile ini = *IniFile::Load(fixture.DrivePath() + "/drive.ini");
  ini.Set("Drive", "MaximumBlockSize", "16384");
  ini.Set("Drive", "MaximumPartitionCount", "2");
  ASSERT_EQ(ini.Save(fixture.DrivePath() + "/drive.ini"), 0);
  Program& p = fixture.p();
  ReadDriveParameters(p);
  EXPECT_EQ(p.BlockSize, 16384u);
  EXPECT_EQ(p.TapeBlockLimit, 1073741824 / 16384 - 640);
  EXPECT_EQ(p.SetPositionMethod, TapePositionMethod::kLogicalBlock);
  EXPECT_EQ(p.GetPositionType, TapePositionType::kLogical);
  // The media block size was set to BlockSize.
  EXPECT_EQ(IniFile::Load(fixture.DrivePath() + "/drive.ini")->GetInt("Drive", "MediaBlockSize", 0),
            16384);
}

TEST(TapeAccess, ErrorTextTables) {
  for (TapeResult success : {0u, 1110u, 1111u}) EXPECT_EQ(TapeErrorText(success), "");
  EXPECT_EQ(TapeErrorText(19), "Error, The write protect is set ");
  EXPECT_EQ(TapeErrorText(1109), "Error, An attempt to unload the media failed  ");
  EXPECT_EQ(TapeErrorText(29), "Error, The device cannot write ");
  EXPECT_EQ(TapeErrorText(4242, "kept"), "kept");
  EXPECT_EQ(TapeResultMessage(0), "OK");
  EXPECT_EQ(TapeResultMessage(1112), "There is no media in the drive.");
  EXPECT_EQ(TapeResultMessage(3000), "Unbekannter Fehler. 3000");
}

// A drive whose rewind answers a chosen code.
class RewindAnswers : public TapeDrive {
 public:
  RewindAnswers(std::unique_ptr<TapeDrive> inner, TapeResult code)
      : inner_(std::move(inner)), code_(code) {}
  TapeOpenResult Open() override {
    TapeOpenResult opened = inner_->Open();
    if (opened.device) opened.device = std::make_unique<Device>(std::move(opened.device), code_);
    return opened;
  }
  std::string Name() const override { return inner_->Name(); }

 private:
  struct Device : TapeDeviceWrapper {
    Device(std::unique_ptr<TapeDevice> d, TapeResult code) : TapeDeviceWrapper(std::move(d)), code(code) {}
    TapeResult Rewind() override { return code; }
    TapeResult code;
  };
  std::unique_ptr<TapeDrive> inner_;
  TapeResult code_;
};

TEST(TapeAccess, RewindOutcomes) {
  struct Case {
    TapeResult code;
    bool ok;
    std::string status;
  } cases[] = {{0, true, "Tape : At First pos"},
               {1110, true, "Tape : At First pos"},
               {4242, true, "Tape : At First pos"},  // not in the table: reads as success
               {23, false, "Data error (cyclic redundancy check). "}};
  for (const Case& c : cases) {
    testing::ScriptedUserInterface ui;
    testing::TempDir dir;
    Program p(ui, ProgramOptions{dir.Path(), std::make_unique<RewindAnswers>(
                                                 MakeTapeDrive(dir / "vtape"), c.code)});
    p.Sleep = [](int) {};
    EXPECT_EQ(RewindTape(p), c.ok) << c.code;
    EXPECT_EQ(ui.LastStatus(), c.status) << c.code;
  }
}

TEST(TapeAccess, WithoutADriveNothingIsEjected) {
  testing::ScriptedUserInterface ui;
  testing::TempDir dir;
  Program p(ui, ProgramOptions{dir.Path(), nullptr});
  p.Sleep = [](int) {};
  p.Hauptmenu.LogPath = dir / "vl_backup.log";
  EXPECT_FALSE(RewindTape(p));
  EXPECT_EQ(ui.LastStatus(), "Unable to find tape drive on system or tape drive in use");
  EjectTape(p, false);
  EXPECT_EQ(ReadFile(dir / "vl_backup.log"), ProtocolSeparator() + "\r\nTape not ejected !\r\n");
  EXPECT_EQ(ui.LastStatus(), "Tape not ejected !");
}

TEST(TapeAccess, EjectLogsTheTapeNumber) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  p.Hauptmenu.tapeDescription.TapeNumber = 3;
  EjectTape(p, false);
  std::string log = ReadFile(p.Hauptmenu.LogPath);
  EXPECT_EQ(log.rfind(ProtocolSeparator() + "\r\nTape 3 at ", 0), 0u);
  EXPECT_NE(log.find(" ejected !\r\n"), std::string::npos);
  // The cartridge is out: the next eject finds no tape.
  EjectTape(p, false);
  EXPECT_EQ(fixture.ui.LastStatus(), "Tape not ejected !");
}

TEST(TapeAccess, MediaChangedCountsAsAUsableDrive) {
  ProgramFixture fixture;
  IniFile ini = *IniFile::Load(fixture.CartridgeIni());
  ini.Set("Faults", "MediaChangedOnce", "1");
  ASSERT_EQ(ini.Save(fixture.CartridgeIni()), 0);
  fixture.Drive().LoadCartridge("tape1");
  fixture.ui.messages.clear();
  TapeHandle handle = OpenTape(fixture.p());
  EXPECT_TRUE(handle);
  EXPECT_FALSE(fixture.ui.HasMessage("No Tape Drive!"));
}

TEST(TapeAccess, DriveInUseIsReportedNotShared) {
  ProgramFixture fixture;
  TapeOpenResult held = fixture.Drive().Open();
  ASSERT_TRUE(held.device);
  TapeHandle second = OpenTape(fixture.p());
  EXPECT_FALSE(second);
  EXPECT_TRUE(fixture.ui.HasMessage("No Tape Drive!"));
  EXPECT_EQ(fixture.ui.LastStatus().rfind("Tape drive in use: ", 0), 0u);
}

TEST(NormalizeList, DropsEmptyAndSingleBlankLinesKeepsTheRest) {
  Memo memo;
  memo.Lines = {"/Data/", "", " ", "  ", "/x ", " "};
  NormalizeList(memo);
  EXPECT_EQ(memo.Lines, (std::vector<std::string>{"/Data/", "  ", "/x "}));
}

TEST(Protocol, LinesGoToFileBoxAndMailText) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  AppendProtocolLine(p, "first");
  AppendProtocolLine(p, "");
  EXPECT_EQ(ReadFile(p.Hauptmenu.LogPath), "first\r\n\r\n");
  EXPECT_EQ(p.Hauptmenu.protocolPage.Memo2.Lines, (std::vector<std::string>{"first", ""}));
  EXPECT_EQ(p.Hauptmenu.EmailMessageText, (std::vector<std::string>{"first", ""}));

  BitBtn19Click(p);  // "Clear Protocoll"
  EXPECT_EQ(ReadFile(p.Hauptmenu.LogPath), "");
  EXPECT_TRUE(p.Hauptmenu.protocolPage.Memo2.Lines.empty());
  AppendProtocolLine(p, "again");
  EXPECT_EQ(ReadFile(p.Hauptmenu.LogPath), "again\r\n");
  p.Hauptmenu.protocolPage.Memo2.Lines.clear();
  BitBtn18Click(p);  // "Load Protocoll"
  EXPECT_EQ(p.Hauptmenu.protocolPage.Memo2.Lines, std::vector<std::string>{"again"});
}

TEST(Protocol, ReportLastErrorFramesTheSystemText) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  BitBtn19Click(p);
  ReportError(p, SystemError::Windows(tape_code::kWriteProtect));
  EXPECT_TRUE(p.AbortFlag);
  std::string log = ReadFile(p.Hauptmenu.LogPath);
  std::string separator = ProtocolSeparator();
  EXPECT_EQ(log.substr(0, 2 + separator.size() + 4), "\r\n" + separator + "\r\n\r\n");
  // The message text keeps its own line break: an empty line follows the error line.
  EXPECT_NE(log.find(" : The media is write protected.\r\n\r\n" + separator + "\r\n"),
            std::string::npos);
  EXPECT_TRUE(fixture.ui.HasMessage("The media is write protected.\r\n"));

  fixture.ui.messages.clear();
  p.AbortFlag = false;
  p.Hauptmenu.optionsPage.CheckBox8.Checked = true;  // unattended: protocol only
  ReportError(p, SystemError::Windows(tape_code::kWriteProtect));
  EXPECT_TRUE(p.AbortFlag);
  EXPECT_TRUE(fixture.ui.messages.empty());
}

TEST(Startup, RemovesLeftoversAndCreatesTheProtocol) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  WriteFile(p.Hauptmenu.CatalogPath, "old catalog");
  WriteFile(p.Hauptmenu.ScratchZipPath, "old archive");
  unlink(p.Hauptmenu.LogPath.c_str());
  fixture.Start();
  EXPECT_FALSE(std::filesystem::exists(fixture.p().Hauptmenu.CatalogPath));
  EXPECT_FALSE(std::filesystem::exists(fixture.p().Hauptmenu.ScratchZipPath));
  EXPECT_TRUE(std::filesystem::exists(fixture.p().Hauptmenu.LogPath));
  EXPECT_EQ(fixture.p().Hauptmenu.WorkDir, fixture.Home() + "worker/");
  EXPECT_FALSE(fixture.p().Hauptmenu.backupPage.BitBtn1.Enabled);  // until the description loads
}

}  // namespace
}  // namespace vantrel
