#include "cli/vtape_commands.h"

#include <filesystem>
#include <optional>

#include "cli/exit_status.h"
#include "platform/virtual_tape_drive.h"

namespace vantrel::cli {
namespace {

// The virtual drive of the locations; nothing, after saying so, when the device is a real drive.
std::optional<VirtualTapeDrive> VirtualDrive(CommandContext& context) {
  std::error_code ec;
  if (std::filesystem::is_character_file(context.locations.tape, ec)) {
    Fail(context, context.locations.tape + " is a tape device, not a virtual drive");
    return std::nullopt;
  }
  return VirtualTapeDrive(context.locations.tape);
}

int Report(CommandContext& context, const VirtualTapeResult& result) {
  if (result.code != tape_code::kSuccess) return Fail(context, result.message);
  context.out << result.message << '\n';
  return kExitOk;
}

std::optional<bool> OnOff(const std::string& word) {
  if (word == "on") return true;
  if (word == "off") return false;
  return std::nullopt;
}

}  // namespace

int VtapeListCommand(CommandContext& context, const CommandArguments&) {
  std::optional<VirtualTapeDrive> drive = VirtualDrive(context);
  if (!drive) return kExitFailed;
  VirtualCartridgeList list = drive->ListCartridges();
  if (list.code != tape_code::kSuccess) return Fail(context, list.message);
  for (const VirtualCartridgeInfo& c : list.cartridges) {
    std::string state = c.loaded ? "loaded" : "";
    if (c.writeProtected) state += state.empty() ? "write-protected" : ",write-protected";
    context.out << c.name << '\t' << c.capacity << '\t' << c.blockSize << '\t' << c.endOfData
                << '\t' << (state.empty() ? "-" : state) << '\n';
  }
  return kExitOk;
}

int VtapeNewCommand(CommandContext& context, const CommandArguments& arguments) {
  int64_t capacity = VirtualTapeDrive::kDefaultCapacity;
  if (arguments.Has("--capacity")) {
    std::optional<int64_t> bytes = ParseByteCount(arguments.options.at("--capacity"));
    if (!bytes) {
      return UsageError(context.err, "vtape new: --capacity '" +
                                         arguments.options.at("--capacity") +
                                         "' is not a byte count such as 1073741824 or 100M");
    }
    capacity = *bytes;
  }
  std::optional<VirtualTapeDrive> drive = VirtualDrive(context);
  return drive ? Report(context, drive->NewCartridge(arguments.operands[0], capacity))
               : kExitFailed;
}

int VtapeLoadCommand(CommandContext& context, const CommandArguments& arguments) {
  std::optional<VirtualTapeDrive> drive = VirtualDrive(context);
  return drive ? Report(context, drive->LoadCartridge(arguments.operands[0])) : kExitFailed;
}

int VtapeUnloadCommand(CommandContext& context, const CommandArguments&) {
  std::optional<VirtualTapeDrive> drive = VirtualDrive(context);
  return drive ? Report(context, drive->UnloadCartridge()) : kExitFailed;
}

int VtapeProtectCommand(CommandContext& context, const CommandArguments& arguments) {
  std::optional<bool> on = OnOff(arguments.operands[1]);
  if (!on) return UsageError(context.err, "vtape protect: say on or off");
  std::optional<VirtualTapeDrive> drive = VirtualDrive(context);
  return drive ? Report(context, drive->ProtectCartridge(arguments.operands[0], *on)) : kExitFailed;
}

int VtapeAutoloadCommand(CommandContext& context, const CommandArguments& arguments) {
  std::optional<bool> on = OnOff(arguments.operands[0]);
  if (!on) return UsageError(context.err, "vtape autoload: say on or off");
  std::optional<VirtualTapeDrive> drive = VirtualDrive(context);
  return drive ? Report(context, drive->SetAutoload(*on)) : kExitFailed;
}

}  // namespace vantrel::cli
