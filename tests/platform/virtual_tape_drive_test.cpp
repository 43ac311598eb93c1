#include "platform/virtual_tape_drive.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace vantrel {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
namespace code = tape_code;

constexpr int64_t kGiB = 1073741824;

std::vector<uint8_t> Block(size_t size, uint8_t seed) {
  std::vector<uint8_t> block(size);
  for (size_t i = 0; i < size; ++i) block[i] = static_cast<uint8_t>(seed + i * 7);
  return block;
}

std::string AsText(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class VirtualTapeDriveTest : public ::testing::Test {
 protected:
  std::string Dir() const { return tmp_ / "drive"; }
  std::string DriveIni() const { return Dir() + "/drive.ini"; }
  std::string CartridgeIni(const std::string& name = "tape1") const {
    return Dir() + "/" + name + ".tape/cartridge.ini";
  }
  std::string DataPath(const std::string& name = "tape1") const {
    return Dir() + "/" + name + ".tape/data";
  }
  std::string Data(const std::string& name = "tape1") const { return ReadFile(DataPath(name)); }

  std::unique_ptr<TapeDevice> OpenDevice() {
    TapeOpenResult opened = drive_.Open();
    EXPECT_EQ(opened.result, code::kSuccess);
    EXPECT_TRUE(opened.device);
    return std::move(opened.device);
  }
  // Creates the drive with its blank "tape1".
  void CreateDrive() { ASSERT_EQ(drive_.ListCartridges().code, code::kSuccess); }

  static IniFile Ini(const std::string& path) { return IniFile::Load(path).value_or(IniFile()); }
  static void EditIni(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value) {
    IniFile ini = Ini(path);
    ini.Set(section, key, value);
    ASSERT_EQ(ini.Save(path), 0);
  }
  static int64_t Position(TapeDevice& device) {
    TapePosition position = device.GetPosition(TapePositionType::kAbsolute);
    EXPECT_EQ(position.result, code::kSuccess);
    return position.block;
  }
  static void WriteBlocks(TapeDevice& device, size_t size, int count, uint8_t seed = 1) {
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(device.WriteBlock(Block(size, static_cast<uint8_t>(seed + i))), code::kSuccess);
    }
  }

  TempDir tmp_;
  VirtualTapeDrive drive_{tmp_ / "drive"};
};

// ---- layout and creation ----

using VirtualTapeDriveLayout = VirtualTapeDriveTest;

TEST_F(VirtualTapeDriveLayout, FirstOpenCreatesDriveWithBlankTape1Loaded) {
  auto device = OpenDevice();
  ASSERT_TRUE(device);
  IniFile drive = Ini(DriveIni());
  EXPECT_EQ(drive.GetString("Drive", "Loaded", "?"), "tape1");
  EXPECT_EQ(drive.GetInt("Drive", "MediaBlockSize", 0), 32768);
  EXPECT_EQ(drive.GetInt("Drive", "Autoload", -1), 0);
  IniFile cartridge = Ini(CartridgeIni());
  EXPECT_EQ(cartridge.GetInt("Cartridge", "Capacity", 0), kGiB);
  EXPECT_EQ(cartridge.GetInt("Cartridge", "BlockSize", -1), 0);
  EXPECT_EQ(cartridge.GetInt("Cartridge", "WriteProtected", -1), 0);
  EXPECT_TRUE(std::filesystem::exists(DataPath()));
  EXPECT_EQ(Data(), "");

  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.Capacity, kGiB);
  EXPECT_EQ(media.Remaining, kGiB);
  EXPECT_EQ(media.BlockSize, 32768u);
  EXPECT_EQ(media.PartitionCount, 1u);
  EXPECT_FALSE(media.WriteProtected);

  TapeDriveParameters parameters;
  ASSERT_EQ(device->GetDriveParameters(parameters), code::kSuccess);
  EXPECT_EQ(parameters.MaximumBlockSize, 65536u);
  EXPECT_EQ(parameters.MinimumBlockSize, 1u);
  EXPECT_EQ(parameters.DefaultBlockSize, 32768u);
  EXPECT_EQ(parameters.MaximumPartitionCount, 1u);
  EXPECT_TRUE(parameters.ECC);
  EXPECT_FALSE(parameters.Compression);
}

TEST_F(VirtualTapeDriveLayout, AdminCallCreatesMissingDriveWithParentDirectories) {
  VirtualTapeDrive nested(tmp_ / "a/b/drive");
  VirtualCartridgeList list = nested.ListCartridges();
  ASSERT_EQ(list.code, code::kSuccess) << list.message;
  ASSERT_EQ(list.cartridges.size(), 1u);
  EXPECT_EQ(list.cartridges[0].name, "tape1");
  EXPECT_TRUE(list.cartridges[0].loaded);
  EXPECT_EQ(list.cartridges[0].endOfData, 0);
}

TEST_F(VirtualTapeDriveLayout, DirectoryWithCartridgesButNoDriveIniIsKept) {
  std::filesystem::create_directories(Dir() + "/mine.tape");
  auto device = OpenDevice();
  TapeMediaParameters media;
  EXPECT_EQ(device->GetMediaParameters(media), code::kNoMediaInDrive);
  EXPECT_FALSE(std::filesystem::exists(Dir() + "/tape1.tape"));
}

TEST_F(VirtualTapeDriveLayout, PathThatIsAFileIsNoDrive) {
  WriteFile(Dir(), "not a directory");
  TapeOpenResult opened = drive_.Open();
  EXPECT_FALSE(opened.device);
  EXPECT_EQ(opened.result, code::kFileNotFound);
  EXPECT_EQ(drive_.ListCartridges().code, code::kFileNotFound);
  EXPECT_EQ(ReadFile(Dir()), "not a directory");
}

// ---- transfers ----

class VirtualTapeDriveRoundTrip : public VirtualTapeDriveTest,
                                  public ::testing::WithParamInterface<size_t> {};

