#include "cli/program_session.h"

#include <filesystem>

#include "app/core/startup.h"
#include "app/settings/job_file.h"

namespace vantrel::cli {

ProgramSession::ProgramSession(std::unique_ptr<InstanceLock> lock, const Locations& locations,
                               UserInterface& ui)
    : lock_(std::move(lock)),
      program_(ui, ProgramOptions{locations.home + "/", MakeTapeDrive(locations.tape)}) {}

std::unique_ptr<ProgramSession> ProgramSession::Start(const Locations& locations, UserInterface& ui,
                                                      const std::function<void(int)>& sleep) {
  std::filesystem::create_directories(locations.home);
  std::unique_ptr<InstanceLock> lock = SingleInstanceGuard(ui, locations.home);
  if (!lock) return nullptr;
  std::unique_ptr<ProgramSession> session(new ProgramSession(std::move(lock), locations, ui));
  Program& p = session->program_;
  if (sleep) p.Sleep = sleep;
  FormCreate(p);
  // As the window's "Backup every" window does when it is created.
  p.Hauptmenu.SuppressSave = true;
  LoadJobFile(p);
  p.Hauptmenu.SuppressSave = false;
  return session;
}

}  // namespace vantrel::cli
