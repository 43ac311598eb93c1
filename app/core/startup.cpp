#include "app/core/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/tape/tape_access.h"
#include "platform/file_names.h"

namespace vantrel {

std::unique_ptr<InstanceLock> SingleInstanceGuard(UserInterface& ui,
                                                  const std::string& programDir) {
  std::unique_ptr<InstanceLock> lock = AcquireInstanceLock(programDir);
  if (!lock) ui.ShowMessage("Vantrel is already running !!!!!");
  return lock;
}

void FormCreate(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  LockJobControls(p);
  p.AbortFlag = false;
  w.ExeDir = FoldCase(w.ExeDir);
  w.WorkDir = w.ExeDir + "worker/";
  mkdir(w.WorkDir.c_str(), 0755);  // an existing directory or a failure shows later, where used
  w.CatalogPath = w.WorkDir + w.CatalogFileName;
  w.HeaderPath = w.WorkDir + w.HeaderFileName;
  w.ScratchZipPath = w.WorkDir + "vl_backup.zip";
  // A catalog or archive left from an earlier run is never reused.
  unlink(w.ScratchZipPath.c_str());
  unlink(w.CatalogPath.c_str());
  w.ZipMaster1 = ZipSettings{};
  w.JobPath = w.ExeDir + "jobs.job";
  w.LogPath = w.ExeDir + "vl_backup.log";
  w.protocolPage.Memo2.Lines.clear();
  w.restorePage.Memo3.Lines.clear();
  if (access(w.LogPath.c_str(), F_OK) != 0) {
    if (FILE* f = std::fopen(w.LogPath.c_str(), "ab")) std::fclose(f);
  }
  ReadDriveParameters(p);
}

}  // namespace vantrel
