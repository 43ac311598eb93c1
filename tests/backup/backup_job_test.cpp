#include "app/backup/backup_job.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>

#include "app/backup/backup_walker.h"
#include "app/core/protocol.h"
#include "app/format/catalog.h"
#include "app/format/recorded_path.h"
#include "app/format/tape_description.h"
#include "app/restore/restore.h"
#include "platform/date_time.h"
#include "tests/support/program_fixture.h"
#include "tests/support/tape_image.h"

namespace vantrel {
namespace {

using testing::ParseTape;
using testing::ProgramFixture;
using testing::RawTape;
using testing::ReadFile;
using testing::WriteFile;

constexpr int64_t kSmallCapacity = 648LL * 32768;  // TapeBlockLimit 8

void SetTime(const std::string& path, std::time_t t) {
  timespec times[2] = {{t, 0}, {t, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string Pattern(size_t size, int seed) {
  std::string s(size, '\0');
  uint32_t x = static_cast<uint32_t>(seed) * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return s;
}

class BackupJob : public ::testing::Test {
 protected:
  BackupJob() {
    src_ = fixture_.Scratch("src");
    THauptmenu& w = p().Hauptmenu;
    w.optionsPage.CheckBox1.Checked = false;  // per-file protocol lines
    w.optionsPage.CheckBox4.Checked = false;
    w.backupPage.Memo5.Lines = {src_};
  }
  Program& p() { return fixture_.p(); }
  std::string DataFile(const std::string& cartridge = "tape1") {
    return fixture_.DrivePath() + "/" + cartridge + ".tape/data";
  }
  bool Logged(const std::string& line) { return fixture_.ui.HasProtocolLine(line); }
  // The record of `path` in a parsed tape, or null.
  static const testing::RawRecord* Find(const RawTape& tape, const std::string& path) {
    for (const auto& r : tape.records)
      if (r.path == path) return &r;
    return nullptr;
  }

  ProgramFixture fixture_;
  std::string src_;
};

TEST_F(BackupJob, TreeGoesToTapeWithCatalogAndTrailerCorrectToTheByte) {
  WriteFile(src_ + "a.txt", "alpha");
  WriteFile(src_ + "empty", "");
  WriteFile(src_ + "sub/deeper/block.bin", Pattern(32768, 1));
  WriteFile(src_ + "sub/big.bin", Pattern(100000, 2));
  WriteFile(src_ + "skipme/x.txt", "excluded");
  std::string longDir = src_ + std::string(120, 'd') + "/" + std::string(120, 'e') + "/";
  WriteFile(longDir + "too-long.txt", "x");
  symlink((src_ + "missing-target").c_str(), (src_ + "dangling").c_str());
  p().Hauptmenu.backupPage.Memo1.Lines = {src_ + "skip"};

  BitBtn1Click(p());
  ASSERT_FALSE(p().AbortFlag);

  EXPECT_TRUE(Logged("Excluded: " + src_ + "skipme/x.txt <0 KBytes> "));
  EXPECT_TRUE(Logged("Skipped: " + longDir + "too-long.txt File Path to long!"));
  EXPECT_TRUE(Logged("Skipped: " + src_ + "dangling <0 KBytes> "));
  EXPECT_TRUE(Logged(src_ + "sub/big.bin <97 KBytes> "));
  EXPECT_TRUE(Logged("5 Files proceded."));  // the catalog file counts too
  EXPECT_TRUE(Logged("3 Files skipped."));

  RawTape tape = ParseTape(DataFile());
  ASSERT_TRUE(tape.trailerFound);
  ASSERT_EQ(tape.records.size(), 5u);  // four files and the catalog
  EXPECT_EQ(Find(tape, src_ + "a.txt")->data, "alpha");
  EXPECT_EQ(Find(tape, src_ + "empty")->size, 0);
  EXPECT_EQ(Find(tape, src_ + "sub/deeper/block.bin")->data, Pattern(32768, 1));
  EXPECT_EQ(Find(tape, src_ + "sub/big.bin")->data, Pattern(100000, 2));
  struct stat st {};
  stat((src_ + "a.txt").c_str(), &st);
  EXPECT_EQ(Find(tape, src_ + "a.txt")->modified, FileDateTime(st.st_mtime));

  // The catalog is the last record; its records point at the next header each, and the trailer
  // points at the catalog's header.
  const testing::RawRecord& catalog = tape.records.back();
  EXPECT_EQ(catalog.path, p().Hauptmenu.CatalogPath);
  ASSERT_EQ(catalog.data.size(), 4u * 296);
  for (size_t i = 0; i < 4; ++i) {
    std::string rec = catalog.data.substr(i * 296, 296);
    EXPECT_EQ(rec.substr(1, static_cast<uint8_t>(rec[0])), tape.records[i].path);
    int64_t next = tape.records[i + 1].headerAt;
    EXPECT_EQ(testing::RawLe(rec, 256, 4), static_cast<uint64_t>(next % 32768));
    EXPECT_EQ(testing::RawLe(rec, 264, 8), static_cast<uint64_t>(next / 32768 + 1));
  }
  EXPECT_EQ(tape.trailerOffset, catalog.headerAt % 32768);
  EXPECT_EQ(tape.trailerBlock, catalog.headerAt / 32768 + 1);
  EXPECT_EQ(tape.trailerAt / 32768 + 2, tape.blocks);  // the trailer lies in the last block

  // Both loaders list the same files; the sequential one also sees the catalog's own record.
  GetTapeDescription1Click(p());
  LoadCatalogFast(p());
  std::vector<std::string> fast = p().Hauptmenu.FileList_path.Lines;
  LoadCatalogSequential(p());
  std::vector<std::string> sequential = p().Hauptmenu.FileList_path.Lines;
  ASSERT_EQ(sequential.size(), 5u);
  EXPECT_EQ(sequential.back(), p().Hauptmenu.CatalogPath);
  sequential.pop_back();
  EXPECT_EQ(fast, sequential);
}

TEST_F(BackupJob, SoftcompressionPacksOrStoresAndRestoresTheBytes) {
  p().Hauptmenu.optionsPage.CheckBox4.Checked = true;
  WriteFile(src_ + "photo.jpg", std::string(50000, 'j'));
  WriteFile(src_ + "bundle.zip", Pattern(3000, 3));
  WriteFile(src_ + "image.GIF", Pattern(2000, 4));
  WriteFile(src_ + "empty.txt", "");
  BitBtn1Click(p());
  ASSERT_FALSE(p().AbortFlag);

  RawTape tape = ParseTape(DataFile());
  std::string scratch = fixture_.Scratch("zips");
  for (const auto& [name, method] : std::vector<std::pair<std::string, int>>{
           {"photo.jpg", ZIP_CM_DEFLATE}, {"bundle.zip", ZIP_CM_STORE}, {"image.GIF", ZIP_CM_STORE}}) {
    const testing::RawRecord* r = Find(tape, src_ + name);
    ASSERT_NE(r, nullptr) << name;
    EXPECT_EQ(r->compressed, 1) << name;
    WriteFile(scratch + name + ".zip", r->data);
    int error = 0;
    zip_t* archive = zip_open((scratch + name + ".zip").c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr) << name;
    zip_stat_t zs;
    ASSERT_EQ(zip_stat_index(archive, 0, 0, &zs), 0);
    EXPECT_EQ(std::string(zs.name), name);
    EXPECT_EQ(zs.comp_method, method) << name;
    EXPECT_EQ(zip_get_num_entries(archive, 0), 1);
    zip_close(archive);
  }
  const testing::RawRecord* empty = Find(tape, src_ + "empty.txt");
  EXPECT_EQ(empty->compressed, 0);
  EXPECT_EQ(empty->size, 0);
  EXPECT_LT(Find(tape, src_ + "photo.jpg")->size, 50000);

  std::string out = fixture_.Scratch("out");
  THauptmenu& w = p().Hauptmenu;
  w.restorePage.Edit1.Text = out;
  w.restorePage.RadioGroup1.ItemIndex = kOverwriteEver;
  w.restorePage.Memo3.Lines = {src_};
  GetTapeDescription1Click(p());
  RunRestore(p());
  std::string base = out + src_.substr(1);
  EXPECT_EQ(ReadFile(base + "photo.jpg"), std::string(50000, 'j'));
  EXPECT_EQ(ReadFile(base + "bundle.zip"), Pattern(3000, 3));
  EXPECT_EQ(ReadFile(base + "image.GIF"), Pattern(2000, 4));
  EXPECT_TRUE(std::filesystem::exists(base + "empty.txt"));
}

TEST_F(BackupJob, AppendingSkipsUnchangedFilesAndAddsChangedOnes) {
  WriteFile(src_ + "same.txt", "same");
  WriteFile(src_ + "changed.txt", "v1");
  SetTime(src_ + "same.txt", 1600000000);
  SetTime(src_ + "changed.txt", 1600000000);
  BitBtn1Click(p());
  ASSERT_FALSE(p().AbortFlag);

  WriteFile(src_ + "changed.txt", "version 2");
  SetTime(src_ + "changed.txt", 1600000100);
  WriteFile(src_ + "new.txt", "new");
  p().Hauptmenu.optionsPage.CheckBox2.Checked = true;
  GetTapeDescription1Click(p());
  fixture_.ui.protocol.clear();
  BitBtn1Click(p());
  ASSERT_FALSE(p().AbortFlag);
  EXPECT_FALSE(Logged(src_ + "same.txt <0 KBytes> "));
  EXPECT_TRUE(Logged(src_ + "new.txt <0 KBytes> "));

  GetTapeDescription1Click(p());
  LoadCatalogFast(p());
  std::vector<std::string> listing = p().Hauptmenu.FileList_path.Lines;
  ASSERT_EQ(listing.size(), 4u);
  // The old records first, then the new ones.
  EXPECT_EQ(std::count(listing.begin(), listing.begin() + 2, src_ + "changed.txt"), 1);
  EXPECT_EQ(std::count(listing.begin() + 2, listing.end(), src_ + "changed.txt"), 1);
  EXPECT_EQ(std::count(listing.begin() + 2, listing.end(), src_ + "new.txt"), 1);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), src_ + "same.txt"), 1);
}

TEST_F(BackupJob, AppendRefusedWhenTheTrailerDoesNotPointAtTheCatalog) {
  WriteFile(src_ + "a.txt", "a");
  BitBtn1Click(p());
  // Point the trailer at the first record instead of the catalog.
  std::string data = ReadFile(DataFile());
  size_t trailer = data.rfind(std::string("\x06XENDEX", 7));
  ASSERT_NE(trailer, std::string::npos);
  for (int i = 0; i < 12; ++i) data[trailer + 7 + i] = i == 4 ? 1 : 0;  // offset 0, block 1
  WriteFile(DataFile(), data);
  size_t sizeBefore = data.size();

  p().Hauptmenu.optionsPage.CheckBox2.Checked = true;
  GetTapeDescription1Click(p());
  BitBtn1Click(p());
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_TRUE(Logged(
      "Append refused: the file at the catalog position of this tape set is not the catalog. "
      "Nothing was written."));
  EXPECT_EQ(ReadFile(DataFile()).size(), sizeBefore);
}

TEST_F(BackupJob, SpansTwoCartridgesWithTheAutoloader) {
  VirtualTapeDrive drive = fixture_.Drive();
  drive.NewCartridge("a1", kSmallCapacity);
  drive.NewCartridge("a2", kSmallCapacity);
  drive.LoadCartridge("a1");
  drive.SetAutoload(true);
  fixture_.Start();  // the drive parameters of the small cartridge
  p().Hauptmenu.optionsPage.CheckBox12.Checked = true;
  p().Hauptmenu.optionsPage.CheckBox4.Checked = false;
  p().Hauptmenu.backupPage.Memo5.Lines = {src_};
  for (int i = 0; i < 4; ++i) WriteFile(src_ + "f" + std::to_string(i), Pattern(70000, i));
  BitBtn1Click(p());
  ASSERT_FALSE(p().AbortFlag);
  EXPECT_EQ(fixture_.ui.prompts, std::vector<std::string>{"Tape full! Please insert Tape 2 and press then ok!"});

  GetTapeDescription1Click(p());
  EXPECT_EQ(p().Hauptmenu.tapeDescription.TapeNumber, 2);
  LoadCatalogFast(p());
  EXPECT_EQ(p().Hauptmenu.FileList_path.Lines.size(), 4u);

  // Restore from the set: it starts by asking for tape 1.
  fixture_.ui.prompts.clear();
  fixture_.ui.onPrompt = [&](const std::string& prompt) {
    if (prompt.find("Tape 1") != std::string::npos) fixture_.Drive().LoadCartridge("a1");
  };
  std::string out = fixture_.Scratch("out");
  p().Hauptmenu.restorePage.Edit1.Text = out;
  p().Hauptmenu.restorePage.RadioGroup1.ItemIndex = kOverwriteNever;
  p().Hauptmenu.restorePage.Memo3.Lines = {src_};
  RunRestore(p());
  ASSERT_FALSE(fixture_.ui.prompts.empty());
  EXPECT_EQ(fixture_.ui.prompts[0], "Please insert Tape 1 of the current Tape Set and press then ok!");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ReadFile(out + src_.substr(1) + "f" + std::to_string(i)), Pattern(70000, i));
  }
}

