#include "platform/virtual_tape_drive.h"

#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "platform/ini_file.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using namespace tape_code;

constexpr const char* kDriveFile = "drive.ini";
constexpr const char* kCartridgeFile = "cartridge.ini";
constexpr const char* kDataFile = "data";
constexpr const char* kCartridgeSuffix = ".tape";
constexpr size_t kMaxFileNameLength = 255;

constexpr const char* kDrive = "Drive";
constexpr const char* kCartridge = "Cartridge";
constexpr const char* kFaults = "Faults";
// MediaChangedOnce=1 is consumed by the next load, which leaves MediaChangedPending=1 in its place
// until a call has answered 1110. Keeping the armed state in the file lets it survive between a
// load and that call even when they happen in different handles or processes (vtape load, then
// the program opens the drive).
constexpr const char* kMediaChangedOnce = "MediaChangedOnce";
constexpr const char* kMediaChangedPending = "MediaChangedPending";

constexpr uint32_t kDefaultBlockSize = 32768;
constexpr uint32_t kDefaultMaximumBlockSize = 65536;
constexpr int64_t kMaxUint32 = 0xffffffffLL;

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~FileDescriptor() { Reset(); }

  int get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

std::string Join(const std::string& dir, const std::string& name) {
  return (fs::path(dir) / name).string();
}
std::string CartridgeDir(const std::string& drive, const std::string& name) {
  return Join(drive, name + kCartridgeSuffix);
}
std::string CartridgeIniPath(const std::string& drive, const std::string& name) {
  return Join(CartridgeDir(drive, name), kCartridgeFile);
}
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A whole number in [min, max]; anything else (missing, garbage, out of range) is the fallback.
int64_t ReadNumber(const IniFile& ini, const char* section, const char* key, int64_t fallback,
                   int64_t min, int64_t max) {
  std::optional<int64_t> value = ini.GetInt(section, key);
  if (!value || *value < min || *value > max) return fallback;
  return *value;
}

bool ReadFlag(const IniFile& ini, const char* section, const char* key, bool fallback) {
  std::optional<int64_t> value = ini.GetInt(section, key);
  return value ? *value != 0 : fallback;
}

// ---- drive.ini ----

struct DriveSettings {
  std::string loaded;
  int64_t position = 0;
  uint32_t mediaBlockSize = kDefaultBlockSize;
  bool autoload = false;
  TapeDriveParameters parameters;
};

DriveSettings ReadDriveSettings(const IniFile& ini) {
  auto u32 = [&](const char* key, uint32_t fallback, int64_t min) {
    return static_cast<uint32_t>(ReadNumber(ini, kDrive, key, fallback, min, kMaxUint32));
  };
  DriveSettings s;
  s.loaded = ini.GetString(kDrive, "Loaded", "");
  s.position = ReadNumber(ini, kDrive, "Position", 0, 0, INT64_MAX);
  s.mediaBlockSize = u32("MediaBlockSize", kDefaultBlockSize, 1);
  s.autoload = ReadFlag(ini, kDrive, "Autoload", false);
  TapeDriveParameters& p = s.parameters;
  p.MaximumBlockSize = u32("MaximumBlockSize", kDefaultMaximumBlockSize, 1);
  p.MinimumBlockSize = u32("MinimumBlockSize", 1, 1);
  p.DefaultBlockSize = u32("DefaultBlockSize", kDefaultBlockSize, 1);
  p.MaximumPartitionCount = u32("MaximumPartitionCount", 1, 0);
  p.ECC = ReadFlag(ini, kDrive, "ECC", true);
  p.Compression = ReadFlag(ini, kDrive, "Compression", false);
  p.DataPadding = ReadFlag(ini, kDrive, "DataPadding", false);
  p.ReportSetmarks = ReadFlag(ini, kDrive, "ReportSetmarks", false);
  p.FeaturesLow = u32("FeaturesLow", 0, 0);
  p.FeaturesHigh = u32("FeaturesHigh", 0, 0);
  p.EOTWarningZoneSize = u32("EOTWarningZoneSize", 0, 0);
  return s;
}

