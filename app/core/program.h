// One running backup program: the main window's model, the program-wide variables and the
// services the engine works through. Passed by reference to every handler; nothing is global,
// so a test builds a fresh program in a temporary directory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/core/hauptmenu.h"
#include "app/core/user_interface.h"
#include "app/format/records.h"
#include "platform/system_error.h"
#include "platform/tape_device.h"

namespace vantrel {

constexpr uint32_t kMaxBlockSize = 32768;
constexpr uint32_t kMinBlockSize = 296;

using BlockBuffer = std::array<uint8_t, kMaxBlockSize>;

// Operations that other parts of the program provide and the jobs call where they expect them.
// An empty one means the part is not in this build.
struct JobHooks {
  std::function<void()> RunVerify;
  std::function<void()> SendBtnClick;
  std::function<void(bool interactive)> CheckfornewerVersions;
  std::function<void(int disk)> DiskImageBackup;
  std::function<void(int disk)> DiskImageRestore;
  std::function<void()> PrepareDiskRestore;
};

struct ProgramOptions {
  std::string exeDir;                    // program directory
  std::unique_ptr<TapeDrive> tapeDrive;  // the device behind `\\.\tape0`
};

class Program {
 public:
  Program(UserInterface& ui, ProgramOptions options);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  UserInterface& ui;
  std::unique_ptr<TapeDrive> tapeDrive;
  // Fixed waits of the tape sequences (100 ms before a rewind, ...). Tests make them instant.
  std::function<void(int milliseconds)> Sleep;
  JobHooks hooks;

  THauptmenu Hauptmenu;
  TBackup_days Backup_days;

  // Program-wide variables.
  bool AbortFlag = false;
  int64_t FilesProcessed = 0;
  SystemError LastError;  // the last failed platform call, for ReportLastError
  bool BusyCursor = false;
  // Where a verify finds the files it compares: empty for their recorded paths, or a directory
  // below which they lie as a restore to that directory put them.
  std::string VerifyRoot;
  // "Exit Vantrel after Backup": the front end ends the program once the handler returns.
  bool ExitRequested = false;

  // Tape access.
  uint32_t BlockSize = kMaxBlockSize;
  int64_t TapeBlockLimit = 0;
  TapePositionMethod SetPositionMethod = TapePositionMethod::kAbsoluteBlock;
  TapePositionType GetPositionType = TapePositionType::kAbsolute;
  int DriveIndex = 0;

  // Block stream and records.
  BlockBuffer StreamBuffer{};
  BlockBuffer ControlBlockBuffer{};
  BlockPosition StreamPosition;
  // Set when a block of the stream could not be written or a tape change was given up: nothing
  // more goes to tape in this job, so that no record lands behind a gap.
  bool StreamFailed = false;
  TapeFileRecord LastRecordHeader;
  BlockBuffer FileDataBuffer{};
  bool LegacyDescription = false;
};

}  // namespace vantrel