TEST_F(BackupJob, CancelStillEndsWithCatalogAndTrailer) {
  for (int i = 0; i < 20; ++i) WriteFile(src_ + "f" + std::to_string(i), Pattern(1000, i));
  int pumps = 0;
  fixture_.ui.onPump = [&] { return ++pumps == 25; };
  BitBtn1Click(p());
  fixture_.ui.onPump = nullptr;
  EXPECT_TRUE(p().AbortFlag);
  RawTape tape = ParseTape(DataFile());
  ASSERT_TRUE(tape.trailerFound);
  ASSERT_GE(tape.records.size(), 2u);
  EXPECT_LT(tape.records.size(), 21u);
  EXPECT_EQ(tape.records.back().path, p().Hauptmenu.CatalogPath);
  EXPECT_EQ(tape.records.back().data.size(), (tape.records.size() - 1) * 296);
  EXPECT_TRUE(std::any_of(fixture_.ui.protocol.begin(), fixture_.ui.protocol.end(),
                          [](const std::string& l) { return l.find(" Files proceded.") != std::string::npos; }));
}

TEST_F(BackupJob, EmptyListWritesNoTape) {
  p().Hauptmenu.backupPage.Memo5.Lines = {" ", ""};
  BitBtn1Click(p());
  EXPECT_TRUE(Logged("Nothing to back up: the backup list is empty. No tape was written."));
  EXPECT_EQ(ReadFile(DataFile()).size(), 0u);
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_FALSE(p().Hauptmenu.JobRunning);
  EXPECT_TRUE(p().Hauptmenu.backupPage.BitBtn1.Enabled);
}

