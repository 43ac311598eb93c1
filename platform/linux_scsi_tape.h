// A Linux SCSI tape drive through the st driver (a non-rewinding device such as /dev/nst0), made
// to answer like the Windows tape interface: the result codes of the Windows calls, and no
// filemark written behind the program's back when the device is closed or repositioned after
// writing.
#pragma once

#include <string>

#include "platform/tape_device.h"

namespace vantrel {

// What kind of call an errno value comes from; the same errno means different things for a read,
// a write and a drive command.
enum class TapeErrnoContext {
  kOpen,
  kRead,
  kWrite,    // writing blocks and everything else that changes the medium: filemarks, erase,
             // partitioning
  kCommand,  // positioning, load and unload, settings, status
};

// The one place where errno values of the st driver become Windows result codes.
TapeResult TapeResultFromErrno(int error, TapeErrnoContext context);

class LinuxScsiTapeDrive : public TapeDrive {
 public:
  explicit LinuxScsiTapeDrive(std::string devicePath);

  // Opens the device for reading and writing; a write-protected tape is opened for reading and
  // reports itself write-protected. Succeeds without a tape, so that a load can be sent.
  TapeOpenResult Open() override;
  std::string Name() const override { return devicePath_; }

 private:
  std::string devicePath_;
};

}  // namespace vantrel