IniFile NewDriveIni(const std::string& loaded) {
  IniFile ini;
  ini.Set(kDrive, "Loaded", loaded);
  ini.SetInt(kDrive, "Position", 0);
  ini.SetInt(kDrive, "MediaBlockSize", kDefaultBlockSize);
  ini.SetInt(kDrive, "Autoload", 0);
  ini.SetInt(kDrive, "MaximumBlockSize", kDefaultMaximumBlockSize);
  ini.SetInt(kDrive, "MinimumBlockSize", 1);
  ini.SetInt(kDrive, "DefaultBlockSize", kDefaultBlockSize);
  ini.SetInt(kDrive, "MaximumPartitionCount", 1);
  ini.SetInt(kDrive, "ECC", 1);
  for (const char* key : {"Compression", "DataPadding", "ReportSetmarks", "FeaturesLow",
                          "FeaturesHigh", "EOTWarningZoneSize"}) {
    ini.SetInt(kDrive, key, 0);
  }
  return ini;
}

// ---- cartridge.ini ----

struct Faults {
  int64_t writeErrorAtBlock = -1;
  TapeResult writeErrorCode = kIoDevice;
  int64_t readErrorAtBlock = -1;
  bool mediaChangedPending = false;
};

struct CartridgeSettings {
  int64_t capacity = VirtualTapeDrive::kDefaultCapacity;
  uint32_t blockSize = 0;
  std::set<int64_t> filemarks;
  bool writeProtected = false;
  Faults faults;
};

std::set<int64_t> ParseFilemarks(const std::string& text) {
  std::set<int64_t> marks;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = std::min(text.find(',', start), text.size());
    std::string item = text.substr(start, end - start);
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    int64_t block = -1;
    auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), block);
    if (ec == std::errc() && ptr == item.data() + item.size() && block >= 0) marks.insert(block);
    start = end + 1;
  }
  return marks;
}

std::string FormatFilemarks(const std::set<int64_t>& marks) {
  std::string text;
  for (int64_t block : marks) {
    if (!text.empty()) text += ",";
    text += std::to_string(block);
  }
  return text;
}

CartridgeSettings ReadCartridgeSettings(const IniFile& ini) {
  CartridgeSettings s;
  s.capacity =
      ReadNumber(ini, kCartridge, "Capacity", VirtualTapeDrive::kDefaultCapacity, 0, INT64_MAX);
  s.blockSize = static_cast<uint32_t>(ReadNumber(ini, kCartridge, "BlockSize", 0, 0, kMaxUint32));
  s.filemarks = ParseFilemarks(ini.GetString(kCartridge, "Filemarks", ""));
  s.writeProtected = ReadFlag(ini, kCartridge, "WriteProtected", false);
  s.faults.writeErrorAtBlock = ReadNumber(ini, kFaults, "WriteErrorAtBlock", -1, 0, INT64_MAX);
  // A code of 0 would report a failed write as written.
  s.faults.writeErrorCode =
      static_cast<TapeResult>(ReadNumber(ini, kFaults, "WriteErrorCode", kIoDevice, 1, kMaxUint32));
  s.faults.readErrorAtBlock = ReadNumber(ini, kFaults, "ReadErrorAtBlock", -1, 0, INT64_MAX);
  s.faults.mediaChangedPending = ReadFlag(ini, kFaults, kMediaChangedPending, false);
  return s;
}

IniFile NewCartridgeIni(int64_t capacity) {
  IniFile ini;
  ini.SetInt(kCartridge, "Capacity", capacity);
  ini.SetInt(kCartridge, "BlockSize", 0);
  ini.Set(kCartridge, "Filemarks", "");
  ini.SetInt(kCartridge, "WriteProtected", 0);
  return ini;
}

// Arms MediaChangedOnce at a load. Returns whether it was armed.
bool ArmMediaChange(IniFile& ini, const std::string& path) {
  if (!ReadFlag(ini, kFaults, kMediaChangedOnce, false)) return false;
  ini.Remove(kFaults, kMediaChangedOnce);
  ini.SetInt(kFaults, kMediaChangedPending, 1);
  ini.Save(path);
  return true;
}

void ArmMediaChange(const std::string& drive, const std::string& name) {
  if (!VirtualTapeDrive::IsValidCartridgeName(name)) return;
  std::string path = CartridgeIniPath(drive, name);
  std::optional<IniFile> ini = IniFile::Load(path);
  if (ini) ArmMediaChange(*ini, path);
}

