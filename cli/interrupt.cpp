#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include "cli/exit_status.h"

namespace vantrel::cli {
namespace {

// The one static of the command line: a signal handler can reach nothing else.
volatile sig_atomic_t interrupts = 0;

void OnInterrupt(int) {
  if (interrupts > 0) _exit(kExitCancelled);
  interrupts = 1;
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Restarted calls: a tape or file operation must not fail because of the first Ctrl-C.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return interrupts > 0; }

}  // namespace vantrel::cli
