#include "cli/cli.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "cli/arguments.h"
#include "cli/command_context.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "cli/recording_user_interface.h"
#include "cli/terminal_user_interface.h"

namespace vantrel::cli {
namespace {

std::string ExecutableDir(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0, ec);
  return exe.parent_path().string();
}

std::map<std::string, std::string> Environment() {
  std::map<std::string, std::string> environment;
  for (const char* name : {"VANTREL_HOME", "VANTREL_TAPE"}) {
    if (const char* value = std::getenv(name)) environment[name] = value;
  }
  return environment;
}

int RunParsed(const Invocation& in, const ParsedArguments& parsed, UserInterface& ui) {
  Locations locations = ResolveLocations(parsed.options, in.environment, in.executableDir);
  RecordingUserInterface recorder(ui);
  CommandContext context(*in.out, *in.err, locations, recorder, in.sleep);
  return RunCommand(context, parsed.command);
}

}  // namespace

int Run(const Invocation& in) {
  ParsedArguments parsed = ParseArguments(in.args);
  if (!parsed.error.empty()) return UsageError(*in.err, parsed.error);
  if (parsed.options.help) {
    *in.out << UsageText();
    return kExitOk;
  }
  TerminalUserInterface terminal({in.out, in.err, in.errIsTerminal, in.answers, in.questions,
                                  parsed.options.yes, in.cancelRequested});
  UserInterface& ui = in.ui ? *in.ui : terminal;
  try {
    return RunParsed(in, parsed, ui);
  } catch (const std::exception& e) {
    terminal.Finish();
    *in.err << "vantrel-cli: " << e.what() << '\n';
    return kExitFailed;
  }
}

int Main(int argc, char** argv) {
  InstallInterruptHandler();
  Invocation in;
  in.args.assign(argv + 1, argv + argc);
  in.environment = Environment();
  in.executableDir = ExecutableDir(argv[0]);
  in.out = &std::cout;
  in.err = &std::cerr;
  in.errIsTerminal = isatty(STDERR_FILENO) == 1;
  in.cancelRequested = InterruptRequested;
  // Questions go to the terminal even when standard input and output are redirected.
  std::fstream tty("/dev/tty", std::ios::in | std::ios::out);
  if (tty.is_open()) {
    in.answers = &tty;
    in.questions = &tty;
  } else {
    in.answers = &std::cin;
  }
  return Run(in);
}

}  // namespace vantrel::cli
