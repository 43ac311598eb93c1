#include "app/tape/tape_access.h"

#include <algorithm>
#include <map>

#include "app/core/protocol.h"
#include "platform/date_time.h"

namespace vantrel {
namespace {

const std::map<TapeResult, std::string>& TapeErrorTexts() {
  static const std::map<TapeResult, std::string> texts = {
      {0, ""}, {1110, ""}, {1111, ""},
      {1, "This Tape drive does not support this function"},
      {2, "The system cannot find the file specified. "},
      {3, "The system cannot find the path specified. "},
      {4, "The system cannot open the file. "},
      {5, "Access is denied. "},
      {6, "The handle is invalid. "},
      {7, "The storage control blocks were destroyed. "},
      {8, "Not enough storage is available to process this command. "},
      {9, "The storage control block address is invalid. "},
      {10, "The environment is incorrect. "},
      {11, "An attempt was made to load a program with an incorrect format."},
      {12, "The access code is invalid. "},
      {13, "The data is invalid. "},
      {14, "Not enough storage is available to complete the operation. "},
      {15, "The system cannot find the drive specified. "},
      {16, "The directory cannot be removed. "},
      {17, "The system cannot move the file to a different disk drive. "},
      {18, "There are no more files. "},
      {19, "Error, The write protect is set "},
      {20, "Error, The system cannot find the device "},
      {21, "The device is not ready "},
      {22, "The device does not recognize the command. "},
      {23, "Data error (cyclic redundancy check). "},
      {24, "Incorrect command length from program "},
      {25, "The drive cannot locate a specfic area or track on the disk "},
      {26, "The specified disk or diskette cannot be accessed. "},
      {27, "The drive cannot find the sector requested. "},
      {28, "The Printer is out of paper. "},
      {29, "Error, The device cannot write "},
      {30, "The system cannot read from the specified device. "},
      {31, "A device attached to the system is not functioning. "},
      {32, "The file is being using by another process. "},
      {33, "Another process has locked the file. "},
      {34, "The wrong diskette is in the drive. "},
      {36, "Too many files opened for sharing. "},
      {38, "Reached end of file "},
      {39, "The disk is full "},
      {50, "The network request is not supported. "},
      {234, "More data is available "},
      {1100, "Error, End of media "},
      {1101, "Error, Filemark detected "},
      {1102, "Error, Cannot access data before medium marker "},
      {1103, "Error, A setmark was reached "},
      {1104, "Error, Eof of data marker reached "},
      {1105, "Error, The tape could not be partitioned "},
      {1106, "Error, The Block size is incorrect "},
      {1107, "Error, Partition information not found "},
      {1108, "Error, An attempt to lock the ejection mechanism failed "},
      {1109, "Error, An attempt to unload the media failed  "},
      {1112, "There is no media in the drive "},
  };
  return texts;
}

const std::map<TapeResult, std::string>& TapeResultMessages() {
  static const std::map<TapeResult, std::string> texts = {
      {0, "OK"},
      {1, "INVALID FUNCTION"},
      {19, "The media is write protected."},
      {50, "The tape driver does not support a requested function."},
      {1100, "The end-of-tape marker was reached during an operation."},
      {1101, "A filemark was reached during an operation."},
      {1102, "An attempt to access data before the beginning-of-medium marker failed."},
      {1103, "A setmark was reached during an operation."},
      {1104, "The end-of-data marker was reached during an operation."},
      {1105, "The tape could not be partitioned."},
      {1106, "The block size is incorrect on a new tape in a multivolume partition."},
      {1107, "The partition information could not be found when a tape was being loaded."},
      {1108, "An attempt to lock the ejection mechanism failed."},
      {1109, "An attempt to unload the tape failed."},
      {1110, "The tape that was in the drive has been replaced or removed."},
      {1111, "A reset condition was detected on the bus."},
      {1112, "There is no media in the drive."},
  };
  return texts;
}

bool ProbeAnswersUsable(TapeResult result) {
  return result == tape_code::kSuccess || result == tape_code::kMoreData ||
         result == tape_code::kMediaChanged;
}

}  // namespace

TapeHandle OpenTapeDevice(Program& p) {
  if (!p.tapeDrive) {
    p.LastError = SystemError::Windows(tape_code::kFileNotFound);
    return nullptr;
  }
  TapeOpenResult opened = p.tapeDrive->Open();
  if (!opened.device) p.LastError = SystemError::Windows(opened.result);
  return std::move(opened.device);
}

TapeHandle OpenTape(Program& p) {
  TapeHandle handle = OpenTapeDevice(p);
  PumpMessages(p, 1);
  if (handle) {
    TapeMediaParameters media;
    TapeResult probe = handle->GetMediaParameters(media);
    if (ProbeAnswersUsable(probe)) return handle;
    p.LastError = SystemError::Windows(probe);
  }
  ShowNoTapeDrive(p);
  CloseTape(p, handle, 10);
  return nullptr;
}

void ShowNoTapeDrive(Program& p) {
  if (p.LastError.domain == SystemError::Domain::kWindows &&
      p.LastError.code == static_cast<int>(tape_code::kBusy)) {
    ShowStatus(p, "Tape drive in use: " + (p.tapeDrive ? p.tapeDrive->Name() : std::string()));
  }
  p.ui.ShowMessage("No Tape Drive!");
}

void SettleTape(Program& p, int milliseconds) {
  if (!p.tapeDrive || !p.tapeDrive->SettlesAtOnce()) p.Sleep(milliseconds);
}

void CloseTape(Program& p, TapeHandle& handle, int delayMs) {
  SettleTape(p, delayMs);
  handle.reset();
}

std::string TapeErrorText(TapeResult code, std::string result) {
  auto it = TapeErrorTexts().find(code);
  return it != TapeErrorTexts().end() ? it->second : result;
}

std::string TapeResultMessage(TapeResult code) {
  auto it = TapeResultMessages().find(code);
  return it != TapeResultMessages().end() ? it->second
                                          : "Unbekannter Fehler. " + std::to_string(code);
}

void ShowTapeResult(Program& p, TapeResult code) { p.ui.ShowMessage(TapeResultMessage(code)); }

std::string RewindTapeDevice(Program& p) {
  std::string outcome = "Rewind Ok";
  TapeHandle handle = OpenTapeDevice(p);
  SettleTape(p, 100);
  if (!handle) return "Unable to find tape drive on system or tape drive in use";
  TapeResult result = handle->Rewind();
  DrainMessages(p);
  CloseTape(p, handle, 10);
  std::string text = TapeErrorText(result);
  if (!text.empty()) outcome = text;
  return outcome;
}

std::string EraseTapeDevice(Program& p) {
  std::string outcome = "Erase Ok";
  TapeHandle handle = OpenTapeDevice(p);
  if (!handle) return "Unable to find tape drive on system or tape drive in use";
  TapeResult result = handle->Erase();
  DrainMessages(p);
  std::string text = TapeErrorText(result);
  if (!text.empty()) outcome = text;
  CloseTape(p, handle, 10);
  return outcome;
}

uint32_t BlockSizeForDrive(uint32_t maximumBlockSize) {
  if (maximumBlockSize == 0) return kMaxBlockSize;
  return std::clamp(maximumBlockSize, kMinBlockSize, kMaxBlockSize);
}

int64_t TapeBlockLimitFor(int64_t capacity, uint32_t blockSize) {
  return capacity / static_cast<int64_t>(blockSize) - 640;
}

void ReadDriveParameters(Program& p) {
  TapeHandle handle = OpenTape(p);
  // Without a drive nothing answers: BlockSize and TapeBlockLimit keep their values, and the
  // person has been told once.
  if (!handle) return;
  {
    TapeDriveParameters drive;
    TapeResult result = 0;
    for (int i = 0; i < 3; ++i) {
      result = handle->GetDriveParameters(drive);
      PumpMessages(p, 10);
    }
    if (ProbeAnswersUsable(result)) p.BlockSize = BlockSizeForDrive(drive.MaximumBlockSize);
    TapeMediaParameters media;
    if (ProbeAnswersUsable(handle->GetMediaParameters(media))) {
      p.TapeBlockLimit = TapeBlockLimitFor(media.Capacity, p.BlockSize);
    }
    PumpMessages(p, 10);
    bool partitioned = drive.MaximumPartitionCount >= 2;
    p.SetPositionMethod =
        partitioned ? TapePositionMethod::kLogicalBlock : TapePositionMethod::kAbsoluteBlock;
    p.GetPositionType = partitioned ? TapePositionType::kLogical : TapePositionType::kAbsolute;
    CloseTape(p, handle, 1);
  }
  SetTapeParameters1Click(p);
}

void SetTapeParameters1Click(Program& p) {
  bool saved = BeginBusyCursor(p);
  TapeHandle handle = OpenTape(p);
  if (handle) {
    TapeResult result = handle->SetMediaBlockSize(p.BlockSize);
    if (result != tape_code::kSuccess) ReportError(p, SystemError::Windows(result));
  }
  CloseTape(p, handle, 1);
  EndBusyCursor(p, saved);
}

bool RewindTape(Program& p) {
  ShowStatus(p, "Rewind Tape ");
  SettleTape(p, 100);
  std::string text = RewindTapeDevice(p);
  if (text == "Rewind Ok") {
    ShowStatus(p, "Tape : At First pos");
    return true;
  }
  ShowStatus(p, text);
  return false;
}

bool EjectTape(Program& p, bool showErrorDialogs) {
  ShowStatus(p, "Ejecting Tape");
  bool saved = BeginBusyCursor(p);
  bool unloaded = false;
  if (RewindTape(p)) {
    PumpMessages(p, 1);
    TapeHandle handle = OpenTape(p);
    PumpMessages(p, 10);
    if (handle) {
      TapeResult result = handle->Prepare(TapePrepareOperation::kUnload);
      if (showErrorDialogs) ShowTapeResult(p, result);
      unloaded = result == tape_code::kSuccess;
      CloseTape(p, handle, 10);
    }
  }
  std::string text = unloaded ? "Tape " + std::to_string(p.Hauptmenu.tapeDescription.TapeNumber) +
                                    " at " + DateTimeToText(NowDateTime()) + " ejected !"
                              : "Tape not ejected !";
  AppendProtocolLine(p, ProtocolSeparator());
  AppendProtocolLine(p, text);
  ShowStatus(p, text);
  EndBusyCursor(p, saved);
  return unloaded;
}

int64_t ReadTapePosition(Program& p, TapeDevice& handle) {
  TapePosition position = handle.GetPosition(p.GetPositionType);
  ShowStatus(p, "Tape at pos: " + std::to_string(position.block));
  return position.block;
}

TapeResult PositionTape(Program& p, TapeDevice& handle, int64_t block) {
  return handle.SetPosition(p.SetPositionMethod, block);
}

TapeTransfer ReadTapeBlock(Program& p, TapeDevice& handle, BlockBuffer& buffer) {
  return handle.ReadBlock(std::span<uint8_t>(buffer.data(), p.BlockSize));
}

TapeResult WriteTapeBlock(Program& p, TapeDevice& handle, const BlockBuffer& buffer) {
  return handle.WriteBlock(std::span<const uint8_t>(buffer.data(), p.BlockSize));
}

}  // namespace vantrel
