#include "app/tape/tape_menu.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/format/tape_description.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"

namespace vantrel {
namespace {

constexpr int64_t kBlocksPerProgressStep = 3000;
constexpr int64_t kBytesPerMegabyte = 1048576;
constexpr char kEmptyTapeLabel[] = "Empty Tape ";

// Opens the device without asking for a medium first: loading is what brings the medium in, so
// the probe of OpenTape would refuse exactly the drives this command is for.
TapeHandle OpenTapeForLoad(Program& p) {
  TapeHandle handle = OpenTapeDevice(p);
  PumpMessages(p, 1);
  if (handle) return handle;
  ShowNoTapeDrive(p);
  return nullptr;
}

// One PrepareTape operation with its result message; closes the handle.
TapeResult PrepareTape(Program& p, TapeHandle& handle, TapePrepareOperation operation) {
  TapeResult result = handle->Prepare(operation);
  ShowTapeResult(p, result);
  CloseTape(p, handle, 10);
  return result;
}

int CountTrailerMarkers(std::span<const uint8_t> block) {
  const size_t markerLength = std::strlen(kTrailerMarker);
  int count = 0;
  auto at = block.begin();
  while (true) {
    at = std::search(at, block.end(), kTrailerMarker, kTrailerMarker + markerLength);
    if (at == block.end()) return count;
    ++count;
    ++at;
  }
}

double TimeOfDay() { return std::fmod(NowDateTime(), 1.0); }

// Whole seconds since JobStartTime, across midnight.
int64_t SecondsSinceJobStart(const Program& p) {
  double elapsed = TimeOfDay() - p.Hauptmenu.JobStartTime;
  if (elapsed < 0) elapsed += 1.0;
  return static_cast<int64_t>(elapsed * kSecondsPerDay);
}

int64_t Megabytes(const Program& p, int64_t blocks) {
  return blocks * static_cast<int64_t>(p.BlockSize) / kBytesPerMegabyte;
}

void ShowInitProgress(Program& p, int64_t blocks) {
  BackupPageControls& page = p.Hauptmenu.backupPage;
  int64_t megabytes = Megabytes(p, blocks);
  if (static_cast<double>(megabytes) != page.LEDDisplay1.Value) {
    ShowStatus(p, "Tape at Block Nr. " + std::to_string(blocks) + " -> " +
                      std::to_string(megabytes) + " MB");
    page.LEDDisplay1.Value = static_cast<double>(megabytes);
    int64_t seconds = SecondsSinceJobStart(p);
    if (seconds >= 1) page.LEDDisplay9.Value = page.LEDDisplay1.Value / seconds;
    p.ui.ProgressChanged({0, megabytes, page.LEDDisplay9.Value, ""});
  }
  PumpMessages(p, 1);
}

// Writes zero blocks until one fails or the job is cancelled; the reason goes to LastError.
int64_t WriteZeroBlocks(Program& p, TapeDevice& handle) {
  int64_t blocks = 0;
  while (!p.AbortFlag) {
    TapeResult result = WriteTapeBlock(p, handle, p.StreamBuffer);
    if (result != tape_code::kSuccess) {
      p.LastError = SystemError::Windows(result);
      return blocks;
    }
    ++blocks;
    if (blocks % kBlocksPerProgressStep == 0) ShowInitProgress(p, blocks);
  }
  p.LastError = SystemError::Message("Init Tape with 0 was cancelled.");
  return blocks;
}

}  // namespace

bool apeladen1Click(Program& p) {
  ShowStatus(p, "Loading Tape");
  bool saved = BeginBusyCursor(p);
  bool loaded = false;
  if (TapeHandle handle = OpenTapeForLoad(p)) {
    TapeResult result = PrepareTape(p, handle, TapePrepareOperation::kLoad);
    loaded = result == tape_code::kSuccess;
    // The status line must not call a failed load loaded.
    ShowStatus(p, loaded ? "Tape loaded" : TapeErrorText(result, "Tape not loaded"));
  }
  EndBusyCursor(p, saved);
  return loaded;
}

bool apeansEndespulen1Click(Program& p) {
  ShowStatus(p, "Tape tension");
  bool saved = BeginBusyCursor(p);
  bool done = false;
  if (TapeHandle handle = OpenTape(p)) {
    done = PrepareTape(p, handle, TapePrepareOperation::kTension) == tape_code::kSuccess;
    ShowStatus(p, "");
  }
  EndBusyCursor(p, saved);
  return done;
}

bool apezurckspulen1Click(Program& p) {
  bool saved = BeginBusyCursor(p);
  bool rewound = RewindTape(p);
  EndBusyCursor(p, saved);
  return rewound;
}

bool Weiterspulen1Click(Program& p) {
  ShowStatus(p, "Moving Tape to end of Data");
  bool saved = BeginBusyCursor(p);
  TapeHandle handle = OpenTape(p);
  bool done = false;
  if (handle) {
    TapeResult result = handle->SpaceToEndOfData();
    ShowTapeResult(p, result);
    int64_t block = ReadTapePosition(p, *handle);
    CloseTape(p, handle, 10);
    ShowStatus(p, "Tape at end of Data <Block: " + std::to_string(block) + ">");
    done = result == tape_code::kSuccess;
  }
  EndBusyCursor(p, saved);
  return done;
}

std::optional<int64_t> ParseBlockNumber(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  size_t last = text.find_last_not_of(" \t");
  std::string digits = text.substr(first, last - first + 1);
  if (digits.size() > 10 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  int64_t value = std::stoll(digits);
  if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return value;
}

bool GotoBlock1Click(Program& p) {
  p.Hauptmenu.backupPage.Label1.Caption.clear();
  std::optional<std::string> text = p.ui.InputQuery("Goto Block", "Move to", "");
  if (!text) return false;
  return GotoBlock(p, *text);
}

bool GotoBlock(Program& p, const std::string& blockText) {
  std::optional<int64_t> block = ParseBlockNumber(blockText);
  if (!block) {
    p.ui.ShowMessage("\"" + blockText +
                     "\" is not a block number. Enter a whole number from 0 to 2147483647.");
    return false;
  }
  TapeHandle handle = OpenTape(p);
  if (!handle) return false;
  ShowStatus(p, "Move Tape to Block " + blockText);
  PumpMessages(p, 1);
  PositionTape(p, *handle, *block);
  TapeTransfer read = ReadTapeBlock(p, *handle, p.StreamBuffer);
  bool readOk = read.result == tape_code::kSuccess;
  if (!readOk) ReportError(p, SystemError::Windows(read.result));
  CloseTape(p, handle, 10);
  // A block that did not read holds nothing of the tape: it is not searched.
  int markers =
      readOk ? CountTrailerMarkers(std::span<const uint8_t>(p.StreamBuffer.data(), read.bytes)) : 0;
  for (int i = 0; i < markers; ++i) p.ui.ShowMessage("OK");
  ShowStatus(p, "Tape at Block " + blockText);
  return readOk;
}

std::optional<int64_t> ReadCurrentTapePosition(Program& p) {
  bool saved = BeginBusyCursor(p);
  std::optional<int64_t> block;
  TapeHandle handle = OpenTape(p);
  if (handle) {
    block = ReadTapePosition(p, *handle);
    CloseTape(p, handle, 1);
  }
  EndBusyCursor(p, saved);
  return block;
}

bool GetTapePosition1Click(Program& p) {
  std::optional<int64_t> block = ReadCurrentTapePosition(p);
  if (!block) return false;
  p.ui.ShowMessage("Tape at Block: " + std::to_string(*block));
  return true;
}

bool apelschen1Click(Program& p) {
  bool saved = BeginBusyCursor(p);
  ShowStatus(p, "Erasing Tape");
  std::string outcome = EraseTapeDevice(p);
  ShowStatus(p, outcome);
  EndBusyCursor(p, saved);
  return outcome == "Erase Ok";
}

bool test1Click(Program& p) {
  bool saved = BeginBusyCursor(p);
  ShowStatus(p, "Formating Tape");
  PumpMessages(p, 1);
  TapeHandle handle = OpenTape(p);
  if (!handle) {
    EndBusyCursor(p, saved);
    return false;
  }
  TapeResult partitioned = handle->CreateFixedPartitions();
  handle->SetMediaBlockSize(p.BlockSize);
  CloseTape(p, handle, 1);
  bool formatted = partitioned == tape_code::kSuccess;
  if (formatted) {
    TapeDescription description = InvalidTapeDescription();
    description.TapeLabel = kEmptyTapeLabel;
    description.SetDate = NowDateTime();
    p.Hauptmenu.tapeDescription = description;
    // A description that did not reach the tape leaves no formatted tape behind.
    formatted = WriteTapeDescription(p, description);
  }
  ShowStatus(p, formatted ? "Tape Formated" : "Tape Error");
  EndBusyCursor(p, saved);
  return formatted;
}

int64_t InitTapewith01Click(Program& p) {
  BackupPageControls& page = p.Hauptmenu.backupPage;
  bool saved = BeginBusyCursor(p);
  RewindTape(p);
  for (LedDisplay* led : {&page.LEDDisplay1, &page.LEDDisplay2, &page.LEDDisplay5,
                          &page.LEDDisplay8, &page.LEDDisplay9}) {
    led->Value = 0;
  }
  TapeHandle handle = OpenTape(p);
  PumpMessages(p, 10);
  p.AbortFlag = false;
  LockJobControls(p);
  PumpMessages(p, 1);
  p.Hauptmenu.JobStartTime = TimeOfDay();
  p.StreamBuffer.fill(0);
  int64_t blocks = 0;
  if (handle) {
    blocks = WriteZeroBlocks(p, *handle);
    ShowStatus(p, "Tape at Block Nr. " + std::to_string(blocks) + "-> " +
                      std::to_string(Megabytes(p, blocks)) + " MB");
    ReportLastError(p);
    PumpMessages(p, 10);
    CloseTape(p, handle, 1);
  }
  UnlockJobControls(p);
  EndBusyCursor(p, saved);
  return blocks;
}

bool Auswerfen1Click(Program& p) { return EjectTape(p, true); }

}  // namespace vantrel
