#include "platform/linux_scsi_tape.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/virtual_tape_drive.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

namespace code = tape_code;
using Context = TapeErrnoContext;

TEST(LinuxScsiTapeErrno, TranslatesIntoWindowsCodes) {
  struct Case {
    int error;
    Context context;
    TapeResult expected;
  };
  const std::vector<Case> cases = {
      {0, Context::kRead, code::kSuccess},
      {EBUSY, Context::kOpen, code::kBusy},
      {ENOENT, Context::kOpen, code::kFileNotFound},
      {ENXIO, Context::kOpen, code::kFileNotFound},
      {ENOMEDIUM, Context::kOpen, code::kNoMediaInDrive},
      {ENOMEDIUM, Context::kRead, code::kNoMediaInDrive},
      {EACCES, Context::kOpen, code::kAccessDenied},
      {EACCES, Context::kWrite, code::kWriteProtect},
      {EROFS, Context::kWrite, code::kWriteProtect},
      {ENOSPC, Context::kWrite, code::kEndOfMedia},
      {ENOMEM, Context::kRead, code::kInvalidBlockLength},
      {ENOMEM, Context::kCommand, code::kNotEnoughMemory},
      {EOVERFLOW, Context::kRead, code::kInvalidBlockLength},
      {EINVAL, Context::kWrite, code::kInvalidBlockLength},
      {EINVAL, Context::kCommand, code::kInvalidParameter},
      {EIO, Context::kRead, code::kCrc},
      {EIO, Context::kWrite, code::kIoDevice},
      {EIO, Context::kCommand, code::kIoDevice},
      {ENOTTY, Context::kCommand, code::kInvalidFunction},
      {ENOSYS, Context::kCommand, code::kInvalidFunction},
      {ETIMEDOUT, Context::kCommand, code::kIoDevice},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TapeResultFromErrno(c.error, c.context), c.expected)
        << "errno " << c.error << " context " << static_cast<int>(c.context);
  }
}

TEST(LinuxScsiTapeDrive, MissingDeviceIsFileNotFound) {
  testing::TempDir tmp;
  LinuxScsiTapeDrive drive(tmp / "nst9");
  TapeOpenResult opened = drive.Open();
  EXPECT_FALSE(opened.device);
  EXPECT_EQ(opened.result, code::kFileNotFound);
  EXPECT_EQ(drive.Name(), tmp / "nst9");
}

// A character device that is not a tape opens, but its tape calls are refused, not faked.
TEST(LinuxScsiTapeDrive, NonTapeDeviceRefusesTapeCalls) {
  LinuxScsiTapeDrive drive("/dev/null");
  TapeOpenResult opened = drive.Open();
  ASSERT_TRUE(opened.device);
  TapeMediaParameters media;
  EXPECT_EQ(opened.device->GetMediaParameters(media), code::kInvalidFunction);
  EXPECT_EQ(opened.device->Rewind(), code::kInvalidFunction);
  EXPECT_EQ(opened.device->GetPosition(TapePositionType::kAbsolute).result, code::kInvalidFunction);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(opened.device->ReadBlock(buffer).result, code::kInvalidFunction);
  EXPECT_EQ(opened.device->SetPosition(TapePositionMethod::kAbsoluteBlock, -1),
            code::kInvalidParameter);
  EXPECT_EQ(opened.device->SetMediaBlockSize(0), code::kInvalidParameter);
}

TEST(LinuxScsiTapeMakeTapeDrive, PicksTheBackendByWhatTheNameIs) {
  testing::TempDir tmp;
  auto device = MakeTapeDrive("/dev/null");
  EXPECT_NE(dynamic_cast<LinuxScsiTapeDrive*>(device.get()), nullptr);

  auto directory = MakeTapeDrive(tmp / "vtape");
  EXPECT_NE(dynamic_cast<VirtualTapeDrive*>(directory.get()), nullptr);
  EXPECT_EQ(directory->Name(), tmp / "vtape");
  EXPECT_TRUE(directory->Open().device);
  EXPECT_TRUE(std::filesystem::exists(tmp / "vtape/drive.ini"));

  auto missing = MakeTapeDrive("/dev/vantrel-no-such-tape");
  EXPECT_NE(dynamic_cast<LinuxScsiTapeDrive*>(missing.get()), nullptr);
  EXPECT_EQ(missing->Open().result, code::kFileNotFound);
  EXPECT_FALSE(std::filesystem::exists("/dev/vantrel-no-such-tape"));
}

// Runs only against a real drive named by VANTREL_TEST_TAPE (a non-rewinding device such as
// /dev/nst0). THE TAPE IN THAT DRIVE IS OVERWRITTEN.
TEST(LinuxScsiTapeHardware, BehavesLikeTheWindowsDriveAcrossCloseAndOpen) {
  const char* path = std::getenv("VANTREL_TEST_TAPE");
  if (!path || !*path) GTEST_SKIP() << "VANTREL_TEST_TAPE names no tape device";
  constexpr uint32_t kSize = 32768;
  auto block = [](uint8_t seed) { return std::vector<uint8_t>(kSize, seed); };
  LinuxScsiTapeDrive drive(path);
  {
    TapeOpenResult opened = drive.Open();
    ASSERT_TRUE(opened.device) << "open failed with " << opened.result;
    TapeDevice& tape = *opened.device;
    EXPECT_EQ(drive.Open().result, code::kBusy);
    TapeDriveParameters parameters;
    ASSERT_EQ(tape.GetDriveParameters(parameters), code::kSuccess);
    EXPECT_GE(parameters.MaximumBlockSize, parameters.MinimumBlockSize);
    ASSERT_EQ(tape.SetMediaBlockSize(kSize), code::kSuccess);
    ASSERT_EQ(tape.Rewind(), code::kSuccess);
    for (uint8_t seed = 1; seed <= 3; ++seed)
      ASSERT_EQ(tape.WriteBlock(block(seed)), code::kSuccess);
    ASSERT_EQ(tape.WriteFilemark(), code::kSuccess);
    ASSERT_EQ(tape.WriteBlock(block(5)), code::kSuccess);
    EXPECT_EQ(tape.GetPosition(TapePositionType::kAbsolute).block, 5);
  }
  // Closing after a write must not have added a filemark: the end of data stays at block 5.
  TapeOpenResult opened = drive.Open();
  ASSERT_TRUE(opened.device);
  TapeDevice& tape = *opened.device;
  ASSERT_EQ(tape.Rewind(), code::kSuccess);
  ASSERT_EQ(tape.SpaceToEndOfData(), code::kSuccess);
  EXPECT_EQ(tape.GetPosition(TapePositionType::kAbsolute).block, 5);
  ASSERT_EQ(tape.SetPosition(TapePositionMethod::kAbsoluteBlock, 0), code::kSuccess);
  std::vector<uint8_t> buffer(kSize);
  for (uint8_t seed = 1; seed <= 3; ++seed) {
    ASSERT_EQ(tape.ReadBlock(buffer).result, code::kSuccess);
    EXPECT_EQ(buffer, block(seed));
  }
  EXPECT_EQ(tape.ReadBlock(buffer).result, code::kFilemarkDetected);
  ASSERT_EQ(tape.ReadBlock(buffer).result, code::kSuccess);
  EXPECT_EQ(buffer, block(5));
  EXPECT_EQ(tape.ReadBlock(buffer).result, code::kNoDataDetected);
}

}  // namespace
}  // namespace vantrel
