// The tape interface the engine drives. It mirrors the tape calls of the Windows tape API and
// keeps their result codes (0, 1100, 1104, 1112, ...), because the engine's texts and decisions
// are keyed by them. A backend translates its own errors into these codes in one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vantrel {

// Windows system error codes as the tape calls answer them.
using TapeResult = uint32_t;

namespace tape_code {
constexpr TapeResult kSuccess = 0;
constexpr TapeResult kInvalidFunction = 1;
constexpr TapeResult kFileNotFound = 2;
constexpr TapeResult kAccessDenied = 5;
constexpr TapeResult kNotEnoughMemory = 8;
constexpr TapeResult kWriteProtect = 19;
constexpr TapeResult kNotReady = 21;
constexpr TapeResult kCrc = 23;
constexpr TapeResult kWriteFault = 29;
constexpr TapeResult kReadFault = 30;
constexpr TapeResult kGenFailure = 31;
constexpr TapeResult kNotSupported = 50;
constexpr TapeResult kInvalidParameter = 87;
constexpr TapeResult kBusy = 170;
constexpr TapeResult kMoreData = 234;
constexpr TapeResult kEndOfMedia = 1100;
constexpr TapeResult kFilemarkDetected = 1101;
constexpr TapeResult kBeginningOfMedia = 1102;
constexpr TapeResult kSetmarkDetected = 1103;
constexpr TapeResult kNoDataDetected = 1104;
constexpr TapeResult kPartitionFailure = 1105;
constexpr TapeResult kInvalidBlockLength = 1106;
constexpr TapeResult kDeviceNotPartitioned = 1107;
constexpr TapeResult kUnableToLockMedia = 1108;
constexpr TapeResult kUnableToUnloadMedia = 1109;
constexpr TapeResult kMediaChanged = 1110;
constexpr TapeResult kBusReset = 1111;
constexpr TapeResult kNoMediaInDrive = 1112;
constexpr TapeResult kIoDevice = 1117;
}  // namespace tape_code

// GET_TAPE_DRIVE_INFORMATION, the fields the program shows and uses.
struct TapeDriveParameters {
  bool ECC = false;
  bool Compression = false;
  bool DataPadding = false;
  bool ReportSetmarks = false;
  uint32_t DefaultBlockSize = 0;
  uint32_t MaximumBlockSize = 0;
  uint32_t MinimumBlockSize = 0;
  uint32_t MaximumPartitionCount = 0;
  uint32_t FeaturesLow = 0;
  uint32_t FeaturesHigh = 0;
  uint32_t EOTWarningZoneSize = 0;
};

// GET_TAPE_MEDIA_INFORMATION.
struct TapeMediaParameters {
  int64_t Capacity = 0;
  int64_t Remaining = 0;
  uint32_t BlockSize = 0;
  uint32_t PartitionCount = 0;
  bool WriteProtected = false;
};

// SetTapePosition methods the program uses.
enum class TapePositionMethod { kAbsoluteBlock = 1, kLogicalBlock = 2 };
// GetTapePosition types.
enum class TapePositionType { kAbsolute = 0, kLogical = 1 };
// PrepareTape operations.
enum class TapePrepareOperation { kLoad, kUnload, kTension, kLock, kUnlock };

struct TapeTransfer {
  TapeResult result = tape_code::kSuccess;
  size_t bytes = 0;  // bytes moved; 0 for a filemark
};

struct TapePosition {
  TapeResult result = tape_code::kSuccess;
  int64_t block = 0;
};

// One open handle of a tape drive. Closing is destroying it. Every call answers with a Windows
// result code and never throws. The drive keeps its position between handles.
class TapeDevice {
 public:
  virtual ~TapeDevice() = default;

  virtual TapeResult GetDriveParameters(TapeDriveParameters& out) = 0;
  virtual TapeResult GetMediaParameters(TapeMediaParameters& out) = 0;
  // SET_TAPE_MEDIA_INFORMATION: the block size of the following transfers.
  virtual TapeResult SetMediaBlockSize(uint32_t blockSize) = 0;

