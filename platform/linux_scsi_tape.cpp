#include "platform/linux_scsi_tape.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/mtio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace vantrel {
namespace {

using namespace tape_code;

// MTWEOFI of the kernel's linux/mtio.h, which glibc's sys/mtio.h lacks.
constexpr short kWriteFilemarksImmediate = 35;
constexpr uint32_t kFallbackMaximumBlockSize = 65536;
constexpr uint32_t kFallbackDefaultBlockSize = 32768;

struct BlockLimits {
  uint32_t minimum = 1;
  uint32_t maximum = kFallbackMaximumBlockSize;
};

// READ BLOCK LIMITS, passed through the st driver with SG_IO. The driver keeps the limits to
// itself, and neither MTIOCGET nor sysfs tells them; a drive or kernel that does not answer
// leaves the fallback values.
BlockLimits ReadBlockLimits(int fd) {
  uint8_t cdb[6] = {0x05, 0, 0, 0, 0, 0};
  uint8_t data[6] = {};
  uint8_t sense[32] = {};
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.cmd_len = sizeof(cdb);
  io.cmdp = cdb;
  io.dxfer_direction = SG_DXFER_FROM_DEV;
  io.dxfer_len = sizeof(data);
  io.dxferp = data;
  io.mx_sb_len = sizeof(sense);
  io.sbp = sense;
  io.timeout = 60000;
  BlockLimits limits;
  if (ioctl(fd, SG_IO, &io) != 0 || (io.info & SG_INFO_OK_MASK) != SG_INFO_OK || io.status != 0 ||
      io.resid != 0) {
    return limits;
  }
  uint32_t maximum = (uint32_t{data[1]} << 16) | (uint32_t{data[2]} << 8) | data[3];
  uint32_t minimum = (uint32_t{data[4]} << 8) | data[5];
  if (maximum > 0) limits.maximum = maximum;  // 0: the drive names no maximum
  if (minimum > 0 && minimum <= limits.maximum) limits.minimum = minimum;
  return limits;
}

class LinuxScsiTapeDevice : public TapeDevice {
 public:
  LinuxScsiTapeDevice(int fd, bool readOnly) : fd_(fd), readOnly_(readOnly) {}
  ~LinuxScsiTapeDevice() override {
    FinishWriting();
    close(fd_);
  }

  TapeResult GetDriveParameters(TapeDriveParameters& out) override {
    mtget status{};
    if (!Status(status)) return TapeResultFromErrno(errno, TapeErrnoContext::kCommand);
    BlockLimits limits = ReadBlockLimits(fd_);
    out = TapeDriveParameters();
    out.MinimumBlockSize = limits.minimum;
    out.MaximumBlockSize = limits.maximum;
    uint32_t current = CurrentBlockSize(status);
    out.DefaultBlockSize = current ? current : std::min(kFallbackDefaultBlockSize, limits.maximum);
    out.MaximumPartitionCount = 1;
    return kSuccess;
  }

  // Linux does not tell the capacity of a medium: Capacity and Remaining stay 0.
  TapeResult GetMediaParameters(TapeMediaParameters& out) override {
    mtget status{};
    if (!Status(status)) return TapeResultFromErrno(errno, TapeErrnoContext::kCommand);
    if (GMT_DR_OPEN(status.mt_gstat) || !GMT_ONLINE(status.mt_gstat)) return kNoMediaInDrive;
    out = TapeMediaParameters();
    uint32_t current = CurrentBlockSize(status);
    out.BlockSize = current ? current : blockSize_;
    out.PartitionCount = 1;
    out.WriteProtected = readOnly_ || GMT_WR_PROT(status.mt_gstat);
    return kSuccess;
  }

  // Fixed block mode, as SET_TAPE_MEDIA_INFORMATION sets it; the driver checks the drive's limits.
  TapeResult SetMediaBlockSize(uint32_t blockSize) override {
    if (blockSize == 0 || blockSize > INT_MAX) return kInvalidParameter;
    if (TapeResult r = FinishWriting()) return r;
    if (TapeResult r = Operation(MTSETBLK, static_cast<int>(blockSize), TapeErrnoContext::kCommand))
      return r;
    blockSize_ = blockSize;
    return kSuccess;
  }

