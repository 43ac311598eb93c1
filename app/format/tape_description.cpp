#include "app/format/tape_description.h"

#include <unistd.h>

#include <fstream>

#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/format/file_records.h"
#include "app/format/recorded_path.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"
#include "platform/file_names.h"

namespace vantrel {
namespace {

void SetCaption(Program& p, const TapeDescription& description) {
  p.Hauptmenu.Caption = ShowDescriptionInCaption(p, description);
  p.ui.SetCaption(p.Hauptmenu.Caption);
}

// Label line and date line of an extracted "header.tap"; nothing when the date does not read.
std::optional<TapeDescription> ParseLegacyHeaderFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string label, dateText;
  if (!std::getline(in, label)) return std::nullopt;
  std::getline(in, dateText);
  if (!label.empty() && label.back() == '\r') label.pop_back();
  if (!dateText.empty() && dateText.back() == '\r') dateText.pop_back();
  std::optional<double> date = TextToDateTime(dateText);
  if (!date) return std::nullopt;
  TapeDescription d = InvalidTapeDescription();
  d.TapeLabel = label.substr(0, 255);
  d.SetDate = *date;
  return d;
}

}  // namespace

TapeDescription InvalidTapeDescription() { return TapeDescription{}; }

bool WriteTapeDescription(Program& p, const TapeDescription& description) {
  bool saved = BeginBusyCursor(p);
  RewindTape(p);
  bool written = false;
  TapeHandle handle = OpenTape(p);
  if (handle) {
    p.ControlBlockBuffer.fill(0);
    EncodeTapeDescription(description, p.ControlBlockBuffer);
    TapeResult result = WriteTapeBlock(p, *handle, p.ControlBlockBuffer);
    written = result == tape_code::kSuccess;
    if (!written) ReportError(p, SystemError::Windows(result));
  }
  CloseTape(p, handle, 1);
  SetCaption(p, description);
  EndBusyCursor(p, saved);
  return written;
}

TapeDescription LoadTapeDescription(Program& p) {
  bool saved = BeginBusyCursor(p);
  p.Hauptmenu.DescriptionValid = false;
  p.LegacyDescription = false;
  ShowStatus(p, "Loading Tape Description");
  SettleTape(p, 100);
  RewindTape(p);
  TapeDescription result = InvalidTapeDescription();
  bool readOk = false;
  TapeHandle handle = OpenTape(p);
  if (handle) {
    TapeTransfer read = ReadTapeBlock(p, *handle, p.ControlBlockBuffer);
    readOk = read.result == tape_code::kSuccess && read.bytes >= kTapeDescriptionSize;
    // A block that did not read names no tape set, whatever the buffer held before.
    if (readOk) result = DecodeTapeDescription(p.ControlBlockBuffer);
  }
  CloseTape(p, handle, 1);
  EndBusyCursor(p, saved);
  if (readOk) {
    if (result.TapeLabel.find("header") != std::string::npos) {
      TapeDescription legacy = ReadLegacyDescription(p);
      result.SetDate = legacy.SetDate;
      result.TapeNumber = legacy.TapeNumber;
      result.TapeLabel = legacy.TapeLabel;
      result.LabelTail = legacy.LabelTail;
    } else if (result.TapeLabel.find("Tape") != std::string::npos ||
               result.TapeLabel.find("Disk") != std::string::npos) {
      ShowStatus(p, "Tape Description successful loaded!");
    } else {
      ShowStatus(p,
                 "Tape Description is not valid! Please try \"Load Tape Descripton\" or \"Format "
                 "Tape\"");
      result.TapeNumber = kTapeNumberInvalid;
      result.SetDate = 0;
    }
  }
  SetCaption(p, result);
  return result;
}

TapeDescription ReadLegacyDescription(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  PumpMessages(p, 10);
  TapeDescription result = InvalidTapeDescription();
  if (!RewindTape(p)) {
    unlink(w.HeaderPath.c_str());
    return result;
  }
  bool saved = BeginBusyCursor(p);
  ShowStatus(p, "Loading Tape Description");
  TapeHandle handle = OpenTape(p);
  if (handle) {
    TapeTransfer read = ReadTapeBlock(p, *handle, p.StreamBuffer);
    p.StreamFailed = false;
    p.StreamPosition = {0, 0, ReadTapePosition(p, *handle)};
    std::string path = read.result == tape_code::kSuccess
                           ? ReadNextFileRecord(p, handle, false, false, true)
                           : std::string();
    w.restorePage.LEDDisplay6.Value = static_cast<double>(w.StreamBytes / 1048576);
    std::optional<TapeDescription> legacy;
    if (FoldCase(FileNamePart(path)) == FoldCase(w.HeaderFileName)) {
      legacy = ParseLegacyHeaderFile(w.HeaderPath);
    }
    if (legacy) {
      result = *legacy;
      ShowStatus(p, "Tape description loaded");
      p.LegacyDescription = true;
    } else {
      ShowStatus(p, "Tape description not found! Perhaps Tape was not used with Vantrel before !");
    }
  }
  CloseTape(p, handle, 10);
  unlink(w.HeaderPath.c_str());
  EndBusyCursor(p, saved);
  return result;
}

std::string ShowDescriptionInCaption(Program& p, const TapeDescription& description) {
  std::string number = description.TapeNumber == kTapeNumberInvalid
                           ? ""
                           : " " + std::to_string(description.TapeNumber) + " ";
  // Beyond the year 9999 a date has no text.
  if (description.SetDate > 1.0 && description.SetDate < 2958466.0) {
    p.Hauptmenu.DescriptionValid = true;
    return "Vantrel <" + description.TapeLabel + number + "from: " +
           DateTimeToText(description.SetDate) + ">";
  }
  return "Vantrel";
}

void GetTapeDescription1Click(Program& p) {
  LockJobControls(p);
  p.Hauptmenu.tapeDescription = LoadTapeDescription(p);
  UnlockJobControls(p);
}

}  // namespace vantrel