TEST_P(VirtualTapeDriveRoundTrip, BlocksReachTheDataFileAtOnceAndReadBack) {
  const size_t size = GetParam();
  auto device = OpenDevice();
  WriteBlocks(*device, size, 3, 10);
  EXPECT_EQ(Position(*device), 3);
  // Still open: every block is already in the file.
  EXPECT_EQ(Data(), AsText(Block(size, 10)) + AsText(Block(size, 11)) + AsText(Block(size, 12)));
  EXPECT_EQ(Ini(CartridgeIni()).GetInt("Cartridge", "BlockSize", 0), static_cast<int64_t>(size));

  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.BlockSize, size);
  EXPECT_EQ(media.Remaining, kGiB - 3 * static_cast<int64_t>(size));

  ASSERT_EQ(device->Rewind(), code::kSuccess);
  for (uint8_t seed = 10; seed < 13; ++seed) {
    std::vector<uint8_t> buffer(size);
    TapeTransfer transfer = device->ReadBlock(buffer);
    ASSERT_EQ(transfer.result, code::kSuccess);
    EXPECT_EQ(transfer.bytes, size);
    EXPECT_EQ(buffer, Block(size, seed));
  }
  std::vector<uint8_t> buffer(size);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kNoDataDetected);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, VirtualTapeDriveRoundTrip,
                         ::testing::Values(1, 512, 4096, 32768, 65536));

// ---- the behaviour table ----

using VirtualTapeDriveBehaviour = VirtualTapeDriveTest;

TEST_F(VirtualTapeDriveBehaviour, EveryCallAnswersNoMediaWithoutCartridge) {
  CreateDrive();
  ASSERT_EQ(drive_.UnloadCartridge().code, code::kSuccess);
  auto device = OpenDevice();
  std::vector<uint8_t> buffer(32768);
  TapeDriveParameters driveParameters;
  TapeMediaParameters mediaParameters;
  struct Call {
    const char* name;
    std::function<TapeResult(TapeDevice&)> run;
  };
  const std::vector<Call> calls = {
      {"GetDriveParameters", [&](TapeDevice& d) { return d.GetDriveParameters(driveParameters); }},
      {"GetMediaParameters", [&](TapeDevice& d) { return d.GetMediaParameters(mediaParameters); }},
      {"SetMediaBlockSize", [](TapeDevice& d) { return d.SetMediaBlockSize(512); }},
      {"Rewind", [](TapeDevice& d) { return d.Rewind(); }},
      {"SetPosition",
       [](TapeDevice& d) { return d.SetPosition(TapePositionMethod::kAbsoluteBlock, 0); }},
      {"SpaceToEndOfData", [](TapeDevice& d) { return d.SpaceToEndOfData(); }},
      {"GetPosition",
       [](TapeDevice& d) { return d.GetPosition(TapePositionType::kLogical).result; }},
      {"Erase", [](TapeDevice& d) { return d.Erase(); }},
      {"Load", [](TapeDevice& d) { return d.Prepare(TapePrepareOperation::kLoad); }},
      {"Unload", [](TapeDevice& d) { return d.Prepare(TapePrepareOperation::kUnload); }},
      {"Tension", [](TapeDevice& d) { return d.Prepare(TapePrepareOperation::kTension); }},
      {"Lock", [](TapeDevice& d) { return d.Prepare(TapePrepareOperation::kLock); }},
      {"WriteFilemark", [](TapeDevice& d) { return d.WriteFilemark(); }},
      {"CreateFixedPartitions", [](TapeDevice& d) { return d.CreateFixedPartitions(); }},
      {"ReadBlock", [&](TapeDevice& d) { return d.ReadBlock(buffer).result; }},
      {"WriteBlock", [&](TapeDevice& d) { return d.WriteBlock(buffer); }},
  };
  for (const Call& call : calls) EXPECT_EQ(call.run(*device), code::kNoMediaInDrive) << call.name;
  EXPECT_EQ(Data(), "");
  EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), "");
}

TEST_F(VirtualTapeDriveBehaviour, ReadingOrMovingBeyondEndOfDataAnswersNoDataAndStays) {
  auto device = OpenDevice();
  WriteBlocks(*device, 512, 2);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kNoDataDetected);
  EXPECT_EQ(Position(*device), 2);
  EXPECT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 3), code::kNoDataDetected);
  EXPECT_EQ(Position(*device), 2);
  EXPECT_EQ(device->SetPosition(TapePositionMethod::kLogicalBlock, 1), code::kSuccess);
  EXPECT_EQ(device->GetPosition(TapePositionType::kAbsolute).block, 1);
  EXPECT_EQ(device->GetPosition(TapePositionType::kLogical).block, 1);
  EXPECT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 2), code::kSuccess);
  EXPECT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, -1), code::kInvalidParameter);
  EXPECT_EQ(Position(*device), 2);
}

TEST_F(VirtualTapeDriveBehaviour, FilemarkOccupiesAZeroSlotAndReadsAsFilemark) {
  auto device = OpenDevice();
  ASSERT_EQ(device->WriteBlock(Block(512, 1)), code::kSuccess);
  ASSERT_EQ(device->WriteFilemark(), code::kSuccess);
  ASSERT_EQ(device->WriteBlock(Block(512, 2)), code::kSuccess);
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "1");
  EXPECT_EQ(Data(), AsText(Block(512, 1)) + std::string(512, '\0') + AsText(Block(512, 2)));

  ASSERT_EQ(device->Rewind(), code::kSuccess);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  TapeTransfer mark = device->ReadBlock(buffer);
  EXPECT_EQ(mark.result, code::kFilemarkDetected);
  EXPECT_EQ(mark.bytes, 0u);
  EXPECT_EQ(Position(*device), 2);
  ASSERT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 2));
}

TEST_F(VirtualTapeDriveBehaviour, FilemarkOnBlankMediumTakesTheDrivesBlockSize) {
  auto device = OpenDevice();
  ASSERT_EQ(device->SetMediaBlockSize(4096), code::kSuccess);
  ASSERT_EQ(device->WriteFilemark(), code::kSuccess);
  EXPECT_EQ(Data(), std::string(4096, '\0'));
  EXPECT_EQ(Ini(CartridgeIni()).GetInt("Cartridge", "BlockSize", 0), 4096);
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "0");
}

