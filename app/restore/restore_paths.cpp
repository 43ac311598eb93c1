#include "app/restore/restore_paths.h"

#include "app/format/recorded_path.h"

namespace vantrel {

std::optional<std::string> DestinationPath(const std::string& restorePath,
                                           const std::string& recordedPath) {
  std::optional<std::string> relative = RelativeRecordedPath(recordedPath);
  if (!relative) return std::nullopt;
  if (restorePath.empty()) {
    if (IsWindowsRecordedPath(recordedPath)) return std::nullopt;
    return "/" + *relative;
  }
  // Without a separator the name would run into the restore path's last directory name and the
  // file would land beside the restore path instead of below it.
  std::string base = restorePath.back() == '/' ? restorePath : restorePath + "/";
  return base + *relative;
}

}  // namespace vantrel
