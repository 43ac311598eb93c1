// How many copies of a program run: used at start-up to refuse a second copy, and by the service
// to see whether the backup program runs.
#pragma once

#include <string>

namespace vantrel {

// The number of running processes whose executable file name equals `name`, letter case ignored.
// The calling process counts when its own name matches. Where a process's executable cannot be
// read (another user's), its command name is used, which the system cuts to 15 characters: a
// cut name counts when it equals the first 15 characters of `name`.
int CountProcessesByName(const std::string& name);

}  // namespace vantrel