TEST_F(BackupJob, TrailerNeverSplitsAcrossBlocks) {
  // Sizes chosen so that the stream ends with fewer than 19 bytes left in the block before the
  // trailer: 32768 - (296 + size + 296 + catalog) < 19.
  for (int64_t left = 0; left < 19; left += 6) {
    ProgramFixture fixture;
    std::string src = fixture.Scratch("src");
    int64_t size = 32768 - 296 - 296 - 296 - left;
    WriteFile(src + "f", std::string(static_cast<size_t>(size), 'z'));
    Program& q = fixture.p();
    q.Hauptmenu.optionsPage.CheckBox4.Checked = false;
    q.Hauptmenu.backupPage.Memo5.Lines = {src + "f"};
    BitBtn1Click(q);
    GetTapeDescription1Click(q);
    LoadCatalogFast(q);
    EXPECT_EQ(q.Hauptmenu.FileList_path.Lines, std::vector<std::string>{src + "f"}) << left;
  }
}

TEST_F(BackupJob, EndOfMediaEndsTheJobAndKeepsWhatIsOnTapeReadable) {
  VirtualTapeDrive drive = fixture_.Drive();
  drive.NewCartridge("small", kSmallCapacity);
  drive.LoadCartridge("small");
  fixture_.Start();
  p().Hauptmenu.optionsPage.CheckBox4.Checked = false;
  p().Hauptmenu.backupPage.Memo5.Lines = {src_};
  for (int i = 0; i < 6; ++i) WriteFile(src_ + "f" + std::to_string(i), Pattern(5000000, i));
  BitBtn1Click(p());
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_TRUE(std::any_of(fixture_.ui.protocol.begin(), fixture_.ui.protocol.end(), [](const std::string& l) {
    return l.find("The end-of-tape marker was reached during an operation.") != std::string::npos;
  }));
  EXPECT_TRUE(Logged("The catalog could not be written: the tape stream ended with an error."));

  p().AbortFlag = false;
  GetTapeDescription1Click(p());
  LoadCatalogSequential(p());
  // The files that reached the tape whole are listed; the cut one ends the reading cleanly.
  EXPECT_GE(p().Hauptmenu.FileList_path.Lines.size(), 3u);
  EXPECT_LE(p().Hauptmenu.FileList_path.Lines.size(), 5u);
}

