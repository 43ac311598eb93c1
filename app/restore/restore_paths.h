// Where a restored file goes.
#pragma once

#include <optional>
#include <string>

namespace vantrel {

// The destination of `recordedPath`: re-rooted below `restorePath`, or the recorded path itself
// when the restore path is empty. Nothing when the recorded path could lead outside the restore
// path (an empty, "." or ".." component) or, recorded on Windows, has no place of its own here.
std::optional<std::string> DestinationPath(const std::string& restorePath,
                                           const std::string& recordedPath);

}  // namespace vantrel