TEST_F(VirtualTapeDriveBehaviour, WriteBeyondCapacityAnswersEndOfMediaAndWritesNothing) {
  CreateDrive();
  ASSERT_EQ(drive_.NewCartridge("small", 512 * 2 + 100).code, code::kSuccess);
  ASSERT_EQ(drive_.LoadCartridge("small").code, code::kSuccess);
  auto device = OpenDevice();
  WriteBlocks(*device, 512, 2);
  EXPECT_EQ(device->WriteBlock(Block(512, 9)), code::kEndOfMedia);
  EXPECT_EQ(device->WriteFilemark(), code::kEndOfMedia);
  EXPECT_EQ(Position(*device), 2);
  EXPECT_EQ(Data("small").size(), 1024u);
  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.Capacity, 1124);
  EXPECT_EQ(media.Remaining, 100);
}

TEST_F(VirtualTapeDriveBehaviour, FirstBlockLargerThanCapacityLeavesTheMediumBlank) {
  CreateDrive();
  ASSERT_EQ(drive_.NewCartridge("tiny", 100).code, code::kSuccess);
  ASSERT_EQ(drive_.LoadCartridge("tiny").code, code::kSuccess);
  auto device = OpenDevice();
  EXPECT_EQ(device->WriteBlock(Block(512, 1)), code::kEndOfMedia);
  EXPECT_EQ(Data("tiny"), "");
  EXPECT_EQ(Ini(CartridgeIni("tiny")).GetInt("Cartridge", "BlockSize", -1), 0);
}

TEST_F(VirtualTapeDriveBehaviour, WriteProtectedMediumRefusesEveryChange) {
  {
    auto device = OpenDevice();
    WriteBlocks(*device, 512, 2);
  }
  ASSERT_EQ(drive_.ProtectCartridge("tape1", true).code, code::kSuccess);
  const std::string before = Data();
  auto device = OpenDevice();
  ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 1), code::kSuccess);
  EXPECT_EQ(device->WriteBlock(Block(512, 7)), code::kWriteProtect);
  EXPECT_EQ(device->WriteFilemark(), code::kWriteProtect);
  EXPECT_EQ(device->Erase(), code::kWriteProtect);
  EXPECT_EQ(device->CreateFixedPartitions(), code::kWriteProtect);
  EXPECT_EQ(Data(), before);
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "");

  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_TRUE(media.WriteProtected);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 2));
  device.reset();

  ASSERT_EQ(drive_.ProtectCartridge("tape1", false).code, code::kSuccess);
  device = OpenDevice();
  EXPECT_EQ(device->WriteBlock(Block(512, 7)), code::kSuccess);
}

TEST_F(VirtualTapeDriveBehaviour, TransferLengthMustMatchExceptAtBlockZero) {
  auto device = OpenDevice();
  WriteBlocks(*device, 512, 2);
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  std::vector<uint8_t> large(1024);
  EXPECT_EQ(device->ReadBlock(large).result, code::kInvalidBlockLength);
  EXPECT_EQ(Position(*device), 0);

  ASSERT_EQ(device->SpaceToEndOfData(), code::kSuccess);
  EXPECT_EQ(device->WriteBlock(Block(1024, 5)), code::kInvalidBlockLength);
  EXPECT_EQ(Data().size(), 1024u);

  // A write at block 0 starts a new recording with its own block size.
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  ASSERT_EQ(device->WriteBlock(Block(1024, 5)), code::kSuccess);
  EXPECT_EQ(Data(), AsText(Block(1024, 5)));
  EXPECT_EQ(Ini(CartridgeIni()).GetInt("Cartridge", "BlockSize", 0), 1024);
}

TEST_F(VirtualTapeDriveBehaviour, BlocksTheDriveCannotCarryAreRefused) {
  auto device = OpenDevice();
  EXPECT_EQ(device->WriteBlock({}), code::kInvalidParameter);
  EXPECT_EQ(device->WriteBlock(Block(65537, 1)), code::kInvalidParameter);
  EXPECT_EQ(Data(), "");
  EXPECT_EQ(Position(*device), 0);
}

TEST_F(VirtualTapeDriveBehaviour, WritingBelowEndOfDataForgetsEverythingAfter) {
  auto device = OpenDevice();
  // 0: data, 1: filemark, 2: data, 3: filemark, 4: data
  ASSERT_EQ(device->WriteBlock(Block(512, 0)), code::kSuccess);
  ASSERT_EQ(device->WriteFilemark(), code::kSuccess);
  ASSERT_EQ(device->WriteBlock(Block(512, 2)), code::kSuccess);
  ASSERT_EQ(device->WriteFilemark(), code::kSuccess);
  ASSERT_EQ(device->WriteBlock(Block(512, 4)), code::kSuccess);
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "1,3");

  ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 3), code::kSuccess);
  ASSERT_EQ(device->WriteBlock(Block(512, 9)), code::kSuccess);
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "1");
  EXPECT_EQ(Data().size(), 4u * 512);

  ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 3), code::kSuccess);
  std::vector<uint8_t> buffer(512);
  ASSERT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 9));
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kNoDataDetected);
}

TEST_F(VirtualTapeDriveBehaviour, SpaceToEndOfDataAndShortErase) {
  auto device = OpenDevice();
  WriteBlocks(*device, 512, 3);
  ASSERT_EQ(device->WriteFilemark(), code::kSuccess);
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  ASSERT_EQ(device->SpaceToEndOfData(), code::kSuccess);
  EXPECT_EQ(Position(*device), 4);

  ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 2), code::kSuccess);
  ASSERT_EQ(device->Erase(), code::kSuccess);
  EXPECT_EQ(Position(*device), 2);
  EXPECT_EQ(Data(), AsText(Block(512, 1)) + AsText(Block(512, 2)));
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "");
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  ASSERT_EQ(device->SpaceToEndOfData(), code::kSuccess);
  EXPECT_EQ(Position(*device), 2);

  // Erasing from the beginning leaves a blank medium.
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  ASSERT_EQ(device->Erase(), code::kSuccess);
  EXPECT_EQ(Data(), "");
  EXPECT_EQ(Ini(CartridgeIni()).GetInt("Cartridge", "BlockSize", -1), 0);
  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.BlockSize, 32768u);
  EXPECT_EQ(media.Remaining, kGiB);
}

