// The "Tape Info" window: the drive and media parameters as sixteen value labels.
#pragma once

#include <array>
#include <string>

#include "app/core/program.h"

namespace vantrel {

class TTape_Info {
 public:
  static constexpr std::array<const char*, 16> kCaptions = {
      "ECC", "Compression", "DataPadding", "ReportSetMarks", "DefaultBlockSize",
      "MaximumBlockSize", "MinimumBlockSize", "MaximumPartitionCount", "FeaturesLow",
      "FeaturesHigh", "EOT Warning Zone Size", "Capacity", "Remaining", "BlockSize",
      "PartitionCount", "WriteProtected"};

  // Label1 .. Label16.
  std::array<std::string, 16> Labels;
  bool Visible = false;

  // Refresh: reads the parameters and fills the value labels.
  void BitBtn1Click(Program& p);
  void OKBtnClick() { Visible = false; }
};

// "Tape Info": refresh and show the window.
void apeInfo1Click(Program& p, TTape_Info& window);

}  // namespace vantrel
