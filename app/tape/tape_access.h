// Tape drive access: opening and closing the device around every operation, the probe for a
// usable drive, the drive parameters that fix the block size, the result texts of tape calls, and
// the rewind, eject, position and block size sequences the jobs and the Tape menu share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/core/program.h"

namespace vantrel {

using TapeHandle = std::unique_ptr<TapeDevice>;

// Opens the device; none when it cannot be opened (the reason is left in p.LastError).
TapeHandle OpenTapeDevice(Program& p);
// Opens a usable drive: none, after "No Tape Drive!", when no drive or no tape answers.
TapeHandle OpenTape(Program& p);
// "No Tape Drive!", and in the status line that another program holds the drive when it does.
void ShowNoTapeDrive(Program& p);
// The settle time a tape sequence waits; nothing for a drive that needs none.
void SettleTape(Program& p, int milliseconds);
// Waits `delayMs`, then closes the handle.
void CloseTape(Program& p, TapeHandle& handle, int delayMs);

std::string RewindTapeDevice(Program& p);
std::string EraseTapeDevice(Program& p);

// The text of a tape result code; codes outside the table leave `result` as it is.
std::string TapeErrorText(TapeResult code, std::string result = "");
// The message box text of a tape result code.
std::string TapeResultMessage(TapeResult code);
void ShowTapeResult(Program& p, TapeResult code);

void ReadDriveParameters(Program& p);
bool RewindTape(Program& p);
// Rewinds and unloads; true when the tape was unloaded.
bool EjectTape(Program& p, bool showErrorDialogs);
int64_t ReadTapePosition(Program& p, TapeDevice& handle);
// "Set Tape Parameters": the media block size := BlockSize.
void SetTapeParameters1Click(Program& p);

// BlockSize for a drive's maximum block size: 32768 or the smaller maximum, never below the
// 296 bytes of a record header.
uint32_t BlockSizeForDrive(uint32_t maximumBlockSize);
// Blocks of a medium the stream may use before it changes tape.
int64_t TapeBlockLimitFor(int64_t capacity, uint32_t blockSize);

// Positions an open tape at `block` with the drive's positioning method.
TapeResult PositionTape(Program& p, TapeDevice& handle, int64_t block);
// Reads one block of BlockSize bytes into `buffer`.
TapeTransfer ReadTapeBlock(Program& p, TapeDevice& handle, BlockBuffer& buffer);
TapeResult WriteTapeBlock(Program& p, TapeDevice& handle, const BlockBuffer& buffer);

}  // namespace vantrel