TEST_F(VirtualTapeDriveBehaviour, CreateFixedPartitionsEmptiesTheMedium) {
  auto device = OpenDevice();
  WriteBlocks(*device, 512, 2);
  ASSERT_EQ(device->WriteFilemark(), code::kSuccess);
  EXPECT_EQ(device->CreateFixedPartitions(), code::kSuccess);
  EXPECT_EQ(Position(*device), 0);
  EXPECT_EQ(Data(), "");
  IniFile cartridge = Ini(CartridgeIni());
  EXPECT_EQ(cartridge.GetInt("Cartridge", "BlockSize", -1), 0);
  EXPECT_EQ(cartridge.GetString("Cartridge", "Filemarks", "?"), "");
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kNoDataDetected);
}

TEST_F(VirtualTapeDriveBehaviour, LoadUnloadAndTensionResetThePosition) {
  CreateDrive();
  auto device = OpenDevice();
  WriteBlocks(*device, 512, 3);
  ASSERT_EQ(device->Prepare(TapePrepareOperation::kLoad), code::kSuccess);
  EXPECT_EQ(Position(*device), 0);
  ASSERT_EQ(device->SpaceToEndOfData(), code::kSuccess);
  ASSERT_EQ(device->Prepare(TapePrepareOperation::kTension), code::kSuccess);
  EXPECT_EQ(Position(*device), 0);
  EXPECT_EQ(device->Prepare(TapePrepareOperation::kLock), code::kSuccess);
  EXPECT_EQ(device->Prepare(TapePrepareOperation::kUnlock), code::kSuccess);
  ASSERT_EQ(device->SpaceToEndOfData(), code::kSuccess);

  ASSERT_EQ(device->Prepare(TapePrepareOperation::kUnload), code::kSuccess);
  IniFile drive = Ini(DriveIni());
  EXPECT_EQ(drive.GetString("Drive", "Loaded", "?"), "");
  EXPECT_EQ(drive.GetInt("Drive", "Position", -1), 0);
  EXPECT_EQ(device->Prepare(TapePrepareOperation::kLoad), code::kNoMediaInDrive);
  device.reset();

  ASSERT_EQ(drive_.LoadCartridge("tape1").code, code::kSuccess);
  device = OpenDevice();
  EXPECT_EQ(Position(*device), 0);
  std::vector<uint8_t> buffer(512);
  ASSERT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 1));
}

TEST_F(VirtualTapeDriveBehaviour, PositionIsKeptAcrossCloseAndOpen) {
  {
    auto device = OpenDevice();
    WriteBlocks(*device, 512, 3);
    ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 2), code::kSuccess);
  }
  EXPECT_EQ(Ini(DriveIni()).GetInt("Drive", "Position", -1), 2);
  VirtualTapeDrive again(Dir());
  TapeOpenResult opened = again.Open();
  ASSERT_TRUE(opened.device);
  EXPECT_EQ(Position(*opened.device), 2);
  std::vector<uint8_t> buffer(512);
  ASSERT_EQ(opened.device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 3));
}

TEST_F(VirtualTapeDriveBehaviour, AutoloadGoesThroughCartridgesInByteOrder) {
  CreateDrive();
  // Byte order: "B" < "a" < "b" < "tape1" < "\xc3\xa4" (an a-umlaut in UTF-8).
  for (const char* name : {"b", "a", "B", "\xc3\xa4"}) {
    ASSERT_EQ(drive_.NewCartridge(name, 1 << 20).code, code::kSuccess) << name;
  }
  ASSERT_EQ(drive_.SetAutoload(true).code, code::kSuccess);
  ASSERT_EQ(drive_.LoadCartridge("B").code, code::kSuccess);
  auto device = OpenDevice();
  for (const char* expected : {"a", "b", "tape1", "\xc3\xa4"}) {
    ASSERT_EQ(device->Prepare(TapePrepareOperation::kUnload), code::kSuccess);
    EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), expected);
    TapeMediaParameters media;
    ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
    EXPECT_EQ(media.Capacity, std::string(expected) == "tape1" ? kGiB : 1 << 20);
  }
  ASSERT_EQ(device->Prepare(TapePrepareOperation::kUnload), code::kSuccess);
  EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), "");
  EXPECT_EQ(device->Prepare(TapePrepareOperation::kLoad), code::kNoMediaInDrive);
  device.reset();

  // The command line's unload follows the same stacker.
  ASSERT_EQ(drive_.LoadCartridge("b").code, code::kSuccess);
  VirtualTapeResult unloaded = drive_.UnloadCartridge();
  EXPECT_EQ(unloaded.code, code::kSuccess);
  EXPECT_EQ(unloaded.message, "Cartridge \"b\" unloaded. Cartridge \"tape1\" loaded.");
  EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), "tape1");
}

TEST_F(VirtualTapeDriveBehaviour, UnloadWithoutAutoloadEmptiesTheDrive) {
  CreateDrive();
  ASSERT_EQ(drive_.NewCartridge("tape2").code, code::kSuccess);
  auto device = OpenDevice();
  ASSERT_EQ(device->Prepare(TapePrepareOperation::kUnload), code::kSuccess);
  EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), "");
}

TEST_F(VirtualTapeDriveBehaviour, SetMediaBlockSizeKeepsToTheDrivesLimits) {
  CreateDrive();
  EditIni(DriveIni(), "Drive", "MinimumBlockSize", "512");
  auto device = OpenDevice();
  struct Case {
    uint32_t size;
    TapeResult expected;
  };
  for (Case c : {Case{0, code::kInvalidParameter}, Case{256, code::kInvalidParameter},
                 Case{512, code::kSuccess}, Case{65536, code::kSuccess},
                 Case{65537, code::kInvalidParameter}, Case{16384, code::kSuccess}}) {
    EXPECT_EQ(device->SetMediaBlockSize(c.size), c.expected) << c.size;
  }
  EXPECT_EQ(Ini(DriveIni()).GetInt("Drive", "MediaBlockSize", 0), 16384);
  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.BlockSize, 16384u);  // blank medium: the drive's setting
}

