#include "app/settings/external_programs.h"

#include <optional>

#include "app/core/protocol.h"
#include "platform/process.h"

namespace vantrel {
namespace {

std::string StartFailureReason(int code) {
  switch (code) {
    case kStartFileNotFound:
      return "The specified file was not found.";
    case kStartPathNotFound:
      return "The specified path was not found.";
    case kStartInvalidProgram:
      return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    default:
      return "Unknown Error Nr.: " + std::to_string(code);
  }
}

void ShowStartFailure(Program& p, const std::string& commandLine, const std::string& reason) {
  p.ui.MessageBox("Warning", commandLine + ". Error " + reason, MessageIcon::kWarning);
}

// Characters, not bytes: a UTF-8 sequence counts once.
size_t CharacterCount(const std::string& text) {
  size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The seconds of a wait field: a whole number from 0 to kMaxWaitSeconds, blanks around it allowed.
std::optional<int> WaitSeconds(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  size_t end = text.find_last_not_of(' ') + 1;
  if (text[begin] == '+') ++begin;
  if (begin == end) return std::nullopt;
  int seconds = 0;
  for (size_t i = begin; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    seconds = seconds * 10 + (text[i] - '0');
    if (seconds > kMaxWaitSeconds) return std::nullopt;
  }
  return seconds;
}

}  // namespace

bool RunProgram(Program& p, const std::string& commandLine) {
  if (CharacterCount(commandLine) > kMaxCommandLineLength) {
    ShowStartFailure(p, commandLine,
                     "The command line is longer than " + std::to_string(kMaxCommandLineLength) +
                         " characters.");
    return false;
  }
  StartResult result = StartProgram(commandLine);
  if (result.started) return true;
  ShowStartFailure(p, commandLine, StartFailureReason(result.code));
  return false;
}

bool RunJobProgram(Program& p, const Edit& programField, const Edit& waitField) {
  if (programField.Text.empty()) return true;
  if (!RunProgram(p, programField.Text)) return false;
  std::optional<int> seconds = WaitSeconds(waitField.Text);
  if (!seconds) {
    AppendProtocolLine(p, "Wait Time \"" + waitField.Text +
                              "\" is not a whole number of seconds from 0 to " +
                              std::to_string(kMaxWaitSeconds) + "; no wait.");
    return true;
  }
  p.Sleep(*seconds * 1000);
  return true;
}

}  // namespace vantrel
