// The command table of vantrel-cli and its dispatch.
#pragma once

#include <string>
#include <vector>

#include "cli/command_context.h"

namespace vantrel::cli {

using CommandHandler = int (*)(CommandContext& context, const CommandArguments& arguments);

struct CommandEntry {
  std::vector<std::string> words;  // "tape", "goto"
  std::string operands;            // for the usage text: "N"
  size_t minOperands = 0;
  size_t maxOperands = 0;                 // SIZE_MAX: any number
  std::vector<std::string> flags;         // options without a value
  std::vector<std::string> valueOptions;  // options with a value
  std::string optionsUsage;               // for the usage text: "[--capacity BYTES]"
  std::string summary;
  CommandHandler handler = nullptr;
};

const std::vector<CommandEntry>& Commands();

// The usage text of --help.
std::string UsageText();

// Runs the command that `command` names (its words, operands and options). A usage error is
// explained on standard error and gives kExitUsage; a command that set AbortFlag gives
// kExitFailed, one the person cancelled kExitCancelled.
int RunCommand(CommandContext& context, const std::vector<std::string>& command);

}  // namespace vantrel::cli