TEST_F(VirtualTapeDriveBehaviour, DriveParametersComeFromDriveIni) {
  CreateDrive();
  for (auto [key, value] :
       std::vector<std::pair<const char*, const char*>>{{"MaximumBlockSize", "16384"},
                                                        {"MinimumBlockSize", "2"},
                                                        {"DefaultBlockSize", "8192"},
                                                        {"MaximumPartitionCount", "4"},
                                                        {"ECC", "0"},
                                                        {"Compression", "1"},
                                                        {"DataPadding", "1"},
                                                        {"ReportSetmarks", "1"},
                                                        {"FeaturesLow", "123"},
                                                        {"FeaturesHigh", "456"},
                                                        {"EOTWarningZoneSize", "789"}}) {
    EditIni(DriveIni(), "Drive", key, value);
  }
  auto device = OpenDevice();
  TapeDriveParameters p;
  ASSERT_EQ(device->GetDriveParameters(p), code::kSuccess);
  EXPECT_EQ(p.MaximumBlockSize, 16384u);
  EXPECT_EQ(p.MinimumBlockSize, 2u);
  EXPECT_EQ(p.DefaultBlockSize, 8192u);
  EXPECT_EQ(p.MaximumPartitionCount, 4u);
  EXPECT_FALSE(p.ECC);
  EXPECT_TRUE(p.Compression);
  EXPECT_TRUE(p.DataPadding);
  EXPECT_TRUE(p.ReportSetmarks);
  EXPECT_EQ(p.FeaturesLow, 123u);
  EXPECT_EQ(p.FeaturesHigh, 456u);
  EXPECT_EQ(p.EOTWarningZoneSize, 789u);
  EXPECT_EQ(device->WriteBlock(Block(32768, 1)), code::kInvalidParameter);
}

// ---- faults ----

using VirtualTapeDriveFaults = VirtualTapeDriveTest;

TEST_F(VirtualTapeDriveFaults, WriteErrorAtBlockFailsThatWriteAndWritesNothing) {
  struct Case {
    const char* codeKey;  // WriteErrorCode, or none
    TapeResult expected;
  };
  for (Case c : {Case{nullptr, code::kIoDevice}, Case{"29", code::kWriteFault}}) {
    TempDir tmp;
    VirtualTapeDrive drive(tmp / "drive");
    ASSERT_EQ(drive.ListCartridges().code, code::kSuccess);
    std::string ini = tmp / "drive/tape1.tape/cartridge.ini";
    EditIni(ini, "Faults", "WriteErrorAtBlock", "2");
    if (c.codeKey) EditIni(ini, "Faults", "WriteErrorCode", c.codeKey);
    auto device = drive.Open().device;
    ASSERT_TRUE(device);
    WriteBlocks(*device, 512, 2);
    EXPECT_EQ(device->WriteBlock(Block(512, 9)), c.expected);
    EXPECT_EQ(device->WriteFilemark(), c.expected);
    EXPECT_EQ(Position(*device), 2);
    EXPECT_EQ(ReadFile(tmp / "drive/tape1.tape/data").size(), 1024u);
    // Block 2 stays unwritable; writing below it truncates as usual.
    ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 1), code::kSuccess);
    EXPECT_EQ(device->WriteBlock(Block(512, 9)), code::kSuccess);
  }
}

TEST_F(VirtualTapeDriveFaults, ReadErrorAtBlockFailsThatRead) {
  {
    auto device = OpenDevice();
    WriteBlocks(*device, 512, 3);
  }
  EditIni(CartridgeIni(), "Faults", "ReadErrorAtBlock", "1");
  auto device = OpenDevice();
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kCrc);
  EXPECT_EQ(Position(*device), 1);
  ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 2), code::kSuccess);
  ASSERT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 3));
}

TEST_F(VirtualTapeDriveFaults, MediaChangedOnceAnswersTheFirstCallAfterTheNextLoad) {
  CreateDrive();
  ASSERT_EQ(drive_.NewCartridge("tape2").code, code::kSuccess);
  EditIni(CartridgeIni("tape2"), "Faults", "MediaChangedOnce", "1");
  ASSERT_EQ(drive_.LoadCartridge("tape2").code, code::kSuccess);
  {
    auto device = OpenDevice();
    EXPECT_EQ(device->WriteBlock(Block(512, 1)), code::kMediaChanged);
    EXPECT_EQ(Data("tape2"), "");  // it did nothing else
    EXPECT_EQ(device->WriteBlock(Block(512, 1)), code::kSuccess);
    ASSERT_EQ(device->Prepare(TapePrepareOperation::kLoad), code::kSuccess);
    TapeMediaParameters media;
    EXPECT_EQ(device->GetMediaParameters(media), code::kSuccess);  // once only
  }
  auto device = OpenDevice();
  EXPECT_EQ(device->Rewind(), code::kSuccess);
}

TEST_F(VirtualTapeDriveFaults, ArmedMediaChangeSurvivesCloseBetweenLoadAndCall) {
  CreateDrive();
  EditIni(CartridgeIni(), "Faults", "MediaChangedOnce", "1");
  {
    auto device = OpenDevice();
    EXPECT_EQ(device->Rewind(), code::kSuccess);  // no load yet
    ASSERT_EQ(device->Prepare(TapePrepareOperation::kLoad), code::kSuccess);
  }
  auto device = OpenDevice();
  TapeMediaParameters media;
  EXPECT_EQ(device->GetMediaParameters(media), code::kMediaChanged);
  EXPECT_EQ(device->GetMediaParameters(media), code::kSuccess);
}

TEST_F(VirtualTapeDriveFaults, AutoloadArmsTheMediaChangeOfTheNextCartridge) {
  CreateDrive();
  ASSERT_EQ(drive_.NewCartridge("tape2").code, code::kSuccess);
  EditIni(CartridgeIni("tape2"), "Faults", "MediaChangedOnce", "1");
  ASSERT_EQ(drive_.SetAutoload(true).code, code::kSuccess);
  auto device = OpenDevice();
  ASSERT_EQ(device->Prepare(TapePrepareOperation::kUnload), code::kSuccess);
  EXPECT_EQ(device->GetPosition(TapePositionType::kAbsolute).result, code::kMediaChanged);
  EXPECT_EQ(device->GetPosition(TapePositionType::kAbsolute).result, code::kSuccess);
}

