#include "app/restore/restore_selection.h"

#include "platform/date_time.h"
#include "platform/file_names.h"

namespace vantrel {

bool IsSelectedForRestore(const Program& p, const std::string& path,
                          const std::string& fileName) {
  const THauptmenu& w = p.Hauptmenu;
  if (path.empty() || fileName == w.CatalogFileName) return false;
  std::string folded = FoldCase(path);
  std::string version =
      FoldCase(path + "  -  " + DateTimeToText(p.LastRecordHeader.Modified));
  for (const std::string& line : w.restorePage.Memo3.Lines) {
    if (line.empty()) continue;
    std::string wanted = FoldCase(line);
    bool directoryLine = wanted.back() == '/' || wanted.back() == '\\';
    if (directoryLine ? folded.find(wanted) != std::string::npos
                      : folded == wanted || version == wanted) {
      return true;
    }
  }
  return false;
}

}  // namespace vantrel
