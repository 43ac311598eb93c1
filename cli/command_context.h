// What a command of the command line works with: the output streams, the program directory and
// tape device, the user interface, and the program, started on first use.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "app/core/program.h"
#include "cli/arguments.h"
#include "cli/program_session.h"
#include "cli/recording_user_interface.h"

namespace vantrel::cli {

class CommandContext {
 public:
  CommandContext(std::ostream& out, std::ostream& err, Locations locations,
                 RecordingUserInterface& ui, std::function<void(int)> sleep)
      : out(out), err(err), locations(std::move(locations)), ui(ui), sleep_(std::move(sleep)) {}

  // Starts the program; null (already told) when another copy works in the program directory.
  // What start-up showed or set is not the command's outcome: the record starts afresh.
  Program* StartProgram() {
    if (!session_) {
      session_ = ProgramSession::Start(locations, ui, sleep_);
      if (!session_) return nullptr;
      session_->program().AbortFlag = false;
      ui.Forget();
    }
    return &session_->program();
  }
  Program* program() { return session_ ? &session_->program() : nullptr; }

  std::ostream& out;
  std::ostream& err;
  const Locations locations;
  RecordingUserInterface& ui;

 private:
  std::function<void(int)> sleep_;
  std::unique_ptr<ProgramSession> session_;
};

// Prints "vantrel-cli: <message>" on standard error and returns kExitFailed.
int Fail(CommandContext& context, const std::string& message);
// Prints the one-line usage error and returns kExitUsage.
int UsageError(std::ostream& err, const std::string& message);

}  // namespace vantrel::cli