// ---- cartridges of a drive ----

bool CartridgeExists(const std::string& drive, const std::string& name) {
  std::error_code ec;
  return VirtualTapeDrive::IsValidCartridgeName(name) &&
         fs::is_directory(CartridgeDir(drive, name), ec);
}

// Names of the cartridges in byte order.
std::vector<std::string> CartridgeNames(const std::string& drive) {
  std::vector<std::string> names;
  std::error_code ec;
  const std::string suffix = kCartridgeSuffix;
  for (fs::directory_iterator it(drive, ec), end; !ec && it != end; it.increment(ec)) {
    std::string file = it->path().filename().string();
    if (file.size() <= suffix.size() || !file.ends_with(suffix)) continue;
    std::string name = file.substr(0, file.size() - suffix.size());
    std::error_code dirEc;
    if (VirtualTapeDrive::IsValidCartridgeName(name) && it->is_directory(dirEc)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());  // std::string compares bytes as unsigned char
  return names;
}

// The cartridge a sequential stacker loads after `current`; empty after the last one.
std::string NextCartridge(const std::string& drive, const std::string& current) {
  std::vector<std::string> names = CartridgeNames(drive);
  auto next = std::upper_bound(names.begin(), names.end(), current);
  return next == names.end() ? std::string() : *next;
}

// Makes NAME.tape with its cartridge.ini and an empty data file. Returns 0 or an errno.
int CreateCartridgeFiles(const std::string& drive, const std::string& name, int64_t capacity) {
  std::string dir = CartridgeDir(drive, name);
  if (mkdir(dir.c_str(), 0755) != 0) return errno;
  if (int err = NewCartridgeIni(capacity).Save(Join(dir, kCartridgeFile))) return err;
  int fd = open(Join(dir, kDataFile).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

bool IsDrive(const std::string& dir) {
  std::error_code ec;
  return fs::exists(Join(dir, kDriveFile), ec) || !CartridgeNames(dir).empty();
}

// The cartridge first, drive.ini last: a drive.ini marks a complete drive.
int CreateDriveFiles(const std::string& dir) {
  if (int err = CreateCartridgeFiles(dir, VirtualTapeDrive::kFirstCartridge,
                                     VirtualTapeDrive::kDefaultCapacity);
      err != 0 && err != EEXIST) {
    return err;
  }
  return NewDriveIni(VirtualTapeDrive::kFirstCartridge).Save(Join(dir, kDriveFile));
}

TapeResult CodeForErrno(int err) {
  return err == EACCES || err == EPERM || err == EROFS ? kAccessDenied : kIoDevice;
}

// ---- the drive's lock ----

struct DriveAccess {
  FileDescriptor lock;
  TapeResult code = kSuccess;
  std::string message;
};

DriveAccess Refuse(TapeResult code, std::string message) {
  DriveAccess access;
  access.code = code;
  access.message = std::move(message);
  return access;
}

// Makes a missing drive directory, takes the drive's lock and creates the drive's files when the
// directory holds no drive yet. The lock is a flock on the directory itself, so that the layout
// carries no lock files and a crashed process leaves no stale lock.
DriveAccess AcquireDrive(const std::string& dir) {
  if (dir.empty()) return Refuse(kFileNotFound, "No virtual tape drive directory was given.");
  std::error_code ec;
  fs::create_directories(dir, ec);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    int err = ec ? ec.value() : errno;
    return Refuse(err == EACCES || err == EPERM ? kAccessDenied : kFileNotFound,
                  "The virtual tape drive " + dir + " cannot be used: " + std::strerror(err) + ".");
  }
  DriveAccess access;
  access.lock = FileDescriptor(fd);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return Refuse(kBusy, "The virtual tape drive " + dir + " is in use.");
    return Refuse(kIoDevice, "The virtual tape drive " + dir +
                                 " cannot be locked: " + std::strerror(errno) + ".");
  }
  if (!IsDrive(dir)) {
    if (int err = CreateDriveFiles(dir)) {
      return Refuse(CodeForErrno(err), "The virtual tape drive " + dir +
                                           " cannot be created: " + std::strerror(err) + ".");
    }
  }
  return access;
}

// ---- the loaded medium ----

struct Medium {
  std::string name;
  std::string iniPath;
  IniFile ini;
  CartridgeSettings settings;
  FileDescriptor data;
  bool readOnly = false;   // the data file itself cannot be written
  int64_t dataLength = 0;  // bytes in the data file
  int64_t endOfData = 0;   // blocks
  bool iniChanged = false;

  uint32_t blockSize() const { return settings.blockSize; }
  bool writeProtected() const { return settings.writeProtected || readOnly; }
};

// Opens the cartridge `name` of the drive; none when there is no such cartridge or its data file
// cannot be opened.
std::unique_ptr<Medium> OpenMedium(const std::string& drive, const std::string& name) {
  if (!CartridgeExists(drive, name)) return nullptr;
  auto medium = std::make_unique<Medium>();
  medium->name = name;
  medium->iniPath = CartridgeIniPath(drive, name);
  std::optional<IniFile> ini = IniFile::Load(medium->iniPath);
  if (!ini) return nullptr;
  medium->ini = std::move(*ini);
  medium->settings = ReadCartridgeSettings(medium->ini);

  std::string dataPath = Join(CartridgeDir(drive, name), kDataFile);
  int fd = open(dataPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = open(dataPath.c_str(), O_RDONLY | O_CLOEXEC);
    medium->readOnly = true;
  }
  if (fd < 0) return nullptr;
  medium->data = FileDescriptor(fd);
  struct stat st {};
  if (fstat(fd, &st) != 0) return nullptr;
  medium->dataLength = st.st_size;

  // A tail shorter than a block is not a block; a medium without blocks is blank.
  CartridgeSettings& s = medium->settings;
  medium->endOfData = s.blockSize > 0 ? medium->dataLength / s.blockSize : 0;
  if (medium->endOfData == 0) s.blockSize = 0;
  // Filemarks at or past the end of data (left by an interrupted write) are never read: a read
  // there answers the end of data, and a write there forgets them first.
  return medium;
}

// One open handle of the drive. Holds the drive's lock until it is destroyed.
class VirtualTapeDevice : public TapeDevice {
 public:
  VirtualTapeDevice(std::string drive, FileDescriptor lock, IniFile driveIni)
      : drive_(std::move(drive)), lock_(std::move(lock)), driveIni_(std::move(driveIni)) {
    settings_ = ReadDriveSettings(driveIni_);
    medium_ = OpenMedium(drive_, settings_.loaded);
    savedPosition_ = settings_.position;
    position_ = medium_ ? std::min(settings_.position, medium_->endOfData) : 0;
  }

  ~VirtualTapeDevice() override {
    Sync();
    if (position_ != savedPosition_) SaveDrive();
  }

  TapeResult GetDriveParameters(TapeDriveParameters& out) override {
    if (TapeResult r = Enter()) return r;
    out = settings_.parameters;
    return kSuccess;
  }

  TapeResult GetMediaParameters(TapeMediaParameters& out) override {
    if (TapeResult r = Enter()) return r;
    const Medium& m = *medium_;
    uint32_t blockSize = m.blockSize() ? m.blockSize() : settings_.mediaBlockSize;
    out.Capacity = m.settings.capacity;
    out.Remaining = std::max<int64_t>(0, m.settings.capacity - m.endOfData * m.blockSize());
    out.BlockSize = blockSize;
    out.PartitionCount = 1;
    out.WriteProtected = m.writeProtected();
    return kSuccess;
  }

  TapeResult SetMediaBlockSize(uint32_t blockSize) override {
    if (TapeResult r = Enter()) return r;
    if (!FitsDrive(blockSize)) return kInvalidParameter;
    settings_.mediaBlockSize = blockSize;
    driveIni_.SetInt(kDrive, "MediaBlockSize", blockSize);
    return SaveDrive();
  }

  TapeResult Rewind() override {
    if (TapeResult r = Enter()) return r;
    position_ = 0;
    return kSuccess;
  }

  TapeResult SetPosition(TapePositionMethod method, int64_t block) override {
    if (TapeResult r = Enter()) return r;
    if (method != TapePositionMethod::kAbsoluteBlock &&
        method != TapePositionMethod::kLogicalBlock) {
      return kInvalidParameter;
    }
    if (block < 0) return kInvalidParameter;
    if (block > medium_->endOfData) return kNoDataDetected;
    position_ = block;
    return kSuccess;
  }

  TapeResult SpaceToEndOfData() override {
    if (TapeResult r = Enter()) return r;
    position_ = medium_->endOfData;
    return kSuccess;
  }

  TapePosition GetPosition(TapePositionType type) override {
    if (TapeResult r = Enter()) return {r, 0};
    return {kSuccess, position_};
  }

  TapeResult Erase() override {
    if (TapeResult r = Enter()) return r;
    if (medium_->writeProtected()) return kWriteProtect;
    if (TapeResult r = CutAt(position_)) return r;
    if (TapeResult r = SaveMedium()) return r;
    return Sync();
  }

  TapeResult Prepare(TapePrepareOperation operation) override {
    if (TapeResult r = Enter()) return r;
    switch (operation) {
      case TapePrepareOperation::kLoad:
        position_ = 0;
        medium_->settings.faults.mediaChangedPending =
            ArmMediaChange(medium_->ini, medium_->iniPath) ||
            medium_->settings.faults.mediaChangedPending;
        return kSuccess;
      case TapePrepareOperation::kUnload:
        return Unload();
      case TapePrepareOperation::kTension:
        position_ = 0;  // retensioning ends at the beginning of the tape
        return kSuccess;
      case TapePrepareOperation::kLock:
      case TapePrepareOperation::kUnlock:
        return kSuccess;  // there is no door to lock
    }
    return kInvalidParameter;
  }

  TapeResult WriteFilemark() override {
    if (TapeResult r = Enter()) return r;
    if (medium_->writeProtected()) return kWriteProtect;
    // A filemark has no length of its own; at block 0 it takes the block size set for the drive.
    uint32_t blockSize = position_ > 0 ? medium_->blockSize() : settings_.mediaBlockSize;
    std::vector<uint8_t> zeros(blockSize, 0);
    if (TapeResult r = Record(zeros, true)) return r;
    return Sync();
  }

  TapeResult CreateFixedPartitions() override {
    if (TapeResult r = Enter()) return r;
    if (medium_->writeProtected()) return kWriteProtect;
    if (TapeResult r = CutAt(0)) return r;
    if (TapeResult r = SaveMedium()) return r;
    position_ = 0;
    return Sync();
  }

  TapeTransfer ReadBlock(std::span<uint8_t> buffer) override {
    if (TapeResult r = Enter()) return {r, 0};
    const Medium& m = *medium_;
    if (position_ >= m.endOfData) return {kNoDataDetected, 0};
    if (position_ == m.settings.faults.readErrorAtBlock) return {kCrc, 0};
    if (m.settings.filemarks.count(position_)) {
      ++position_;
      return {kFilemarkDetected, 0};
    }
    if (buffer.size() != m.blockSize()) return {kInvalidBlockLength, 0};
    if (!ReadFullyAt(m.data.get(), buffer.data(), buffer.size(), position_ * m.blockSize())) return {kIoDevice, 0};
    ++position_;
    return {kSuccess, buffer.size()};
  }

  TapeResult WriteBlock(std::span<const uint8_t> data) override {
    if (TapeResult r = Enter()) return r;
    if (medium_->writeProtected()) return kWriteProtect;
    if (data.size() > kMaxUint32 || !FitsDrive(static_cast<uint32_t>(data.size()))) {
      return kInvalidParameter;
    }
    // Block 0 starts a new recording and sets the block size; every later block must match it.
    if (position_ > 0 && data.size() != medium_->blockSize()) return kInvalidBlockLength;
    return Record(data, false);
  }

 private:
  // Every call passes here first: no medium, or a pending media change, answers for the call.
  TapeResult Enter() {
    if (!medium_) return kNoMediaInDrive;
    Faults& faults = medium_->settings.faults;
    if (faults.mediaChangedPending) {
      faults.mediaChangedPending = false;
      medium_->ini.Remove(kFaults, kMediaChangedPending);
      medium_->ini.Save(medium_->iniPath);
      return kMediaChanged;
    }
    return kSuccess;
  }

  bool FitsDrive(uint32_t blockSize) const {
    const TapeDriveParameters& p = settings_.parameters;
    return blockSize > 0 && blockSize >= p.MinimumBlockSize && blockSize <= p.MaximumBlockSize;
  }

  // Writes one block slot at the position: data, or the zero bytes of a filemark.
  TapeResult Record(std::span<const uint8_t> block, bool filemark) {
    Medium& m = *medium_;
    const int64_t at = position_;
    const uint32_t blockSize = static_cast<uint32_t>(block.size());
    if (at == m.settings.faults.writeErrorAtBlock) return m.settings.faults.writeErrorCode;
    if (at + 1 > m.settings.capacity / blockSize) return kEndOfMedia;
    // Truncate before cartridge.ini changes: if the program dies in between, what is left reads
    // as a shorter tape, never as blocks of the wrong size.
    if (TapeResult r = CutAt(at)) return r;
    if (m.settings.blockSize != blockSize) {
      m.settings.blockSize = blockSize;
      m.iniChanged = true;
    }
    if (filemark) {
      m.settings.filemarks.insert(at);
      m.iniChanged = true;
    }
    if (TapeResult r = SaveMedium()) return r;
    off_t offset = static_cast<off_t>(at) * blockSize;
    if (!WriteFullyAt(m.data.get(), block.data(), block.size(), offset)) {
      if (ftruncate(m.data.get(), offset) == 0) m.dataLength = offset;
      if (filemark) {
        m.settings.filemarks.erase(at);
        m.iniChanged = true;
        SaveMedium();
      }
      return kIoDevice;
    }
    m.dataLength = std::max<int64_t>(m.dataLength, offset + blockSize);
    m.endOfData = at + 1;
    position_ = at + 1;
    unsynced_ = true;
    return kSuccess;
  }

  // Forgets everything from `block` on, as a drive does where it writes or erases.
  TapeResult CutAt(int64_t block) {
    Medium& m = *medium_;
    auto later = m.settings.filemarks.lower_bound(block);
    if (later != m.settings.filemarks.end()) {
      m.settings.filemarks.erase(later, m.settings.filemarks.end());
      m.iniChanged = true;
    }
    int64_t length = block * m.blockSize();
    if (m.dataLength > length) {
      if (ftruncate(m.data.get(), length) != 0) return kIoDevice;
      m.dataLength = length;
      unsynced_ = true;
    }
    m.endOfData = std::min(m.endOfData, block);
    if (m.endOfData == 0 && m.settings.blockSize != 0) {
      m.settings.blockSize = 0;
      m.iniChanged = true;
    }
    return kSuccess;
  }

  TapeResult SaveMedium() {
    Medium& m = *medium_;
    if (!m.iniChanged) return kSuccess;
    m.ini.SetInt(kCartridge, "BlockSize", m.settings.blockSize);
    m.ini.Set(kCartridge, "Filemarks", FormatFilemarks(m.settings.filemarks));
    if (m.ini.Save(m.iniPath) != 0) return kIoDevice;
    m.iniChanged = false;
    return kSuccess;
  }

  TapeResult SaveDrive() {
    driveIni_.SetInt(kDrive, "Position", position_);
    if (driveIni_.Save(Join(drive_, kDriveFile)) != 0) return kIoDevice;
    savedPosition_ = position_;
    return kSuccess;
  }

  // Brings written blocks to stable storage, as a drive flushes its buffer.
  TapeResult Sync() {
    if (!unsynced_ || !medium_) return kSuccess;
    if (fdatasync(medium_->data.get()) != 0) return kIoDevice;
    unsynced_ = false;
    return kSuccess;
  }

  TapeResult Unload() {
    if (TapeResult r = Sync()) return r;
    std::string next = settings_.autoload ? NextCartridge(drive_, medium_->name) : "";
    medium_.reset();
    position_ = 0;
    settings_.loaded = next;
    driveIni_.Set(kDrive, "Loaded", next);
    if (!next.empty()) {
      ArmMediaChange(drive_, next);
      medium_ = OpenMedium(drive_, next);
    }
    return SaveDrive();
  }

  std::string drive_;
  FileDescriptor lock_;  // released last, after the files are written
  IniFile driveIni_;
  DriveSettings settings_;
  std::unique_ptr<Medium> medium_;
  int64_t position_ = 0;
  int64_t savedPosition_ = 0;
  bool unsynced_ = false;
};

// ---- administration ----

VirtualTapeResult Fail(TapeResult code, std::string message) { return {code, std::move(message)}; }

std::string InvalidNameMessage(const std::string& name) {
  return Quoted(name) +
         " is not a valid cartridge name: a name must not be empty, \".\" or \"..\", and must not "
         "contain \"/\", control characters or blanks at either end.";
}

// The drive locked for one administration call, with its drive.ini.
struct AdminSession {
  DriveAccess access;
  IniFile driveIni;
  std::string driveIniPath;
};

std::optional<AdminSession> BeginAdmin(const std::string& dir, VirtualTapeResult& failure) {
  AdminSession session;
  session.access = AcquireDrive(dir);
  if (session.access.code != kSuccess) {
    failure = Fail(session.access.code, session.access.message);
    return std::nullopt;
  }
  session.driveIniPath = Join(dir, kDriveFile);
  std::optional<IniFile> ini = IniFile::Load(session.driveIniPath);
  if (!ini) {
    failure = Fail(kIoDevice, "The file " + session.driveIniPath + " cannot be read.");
    return std::nullopt;
  }
  session.driveIni = std::move(*ini);
  return session;
}

// The session of an administration call on an existing cartridge `name`.
std::optional<AdminSession> BeginCartridgeAdmin(const std::string& dir, const std::string& name,
                                                VirtualTapeResult& failure) {
  std::optional<AdminSession> session = BeginAdmin(dir, failure);
  if (!session) return std::nullopt;
  if (!VirtualTapeDrive::IsValidCartridgeName(name)) {
    failure = Fail(kInvalidParameter, InvalidNameMessage(name));
    return std::nullopt;
  }
  if (!CartridgeExists(dir, name)) {
    failure = Fail(kFileNotFound, "There is no cartridge named " + Quoted(name) +
                                      " in the virtual tape drive " + dir + ".");
    return std::nullopt;
  }
  return session;
}

VirtualTapeResult SaveFailure(const std::string& path, int err) {
  return Fail(CodeForErrno(err),
              "The file " + path + " cannot be written: " + std::strerror(err) + ".");
}

VirtualCartridgeInfo DescribeCartridge(const std::string& drive, const std::string& name) {
  VirtualCartridgeInfo info;
  info.name = name;
  CartridgeSettings settings =
      ReadCartridgeSettings(IniFile::Load(CartridgeIniPath(drive, name)).value_or(IniFile()));
  info.capacity = settings.capacity;
  struct stat st {};
  std::string dataPath = Join(CartridgeDir(drive, name), kDataFile);
  int64_t length = stat(dataPath.c_str(), &st) == 0 ? st.st_size : 0;
  info.endOfData = settings.blockSize > 0 ? length / settings.blockSize : 0;
  info.blockSize = info.endOfData > 0 ? settings.blockSize : 0;
  info.writeProtected = settings.writeProtected;
  return info;
}

}  // namespace

