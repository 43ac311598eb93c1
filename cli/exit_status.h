// Exit statuses of vantrel-cli.
#pragma once

namespace vantrel::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;       // the command ended with an error or could not start
constexpr int kExitUsage = 2;        // unknown command or option, missing or bad argument
constexpr int kExitCancelled = 130;  // Ctrl-C

}  // namespace vantrel::cli