// A fault double: a device that fails every write after the first `writes`.
class FailAfterWrites : public TapeDeviceWrapper {
 public:
  FailAfterWrites(std::unique_ptr<TapeDevice> target, int writes)
      : TapeDeviceWrapper(std::move(target)), writesLeft_(writes) {}
  TapeResult WriteBlock(std::span<const uint8_t> data) override {
    if (writesLeft_ == 0) return code::kIoDevice;
    --writesLeft_;
    return TapeDeviceWrapper::WriteBlock(data);
  }

 private:
  int writesLeft_;
};

TEST_F(VirtualTapeDriveFaults, WrapperDoubleBreaksWritesAndForwardsTheRest) {
  FailAfterWrites device(OpenDevice(), 2);
  WriteBlocks(device, 512, 2);
  EXPECT_EQ(device.WriteBlock(Block(512, 3)), code::kIoDevice);
  EXPECT_EQ(Data().size(), 1024u);
  EXPECT_EQ(device.WriteFilemark(), code::kSuccess);
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "2");
  EXPECT_EQ(device.GetPosition(TapePositionType::kLogical).block, 3);
  TapeMediaParameters media;
  ASSERT_EQ(device.GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.Remaining, kGiB - 3 * 512);
  ASSERT_EQ(device.SetPosition(TapePositionMethod::kAbsoluteBlock, 1), code::kSuccess);
  std::vector<uint8_t> buffer(512);
  ASSERT_EQ(device.ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 2));
  EXPECT_EQ(device.ReadBlock(buffer).result, code::kFilemarkDetected);
  ASSERT_EQ(device.Erase(), code::kSuccess);
  EXPECT_EQ(device.SpaceToEndOfData(), code::kSuccess);
  EXPECT_EQ(device.GetPosition(TapePositionType::kAbsolute).block, 3);
  EXPECT_EQ(device.SetMediaBlockSize(4096), code::kSuccess);
  EXPECT_EQ(device.CreateFixedPartitions(), code::kSuccess);
  EXPECT_EQ(Data(), "");
  EXPECT_EQ(device.Rewind(), code::kSuccess);
  TapeDriveParameters parameters;
  EXPECT_EQ(device.GetDriveParameters(parameters), code::kSuccess);
  EXPECT_EQ(device.Prepare(TapePrepareOperation::kUnload), code::kSuccess);
  EXPECT_EQ(device.Rewind(), code::kNoMediaInDrive);
}

// ---- exclusive use ----

using VirtualTapeDriveLock = VirtualTapeDriveTest;

TEST_F(VirtualTapeDriveLock, SecondOpenFailsWhileAHandleIsOpen) {
  auto first = OpenDevice();
  TapeOpenResult same = drive_.Open();
  EXPECT_FALSE(same.device);
  EXPECT_EQ(same.result, code::kBusy);
  VirtualTapeDrive other(Dir());
  EXPECT_EQ(other.Open().result, code::kBusy);

  VirtualTapeResult busy = other.NewCartridge("x");
  EXPECT_EQ(busy.code, code::kBusy);
  EXPECT_EQ(busy.message, "The virtual tape drive " + Dir() + " is in use.");
  EXPECT_EQ(other.ListCartridges().code, code::kBusy);
  EXPECT_EQ(other.LoadCartridge("tape1").code, code::kBusy);
  EXPECT_EQ(other.UnloadCartridge().code, code::kBusy);
  EXPECT_EQ(other.ProtectCartridge("tape1", true).code, code::kBusy);
  EXPECT_EQ(other.SetAutoload(true).code, code::kBusy);
  EXPECT_FALSE(std::filesystem::exists(Dir() + "/x.tape"));

  first.reset();
  EXPECT_TRUE(other.Open().device);
}

