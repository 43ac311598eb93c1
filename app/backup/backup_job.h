// The backup job: "Start Backup" from the start lines through the walk, the catalog and its
// trailer, to the summary and the follow-up actions.
#pragma once

#include <string>
#include <vector>

#include "app/core/program.h"

namespace vantrel {

// "Start Backup" (also the scheduler's and the command line's start).
void BitBtn1Click(Program& p);

// The five summary lines of the protocol, from the displays.
std::vector<std::string> BackupSummary(const Program& p);

// A number as the general number format shows it: no trailing zeros, "." as decimal point
// unless the locale says otherwise.
std::string GeneralNumberText(double value);

}  // namespace vantrel