  TapeResult Rewind() override { return Command(MTREW, 0); }

  TapeResult SetPosition(TapePositionMethod method, int64_t block) override {
    if (method != TapePositionMethod::kAbsoluteBlock &&
        method != TapePositionMethod::kLogicalBlock) {
      return kInvalidParameter;
    }
    if (block < 0 || block > INT_MAX) return kInvalidParameter;
    if (TapeResult r = FinishWriting()) return r;
    if (DoOperation(MTSEEK, static_cast<int>(block)) == 0) return kSuccess;
    int err = errno;
    if (err == EIO && AtEndOfData()) return kNoDataDetected;
    return TapeResultFromErrno(err, TapeErrnoContext::kCommand);
  }

  TapeResult SpaceToEndOfData() override { return Command(MTEOM, 0); }

  TapePosition GetPosition(TapePositionType type) override {
    mtpos position{};
    if (ioctl(fd_, MTIOCPOS, &position) != 0) {
      return {TapeResultFromErrno(errno, TapeErrnoContext::kCommand), 0};
    }
    return {kSuccess, static_cast<int64_t>(position.mt_blkno)};
  }

  // MTERASE with count 0 is the short erase: end of data at the current position.
  TapeResult Erase() override {
    if (readOnly_) return kWriteProtect;
    if (TapeResult r = FinishWriting()) return r;
    return Operation(MTERASE, 0, TapeErrnoContext::kWrite);
  }

  TapeResult Prepare(TapePrepareOperation operation) override {
    switch (operation) {
      case TapePrepareOperation::kLoad:
        return Command(MTLOAD, 0);
      case TapePrepareOperation::kUnload:
        return Command(MTUNLOAD, 0);
      case TapePrepareOperation::kTension:
        return Command(MTRETEN, 0);
      case TapePrepareOperation::kLock:
        return Command(MTLOCK, 0);
      case TapePrepareOperation::kUnlock:
        return Command(MTUNLOCK, 0);
    }
    return kInvalidParameter;
  }

  TapeResult WriteFilemark() override {
    if (readOnly_) return kWriteProtect;
    writing_ = false;
    return Operation(MTWEOF, 1, TapeErrnoContext::kWrite);
  }

  // One partition; where the driver has partitioning switched off (its default), a short erase
  // at the beginning leaves the medium just as empty.
  TapeResult CreateFixedPartitions() override {
    if (readOnly_) return kWriteProtect;
    if (TapeResult r = FinishWriting()) return r;
    if (DoOperation(MTMKPART, 0) == 0) return kSuccess;
    if (errno != EINVAL) return TapeResultFromErrno(errno, TapeErrnoContext::kWrite);
    if (TapeResult r = Operation(MTREW, 0, TapeErrnoContext::kCommand)) return r;
    return Operation(MTERASE, 0, TapeErrnoContext::kWrite);
  }

