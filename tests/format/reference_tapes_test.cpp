// Tapes written by an independent implementation of the format must read exactly as their
// manifests say.
#include <gtest/gtest.h>

#include <cmath>

#include "app/format/block_stream.h"
#include "app/format/catalog.h"
#include "app/format/file_records.h"
#include "app/format/recorded_path.h"
#include "app/format/tape_description.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"
#include "tests/support/manifest.h"
#include "tests/support/program_fixture.h"
#include "tests/support/sha256.h"

namespace vantrel {
namespace {

using testing::Manifest;
using testing::ProgramFixture;
using testing::ReadFile;
using testing::ReadManifest;
using testing::ReferenceTape;

class ReferenceTapes : public ::testing::TestWithParam<std::string> {
 protected:
  ReferenceTapes()
      : fixture_(ReferenceTape(GetParam())),
        manifest_(ReadManifest(ReferenceTape(GetParam()) + "/MANIFEST.txt")) {
    fixture_.p().Hauptmenu.optionsPage.CheckBox12.Checked = true;  // "Backup over more Tapes"
    fixture_.Drive().SetAutoload(true);
  }
  Program& p() { return fixture_.p(); }

  ProgramFixture fixture_;
  Manifest manifest_;
};

TEST_P(ReferenceTapes, DescriptionAndCaption) {
  GetTapeDescription1Click(p());
  const TapeDescription& d = p().Hauptmenu.tapeDescription;
  const testing::ManifestCartridge& first = manifest_.cartridges.at(0);
  if (first.hasDescription) {
    EXPECT_EQ(d.TapeLabel, first.label);
    EXPECT_EQ(d.TapeNumber, first.number);
    EXPECT_NEAR(d.SetDate, first.setDate, 1e-9);
    EXPECT_FALSE(p().LegacyDescription);
    std::string number = first.number == 255 ? "" : " " + std::to_string(first.number) + " ";
    EXPECT_EQ(p().Hauptmenu.Caption,
              "Vantrel <" + first.label + number + "from: " + DateTimeToText(d.SetDate) + ">");
  } else {
    // The legacy form: "header.tap" holds the label and "2010-12-11 21:30:00".
    EXPECT_TRUE(p().LegacyDescription);
    EXPECT_EQ(d.TapeLabel, "Tape");
    EXPECT_EQ(d.TapeNumber, 255);
    EXPECT_NEAR(d.SetDate, 40523.8958333333, 1e-9);
    EXPECT_EQ(p().Hauptmenu.Caption, "Vantrel <Tapefrom: " + DateTimeToText(d.SetDate) + ">");
  }
  EXPECT_TRUE(p().Hauptmenu.DescriptionValid);
}

TEST_P(ReferenceTapes, EveryRecordInTapeOrder) {
  GetTapeDescription1Click(p());
  ASSERT_TRUE(RewindTape(p()));
  if (!p().LegacyDescription) MoveTapeToBlock(p(), "1");
  TapeHandle handle = OpenTape(p());
  ASSERT_TRUE(handle);
  size_t index = 0;
  if (!manifest_.records.empty()) ASSERT_TRUE(StartStreamRead(p(), handle));
  while (index < manifest_.records.size()) {
    std::string path = ReadNextFileRecord(p(), handle, false, true, true);
    if (path.empty()) break;
    const testing::ManifestRecord& want = manifest_.records[index++];
    SCOPED_TRACE(want.path);
    EXPECT_EQ(path, want.path);
    EXPECT_EQ(p().LastRecordHeader.Size, want.size);
    EXPECT_NEAR(p().LastRecordHeader.Modified, want.modified, 1e-9);
    EXPECT_EQ(p().LastRecordHeader.Compressed, want.compressed);
    std::string copy = p().Hauptmenu.WorkDir + FileNamePart(path);
    EXPECT_EQ(testing::Sha256Hex(ReadFile(copy)), want.sha256);
  }
  EXPECT_EQ(index, manifest_.records.size());
  // The trailer (or the end of data) ends the sequence.
  EXPECT_EQ(ReadNextFileRecord(p(), handle, true, false, true), "");
  EXPECT_FALSE(p().AbortFlag);
  CloseTape(p(), handle, 1);
}

TEST_P(ReferenceTapes, CatalogFastAndSequential) {
  if (GetParam() == "formatted") GTEST_SKIP() << "nothing recorded";
  GetTapeDescription1Click(p());
  LoadCatalogFast(p());
  EXPECT_EQ(p().Hauptmenu.FileList_path.Lines, manifest_.catalogPaths);
  EXPECT_EQ(p().Hauptmenu.FileList_date.Lines.size(), manifest_.catalogPaths.size());

  std::vector<std::string> all;
  for (const auto& r : manifest_.records) all.push_back(r.path);
  // The set is read from its first tape on.
  if (manifest_.cartridges.size() > 1) fixture_.Drive().LoadCartridge("tape1");
  GetTapeDescription1Click(p());
  LoadCatalogSequential(p());
  EXPECT_EQ(p().Hauptmenu.FileList_path.Lines, all);
  EXPECT_FALSE(p().AbortFlag);
}

INSTANTIATE_TEST_SUITE_P(All, ReferenceTapes,
                         ::testing::Values("plain", "compressed", "spanning", "appended",
                                           "windows-paths", "legacy", "disk-image", "formatted"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

TEST(ReferenceTapesFormatted, FastLoadFindsNoCatalogAndGivesUpOnCancel) {
  ProgramFixture fixture(ReferenceTape("formatted"));
  fixture.ui.okCancelAnswers = {false};
  GetTapeDescription1Click(fixture.p());
  EXPECT_EQ(fixture.p().Hauptmenu.tapeDescription.TapeLabel, "Empty Tape ");
  LoadCatalogFast(fixture.p());
  EXPECT_TRUE(fixture.p().Hauptmenu.FileList_path.Lines.empty());
  ASSERT_EQ(fixture.ui.prompts.size(), 1u);
  EXPECT_EQ(fixture.ui.prompts[0],
            "Catalog not on this Tape! Please insert the last Tape of your Tapeset and press then "
            "ok!");
  EXPECT_TRUE(fixture.p().AbortFlag);
}

}  // namespace
}  // namespace vantrel
