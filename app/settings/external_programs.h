// The programs the backup job starts around itself ("Do before Backup", "Do after Backup"), and
// the one way the backup program starts any other program.
#pragma once

#include <string>

#include "app/core/controls.h"
#include "app/core/program.h"

namespace vantrel {

// The longest command line that is started.
constexpr size_t kMaxCommandLineLength = 260;
// The longest wait after a job program, in seconds.
constexpr int kMaxWaitSeconds = 2147483;

// Starts the command line `commandLine` and does not wait for it. When it cannot be started the
// person sees a warning naming the command line and the reason, and the result is false.
bool RunProgram(Program& p, const std::string& commandLine);

// Runs the command line of `programField`, then waits as many seconds as `waitField` holds.
// True without running anything when the program field is empty; false when the program could not
// be started (the person was told). A wait time that is not a whole number from 0 to
// kMaxWaitSeconds is taken as 0, and the protocol says so.
bool RunJobProgram(Program& p, const Edit& programField, const Edit& waitField);

}  // namespace vantrel
