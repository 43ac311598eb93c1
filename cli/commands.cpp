#include "cli/commands.h"

#include <cstdint>
#include <sstream>

#include "cli/exit_status.h"
#include "cli/job_commands.h"
#include "cli/tape_commands.h"
#include "cli/vtape_commands.h"

namespace vantrel::cli {
namespace {

constexpr size_t kAny = SIZE_MAX;
constexpr size_t kSummaryColumn = 36;

std::string Join(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

std::string Synopsis(const CommandEntry& entry) {
  std::string text = Join(entry.words);
  if (!entry.operands.empty()) text += " " + entry.operands;
  if (!entry.optionsUsage.empty()) text += " " + entry.optionsUsage;
  return text;
}

// The command whose words begin `command`, or null.
const CommandEntry* FindCommand(const std::vector<std::string>& command) {
  for (const CommandEntry& entry : Commands()) {
    if (command.size() >= entry.words.size() &&
        std::equal(entry.words.begin(), entry.words.end(), command.begin())) {
      return &entry;
    }
  }
  return nullptr;
}

bool IsGroup(const std::string& word) {
  for (const CommandEntry& entry : Commands()) {
    if (entry.words.size() > 1 && entry.words[0] == word) return true;
  }
  return false;
}

std::string CheckOperandCount(const CommandEntry& entry, size_t count) {
  if (count < entry.minOperands) return Join(entry.words) + ": missing " + entry.operands;
  if (count > entry.maxOperands) return Join(entry.words) + ": too many arguments";
  return "";
}

}  // namespace

const std::vector<CommandEntry>& Commands() {
  // One command per entry reads better than one field per line.
  // clang-format off
  static const std::vector<CommandEntry> commands = {
      {{"tape", "info"}, "", 0, 0, {}, {}, "", "drive and media parameters", TapeInfoCommand},
      {{"tape", "load"}, "", 0, 0, {}, {}, "", "load the medium", TapeLoadCommand},
      {{"tape", "eject"}, "", 0, 0, {}, {}, "", "rewind and unload the tape", TapeEjectCommand},
      {{"tape", "rewind"}, "", 0, 0, {}, {}, "", "rewind the tape", TapeRewindCommand},
      {{"tape", "position"}, "", 0, 0, {}, {}, "", "show the current block", TapePositionCommand},
      {{"tape", "description"}, "", 0, 0, {}, {}, "", "load and show the tape description",
       TapeDescriptionCommand},
      {{"tape", "goto"}, "N", 1, 1, {}, {}, "", "move the tape to block N", TapeGotoCommand},
      {{"tape", "eod"}, "", 0, 0, {}, {}, "", "move the tape to the end of data",
       TapeEndOfDataCommand},
      {{"vtape", "list"}, "", 0, 0, {}, {}, "",
       "cartridges: name, capacity, block size, end of data", VtapeListCommand},
      {{"vtape", "new"}, "NAME", 1, 1, {}, {"--capacity"}, "[--capacity BYTES]",
       "create a cartridge (BYTES may end in K, M, G, T)", VtapeNewCommand},
      {{"vtape", "load"}, "NAME", 1, 1, {}, {}, "", "put a cartridge into the drive",
       VtapeLoadCommand},
      {{"vtape", "unload"}, "", 0, 0, {}, {}, "", "take the cartridge out of the drive",
       VtapeUnloadCommand},
      {{"vtape", "protect"}, "NAME on|off", 2, 2, {}, {}, "", "set or clear write protection",
       VtapeProtectCommand},
      {{"vtape", "autoload"}, "on|off", 1, 1, {}, {}, "", "load the next cartridge on unload",
       VtapeAutoloadCommand},
      {{"catalog"}, "", 0, 0, {"--sequential", "--tree"}, {}, "[--tree] [--sequential]",
       "list the files of the tape set (--tree: the browse list)", CatalogCommand},
      {{"backup"}, "[PATH...]", 0, kAny, {}, {"--job"}, "[--job FILE]",
       "back up the job file's list, or the PATHs given", BackupCommand},
      {{"restore"}, "LINE...", 1, kAny, {"--to-recorded"}, {"--to", "--overwrite"},
       "[--to DIR | --to-recorded] [--overwrite ask|never|ever]",
       "restore what the restore-list LINEs select (a directory ends with /)", RestoreCommand},
      {{"verify"}, "", 0, 0, {}, {"--root"}, "[--root DIR]",
       "compare the tape set with the files on disk", VerifyCommand},
  };
  // clang-format on
  return commands;
}

std::string UsageText() {
  std::ostringstream text;
  text << "Usage: vantrel-cli [--home DIR] [--tape DEVICE] [--yes] COMMAND ...\n\nCommands:\n";
  for (const CommandEntry& entry : Commands()) {
    std::string synopsis = Synopsis(entry);
    if (synopsis.size() < kSummaryColumn) {
      text << "  " << synopsis << std::string(kSummaryColumn - synopsis.size(), ' ');
    } else {
      text << "  " << synopsis << "\n  " << std::string(kSummaryColumn, ' ');
    }
    text << entry.summary << '\n';
  }
  text << "\nOptions:\n"
          "  --home DIR     program directory (default: $VANTREL_HOME, else the directory of\n"
          "                 vantrel-cli)\n"
          "  --tape DEVICE  tape device such as /dev/nst0, or a virtual drive directory\n"
          "                 (default: $VANTREL_TAPE, else DIR/vtape)\n"
          "  --yes          answer every question with Yes/OK without asking\n"
          "  --help         show this text\n"
          "\nExit status: 0 success, 1 failure, 2 usage error, 130 cancelled with Ctrl-C.\n";
  return text.str();
}

int RunCommand(CommandContext& context, const std::vector<std::string>& command) {
  if (command.empty()) return UsageError(context.err, "no command given");
  if (command[0].size() > 1 && command[0][0] == '-') {
    return UsageError(context.err, "unknown option " + command[0]);
  }
  const CommandEntry* entry = FindCommand(command);
  if (!entry && IsGroup(command[0]) && command.size() == 1) {
    return UsageError(context.err, command[0] + " needs a command");
  }
  if (!entry) {
    bool group = IsGroup(command[0]);
    return UsageError(context.err, "unknown command '" +
                                       (group ? command[0] + " " + command[1] : command[0]) + "'");
  }
  CommandArguments arguments = SplitCommandArguments(
      std::vector<std::string>(command.begin() + entry->words.size(), command.end()), entry->flags,
      entry->valueOptions);
  if (arguments.error.empty())
    arguments.error = CheckOperandCount(*entry, arguments.operands.size());
  if (!arguments.error.empty()) return UsageError(context.err, arguments.error);
  int status = entry->handler(context, arguments);
  if (context.ui.CancelRequested()) return kExitCancelled;
  Program* p = context.program();
  if (status == kExitOk && p && p->AbortFlag) return kExitFailed;
  return status;
}

}  // namespace vantrel::cli
