#include "platform/system_error.h"

#include <cstring>
#include <map>

namespace vantrel {
namespace {

// Message texts of the Windows codes that tape calls answer with.
const std::map<int, const char*>& WindowsMessages() {
  static const std::map<int, const char*> texts = {
      {0, "The operation completed successfully."},
      {1, "Incorrect function."},
      {2, "The system cannot find the file specified."},
      {5, "Access is denied."},
      {8, "Not enough memory resources are available to process this command."},
      {19, "The media is write protected."},
      {21, "The device is not ready."},
      {23, "Data error (cyclic redundancy check)."},
      {29, "The system cannot write to the specified device."},
      {30, "The system cannot read from the specified device."},
      {31, "A device attached to the system is not functioning."},
      {50, "The request is not supported."},
      {87, "The parameter is incorrect."},
      {170, "The requested resource is in use."},
      {234, "More data is available."},
      {1100, "The end-of-tape marker was reached during an operation."},
      {1101, "A tape access reached a filemark."},
      {1102, "The beginning of the tape or a partition was encountered."},
      {1103, "A tape access reached the end of a set of files."},
      {1104, "No more data is on the tape."},
      {1105, "Tape could not be partitioned."},
      {1106, "When accessing a new tape of a multivolume partition, the current block size is "
             "incorrect."},
      {1107, "Tape partition information could not be found when loading a tape."},
      {1108, "Unable to lock the media eject mechanism."},
      {1109, "Unable to unload the media."},
      {1110, "The media in the drive may have changed."},
      {1111, "The I/O bus was reset."},
      {1112, "No media in drive."},
      {1117, "The request could not be performed because of an I/O device error."},
  };
  return texts;
}

}  // namespace

std::string SystemMessageText(const SystemError& error) {
  std::string text;
  switch (error.domain) {
    case SystemError::Domain::kNone:
      text = WindowsMessages().at(0);
      break;
    case SystemError::Domain::kWindows: {
      auto it = WindowsMessages().find(error.code);
      text = it != WindowsMessages().end() ? it->second
                                           : "Unknown error " + std::to_string(error.code) + ".";
      break;
    }
    case SystemError::Domain::kPosix:
      text = std::strerror(error.code);
      text += ".";
      break;
    case SystemError::Domain::kMessage:
      text = error.message;
      break;
  }
  return text + "\r\n";
}

}  // namespace vantrel
