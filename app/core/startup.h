// Start-up of the main window: the work directory, the fixed file names, the protocol file and
// the drive parameters.
#pragma once

#include "app/core/program.h"

namespace vantrel {

// The main window's creation steps, in order.
void FormCreate(Program& p);

}  // namespace vantrel
