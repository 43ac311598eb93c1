#include "app/format/catalog.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "app/format/tape_description.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"
#include "tests/support/program_fixture.h"

namespace vantrel {
namespace {

using testing::ProgramFixture;

std::array<uint8_t, 32768> BlockWithTrailers(std::initializer_list<std::pair<size_t, BlockPosition>> at) {
  std::array<uint8_t, 32768> block{};
  for (const auto& [offset, position] : at) {
    EncodeCatalogTrailer({position}, std::span<uint8_t>(block).subspan(offset));
  }
  return block;
}

TEST(CatalogTrailer, LastPlausibleTrailerInTheBlockCounts) {
  auto block = BlockWithTrailers({{100, {256, 0, 3}}, {5000, {17, 0, 9}}});
  EXPECT_EQ(FindTrailerInBlock(block, 10, 32768), (BlockPosition{17, 0, 9}));
  // Old bytes behind a trailer that point beyond the recorded data are not taken for one.
  auto stale = BlockWithTrailers({{100, {256, 0, 3}}, {5000, {17, 0, 99}}});
  EXPECT_EQ(FindTrailerInBlock(stale, 10, 32768), (BlockPosition{256, 0, 3}));
  // A marker whose values would run past the end of the block is no trailer.
  auto cut = BlockWithTrailers({{100, {256, 0, 3}}});
  std::memcpy(&cut[32768 - 10], "\x06XENDEX", 7);
  EXPECT_EQ(FindTrailerInBlock(cut, 10, 32768), (BlockPosition{256, 0, 3}));
  // The end marker of a full tape: both values zero.
  EXPECT_EQ(FindTrailerInBlock(BlockWithTrailers({{0, {}}}), 10, 32768), BlockPosition{});
  // Large values read back exactly.
  EXPECT_EQ(FindTrailerInBlock(BlockWithTrailers({{0, {256, 0, 65536}}}), 70000, 32768),
            (BlockPosition{256, 0, 65536}));
}

TEST(Catalog, AlreadyOnTapeKeyIsPathBlankDate) {
  EXPECT_EQ(AlreadyOnTapeKey("/data/A.txt", 40500.5),
            "/data/A.txt " + DateTimeToText(40500.5));
}

TEST(Catalog, ReadCatalogFileShowsProgressEvery500Records) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  {
    auto catalog = CatalogFile::Create(p.Hauptmenu.CatalogPath);
    for (int i = 0; i < 1000; ++i) {
      TapeFileRecord r;
      r.Path = "/f" + std::to_string(i);
      r.Modified = 40500.5;
      catalog->Append(r);
    }
  }
  fixture.ui.statusLines.clear();
  ReadCatalogFile(p, p.Hauptmenu.CatalogPath);
  EXPECT_EQ(p.Hauptmenu.FileList_path.Lines.size(), 1000u);
  EXPECT_EQ(fixture.ui.statusLines, (std::vector<std::string>{"/f499", "/f999"}));
  EXPECT_EQ(p.Hauptmenu.restorePage.LEDDisplay7.Value, 1000);
}

TEST(Catalog, FirstTapeOfSetIsAskedForUntilItIsInOrCancelled) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  VirtualTapeDrive drive = fixture.Drive();
  drive.NewCartridge("other");
  TapeDescription d;
  d.TapeLabel = "Tape";
  d.SetDate = 40000.25;
  d.TapeNumber = 1;
  WriteTapeDescription(p, d);  // tape1: tape 1 of the set
  drive.LoadCartridge("other");
  d.TapeNumber = 2;
  WriteTapeDescription(p, d);  // other: tape 2 of the set
  p.Hauptmenu.tapeDescription = d;

  int asked = 0;
  fixture.ui.onPrompt = [&](const std::string&) {
    // First another set's tape 1, then the right one.
    if (++asked == 1) {
      TapeDescription foreign = d;
      foreign.TapeNumber = 1;
      foreign.SetDate = 39999.0;
      fixture.Drive().LoadCartridge("other");
      WriteTapeDescription(p, foreign);
    } else {
      fixture.Drive().LoadCartridge("tape1");
    }
  };
  EnsureFirstTapeOfSet(p);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(p.Hauptmenu.tapeDescription.TapeNumber, 1);
  EXPECT_EQ(p.Hauptmenu.tapeDescription.SetDate, 40000.25);
  EXPECT_FALSE(p.AbortFlag);

  // Cancel gives up.
  p.Hauptmenu.tapeDescription.TapeNumber = 2;
  fixture.ui.onPrompt = nullptr;
  fixture.ui.okCancelAnswers = {false};
  EnsureFirstTapeOfSet(p);
  EXPECT_TRUE(p.AbortFlag);
}

TEST(Catalog, NumberlessTapeIsTakenAsFirstWithoutAPrompt) {
  ProgramFixture fixture;
  fixture.p().Hauptmenu.tapeDescription.TapeNumber = kTapeNumberInvalid;
  EnsureFirstTapeOfSet(fixture.p());
  EXPECT_TRUE(fixture.ui.prompts.empty());
}

TEST(Catalog, DamagedCatalogFileKeepsItsWholeRecords) {
  ProgramFixture fixture;
  Program& p = fixture.p();
  {
    auto catalog = CatalogFile::Create(p.Hauptmenu.CatalogPath);
    TapeFileRecord r;
    r.Path = "/a";
    catalog->Append(r);
  }
  testing::WriteFile(p.Hauptmenu.CatalogPath,
                     testing::ReadFile(p.Hauptmenu.CatalogPath) + std::string(100, 'x'));
  ReadCatalogFile(p, p.Hauptmenu.CatalogPath);
  EXPECT_EQ(p.Hauptmenu.FileList_path.Lines, std::vector<std::string>{"/a"});
  EXPECT_TRUE(fixture.ui.HasProtocolLine("The catalog file ends in a damaged record: " +
                                         p.Hauptmenu.CatalogPath));
}

}  // namespace
}  // namespace vantrel
