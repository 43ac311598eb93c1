// A tape is input from outside: damaged bytes anywhere must end an operation with a message,
// never with a crash, an endless loop or a file outside the restore path.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "app/format/catalog.h"
#include "app/format/tape_description.h"
#include "app/restore/restore.h"
#include "tests/support/every_reader.h"
#include "tests/support/manifest.h"
#include "tests/support/program_fixture.h"

namespace vantrel {
namespace {

using testing::ProgramFixture;
using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;

void Damage(const std::string& dataFile, std::mt19937& random) {
  std::string data = ReadFile(dataFile);
  // Mostly the record headers of the first blocks, sometimes anywhere.
  for (int i = 0; i < 4; ++i) {
    size_t at = random() % 2 ? 32768 + random() % 12000 : random() % data.size();
    data[at] = static_cast<char>(random() % 3 == 0 ? 0xFF : random());
  }
  WriteFile(dataFile, data);
}

TEST(DamagedTape, EveryReaderEndsCleanly) {
  std::mt19937 random(2024);
  for (const char* tape : {"plain", "compressed", "appended"}) {
    for (int round = 0; round < 12; ++round) {
      SCOPED_TRACE(std::string(tape) + " round " + std::to_string(round));
      ProgramFixture fixture(testing::ReferenceTape(tape));
      Damage(fixture.DrivePath() + "/tape1.tape/data", random);
      std::string out = fixture.Scratch("out");
      testing::RunEveryReader(fixture, out);
      fs::path root = fs::path(out).parent_path().parent_path();
      for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::string path = entry.path().string();
        bool inside = path.rfind(out, 0) == 0 || path.rfind(fixture.Home(), 0) == 0 ||
                      path.rfind(fixture.DrivePath(), 0) == 0;
        EXPECT_TRUE(inside) << path;
      }
    }
  }
}

// A tape that ends early, cut at every block: the sequential load lists exactly the records that
// lie whole before the cut, and a record cut in its data is reported.
TEST(DamagedTape, CutAtEveryBlockListsWhatLiesBeforeTheCut) {
  testing::Manifest manifest =
      testing::ReadManifest(testing::ReferenceTape("plain") + "/MANIFEST.txt");
  for (int64_t blocks = 2; blocks <= 10; ++blocks) {
    SCOPED_TRACE(blocks);
    ProgramFixture fixture(testing::ReferenceTape("plain"));
    std::string dataFile = fixture.DrivePath() + "/tape1.tape/data";
    WriteFile(dataFile, ReadFile(dataFile).substr(0, static_cast<size_t>(blocks) * 32768));
    int64_t available = (blocks - 1) * 32768;  // stream bytes after block 0
    size_t whole = 0;
    bool cutInData = false;
    for (const auto& r : manifest.records) {
      int64_t start = (r.block - 1) * 32768 + r.offset;
      if (start + 296 + r.size <= available) {
        ++whole;
      } else {
        cutInData = start + 296 <= available && r.size > 0;
        break;
      }
    }
    Program& p = fixture.p();
    GetTapeDescription1Click(p);
    LoadCatalogSequential(p);
    EXPECT_EQ(p.Hauptmenu.FileList_path.Lines.size(), whole);
    EXPECT_EQ(p.AbortFlag, cutInData);
  }
}

}  // namespace
}  // namespace vantrel
