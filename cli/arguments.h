// Reading the command line: the global options, the words of a command with their operands and
// options, and where the program directory and the tape device are.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::cli {

struct GlobalOptions {
  std::optional<std::string> home;  // --home DIR
  std::optional<std::string> tape;  // --tape DEVICE
  bool yes = false;                 // --yes
  bool help = false;                // --help, -h
};

struct ParsedArguments {
  GlobalOptions options;
  std::vector<std::string> command;  // the command words with their operands and options
  std::string error;                 // a usage error; empty when the arguments read
};

// Takes the global options out of `args`, wherever they stand before a "--".
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// Operands and options of one command.
struct CommandArguments {
  std::vector<std::string> operands;
  std::map<std::string, std::string> options;  // "--capacity" -> "1G"; a flag maps to ""
  std::string error;
  bool Has(const std::string& option) const { return options.count(option) > 0; }
};

// Splits what follows the command words. `flags` are options without a value, `valueOptions`
// take the next argument (or "=value"); after "--" everything is an operand.
CommandArguments SplitCommandArguments(const std::vector<std::string>& args,
                                       const std::vector<std::string>& flags,
                                       const std::vector<std::string>& valueOptions);

struct Locations {
  std::string home;  // the program directory, absolute
  std::string tape;  // the tape device or virtual drive directory
};

// --home, else $VANTREL_HOME, else the executable's directory; --tape, else $VANTREL_TAPE, else
// the virtual drive "vtape" in the program directory.
Locations ResolveLocations(const GlobalOptions& options,
                           const std::map<std::string, std::string>& environment,
                           const std::string& executableDir);

// A byte count: decimal digits with an optional K, M, G or T (powers of 1024). Nothing for
// anything else, zero, or a value beyond 64 bits.
std::optional<int64_t> ParseByteCount(const std::string& text);

}  // namespace vantrel::cli