VirtualTapeDrive::VirtualTapeDrive(std::string directory) : directory_(std::move(directory)) {}

bool VirtualTapeDrive::IsValidCartridgeName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.size() + std::strlen(kCartridgeSuffix) > kMaxFileNameLength) return false;
  if (name.front() == ' ' || name.back() == ' ') return false;
  for (unsigned char c : name) {
    if (c == '/' || c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

TapeOpenResult VirtualTapeDrive::Open() {
  DriveAccess access = AcquireDrive(directory_);
  if (access.code != kSuccess) return {nullptr, access.code};
  std::optional<IniFile> driveIni = IniFile::Load(Join(directory_, kDriveFile));
  if (!driveIni) return {nullptr, kIoDevice};
  return {
      std::make_unique<VirtualTapeDevice>(directory_, std::move(access.lock), std::move(*driveIni)),
      kSuccess};
}

VirtualCartridgeList VirtualTapeDrive::ListCartridges() {
  VirtualTapeResult failure;
  std::optional<AdminSession> session = BeginAdmin(directory_, failure);
  if (!session) return {failure.code, failure.message, {}};
  std::string loaded = session->driveIni.GetString(kDrive, "Loaded", "");
  VirtualCartridgeList list;
  for (const std::string& name : CartridgeNames(directory_)) {
    VirtualCartridgeInfo info = DescribeCartridge(directory_, name);
    info.loaded = name == loaded;
    list.cartridges.push_back(info);
  }
  return list;
}

VirtualTapeResult VirtualTapeDrive::NewCartridge(const std::string& name, int64_t capacity) {
  VirtualTapeResult failure;
  std::optional<AdminSession> session = BeginAdmin(directory_, failure);
  if (!session) return failure;
  if (!IsValidCartridgeName(name)) return Fail(kInvalidParameter, InvalidNameMessage(name));
  if (capacity <= 0) {
    return Fail(kInvalidParameter,
                "The capacity of a cartridge must be a positive number of bytes.");
  }
  if (int err = CreateCartridgeFiles(directory_, name, capacity)) {
    if (err == EEXIST) {
      return Fail(kCartridgeExists, "A cartridge named " + Quoted(name) +
                                        " already exists in the virtual tape drive " + directory_ +
                                        ".");
    }
    return Fail(CodeForErrno(err), "The cartridge " + Quoted(name) +
                                       " cannot be created: " + std::strerror(err) + ".");
  }
  return {kSuccess, "Cartridge " + Quoted(name) + " created with a capacity of " +
                        std::to_string(capacity) + " bytes."};
}

VirtualTapeResult VirtualTapeDrive::LoadCartridge(const std::string& name) {
  VirtualTapeResult failure;
  std::optional<AdminSession> session = BeginCartridgeAdmin(directory_, name, failure);
  if (!session) return failure;
  session->driveIni.Set(kDrive, "Loaded", name);
  session->driveIni.SetInt(kDrive, "Position", 0);
  if (int err = session->driveIni.Save(session->driveIniPath)) {
    return SaveFailure(session->driveIniPath, err);
  }
  ArmMediaChange(directory_, name);
  return {kSuccess, "Cartridge " + Quoted(name) + " loaded."};
}

VirtualTapeResult VirtualTapeDrive::UnloadCartridge() {
  VirtualTapeResult failure;
  std::optional<AdminSession> session = BeginAdmin(directory_, failure);
  if (!session) return failure;
  DriveSettings settings = ReadDriveSettings(session->driveIni);
  if (settings.loaded.empty()) {
    return Fail(kNoMediaInDrive,
                "There is no cartridge in the virtual tape drive " + directory_ + ".");
  }
  std::string next = settings.autoload ? NextCartridge(directory_, settings.loaded) : "";
  session->driveIni.Set(kDrive, "Loaded", next);
  session->driveIni.SetInt(kDrive, "Position", 0);
  if (int err = session->driveIni.Save(session->driveIniPath)) {
    return SaveFailure(session->driveIniPath, err);
  }
  std::string message = "Cartridge " + Quoted(settings.loaded) + " unloaded.";
  if (!next.empty()) {
    ArmMediaChange(directory_, next);
    message += " Cartridge " + Quoted(next) + " loaded.";
  }
  return {kSuccess, message};
}

VirtualTapeResult VirtualTapeDrive::ProtectCartridge(const std::string& name, bool writeProtected) {
  VirtualTapeResult failure;
  std::optional<AdminSession> session = BeginCartridgeAdmin(directory_, name, failure);
  if (!session) return failure;
  std::string path = CartridgeIniPath(directory_, name);
  std::optional<IniFile> ini = IniFile::Load(path);
  if (!ini) return Fail(kIoDevice, "The file " + path + " cannot be read.");
  ini->SetInt(kCartridge, "WriteProtected", writeProtected ? 1 : 0);
  if (int err = ini->Save(path)) return SaveFailure(path, err);
  return {kSuccess, "Cartridge " + Quoted(name) +
                        (writeProtected ? " is now write-protected." : " is now writable.")};
}

VirtualTapeResult VirtualTapeDrive::SetAutoload(bool on) {
  VirtualTapeResult failure;
  std::optional<AdminSession> session = BeginAdmin(directory_, failure);
  if (!session) return failure;
  session->driveIni.SetInt(kDrive, "Autoload", on ? 1 : 0);
  if (int err = session->driveIni.Save(session->driveIniPath)) {
    return SaveFailure(session->driveIniPath, err);
  }
  return {kSuccess, std::string("Autoload is ") + (on ? "on" : "off") +
                        " for the virtual tape drive " + directory_ + "."};
}

}  // namespace vantrel
