#include "app/restore/verify.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/format/block_stream.h"
#include "app/format/file_records.h"
#include "app/format/recorded_path.h"
#include "app/format/tape_description.h"
#include "app/restore/restore_paths.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"
#include "platform/file_io.h"

namespace vantrel {
namespace {

constexpr size_t kChunk = 1024;

void ReportLines(Program& p, const std::string& line) {
  auto& memo = p.Hauptmenu.verifyPage.Memo4.Lines;
  memo.push_back("");
  memo.push_back(line);
  memo.push_back("");
  AppendProtocolLines(p, {"", line, ""});
}

class OpenFile {
 public:
  explicit OpenFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~OpenFile() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  int64_t Size() const {
    struct stat st {};
    return fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
  }
  // Fills up to kChunk bytes; a short read leaves the rest of the buffer as it was.
  bool Read(uint8_t* buffer) { return ReadFully(fd_, buffer, kChunk) >= 0; }

 private:
  int fd_;
};

// Where the file of a record lies on disk for the comparison.
std::string SourcePathOf(const Program& p, const std::string& path) {
  if (p.VerifyRoot.empty()) return path;
  return DestinationPath(p.VerifyRoot, path).value_or(std::string());
}

void VerifyTapeSet(Program& p, VerifyCounts& counts) {
  THauptmenu& w = p.Hauptmenu;
  w.StreamBytes = 0;
  if (!p.LegacyDescription) MoveTapeToBlock(p, "1");
  TapeHandle handle = OpenTape(p);
  if (!handle) return;
  if (StartStreamRead(p, handle)) {
    while (true) {
      std::string path = ReadNextFileRecord(p, handle, false, true, true);
      std::string fileName = FileNamePart(path);
      w.verifyPage.LEDDisplay3.Value = static_cast<double>(w.StreamBytes / 1048576);
      PumpMessages(p, 1);
      if (!path.empty()) {
        // The copy just read back lies in the work directory; the recorded path may name a
        // file of another installation, which is never touched.
        std::string copy = w.WorkDir + fileName;
        if (fileName != w.CatalogFileName && fileName != w.HeaderFileName) {
          w.verifyPage.LEDDisplay4.Value += 1;
          std::string source = SourcePathOf(p, path);
          Comparison result = source.empty() ? CompareWithSource(p, path, "")
                                             : CompareWithSource(p, source, copy);
          if (result == Comparison::kEqual) {
            w.verifyPage.Memo4.Lines.push_back(path + "   OK");
            if (!w.optionsPage.CheckBox1.Checked) AppendProtocolLine(p, path + "   OK");
            counts.ok += 1;
          } else if (result == Comparison::kDifferent) {
            counts.defect += 1;
          }
        }
        unlink(copy.c_str());
      }
      if (path.empty() || p.AbortFlag) break;
    }
  }
  CloseTape(p, handle, 1);
  ShowStatus(p, "Verify finished !");
}

void WriteVerifySummary(Program& p, const VerifyCounts& counts, double start) {
  THauptmenu& w = p.Hauptmenu;
  double now = NowDateTime();
  std::vector<std::string> lines = {
      std::to_string(static_cast<int64_t>(w.verifyPage.LEDDisplay3.Value)) + " MB Tape Data",
      std::to_string(counts.ok + counts.defect) + " Files checked",
      std::to_string(counts.ok) + " Files OK", std::to_string(counts.defect) + " Files Defect"};
  std::string finish = "Verify finished at: " + DateTimeToText(now) + "  Elapsed Time: " +
                       TimeToText(now - start);
  auto& memo = w.verifyPage.Memo4.Lines;
  memo.push_back("");
  memo.insert(memo.end(), lines.begin(), lines.end());
  memo.insert(memo.end(), {"", finish, ""});
  AppendProtocolLine(p, "");
  for (const std::string& line : lines) AppendProtocolLine(p, line);
  AppendProtocolLines(p, {"", finish, ""});
}

}  // namespace

Comparison CompareWithSource(Program& p, const std::string& source, const std::string& copy) {
  PumpMessages(p, 1);
  OpenFile sourceFile(source);
  OpenFile copyFile(copy);
  int64_t sourceSize = sourceFile.ok() ? sourceFile.Size() : -1;
  int64_t copySize = copyFile.ok() ? copyFile.Size() : -1;
  if (copy.empty() || sourceSize < 0 || copySize < 0) {
    ReportLines(p, "Error in File " + source + " or File not exists !");
    return Comparison::kDifferent;
  }
  if (sourceSize / 1024 != copySize / 1024) {
    ReportLines(p, "Error with filesize " + source + " <" + std::to_string(sourceSize / 1024) +
                       "> / " + copy + " <" + std::to_string(copySize / 1024) + ">");
    return Comparison::kDifferent;
  }
  uint8_t a[kChunk] = {}, b[kChunk] = {};
  // Sizes within the same KiB still differ: the bytes of the shorter file's last chunk would
  // compare against zeros and could pass.
  bool equal = sourceSize == copySize;
  for (int64_t chunk = 0; equal && chunk <= sourceSize / 1024; ++chunk) {
    if (p.AbortFlag) return Comparison::kCancelled;
    if (chunk % 1000 == 999) PumpMessages(p, 1);
    if (!sourceFile.Read(a) || !copyFile.Read(b)) {
      ReportLines(p, "Error in File " + source + " or File not exists !");
      return Comparison::kDifferent;
    }
    equal = std::memcmp(a, b, kChunk) == 0;
  }
  PumpMessages(p, 1);
  if (equal) return Comparison::kEqual;
  ReportLines(p, "Error in File:  " + source);
  return Comparison::kDifferent;
}

VerifyCounts RunVerify(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  VerifyCounts counts;
  GetTapeDescription1Click(p);
  if (w.tapeDescription.TapeLabel == "Disk") {
    p.ui.ShowMessage("Disk Data could not verifyed!");
    return counts;
  }
  p.AbortFlag = false;
  bool busy = BeginBusyCursor(p);
  w.ActivePageIndex = kVerifyPage;
  LockJobControls(p);
  w.verifyPage.Memo4.Lines.clear();
  double start = NowDateTime();
  std::string started = "Verify started at: " + DateTimeToText(start);
  w.verifyPage.Memo4.Lines.insert(w.verifyPage.Memo4.Lines.end(), {started, ""});
  AppendProtocolLines(p, {"", ProtocolSeparator(), "", started, ""});
  SetTapeParameters1Click(p);
  w.verifyPage.LEDDisplay4.Value = 0;
  w.StreamBytes = 0;
  if (RewindTape(p)) VerifyTapeSet(p, counts);
  unlink(w.ScratchZipPath.c_str());
  WriteVerifySummary(p, counts, start);
  UnlockJobControls(p);
  EndBusyCursor(p, busy);
  return counts;
}

VerifyCounts BitBtn23Click(Program& p) {
  p.Hauptmenu.JobRunning = true;
  VerifyCounts counts = RunVerify(p);
  p.Hauptmenu.JobRunning = false;
  return counts;
}

}  // namespace vantrel