TEST_F(VirtualTapeDriveLock, AnotherProcessFindsTheDriveBusy) {
  auto device = OpenDevice();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    VirtualTapeDrive drive(Dir());
    _exit(drive.Open().result == code::kBusy ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(VirtualTapeDriveLock, StartedProgramsDoNotInheritTheLock) {
  auto device = OpenDevice();
  pid_t child = 0;
  char program[] = "/bin/sleep";
  char seconds[] = "60";
  char* argv[] = {program, seconds, nullptr};
  ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
  device.reset();
  TapeOpenResult opened = drive_.Open();
  EXPECT_EQ(opened.result, code::kSuccess);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

// ---- administration ----

using VirtualTapeDriveAdmin = VirtualTapeDriveTest;

TEST_F(VirtualTapeDriveAdmin, ListDescribesEveryCartridge) {
  {
    auto device = OpenDevice();
    WriteBlocks(*device, 512, 3);
  }
  ASSERT_EQ(drive_.NewCartridge("big", 5000000).code, code::kSuccess);
  ASSERT_EQ(drive_.ProtectCartridge("big", true).code, code::kSuccess);
  VirtualCartridgeList list = drive_.ListCartridges();
  ASSERT_EQ(list.code, code::kSuccess);
  ASSERT_EQ(list.cartridges.size(), 2u);
  const VirtualCartridgeInfo& big = list.cartridges[0];
  EXPECT_EQ(big.name, "big");
  EXPECT_EQ(big.capacity, 5000000);
  EXPECT_EQ(big.blockSize, 0u);
  EXPECT_EQ(big.endOfData, 0);
  EXPECT_TRUE(big.writeProtected);
  EXPECT_FALSE(big.loaded);
  const VirtualCartridgeInfo& tape1 = list.cartridges[1];
  EXPECT_EQ(tape1.name, "tape1");
  EXPECT_EQ(tape1.capacity, kGiB);
  EXPECT_EQ(tape1.blockSize, 512u);
  EXPECT_EQ(tape1.endOfData, 3);
  EXPECT_FALSE(tape1.writeProtected);
  EXPECT_TRUE(tape1.loaded);
}

TEST_F(VirtualTapeDriveAdmin, NewCartridgeMessages) {
  VirtualTapeResult created = drive_.NewCartridge("monday", 2048);
  EXPECT_EQ(created.code, code::kSuccess);
  EXPECT_EQ(created.message, "Cartridge \"monday\" created with a capacity of 2048 bytes.");
  EXPECT_EQ(Ini(CartridgeIni("monday")).GetInt("Cartridge", "Capacity", 0), 2048);
  EXPECT_EQ(Data("monday"), "");

  VirtualTapeResult exists = drive_.NewCartridge("monday");
  EXPECT_EQ(exists.code, kCartridgeExists);
  EXPECT_EQ(exists.message,
            "A cartridge named \"monday\" already exists in the virtual tape drive " + Dir() + ".");
  EXPECT_EQ(Ini(CartridgeIni("monday")).GetInt("Cartridge", "Capacity", 0), 2048);

  VirtualTapeResult noCapacity = drive_.NewCartridge("empty", 0);
  EXPECT_EQ(noCapacity.code, code::kInvalidParameter);
  EXPECT_EQ(noCapacity.message, "The capacity of a cartridge must be a positive number of bytes.");
  EXPECT_FALSE(std::filesystem::exists(Dir() + "/empty.tape"));

  ASSERT_EQ(drive_.NewCartridge("tuesday").code, code::kSuccess);
  EXPECT_EQ(Ini(CartridgeIni("tuesday")).GetInt("Cartridge", "Capacity", 0), kGiB);
}

TEST_F(VirtualTapeDriveAdmin, InvalidNamesAreRefusedByEveryCall) {
  const std::vector<std::string> names = {
      "", "/", ".", "..", "a/b", "../up", " lead", "trail ", "line\nbreak", std::string(251, 'x')};
  for (const std::string& name : names) {
    for (auto call :
         {std::function<VirtualTapeResult()>([&] { return drive_.NewCartridge(name); }),
          std::function<VirtualTapeResult()>([&] { return drive_.LoadCartridge(name); }),
          std::function<VirtualTapeResult()>(
              [&] { return drive_.ProtectCartridge(name, true); })}) {
      VirtualTapeResult result = call();
      EXPECT_EQ(result.code, code::kInvalidParameter) << "[" << name << "]";
      EXPECT_EQ(result.message,
                "\"" + name +
                    "\" is not a valid cartridge name: a name must not be empty, \".\" or \"..\", "
                    "and must not contain \"/\", control characters or blanks at either end.");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(tmp_ / "up.tape"));
  EXPECT_EQ(drive_.ListCartridges().cartridges.size(), 1u);
  EXPECT_TRUE(VirtualTapeDrive::IsValidCartridgeName(std::string(250, 'x')));
  EXPECT_TRUE(VirtualTapeDrive::IsValidCartridgeName("Backup set 1 [a=b]"));
}

TEST_F(VirtualTapeDriveAdmin, UnknownCartridgesAndAnEmptyDriveAreReported) {
  VirtualTapeResult load = drive_.LoadCartridge("nope");
  EXPECT_EQ(load.code, code::kFileNotFound);
  EXPECT_EQ(load.message,
            "There is no cartridge named \"nope\" in the virtual tape drive " + Dir() + ".");
  EXPECT_EQ(drive_.ProtectCartridge("nope", true).code, code::kFileNotFound);
  EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), "tape1");

  EXPECT_EQ(drive_.UnloadCartridge().message, "Cartridge \"tape1\" unloaded.");
  VirtualTapeResult empty = drive_.UnloadCartridge();
  EXPECT_EQ(empty.code, code::kNoMediaInDrive);
  EXPECT_EQ(empty.message, "There is no cartridge in the virtual tape drive " + Dir() + ".");
}

TEST_F(VirtualTapeDriveAdmin, LoadProtectAndAutoloadAreStored) {
  ASSERT_EQ(drive_.NewCartridge("tape2").code, code::kSuccess);
  VirtualTapeResult load = drive_.LoadCartridge("tape2");
  EXPECT_EQ(load.message, "Cartridge \"tape2\" loaded.");
  EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), "tape2");

  EXPECT_EQ(drive_.ProtectCartridge("tape2", true).message,
            "Cartridge \"tape2\" is now write-protected.");
  EXPECT_EQ(Ini(CartridgeIni("tape2")).GetInt("Cartridge", "WriteProtected", 0), 1);
  EXPECT_EQ(drive_.ProtectCartridge("tape2", false).message,
            "Cartridge \"tape2\" is now writable.");
  EXPECT_EQ(Ini(CartridgeIni("tape2")).GetInt("Cartridge", "WriteProtected", 1), 0);

  EXPECT_EQ(drive_.SetAutoload(true).message,
            "Autoload is on for the virtual tape drive " + Dir() + ".");
  EXPECT_EQ(Ini(DriveIni()).GetInt("Drive", "Autoload", 0), 1);
  ASSERT_EQ(drive_.SetAutoload(false).code, code::kSuccess);
  EXPECT_EQ(Ini(DriveIni()).GetInt("Drive", "Autoload", 1), 0);
}

// ---- the files themselves ----

using VirtualTapeDriveFiles = VirtualTapeDriveTest;

