// vantrel-cli catalog, backup, restore, verify: the jobs, each after loading the tape
// description as the window program does when it starts.
#pragma once

#include "cli/command_context.h"

namespace vantrel::cli {

int CatalogCommand(CommandContext& context, const CommandArguments& arguments);
int BackupCommand(CommandContext& context, const CommandArguments& arguments);
int RestoreCommand(CommandContext& context, const CommandArguments& arguments);
int VerifyCommand(CommandContext& context, const CommandArguments& arguments);

}  // namespace vantrel::cli