  TapeTransfer ReadBlock(std::span<uint8_t> buffer) override {
    if (TapeResult r = FinishWriting()) return {r, 0};
    ssize_t n;
    do {
      n = read(fd_, buffer.data(), buffer.size());
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {kSuccess, static_cast<size_t>(n)};
    int err = n < 0 ? errno : 0;
    // The driver answers the end of data with 0 bytes, and with EIO when read again.
    if ((n == 0 || err == EIO) && AtEndOfData()) return {kNoDataDetected, 0};
    if (n == 0) {
      mtget status{};
      if (!Status(status)) return {TapeResultFromErrno(errno, TapeErrnoContext::kCommand), 0};
      return {kFilemarkDetected, 0};
    }
    return {TapeResultFromErrno(err, TapeErrnoContext::kRead), 0};
  }

  TapeResult WriteBlock(std::span<const uint8_t> data) override {
    if (readOnly_) return kWriteProtect;
    writing_ = true;
    ssize_t n;
    do {
      n = write(fd_, data.data(), data.size());
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(data.size())) return kSuccess;
    if (n >= 0) return kEndOfMedia;  // a short write: the medium is full
    return TapeResultFromErrno(errno, TapeErrnoContext::kWrite);
  }

 private:
  static uint32_t CurrentBlockSize(const mtget& status) {
    return static_cast<uint32_t>((status.mt_dsreg & MT_ST_BLKSIZE_MASK) >> MT_ST_BLKSIZE_SHIFT);
  }

  int DoOperation(short op, int count) {
    mtop operation{};
    operation.mt_op = op;
    operation.mt_count = count;
    int rc;
    do {
      rc = ioctl(fd_, MTIOCTOP, &operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
  }

  TapeResult Operation(short op, int count, TapeErrnoContext context) {
    return DoOperation(op, count) == 0 ? kSuccess : TapeResultFromErrno(errno, context);
  }

  // A drive command after writing: the written blocks are finished first.
  TapeResult Command(short op, int count) {
    if (TapeResult r = FinishWriting()) return r;
    return Operation(op, count, TapeErrnoContext::kCommand);
  }

  bool Status(mtget& status) { return ioctl(fd_, MTIOCGET, &status) == 0; }

  bool AtEndOfData() {
    mtget status{};
    return Status(status) && GMT_EOD(status.mt_gstat);
  }

  // The st driver writes a filemark when the device is closed, rewound or positioned after
  // writing; the Windows drivers do not, and the program's block numbers count on that. Writing
  // zero filemarks flushes the drive's buffer (so write errors show here) and ends the write; the
  // immediate form is the one after which the driver is documented to close without a filemark.
  TapeResult FinishWriting() {
    if (!writing_) return kSuccess;
    writing_ = false;
    if (TapeResult r = Operation(MTWEOF, 0, TapeErrnoContext::kWrite)) return r;
    DoOperation(kWriteFilemarksImmediate,
                0);  // older kernels do not know it; MTWEOF 0 has ended the write anyway
    return kSuccess;
  }

  int fd_;
  bool readOnly_;
  bool writing_ = false;    // the last transfer was a write
  uint32_t blockSize_ = 0;  // the block size set by SetMediaBlockSize
};

}  // namespace

TapeResult TapeResultFromErrno(int error, TapeErrnoContext context) {
  const bool transfer = context == TapeErrnoContext::kRead || context == TapeErrnoContext::kWrite;
  switch (error) {
    case 0:
      return kSuccess;
    case EBUSY:
      return kBusy;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return kFileNotFound;
    case ENOMEDIUM:
      return kNoMediaInDrive;
    case EROFS:
      return kWriteProtect;
    // The driver answers a write or erase of a write-protected tape with EACCES.
    case EACCES:
      return context == TapeErrnoContext::kWrite ? kWriteProtect : kAccessDenied;
    case EPERM:
      return kAccessDenied;
    case ENOSPC:
      return kEndOfMedia;
    // A read into a buffer smaller than the block on tape.
    case ENOMEM:
      return context == TapeErrnoContext::kRead ? kInvalidBlockLength : kNotEnoughMemory;
    case EOVERFLOW:
    case EINVAL:
      return transfer ? kInvalidBlockLength : kInvalidParameter;
    case EIO:
      return context == TapeErrnoContext::kRead ? kCrc : kIoDevice;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
      return kInvalidFunction;
    default:
      return kIoDevice;
  }
}

LinuxScsiTapeDrive::LinuxScsiTapeDrive(std::string devicePath)
    : devicePath_(std::move(devicePath)) {}

TapeOpenResult LinuxScsiTapeDrive::Open() {
  // O_NONBLOCK lets the open succeed without a tape (a load can then be sent) and with a
  // write-protected one; the transfers then wait for the drive as usual.
  int fd = open(devicePath_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  bool readOnly = false;
  if (fd < 0 && errno == EROFS) {
    fd = open(devicePath_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    readOnly = true;
  }
  if (fd < 0) return {nullptr, TapeResultFromErrno(errno, TapeErrnoContext::kOpen)};
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return {std::make_unique<LinuxScsiTapeDevice>(fd, readOnly), kSuccess};
}

}  // namespace vantrel
