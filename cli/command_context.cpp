#include "cli/command_context.h"

#include "cli/exit_status.h"

namespace vantrel::cli {

int Fail(CommandContext& context, const std::string& message) {
  context.err << "vantrel-cli: " << message << '\n';
  return kExitFailed;
}

int UsageError(std::ostream& err, const std::string& message) {
  err << "vantrel-cli: " << message << " (see vantrel-cli --help)\n";
  return kExitUsage;
}

}  // namespace vantrel::cli
