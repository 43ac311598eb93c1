// vantrel-cli: the command-line front end over the engine.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace vantrel {
class UserInterface;
}

namespace vantrel::cli {

// Everything one run of the command line depends on, so that a test runs it in-process.
struct Invocation {
  std::vector<std::string> args;                   // without the program name
  std::map<std::string, std::string> environment;  // VANTREL_HOME, VANTREL_TAPE when set
  std::string executableDir;                       // the default program directory
  std::ostream* out = nullptr;                     // protocol lines and results
  std::ostream* err = nullptr;                     // messages, status line, usage errors
  bool errIsTerminal = false;
  // Where questions are asked and answered; without `answers` every question is cancelled.
  std::istream* answers = nullptr;
  std::ostream* questions = nullptr;  // null: `err`
  // True once the person asked to cancel the running job (Ctrl-C).
  std::function<bool()> cancelRequested;
  // The engine's fixed waits; empty: real sleeping.
  std::function<void(int milliseconds)> sleep;
  // Replaces the terminal's user interface (prompts, messages, protocol echo) when set.
  UserInterface* ui = nullptr;
};

// Runs one command; returns the exit status.
int Run(const Invocation& invocation);

int Main(int argc, char** argv);

}  // namespace vantrel::cli
