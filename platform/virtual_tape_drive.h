// A tape drive kept in a directory of ordinary files, answering the tape calls the way a real
// drive does:
//
//   DRIVE/drive.ini               [Drive]: Loaded, Position, MediaBlockSize, Autoload, drive
//                                 parameters
//   DRIVE/NAME.tape/cartridge.ini [Cartridge]: Capacity, BlockSize, Filemarks, WriteProtected;
//                                 [Faults]: faults that tests inject
//   DRIVE/NAME.tape/data          block i at byte offset i × BlockSize; the end of data is the
//                                 file's length
//
// Other tools read and write these files, so the layout is fixed and unknown keys are kept. The
// drive is exclusive: one open handle at a time, also across processes (a flock on the drive
// directory, held by the handle and briefly by the administration calls).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/tape_device.h"

namespace vantrel {

// The Windows code for "the name is taken" (ERROR_ALREADY_EXISTS).
constexpr TapeResult kCartridgeExists = 183;

// Outcome of an administration call: `message` is an English sentence for the person, on success
// and on failure.
struct VirtualTapeResult {
  TapeResult code = tape_code::kSuccess;
  std::string message;
};

struct VirtualCartridgeInfo {
  std::string name;
  int64_t capacity = 0;
  uint32_t blockSize = 0;  // 0 while nothing is recorded
  int64_t endOfData = 0;   // in blocks
  bool writeProtected = false;
  bool loaded = false;
};

struct VirtualCartridgeList {
  TapeResult code = tape_code::kSuccess;
  std::string message;                           // empty on success
  std::vector<VirtualCartridgeInfo> cartridges;  // in byte order of the names
};

class VirtualTapeDrive : public TapeDrive {
 public:
  static constexpr int64_t kDefaultCapacity = 1073741824;
  static constexpr const char* kFirstCartridge = "tape1";

  // `directory` need not exist: the drive is created on first use with one blank cartridge
  // "tape1", loaded.
  explicit VirtualTapeDrive(std::string directory);

  // Fails with kBusy while another handle of this drive is open (in this or another process), and
  // with kFileNotFound when the drive directory cannot be made or is not a directory.
  TapeOpenResult Open() override;
  std::string Name() const override { return directory_; }
  bool SettlesAtOnce() const override { return true; }

  // Administration (vantrel-cli vtape ...). Every call creates a missing drive first and fails
  // with kBusy while a handle is open.
  VirtualCartridgeList ListCartridges();
  VirtualTapeResult NewCartridge(const std::string& name, int64_t capacity = kDefaultCapacity);
  // Puts the cartridge into the drive at position 0, in place of any other.
  VirtualTapeResult LoadCartridge(const std::string& name);
  // Takes the cartridge out; with Autoload on, the next one in name order goes in.
  VirtualTapeResult UnloadCartridge();
  VirtualTapeResult ProtectCartridge(const std::string& name, bool writeProtected);
  VirtualTapeResult SetAutoload(bool on);

  // A cartridge name must fit the layout: not empty, ".", ".." or longer than a directory name
  // allows, no "/", no control characters and no blanks at either end (drive.ini trims them).
  static bool IsValidCartridgeName(const std::string& name);

 private:
  std::string directory_;
};

}  // namespace vantrel
