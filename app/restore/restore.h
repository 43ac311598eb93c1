// Restore: reads the tape set from its first file to its end and puts every selected file back,
// under the restore path or at its recorded place, by the overwrite rule.
#pragma once

#include <string>

#include "app/core/program.h"

namespace vantrel {

enum OverwriteRule { kAskBeforeOverwrite = 0, kOverwriteNever = 1, kOverwriteEver = 2 };

// "&Start Restore".
void Button1Click(Program& p);
void RunRestore(Program& p);
// Moves the work copy of the record just read to its destination. True when it was restored.
bool RestoreOneFile(Program& p, const std::string& path, const std::string& fileName);

// Moves `from` onto `to`, replacing it; across file systems by copying with the file's times.
// Returns 0 or the errno of the failure.
int MoveFileReplacing(const std::string& from, const std::string& to);

}  // namespace vantrel