TEST_F(BackupJob, WithoutATapeNothingIsWritten) {
  fixture_.Drive().UnloadCartridge();
  WriteFile(src_ + "a", "a");
  BitBtn1Click(p());
  EXPECT_TRUE(fixture_.ui.HasMessage("No Tape Drive!"));
  EXPECT_TRUE(Logged("0 Files proceded."));
  EXPECT_TRUE(p().AbortFlag);
}

TEST_F(BackupJob, AFileNamedLikeTheTrailerIsJustAFile) {
  WriteFile(src_ + "XENDEX notes.txt", "not the end");
  WriteFile(src_ + "zz-after.txt", "after");
  BitBtn1Click(p());
  GetTapeDescription1Click(p());
  LoadCatalogSequential(p());
  EXPECT_EQ(p().Hauptmenu.FileList_path.Lines.size(), 3u);  // both files and the catalog
  LoadCatalogFast(p());
  EXPECT_EQ(p().Hauptmenu.FileList_path.Lines.size(), 2u);
  EXPECT_FALSE(p().AbortFlag);
}

TEST_F(BackupJob, ProgramsBeforeAndAfterTheBackup) {
  WriteFile(src_ + "a", "a");
  OptionsPageControls& o = p().Hauptmenu.optionsPage;
  o.Edit4.Text = src_ + "missing-program";
  BitBtn1Click(p());
  EXPECT_TRUE(Logged("Error in before Backup Parameter"));
  EXPECT_EQ(ReadFile(DataFile()).size(), 0u);  // the tape is not touched
  EXPECT_FALSE(p().Hauptmenu.JobRunning);
  EXPECT_TRUE(p().Hauptmenu.backupPage.BitBtn1.Enabled);

  o.Edit4.Text.clear();
  o.Edit6.Text = src_ + "missing-program";
  BitBtn1Click(p());
  EXPECT_TRUE(Logged("Error in after Backup Parameter"));
  EXPECT_TRUE(p().AbortFlag);
  EXPECT_GT(ReadFile(DataFile()).size(), 0u);
}

TEST_F(BackupJob, IncludeRules) {
  THauptmenu& w = p().Hauptmenu;
  w.backupPage.Memo1.Lines = {"/data/temp", ""};
  EXPECT_FALSE(IsIncludedPath(p(), "/data/temp/a.txt"));
  EXPECT_FALSE(IsIncludedPath(p(), "/data/temporary/b.txt"));
  EXPECT_TRUE(IsIncludedPath(p(), "/data/tem"));
  EXPECT_TRUE(IsIncludedPath(p(), "/data/Temp/a.txt"));  // names keep their case here
  EXPECT_FALSE(IsIncludedPath(p(), w.ScratchZipPath));
  EXPECT_FALSE(IsIncludedPath(p(), w.WorkDir + "restored.txt"));
  EXPECT_TRUE(IsIncludedPath(p(), w.CatalogPath));
  EXPECT_TRUE(IsIncludedPath(p(), w.HeaderPath));
}

}  // namespace
}  // namespace vantrel