TEST_F(VirtualTapeDriveFiles, UnknownKeysSurviveEveryRewrite) {
  CreateDrive();
  WriteFile(DriveIni(), ReadFile(DriveIni()) + "Vendor=Acme\n; bought in 2009\n[Site]\nShelf=3\n");
  WriteFile(CartridgeIni(),
            ReadFile(CartridgeIni()) + "Label=Monday\n[Faults]\nCustom=1\n[Notes]\nText=keep\n");
  {
    auto device = OpenDevice();
    ASSERT_EQ(device->SetMediaBlockSize(4096), code::kSuccess);
    WriteBlocks(*device, 4096, 1);
    ASSERT_EQ(device->WriteFilemark(), code::kSuccess);
  }
  ASSERT_EQ(drive_.ProtectCartridge("tape1", true).code, code::kSuccess);
  ASSERT_EQ(drive_.SetAutoload(true).code, code::kSuccess);

  std::string driveText = ReadFile(DriveIni());
  IniFile drive = IniFile::Parse(driveText);
  EXPECT_EQ(drive.GetString("Drive", "Vendor", ""), "Acme");
  EXPECT_EQ(drive.GetString("Site", "Shelf", ""), "3");
  EXPECT_NE(driveText.find("; bought in 2009\n"), std::string::npos);
  EXPECT_EQ(drive.GetInt("Drive", "Position", 0), 2);
  EXPECT_EQ(drive.GetInt("Drive", "MediaBlockSize", 0), 4096);
  IniFile cartridge = Ini(CartridgeIni());
  EXPECT_EQ(cartridge.GetString("Cartridge", "Label", ""), "Monday");
  EXPECT_EQ(cartridge.GetString("Faults", "Custom", ""), "1");
  EXPECT_EQ(cartridge.GetString("Notes", "Text", ""), "keep");
  EXPECT_EQ(cartridge.GetString("Cartridge", "Filemarks", ""), "1");
}

TEST_F(VirtualTapeDriveFiles, MissingOrEscapingLoadedCartridgeMeansNoTape) {
  CreateDrive();
  std::filesystem::create_directories(tmp_ / "outside.tape");
  for (const char* loaded : {"gone", "../outside"}) {
    EditIni(DriveIni(), "Drive", "Loaded", loaded);
    auto device = OpenDevice();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->WriteBlock(Block(512, 1)), code::kNoMediaInDrive) << loaded;
  }
  EXPECT_FALSE(std::filesystem::exists(tmp_ / "outside.tape/data"));
  EXPECT_EQ(drive_.UnloadCartridge().code, code::kSuccess);
  EXPECT_EQ(Ini(DriveIni()).GetString("Drive", "Loaded", "?"), "");
}

TEST_F(VirtualTapeDriveFiles, GarbageNumbersReadAsDefaults) {
  CreateDrive();
  EditIni(DriveIni(), "Drive", "MediaBlockSize", "abc");
  EditIni(DriveIni(), "Drive", "MaximumBlockSize", "-4");
  EditIni(DriveIni(), "Drive", "Position", "xyz");
  EditIni(CartridgeIni(), "Cartridge", "Capacity", "lots");
  EditIni(CartridgeIni(), "Cartridge", "BlockSize", "-1");
  EditIni(CartridgeIni(), "Cartridge", "Filemarks", "x,,-3");
  auto device = OpenDevice();
  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.Capacity, kGiB);
  EXPECT_EQ(media.BlockSize, 32768u);
  TapeDriveParameters parameters;
  ASSERT_EQ(device->GetDriveParameters(parameters), code::kSuccess);
  EXPECT_EQ(parameters.MaximumBlockSize, 65536u);
  EXPECT_EQ(Position(*device), 0);
  WriteBlocks(*device, 512, 2);
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
}

TEST_F(VirtualTapeDriveFiles, PartialLastBlockIsNoBlock) {
  CreateDrive();
  EditIni(CartridgeIni(), "Cartridge", "BlockSize", "512");
  WriteFile(DataPath(), AsText(Block(512, 1)) + AsText(Block(512, 2)) + std::string(100, 'x'));
  EditIni(DriveIni(), "Drive", "Position", "7");  // beyond the end: moved back to it
  auto device = OpenDevice();
  EXPECT_EQ(Position(*device), 2);
  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.Remaining, kGiB - 1024);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kNoDataDetected);
  ASSERT_EQ(device->WriteBlock(Block(512, 3)), code::kSuccess);
  EXPECT_EQ(Data(), AsText(Block(512, 1)) + AsText(Block(512, 2)) + AsText(Block(512, 3)));
}

TEST_F(VirtualTapeDriveFiles, ShortDataFileIsBlankAndItsBytesDoNotComeBack) {
  CreateDrive();
  EditIni(CartridgeIni(), "Cartridge", "BlockSize", "512");
  WriteFile(DataPath(), std::string(300, 'x'));
  auto device = OpenDevice();
  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_EQ(media.BlockSize, 32768u);
  ASSERT_EQ(device->WriteBlock(Block(64, 1)), code::kSuccess);
  EXPECT_EQ(Data(), AsText(Block(64, 1)));
}

TEST_F(VirtualTapeDriveFiles, FilemarksBeyondEndOfDataAreForgotten) {
  CreateDrive();
  EditIni(CartridgeIni(), "Cartridge", "BlockSize", "512");
  EditIni(CartridgeIni(), "Cartridge", "Filemarks", "1,5");
  WriteFile(DataPath(), AsText(Block(512, 0)) + std::string(512, '\0') + AsText(Block(512, 2)));
  auto device = OpenDevice();
  ASSERT_EQ(device->SpaceToEndOfData(), code::kSuccess);
  WriteBlocks(*device, 512, 3, 3);  // blocks 3, 4, 5
  ASSERT_EQ(device->SetPosition(TapePositionMethod::kAbsoluteBlock, 5), code::kSuccess);
  std::vector<uint8_t> buffer(512);
  ASSERT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, Block(512, 5));
  EXPECT_EQ(Ini(CartridgeIni()).GetString("Cartridge", "Filemarks", "?"), "1");
}

TEST_F(VirtualTapeDriveFiles, ReadOnlyDataFileActsWriteProtected) {
  if (geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
  {
    auto device = OpenDevice();
    WriteBlocks(*device, 512, 1);
  }
  ASSERT_EQ(chmod(DataPath().c_str(), 0444), 0);
  auto device = OpenDevice();
  TapeMediaParameters media;
  ASSERT_EQ(device->GetMediaParameters(media), code::kSuccess);
  EXPECT_TRUE(media.WriteProtected);
  EXPECT_EQ(device->WriteBlock(Block(512, 2)), code::kWriteProtect);
  std::vector<uint8_t> buffer(512);
  ASSERT_EQ(device->Rewind(), code::kSuccess);
  EXPECT_EQ(device->ReadBlock(buffer).result, code::kSuccess);
}

}  // namespace
}  // namespace vantrel
