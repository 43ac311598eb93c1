// The last error of a platform call and the system's message text for it.
#pragma once

#include <string>

#include "platform/tape_device.h"

namespace vantrel {

struct SystemError {
  enum class Domain { kNone, kWindows, kPosix, kMessage };
  Domain domain = Domain::kNone;
  int code = 0;          // a Windows code (tape calls) or an errno value
  std::string message;   // kMessage: the text itself

  static SystemError Windows(TapeResult code) { return {Domain::kWindows, static_cast<int>(code), {}}; }
  static SystemError Posix(int errnoValue) { return {Domain::kPosix, errnoValue, {}}; }
  static SystemError Message(std::string text) { return {Domain::kMessage, 0, std::move(text)}; }
};

// The message text as the system gives it, ending with a line break (CR LF).
std::string SystemMessageText(const SystemError& error);

}  // namespace vantrel
