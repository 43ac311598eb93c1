#include "app/format/file_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/backup/softcompression.h"
#include "app/core/protocol.h"
#include "app/format/block_stream.h"
#include "app/format/recorded_path.h"
#include "app/restore/restore_selection.h"
#include "platform/date_time.h"
#include "platform/file_io.h"

namespace vantrel {
namespace {

// Streams exactly `size` bytes of `fd`; true when the file delivered exactly that many.
bool StreamFileData(Program& p, TapeHandle& handle, int fd, int64_t size) {
  bool exact = true;
  int64_t remaining = size;
  int chunk = 0;
  while (remaining > 0) {
    size_t want = static_cast<size_t>(std::min<int64_t>(p.BlockSize, remaining));
    ssize_t read = ReadFully(fd, p.FileDataBuffer.data(), want);
    // A read error counts as the end of the file: the rest is padded like a file that shrank.
    size_t got = read < 0 ? 0 : static_cast<size_t>(read);
    if (got < want) {
      std::memset(p.FileDataBuffer.data() + got, 0, want - got);
      exact = false;
    }
    StreamWrite(p, handle, p.FileDataBuffer.data(), want);
    remaining -= static_cast<int64_t>(want);
    if (++chunk % 100 == 0) PumpMessages(p, 1);
  }
  uint8_t extra;
  return exact && ReadFully(fd, &extra, 1) == 0;
}

int CreateTarget(Program& p, const std::string& fileName) {
  THauptmenu& w = p.Hauptmenu;
  std::string target = w.WorkDir + fileName;
  if (p.LastRecordHeader.Compressed == 1) {
    unlink(w.ScratchZipPath.c_str());
    PumpMessages(p, 1);
    target = w.ScratchZipPath;
  }
  int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) ReportError(p, SystemError::Posix(errno));
  PumpMessages(p, 1);
  return fd;
}

// Gives the written file its recorded time and closes it; a copy that is not complete is
// removed, so that it is never taken for the file.
void FinishTarget(Program& p, int fd, const std::string& fileName, bool complete) {
  THauptmenu& w = p.Hauptmenu;
  std::time_t modified = DateTimeToTime(p.LastRecordHeader.Modified);
  timespec times[2] = {{modified, 0}, {modified, 0}};
  futimens(fd, times);
  close(fd);
  SettleTape(p, 1);
  if (!complete) {
    unlink((p.LastRecordHeader.Compressed == 1 ? w.ScratchZipPath : w.WorkDir + fileName).c_str());
  }
}

}  // namespace

bool WriteFileRecord(Program& p, TapeHandle& handle, TapeFileRecord& header,
                     const std::string& sourcePath) {
  int fd = open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    p.LastError = SystemError::Posix(fd < 0 ? errno : EISDIR);
    if (fd >= 0) close(fd);
    return false;
  }
  header.Size = st.st_size;
  header.Position = {};
  p.Hauptmenu.StreamBytes += header.Size + static_cast<int64_t>(kTapeFileRecordSize);
  uint8_t raw[kTapeFileRecordSize];
  EncodeTapeFileRecord(header, raw);
  StreamWrite(p, handle, raw, sizeof raw);
  bool exact = StreamFileData(p, handle, fd, header.Size);
  close(fd);
  if (!exact) {
    AppendProtocolLine(p, "Changed while saving: " + sourcePath + " <" +
                              std::to_string(header.Size / 1024) + " KBytes> ");
  }
  return true;
}

std::string ReadNextFileRecord(Program& p, TapeHandle& handle, bool skipData, bool expand,
                               bool noSelection) {
  THauptmenu& w = p.Hauptmenu;
  uint8_t raw[kTapeFileRecordSize];
  if (!StreamRead(p, handle, raw, sizeof raw)) {
    PumpMessages(p, 1);
    return "";
  }
  p.LastRecordHeader = DecodeTapeFileRecord(raw);
  PumpMessages(p, 10);
  std::string path = RecordedPathText(p.LastRecordHeader.Path);
  // The trailer reads as a record whose path is exactly the marker. A recorded file whose name
  // merely contains it is a file like any other: taking it for the end would hide every later
  // record of the set.
  if (p.LastRecordHeader.Path == kTrailerMarker) return "";
  int64_t size = p.LastRecordHeader.Size;
  if (size < 0) {
    ReportError(p, SystemError::Message("Damaged file record on tape: " + path));
    return "";
  }
  int64_t chunks = size > 0 ? size / p.BlockSize + 1 : 0;
  w.StreamBytes += size + static_cast<int64_t>(kTapeFileRecordSize);
  ShowStatus(p, path);
  PumpMessages(p, 1);

  std::string fileName = FileNamePart(path);
  bool writing = !skipData && (noSelection || IsSelectedForRestore(p, path, fileName));
  if (writing && !IsPlainFileName(fileName)) {
    AppendProtocolLine(p, "Not read back, the recorded name cannot be used: " + path);
    writing = false;
  }
  int fd = writing ? CreateTarget(p, fileName) : -1;
  bool complete = !writing || fd >= 0;
  for (int64_t i = 1; i <= chunks && complete; ++i) {
    if (p.AbortFlag) {
      complete = false;
      break;
    }
    size_t length = i < chunks ? p.BlockSize : static_cast<size_t>(size - (chunks - 1) * p.BlockSize);
    if (!StreamRead(p, handle, p.FileDataBuffer.data(), length)) {
      if (!p.AbortFlag) ReportLastError(p);
      complete = false;
    } else if (fd >= 0 && !WriteFully(fd, p.FileDataBuffer.data(), length)) {
      ReportError(p, SystemError::Posix(errno));
      complete = false;
    }
    PumpMessages(p, 1);
  }
  if (fd >= 0) FinishTarget(p, fd, fileName, complete);
  PumpMessages(p, 1);
  if (expand && fd >= 0 && complete && !p.AbortFlag) ExpandSoftcompressed(p, w.WorkDir + fileName);
  PumpMessages(p, 1);
  return p.AbortFlag || !complete ? "" : path;
}

std::string ReadNextTapeFile(Program& p, const std::string& fileName) {
  TapeHandle handle = OpenTape(p);
  if (!handle) return "";
  int fd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    ReportError(p, SystemError::Posix(errno));
    CloseTape(p, handle, 10);
    return "Error";
  }
  std::string outcome;
  bool written = false;
  BlockBuffer buffer{};
  while (outcome.empty()) {
    std::memset(buffer.data(), 0, p.BlockSize);
    TapeTransfer read = ReadTapeBlock(p, *handle, buffer);
    if (read.result == tape_code::kNoDataDetected) {
      ShowStatus(p, "End of data found.");
      outcome = "End of data";
    } else if (read.bytes > 0) {
      if (!WriteFully(fd, buffer.data(), read.bytes)) ReportError(p, SystemError::Posix(errno));
      written = true;
    } else if (read.result == tape_code::kFilemarkDetected || read.result == tape_code::kSuccess) {
      if (!written) ShowStatus(p, "No data written to file.");
      outcome = written ? "No Error" : "Error";
    } else {
      ReportError(p, SystemError::Windows(read.result));
      outcome = "Error";
    }
    DrainMessages(p);
  }
  CloseTape(p, handle, 10);
  close(fd);
  if (outcome != "No Error") unlink(fileName.c_str());
  return outcome;
}

}  // namespace vantrel
