// Which records of a tape the restore list selects.
#pragma once

#include <string>

#include "app/core/program.h"

namespace vantrel {

// True when a line of the restore list selects the file at `path` (as recorded, as text) with
// the modification time of LastRecordHeader. The catalog file is never selected.
bool IsSelectedForRestore(const Program& p, const std::string& path, const std::string& fileName);

}  // namespace vantrel
