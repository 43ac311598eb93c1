#include "app/core/program.h"

#include <chrono>
#include <thread>

namespace vantrel {

Program::Program(UserInterface& ui, ProgramOptions options)
    : ui(ui), tapeDrive(std::move(options.tapeDrive)) {
  Sleep = [](int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  std::string dir = options.exeDir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  Hauptmenu.ExeDir = dir;
}

}  // namespace vantrel
