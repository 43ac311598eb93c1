#include "app/tape/tape_info.h"

#include "app/core/protocol.h"
#include "app/tape/tape_access.h"

namespace vantrel {
namespace {

std::string OnOff(bool value) { return value ? "On" : "Off"; }

void CheckRead(Program& p, TapeResult result) {
  if (result != tape_code::kSuccess && result != tape_code::kMoreData &&
      result != tape_code::kMediaChanged) {
    ReportError(p, SystemError::Windows(result));
  }
}

}  // namespace

void TTape_Info::BitBtn1Click(Program& p) {
  TapeDriveParameters drive;
  TapeMediaParameters media;
  TapeHandle handle = OpenTape(p);
  if (handle) {
    SettleTape(p, 100);
    CheckRead(p, handle->GetDriveParameters(drive));
    SettleTape(p, 100);
    CheckRead(p, handle->GetMediaParameters(media));
    SettleTape(p, 10);
    CheckRead(p, handle->GetDriveParameters(drive));
    SettleTape(p, 100);
    handle.reset();
  }
  Labels = {OnOff(drive.ECC),
            OnOff(drive.Compression),
            OnOff(drive.DataPadding),
            OnOff(drive.ReportSetmarks),
            std::to_string(drive.DefaultBlockSize),
            std::to_string(drive.MaximumBlockSize),
            std::to_string(drive.MinimumBlockSize),
            std::to_string(drive.MaximumPartitionCount),
            std::to_string(drive.FeaturesLow),
            std::to_string(drive.FeaturesHigh),
            std::to_string(drive.EOTWarningZoneSize),
            std::to_string(media.Capacity),
            std::to_string(media.Remaining),
            std::to_string(media.BlockSize),
            std::to_string(media.PartitionCount),
            OnOff(media.WriteProtected)};
}

void apeInfo1Click(Program& p, TTape_Info& window) {
  window.BitBtn1Click(p);
  window.Visible = true;
}

}  // namespace vantrel
