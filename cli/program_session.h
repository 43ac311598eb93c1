// The program as the command line runs it: one copy per program directory, started the way the
// window program starts (work directory, protocol file, drive parameters, job file).
#pragma once

#include <functional>
#include <memory>

#include "app/core/program.h"
#include "cli/arguments.h"
#include "common/instance_lock.h"

namespace vantrel::cli {

class ProgramSession {
 public:
  // Creates a missing program directory and starts the program in it. Null, after "Vantrel is
  // already running !!!!!", when another copy works in that directory. Throws std::system_error
  // or std::filesystem::filesystem_error when the directory cannot be made or locked.
  static std::unique_ptr<ProgramSession> Start(const Locations& locations, UserInterface& ui,
                                               const std::function<void(int)>& sleep);

  Program& program() { return program_; }

 private:
  ProgramSession(std::unique_ptr<InstanceLock> lock, const Locations& locations, UserInterface& ui);

  std::unique_ptr<InstanceLock> lock_;
  Program program_;
};

}  // namespace vantrel::cli
