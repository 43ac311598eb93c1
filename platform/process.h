// Starting another program from a command line, without a shell, and without waiting for it.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

// Reasons a start can fail, in the numbering the program's messages are keyed by.
constexpr int kStartFileNotFound = 2;     // the program does not exist
constexpr int kStartPathNotFound = 3;     // a directory on the way to it is missing
constexpr int kStartInvalidProgram = 11;  // not executable, or not a format the system runs
constexpr int kStartNoResources = 0;      // no process could be created

struct StartResult {
  bool started = false;
  int code = 0;  // when not started: one of the reasons above, or the system's error number
};

// Splits a command line into arguments: blanks and tabs separate them, double quotes keep blanks
// together and are removed ("" alone is an empty argument); a backslash is an ordinary character.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Starts the program of `commandLine` (its first argument; a name without "/" is looked up in
// PATH) with the remaining arguments and standard input from /dev/null. Returns once the program
// has been loaded or has failed to load; the program then runs on its own, in a session of its
// own, and is never waited for. A file that is not in an executable format is not handed to a
// shell: scripts need their "#!" line.
StartResult StartProgram(const std::string& commandLine);

}  // namespace vantrel
