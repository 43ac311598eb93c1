// The commands of the "&Tape" menu: short sequences of drive calls framed by status texts,
// result messages and the busy cursor. Each returns true when the command did its work, and
// false when it ended early (no drive, a cancelled or refused entry) or the drive answered with
// an error, so that a front end without a window can tell the outcome.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/core/program.h"

namespace vantrel {

// "Load Tape".
bool apeladen1Click(Program& p);
// "Tape tension".
bool apeansEndespulen1Click(Program& p);
// "Rewind Tape".
bool apezurckspulen1Click(Program& p);
// "Move to end of Data".
bool Weiterspulen1Click(Program& p);

// "Move Tape to Block Nr.": asks for the block number, then GotoBlock.
bool GotoBlock1Click(Program& p);
// Moves the tape to the block `blockText` names and reads that block, showing "OK" for every
// trailer marker in it. A text that is no block number is refused before the tape is opened.
bool GotoBlock(Program& p, const std::string& blockText);
// A block number as the person enters it: decimal digits (blanks around them allowed) for a
// value from 0 to 2,147,483,647.
std::optional<int64_t> ParseBlockNumber(const std::string& text);

// The current block of the tape, read inside the busy cursor; nothing without a drive.
std::optional<int64_t> ReadCurrentTapePosition(Program& p);
// "Get Tape Position": the current block in a message.
bool GetTapePosition1Click(Program& p);

// "Delete Tape": a short erase from the current position.
bool apelschen1Click(Program& p);
// "Format Tape": one fixed partition and an "Empty Tape " description.
bool test1Click(Program& p);
// "Init Tape with 0": zero blocks from the start of the tape until a write fails or the job is
// cancelled. Runs as a job; once the tape is open it ends with AbortFlag set and the reason in
// the protocol. Returns the blocks written.
int64_t InitTapewith01Click(Program& p);
// "&Eject Tape".
bool Auswerfen1Click(Program& p);

}  // namespace vantrel
