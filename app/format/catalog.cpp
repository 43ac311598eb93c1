#include "app/format/catalog.h"

#include <unistd.h>

#include <cstring>
#include <system_error>

#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/format/block_stream.h"
#include "app/format/file_records.h"
#include "app/format/recorded_path.h"
#include "app/format/tape_description.h"
#include "platform/date_time.h"
#include "platform/file_names.h"

namespace vantrel {
namespace {

void ClearListing(THauptmenu& w) {
  w.FileList_path.Lines.clear();
  w.FileList_date.Lines.clear();
}

void AddToListing(THauptmenu& w, const std::string& path, double modified) {
  w.FileList_path.Lines.push_back(FoldCase(path));
  w.FileList_date.Lines.push_back(DateTimeToText(modified));
}

// Reads the block that holds a catalog header at `at` and sets the stream up to read from there.
bool StartStreamAt(Program& p, TapeHandle& handle, const BlockPosition& at) {
  PositionTape(p, *handle, at.BlockNumber);
  PumpMessages(p, 10);
  p.StreamFailed = false;
  TapeTransfer read = ReadTapeBlock(p, *handle, p.StreamBuffer);
  if (read.result != tape_code::kSuccess || read.bytes != p.BlockSize) {
    ReportError(p, SystemError::Windows(read.result == tape_code::kSuccess
                                            ? tape_code::kInvalidBlockLength
                                            : read.result));
    return false;
  }
  p.StreamPosition = {at.BlockOffset, 0, at.BlockNumber + 1};
  return true;
}

bool AskForTape(Program& p, const std::string& prompt) {
  EjectTape(p, false);
  if (p.ui.AskOkCancel(prompt)) return true;
  p.AbortFlag = true;
  AppendProtocolLine(p, "Tape request cancelled.");
  return false;
}

// One look at the last recorded block of the tape in the drive.
std::optional<BlockPosition> ReadTrailerOfLoadedTape(Program& p) {
  TapeHandle handle = OpenTape(p);
  if (!handle) return std::nullopt;
  ShowStatus(p, "Move Tape to End of Data");
  PumpMessages(p, 1);
  handle->SpaceToEndOfData();
  PumpMessages(p, 1);
  int64_t endOfData = ReadTapePosition(p, *handle);
  BlockPosition found;
  if (endOfData > 0) {
    PositionTape(p, *handle, endOfData - 1);
    TapeTransfer read = ReadTapeBlock(p, *handle, p.StreamBuffer);
    if (read.result == tape_code::kSuccess) {
      found = FindTrailerInBlock({p.StreamBuffer.data(), read.bytes}, endOfData, p.BlockSize);
    }
  }
  CloseTape(p, handle, 1);
  return found;
}

}  // namespace

std::string AlreadyOnTapeKey(const std::string& path, double modified) {
  return FoldCase(path + " " + DateTimeToText(modified));
}

BlockPosition FindTrailerInBlock(std::span<const uint8_t> block, int64_t endOfData,
                                 uint32_t blockSize) {
  BlockPosition result;
  const size_t markerLength = std::strlen(kTrailerMarker);
  for (size_t i = 1; i + markerLength + 12 <= block.size(); ++i) {
    if (block[i - 1] != 0x06 || std::memcmp(&block[i], kTrailerMarker, markerLength) != 0) {
      continue;
    }
    BlockPosition candidate{GetU32(block, i + 6), 0, GetI64(block, i + 10)};
    // Stale bytes of earlier blocks may hold the marker too; only a position inside the recorded
    // data can be the trailer.
    bool plausible = candidate.BlockOffset < blockSize && candidate.BlockNumber >= 0 &&
                     candidate.BlockNumber < endOfData;
    if (plausible) result = candidate;
  }
  return result;
}

std::unique_ptr<CatalogFile> CreateCatalog(Program& p) {
  MoveTapeToBlock(p, "1");
  p.StreamPosition = {0, 0, 1};
  p.StreamFailed = false;
  return CatalogFile::Create(p.Hauptmenu.CatalogPath);
}

std::unique_ptr<CatalogFile> ReopenCatalogForAppend(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  BlockPosition start = FindCatalogTrailer(p);
  if (start == BlockPosition{}) {
    p.AbortFlag = true;
    return nullptr;
  }
  TapeHandle handle = OpenTape(p);
  if (!handle) {
    p.AbortFlag = true;
    return nullptr;
  }
  PumpMessages(p, 1);
  std::unique_ptr<CatalogFile> catalog;
  if (StartStreamAt(p, handle, start)) {
    BlockBuffer block = p.StreamBuffer;
    std::string path = ReadNextFileRecord(p, handle, false, true, true);
    PumpMessages(p, 1);
    if (!path.empty() && FileNamePart(path) == w.CatalogFileName) {
      try {
        catalog = CatalogFile::Open(w.CatalogPath);
        w.ListBox1.Clear();
        bool whole = catalog->ForEach([&](const TapeFileRecord& r) {
          w.ListBox1.Add(AlreadyOnTapeKey(RecordedPathText(r.Path), r.Modified));
        });
        if (!whole) AppendProtocolLine(p, "The catalog on tape ends in a damaged record.");
      } catch (const std::system_error& e) {
        catalog.reset();
        ReportError(p, SystemError::Posix(e.code().value()));
      }
    } else if (!p.AbortFlag) {
      AppendProtocolLine(p,
                         "Append refused: the file at the catalog position of this tape set is "
                         "not the catalog. Nothing was written.");
    }
    PumpMessages(p, 1);
    p.StreamPosition = start;
    p.StreamBuffer = block;
    p.StreamFailed = false;
    PositionTape(p, *handle, start.BlockNumber);
  }
  CloseTape(p, handle, 1);
  if (!catalog) p.AbortFlag = true;
  return catalog;
}

void AppendCatalogRecord(Program& p, TapeFileRecord record, CatalogFile& catalog) {
  if (record.Path == p.Hauptmenu.CatalogPath) return;
  record.Position = p.StreamPosition;
  catalog.Append(record);
}

void WriteCatalogTrailer(Program& p, const BlockPosition& catalog) {
  TapeHandle handle = OpenTape(p);
  PumpMessages(p, 10);
  if (handle && !p.StreamFailed) {
    // The trailer must lie whole in the last written block, where it is looked for.
    if (p.BlockSize - p.StreamPosition.BlockOffset < kCatalogTrailerSize) {
      FlushStreamBlock(p, handle);
      p.StreamPosition.BlockOffset = 0;
    }
  }
  if (handle && !p.StreamFailed) {
    uint32_t at = p.StreamPosition.BlockOffset;
    EncodeCatalogTrailer({catalog}, std::span<uint8_t>(p.StreamBuffer).subspan(at));
    // Old stream bytes behind the trailer could be taken for another trailer.
    std::memset(p.StreamBuffer.data() + at + kCatalogTrailerSize, 0,
                p.BlockSize - at - kCatalogTrailerSize);
    TapeResult result = WriteTapeBlock(p, *handle, p.StreamBuffer);
    if (result != tape_code::kSuccess) ReportError(p, SystemError::Windows(result));
    PumpMessages(p, 10);
  }
  CloseTape(p, handle, 1);
  unlink(p.Hauptmenu.ScratchZipPath.c_str());
}

BlockPosition FindCatalogTrailer(Program& p) {
  while (true) {
    std::optional<BlockPosition> found = ReadTrailerOfLoadedTape(p);
    if (!found) return {};
    if (!(*found == BlockPosition{})) return *found;
    if (!AskForTape(p, "Catalog not on this Tape! Please insert the last Tape of your Tapeset "
                       "and press then ok!")) {
      return {};
    }
    ReadDriveParameters(p);
    p.Hauptmenu.tapeDescription = LoadTapeDescription(p);
  }
}

void LoadCatalogFast(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  ShowStatus(p, "Reading Catalog");
  PumpMessages(p, 1);
  if (!p.AbortFlag) RewindTape(p);
  w.restorePage.LEDDisplay7.Value = 0;
  w.BytesBackedUp = 0;
  w.StreamBytes = 0;
  p.StreamPosition.BlockNumber = 0;
  BlockPosition start;
  if (!p.AbortFlag) start = FindCatalogTrailer(p);
  ShowStatus(p, "Reading Catalog");
  PumpMessages(p, 1);
  if (p.AbortFlag) return;
  ClearListing(w);
  if (start == BlockPosition{}) return;
  TapeHandle handle = OpenTape(p);
  if (!handle) return;
  PumpMessages(p, 1);
  std::string path;
  if (!p.AbortFlag && StartStreamAt(p, handle, start)) {
    path = ReadNextFileRecord(p, handle, false, true, true);
  }
  PumpMessages(p, 1);
  CloseTape(p, handle, 1);
  PumpMessages(p, 1);
  if (!path.empty() && FoldCase(FileNamePart(path)) == FoldCase(w.CatalogFileName)) {
    PumpMessages(p, 1);
    ReadCatalogFile(p, w.CatalogPath);
  }
}

void ReadCatalogFile(Program& p, const std::string& path) {
  THauptmenu& w = p.Hauptmenu;
  LedDisplay& files = w.restorePage.LEDDisplay7;
  bool whole = ReadCatalogRecords(path, [&](const TapeFileRecord& record) {
    AddToListing(w, RecordedPathText(record.Path), record.Modified);
    files.Value += 1;
    if (static_cast<int64_t>(files.Value) % 500 == 0) {
      ShowStatus(p, RecordedPathText(record.Path));
      PumpMessages(p, 5);
    }
  });
  if (!whole) AppendProtocolLine(p, "The catalog file ends in a damaged record: " + path);
}

void LoadCatalogSequential(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  w.restorePage.LEDDisplay7.Value = 0;
  w.BytesBackedUp = 0;
  w.StreamBytes = 0;
  EnsureFirstTapeOfSet(p);
  if (p.AbortFlag || !RewindTape(p)) return;
  PumpMessages(p, 100);
  if (!p.LegacyDescription) MoveTapeToBlock(p, "1");
  ClearListing(w);
  TapeHandle handle = OpenTape(p);
  if (!handle) return;
  PumpMessages(p, 1);
  if (StartStreamRead(p, handle)) {
    while (!p.AbortFlag) {
      std::string path = ReadNextFileRecord(p, handle, true, true, false);
      PumpMessages(p, 1);
      if (path.empty()) break;
      w.restorePage.Memo3.Lines.push_back(path);
      w.restorePage.LEDDisplay6.Value = static_cast<double>(w.StreamBytes / 1048576);
      w.restorePage.LEDDisplay7.Value += 1;
      AddToListing(w, path, p.LastRecordHeader.Modified);
      ShowStatus(p, path);
      PumpMessages(p, 1);
    }
  }
  CloseTape(p, handle, 1);
  PumpMessages(p, 1);
}

void EnsureFirstTapeOfSet(Program& p) {
  TapeDescription& description = p.Hauptmenu.tapeDescription;
  double setDate = description.SetDate;
  if (description.TapeNumber == 1 || description.TapeNumber == kTapeNumberInvalid) return;
  do {
    if (!AskForTape(p, "Please insert Tape 1 of the current Tape Set and press then ok!")) return;
    ReadDriveParameters(p);
    GetTapeDescription1Click(p);
  } while (description.TapeNumber != 1 || description.SetDate != setDate);
}

}  // namespace vantrel
