// Ctrl-C: the first one asks the running job to cancel, the second ends the program at once.
#pragma once

namespace vantrel::cli {

void InstallInterruptHandler();
// True once SIGINT arrived.
bool InterruptRequested();

}  // namespace vantrel::cli
