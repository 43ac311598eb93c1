// vantrel-cli vtape ...: administration of the virtual drive.
#pragma once

#include "cli/command_context.h"

namespace vantrel::cli {

int VtapeListCommand(CommandContext& context, const CommandArguments& arguments);
int VtapeNewCommand(CommandContext& context, const CommandArguments& arguments);
int VtapeLoadCommand(CommandContext& context, const CommandArguments& arguments);
int VtapeUnloadCommand(CommandContext& context, const CommandArguments& arguments);
int VtapeProtectCommand(CommandContext& context, const CommandArguments& arguments);
int VtapeAutoloadCommand(CommandContext& context, const CommandArguments& arguments);

}  // namespace vantrel::cli
