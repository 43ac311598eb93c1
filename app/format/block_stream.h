// The block stream: everything after the tape description travels as one byte stream cut into
// blocks of BlockSize bytes, continued over the tapes of a set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/core/program.h"
#include "app/tape/tape_access.h"

namespace vantrel {

// Appends `length` (at most BlockSize) bytes to the stream. A failed block write is reported and
// ends the stream for this job (StreamFailed); later writes only count.
void StreamWrite(Program& p, TapeHandle& handle, const uint8_t* data, size_t length);
// Takes `length` (at most BlockSize) bytes from the stream. False at the end of the recorded data
// and when a read failed; a failure other than the end of data is reported (AbortFlag), and no
// byte of the failed block reaches `destination`.
bool StreamRead(Program& p, TapeHandle& handle, uint8_t* destination, size_t length);

void ChangeTapeForWrite(Program& p, TapeHandle& handle);
void ChangeTapeForRead(Program& p, TapeHandle& handle);

// Positions the tape at the block `blockText` names; throws std::invalid_argument for a text
// that is not a non-negative whole number.
void MoveTapeToBlock(Program& p, const std::string& blockText);

// Writes the full stream buffer as the next stream block (with the tape change at the limit).
void FlushStreamBlock(Program& p, TapeHandle& handle);

// Reads the first block of a stream that starts at the tape's current position.
bool StartStreamRead(Program& p, TapeHandle& handle);

}  // namespace vantrel
