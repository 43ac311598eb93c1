#include "app/format/block_stream.h"

#include <charconv>
#include <cstring>
#include <stdexcept>

#include "app/core/protocol.h"
#include "app/format/tape_description.h"
#include "platform/date_time.h"

namespace vantrel {
namespace {

// The highest number a tape of a set may carry: 255 reads back as "no valid description".
constexpr uint8_t kLastTapeNumber = 254;

void LogTapeEjected(Program& p) {
  AppendProtocolLine(p, ProtocolSeparator());
  AppendProtocolLine(p, "Tape " + std::to_string(p.Hauptmenu.tapeDescription.TapeNumber) +
                            " at " + DateTimeToText(NowDateTime()) + " ejected !");
}

void LogTapeLoaded(Program& p) {
  AppendProtocolLine(p, "Tape " + std::to_string(p.Hauptmenu.tapeDescription.TapeNumber) +
                            " at " + DateTimeToText(NowDateTime()) + " loaded !");
  AppendProtocolLine(p, ProtocolSeparator());
}

// After a change the next tape must open; otherwise the job ends.
void ReopenAfterChange(Program& p, TapeHandle& handle) {
  MoveTapeToBlock(p, "1");
  p.StreamPosition.BlockNumber = 1;
  handle = OpenTape(p);
  if (!handle) {
    p.StreamFailed = true;
    ReportLastError(p);
  }
}

bool TapeSetIsFull(Program& p) {
  if (p.Hauptmenu.tapeDescription.TapeNumber < kLastTapeNumber) return false;
  p.StreamFailed = true;
  ReportError(p, SystemError::Message("A tape set holds at most " +
                                      std::to_string(kLastTapeNumber) +
                                      " tapes; the job ends here."));
  return true;
}

void GiveUpTapeChange(Program& p) {
  p.StreamFailed = true;
  p.AbortFlag = true;
  AppendProtocolLine(p, "Tape change cancelled; the job ends here.");
}

}  // namespace

void FlushStreamBlock(Program& p, TapeHandle& handle) {
  if (!p.StreamFailed) {
    TapeResult result = handle ? WriteTapeBlock(p, *handle, p.StreamBuffer) : tape_code::kNotReady;
    if (result != tape_code::kSuccess) {
      p.StreamFailed = true;
      ReportError(p, SystemError::Windows(result));
    }
  }
  p.StreamPosition.BlockNumber += 1;
  if (p.TapeBlockLimit > 0 && p.StreamPosition.BlockNumber >= p.TapeBlockLimit &&
      !p.StreamFailed) {
    ChangeTapeForWrite(p, handle);
  }
}

void StreamWrite(Program& p, TapeHandle& handle, const uint8_t* data, size_t length) {
  BlockPosition& pos = p.StreamPosition;
  if (pos.BlockOffset + length <= p.BlockSize) {
    std::memcpy(p.StreamBuffer.data() + pos.BlockOffset, data, length);
    pos.BlockOffset += static_cast<uint32_t>(length);
    return;
  }
  size_t n = p.BlockSize - pos.BlockOffset;
  std::memcpy(p.StreamBuffer.data() + pos.BlockOffset, data, n);
  FlushStreamBlock(p, handle);
  std::memcpy(p.StreamBuffer.data(), data + n, length - n);
  pos.BlockOffset = static_cast<uint32_t>(length - n);
}

bool StreamRead(Program& p, TapeHandle& handle, uint8_t* destination, size_t length) {
  BlockPosition& pos = p.StreamPosition;
  if (pos.BlockOffset + length <= p.BlockSize) {
    std::memcpy(destination, p.StreamBuffer.data() + pos.BlockOffset, length);
    pos.BlockOffset += static_cast<uint32_t>(length);
    return true;
  }
  size_t n = p.BlockSize - pos.BlockOffset;
  std::memcpy(destination, p.StreamBuffer.data() + pos.BlockOffset, n);
  TapeTransfer read{tape_code::kNotReady, 0};
  if (handle && !p.StreamFailed) read = ReadTapeBlock(p, *handle, p.StreamBuffer);
  if (read.result != tape_code::kSuccess || read.bytes != p.BlockSize) {
    p.LastError = SystemError::Windows(read.result == tape_code::kSuccess
                                           ? tape_code::kInvalidBlockLength
                                           : read.result);
    if (read.result != tape_code::kNoDataDetected && !p.StreamFailed) ReportLastError(p);
    p.StreamFailed = true;
    return false;
  }
  pos.BlockNumber += 1;
  if (p.TapeBlockLimit > 0 && pos.BlockNumber >= p.TapeBlockLimit) {
    ChangeTapeForRead(p, handle);
    if (p.StreamFailed) return false;
  }
  std::memcpy(destination + n, p.StreamBuffer.data(), length - n);
  pos.BlockOffset = static_cast<uint32_t>(length - n);
  return true;
}

void ChangeTapeForWrite(Program& p, TapeHandle& handle) {
  if (!p.Hauptmenu.optionsPage.CheckBox12.Checked) return;
  if (TapeSetIsFull(p)) return;
  p.ControlBlockBuffer.fill(0);
  EncodeCatalogTrailer(TapeEndMarker, p.ControlBlockBuffer);
  TapeResult result = handle ? WriteTapeBlock(p, *handle, p.ControlBlockBuffer)
                             : tape_code::kNotReady;
  if (result != tape_code::kSuccess) {
    // Without its end marker the tape would read on into nothing: the set ends here.
    p.StreamFailed = true;
    ReportError(p, SystemError::Windows(result));
    return;
  }
  if (handle) handle->Prepare(TapePrepareOperation::kUnload);
  CloseTape(p, handle, 1);
  LogTapeEjected(p);
  TapeDescription& description = p.Hauptmenu.tapeDescription;
  description.TapeNumber += 1;
  if (!p.ui.AskOkCancel("Tape full! Please insert Tape " +
                        std::to_string(description.TapeNumber) + " and press then ok!")) {
    GiveUpTapeChange(p);
    return;
  }
  ReadDriveParameters(p);
  LogTapeLoaded(p);
  if (!WriteTapeDescription(p, description)) {
    p.StreamFailed = true;
    return;
  }
  ReopenAfterChange(p, handle);
}

void ChangeTapeForRead(Program& p, TapeHandle& handle) {
  if (!p.Hauptmenu.optionsPage.CheckBox12.Checked) return;
  CloseTape(p, handle, 1);
  LogTapeEjected(p);
  if (TapeSetIsFull(p)) return;
  TapeDescription& description = p.Hauptmenu.tapeDescription;
  int expected = description.TapeNumber + 1;
  double setDate = description.SetDate;
  do {
    EjectTape(p, false);
    if (!p.ui.AskOkCancel("Tape at end! Please insert Tape " + std::to_string(expected) +
                          " and press then ok!")) {
      GiveUpTapeChange(p);
      return;
    }
    ReadDriveParameters(p);
    description = LoadTapeDescription(p);
  } while (description.TapeNumber != expected || description.SetDate != setDate);
  LogTapeLoaded(p);
  ReopenAfterChange(p, handle);
}

void MoveTapeToBlock(Program& p, const std::string& blockText) {
  int64_t block = 0;
  auto [end, ec] = std::from_chars(blockText.data(), blockText.data() + blockText.size(), block);
  bool valid = ec == std::errc() && end == blockText.data() + blockText.size() && block >= 0;
  TapeHandle handle = OpenTape(p);
  if (!handle) return;
  ShowStatus(p, "Move Tape to Block " + blockText);
  PumpMessages(p, 1);
  if (!valid) {
    CloseTape(p, handle, 10);
    throw std::invalid_argument("'" + blockText + "' is not a valid block number");
  }
  PositionTape(p, *handle, block);
  CloseTape(p, handle, 10);
}

bool StartStreamRead(Program& p, TapeHandle& handle) {
  p.StreamFailed = false;
  TapeTransfer read = ReadTapeBlock(p, *handle, p.StreamBuffer);
  p.StreamPosition = {0, 0, ReadTapePosition(p, *handle)};
  if (read.result == tape_code::kSuccess && read.bytes == p.BlockSize) return true;
  p.StreamFailed = true;
  if (read.result != tape_code::kNoDataDetected) {
    ReportError(p, SystemError::Windows(read.result == tape_code::kSuccess
                                            ? tape_code::kInvalidBlockLength
                                            : read.result));
  }
  return false;
}

}  // namespace vantrel
