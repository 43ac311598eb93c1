#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/linux_scsi_tape.h"
#include "platform/tape_device.h"
#include "platform/virtual_tape_drive.h"

namespace vantrel {

std::unique_ptr<TapeDrive> MakeTapeDrive(const std::string& name) {
  struct stat st {};
  bool exists = stat(name.c_str(), &st) == 0;
  if (exists && S_ISCHR(st.st_mode)) return std::make_unique<LinuxScsiTapeDrive>(name);
  // A device node that is not there is a drive that is missing, never a directory to create.
  if (!exists && name.starts_with("/dev/")) return std::make_unique<LinuxScsiTapeDrive>(name);
  return std::make_unique<VirtualTapeDrive>(name);
}

}  // namespace vantrel