  virtual TapeResult Rewind() = 0;
  // Moves to a block of partition 0.
  virtual TapeResult SetPosition(TapePositionMethod method, int64_t block) = 0;
  virtual TapeResult SpaceToEndOfData() = 0;
  virtual TapePosition GetPosition(TapePositionType type) = 0;

  // Short erase: the end of data becomes the current position.
  virtual TapeResult Erase() = 0;
  virtual TapeResult Prepare(TapePrepareOperation operation) = 0;
  virtual TapeResult WriteFilemark() = 0;
  // TAPE_FIXED_PARTITIONS with count 0: one partition, the medium becomes empty.
  virtual TapeResult CreateFixedPartitions() = 0;

  // Reads the block at the current position into `buffer`, whose size is the transfer length.
  virtual TapeTransfer ReadBlock(std::span<uint8_t> buffer) = 0;
  // Writes one block of `data.size()` bytes at the current position.
  virtual TapeResult WriteBlock(std::span<const uint8_t> data) = 0;
};

struct TapeOpenResult {
  std::unique_ptr<TapeDevice> device;  // null when the open failed
  TapeResult result = tape_code::kSuccess;
};

// A tape drive the program can open: the device behind `\\.\tape0`.
class TapeDrive {
 public:
  virtual ~TapeDrive() = default;
  // Opens the drive for reading and writing. Fails with kBusy while another handle is open
  // (also one of another process), and with kFileNotFound when there is no such drive.
  virtual TapeOpenResult Open() = 0;
  // What the user is shown as the device in use (a directory or a device path).
  virtual std::string Name() const = 0;
  // True when the drive needs no settle time between commands (the waits before a rewind and
  // before a close exist for mechanical drives).
  virtual bool SettlesAtOnce() const { return false; }
};

// Forwards every call to another device, so that a fault double overrides only what it breaks.
class TapeDeviceWrapper : public TapeDevice {
 public:
  explicit TapeDeviceWrapper(std::unique_ptr<TapeDevice> target) : target_(std::move(target)) {}

  TapeResult GetDriveParameters(TapeDriveParameters& out) override {
    return target_->GetDriveParameters(out);
  }
  TapeResult GetMediaParameters(TapeMediaParameters& out) override {
    return target_->GetMediaParameters(out);
  }
  TapeResult SetMediaBlockSize(uint32_t blockSize) override {
    return target_->SetMediaBlockSize(blockSize);
  }
  TapeResult Rewind() override { return target_->Rewind(); }
  TapeResult SetPosition(TapePositionMethod method, int64_t block) override {
    return target_->SetPosition(method, block);
  }
  TapeResult SpaceToEndOfData() override { return target_->SpaceToEndOfData(); }
  TapePosition GetPosition(TapePositionType type) override { return target_->GetPosition(type); }
  TapeResult Erase() override { return target_->Erase(); }
  TapeResult Prepare(TapePrepareOperation operation) override {
    return target_->Prepare(operation);
  }
  TapeResult WriteFilemark() override { return target_->WriteFilemark(); }
  TapeResult CreateFixedPartitions() override { return target_->CreateFixedPartitions(); }
  TapeTransfer ReadBlock(std::span<uint8_t> buffer) override { return target_->ReadBlock(buffer); }
  TapeResult WriteBlock(std::span<const uint8_t> data) override {
    return target_->WriteBlock(data);
  }

 protected:
  TapeDevice& target() { return *target_; }

 private:
  std::unique_ptr<TapeDevice> target_;
};

// The drive named by `name`: a character device (a Linux SCSI tape such as /dev/nst0) or else a
// virtual drive directory, created with one blank cartridge on first use.
std::unique_ptr<TapeDrive> MakeTapeDrive(const std::string& name);

}  // namespace vantrel
