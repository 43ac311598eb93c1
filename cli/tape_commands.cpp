#include "cli/tape_commands.h"

#include "app/format/tape_description.h"
#include "app/tape/tape_info.h"
#include "app/tape/tape_menu.h"
#include "cli/exit_status.h"
#include "platform/date_time.h"

namespace vantrel::cli {
namespace {

constexpr char kNoTapeDrive[] = "No Tape Drive!";

int Outcome(bool done) { return done ? kExitOk : kExitFailed; }

// The status of a command whose only sign of a missing drive is the message OpenTape shows.
int OutcomeOfDriveUse(CommandContext& context) { return Outcome(!context.ui.Shown(kNoTapeDrive)); }

}  // namespace

int TapeInfoCommand(CommandContext& context, const CommandArguments&) {
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  TTape_Info window;
  apeInfo1Click(*p, window);
  for (size_t i = 0; i < window.Labels.size(); ++i) {
    context.out << TTape_Info::kCaptions[i] << '=' << window.Labels[i] << '\n';
  }
  context.out << "Device=" << (p->tapeDrive ? p->tapeDrive->Name() : "") << '\n';
  return OutcomeOfDriveUse(context);
}

int TapeLoadCommand(CommandContext& context, const CommandArguments&) {
  Program* p = context.StartProgram();
  return p ? Outcome(apeladen1Click(*p)) : kExitFailed;
}

int TapeEjectCommand(CommandContext& context, const CommandArguments&) {
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  // The protocol names the tape by its number; ejecting rewinds anyway, so reading the
  // description first costs no position the person relies on.
  GetTapeDescription1Click(*p);
  return Outcome(Auswerfen1Click(*p));
}

int TapeRewindCommand(CommandContext& context, const CommandArguments&) {
  Program* p = context.StartProgram();
  return p ? Outcome(apezurckspulen1Click(*p)) : kExitFailed;
}

int TapePositionCommand(CommandContext& context, const CommandArguments&) {
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  std::optional<int64_t> block = ReadCurrentTapePosition(*p);
  if (!block) return kExitFailed;
  context.out << "Tape at Block: " << *block << '\n';
  return kExitOk;
}

int TapeDescriptionCommand(CommandContext& context, const CommandArguments&) {
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  GetTapeDescription1Click(*p);
  const TapeDescription& d = p->Hauptmenu.tapeDescription;
  context.out << "Label=" << d.TapeLabel << '\n'
              << "Number=" << static_cast<int>(d.TapeNumber) << '\n'
              << "SetDate=" << (d.SetDate > 1.0 ? DateTimeToText(d.SetDate) : "") << '\n'
              << "Caption=" << p->Hauptmenu.Caption << '\n';
  return OutcomeOfDriveUse(context);
}

int TapeGotoCommand(CommandContext& context, const CommandArguments& arguments) {
  const std::string& block = arguments.operands[0];
  if (!ParseBlockNumber(block)) {
    return UsageError(context.err,
                      "tape goto: '" + block + "' is not a block number from 0 to 2147483647");
  }
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  p->Hauptmenu.backupPage.Label1.Caption.clear();
  return Outcome(GotoBlock(*p, block));
}

int TapeEndOfDataCommand(CommandContext& context, const CommandArguments&) {
  Program* p = context.StartProgram();
  return p ? Outcome(Weiterspulen1Click(*p)) : kExitFailed;
}

}  // namespace vantrel::cli
