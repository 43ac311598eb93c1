// Start-up of the main window: the work directory, the fixed file names, the protocol file and
// the drive parameters.
#pragma once

#include <memory>
#include <string>

#include "app/core/program.h"
#include "common/instance_lock.h"

namespace vantrel {

// Runs before anything else: refuses a second program working in `programDir`, whatever its
// executable is called (a second copy would delete the first one's catalog and scratch archive).
// Returns the lock to hold for the whole run, or nothing after "Vantrel is already running !!!!!".
std::unique_ptr<InstanceLock> SingleInstanceGuard(UserInterface& ui, const std::string& programDir);

// The main window's creation steps, in order.
void FormCreate(Program& p);

}  // namespace vantrel
