// A whole program in a temporary program directory with its own virtual drive.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/core/program.h"
#include "app/core/startup.h"
#include "platform/virtual_tape_drive.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_dir.h"

namespace vantrel::testing {

class ProgramFixture {
 public:
  // A fresh drive in the program directory (created with "tape1" on first use), or a copy of
  // `driveToCopy` (a reference tape).
  explicit ProgramFixture(const std::string& driveToCopy = "") {
    home_ = dir_.Path() + "home/";
    drivePath_ = dir_.Path() + "vtape";
    std::filesystem::create_directories(home_);
    if (!driveToCopy.empty()) {
      std::filesystem::copy(driveToCopy, drivePath_, std::filesystem::copy_options::recursive);
      for (auto& entry : std::filesystem::recursive_directory_iterator(drivePath_)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
      }
    }
    Start();
  }

  // Starts the program (again): a new Program over the same directories.
  void Start() {
    program_.reset();
    auto drive = std::make_unique<VirtualTapeDrive>(drivePath_);
    program_ = std::make_unique<Program>(ui, ProgramOptions{home_, std::move(drive)});
    program_->Sleep = [](int) {};
    FormCreate(*program_);
  }

  Program& p() { return *program_; }
  VirtualTapeDrive Drive() const { return VirtualTapeDrive(drivePath_); }
  const std::string& DrivePath() const { return drivePath_; }
  const std::string& Home() const { return home_; }
  // A scratch directory for source trees and restores.
  std::string Scratch(const std::string& name) const {
    std::string path = dir_.Path() + name + "/";
    std::filesystem::create_directories(path);
    return path;
  }
  std::string CartridgeIni(const std::string& cartridge = "tape1") const {
    return drivePath_ + "/" + cartridge + ".tape/cartridge.ini";
  }

  ScriptedUserInterface ui;

 private:
  TempDir dir_;
  std::string home_;
  std::string drivePath_;
  std::unique_ptr<Program> program_;
};

inline std::string ReferenceTape(const std::string& name) {
  return std::string(VANTREL_REFERENCE_TAPES) + "/" + name;
}

}  // namespace vantrel::testing
