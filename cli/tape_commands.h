// vantrel-cli tape ...: the Tape menu's commands on the drive in use.
#pragma once

#include "cli/command_context.h"

namespace vantrel::cli {

int TapeInfoCommand(CommandContext& context, const CommandArguments& arguments);
int TapeLoadCommand(CommandContext& context, const CommandArguments& arguments);
int TapeEjectCommand(CommandContext& context, const CommandArguments& arguments);
int TapeRewindCommand(CommandContext& context, const CommandArguments& arguments);
int TapePositionCommand(CommandContext& context, const CommandArguments& arguments);
int TapeDescriptionCommand(CommandContext& context, const CommandArguments& arguments);
int TapeGotoCommand(CommandContext& context, const CommandArguments& arguments);
int TapeEndOfDataCommand(CommandContext& context, const CommandArguments& arguments);

}  // namespace vantrel::cli
