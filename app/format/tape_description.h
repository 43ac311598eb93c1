// The tape description in block 0: writing it, loading and classifying it (also in the legacy
// form of a "header.tap" record), and the window caption that shows it.
#pragma once

#include <string>

#include "app/core/program.h"

namespace vantrel {

// Rewinds and writes `description` as block 0; the tape is left after block 0. False when the
// block was not written (reported).
bool WriteTapeDescription(Program& p, const TapeDescription& description);
// Rewinds, reads block 0 and classifies it; sets DescriptionValid and LegacyDescription.
TapeDescription LoadTapeDescription(Program& p);
// Reads the "header.tap" record that starts block 0 of a legacy tape.
TapeDescription ReadLegacyDescription(Program& p);
// The caption text for `description`; sets DescriptionValid.
std::string ShowDescriptionInCaption(Program& p, const TapeDescription& description);
// "Load Tape Description".
void GetTapeDescription1Click(Program& p);

// A description that names no tape set: number 255, date 0, empty label.
TapeDescription InvalidTapeDescription();

}  // namespace vantrel
