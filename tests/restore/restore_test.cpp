#include "app/restore/restore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/backup/backup_job.h"
#include "app/format/tape_description.h"
#include "app/restore/catalog_browser.h"
#include "app/restore/restore_paths.h"
#include "app/restore/verify.h"
#include "platform/date_time.h"
#include "tests/support/manifest.h"
#include "tests/support/program_fixture.h"
#include "tests/support/sha256.h"

namespace vantrel {
namespace {

using testing::ProgramFixture;
using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;

std::time_t MTime(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mtime;
}

void SetTime(const std::string& path, std::time_t t) {
  timespec times[2] = {{t, 0}, {t, 0}};
  utimensat(0, path.c_str(), times, 0);
}

class Restore : public ::testing::Test {
 protected:
  Restore() {
    src_ = fixture_.Scratch("src");
    out_ = fixture_.Scratch("out");
    THauptmenu& w = p().Hauptmenu;
    w.optionsPage.CheckBox1.Checked = false;
    w.backupPage.Memo5.Lines = {src_};
    w.restorePage.Edit1.Text = out_;
    w.restorePage.RadioGroup1.ItemIndex = kOverwriteNever;
  }
  Program& p() { return fixture_.p(); }
  void Backup() {
    BitBtn1Click(p());
    ASSERT_FALSE(p().AbortFlag);
    GetTapeDescription1Click(p());
  }
  void RestoreLines(std::vector<std::string> lines) {
    p().Hauptmenu.restorePage.Memo3.Lines = std::move(lines);
    RunRestore(p());
  }
  std::string Out(const std::string& name) { return out_ + src_.substr(1) + name; }

  ProgramFixture fixture_;
  std::string src_, out_;
};

TEST_F(Restore, BringsBackBytesAndTimesBelowTheRestorePathAndAtTheRecordedPaths) {
  WriteFile(src_ + "a.txt", "alpha");
  WriteFile(src_ + "empty", "");
  WriteFile(src_ + "d/e/big.bin", std::string(100000, 'b'));
  SetTime(src_ + "a.txt", 1600000001);  // odd second: the format keeps two
  SetTime(src_ + "d/e/big.bin", 1600000100);
  p().Hauptmenu.optionsPage.CheckBox4.Checked = true;
  Backup();

  RestoreLines({src_});
  EXPECT_EQ(ReadFile(Out("a.txt")), "alpha");
  EXPECT_EQ(ReadFile(Out("d/e/big.bin")), std::string(100000, 'b'));
  EXPECT_TRUE(fs::exists(Out("empty")));
  EXPECT_EQ(MTime(Out("a.txt")), 1600000000);
  EXPECT_EQ(MTime(Out("d/e/big.bin")), 1600000100);
  EXPECT_EQ(p().Hauptmenu.restorePage.LEDDisplay7.Value, 3);
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("3 Files proceded."));
  EXPECT_FALSE(fs::exists(p().Hauptmenu.CatalogPath));

  // An empty restore path puts the files back where they were recorded.
  fs::remove_all(src_);
  p().Hauptmenu.restorePage.Edit1.Text = "";
  RestoreLines({src_ + "d/e/big.bin"});
  EXPECT_EQ(ReadFile(src_ + "d/e/big.bin"), std::string(100000, 'b'));
  EXPECT_FALSE(fs::exists(src_ + "a.txt"));
}

TEST_F(Restore, OverwriteRules) {
  WriteFile(src_ + "f.txt", "tape");
  Backup();
  WriteFile(Out("f.txt"), "disk");

  RestoreLines({src_ + "f.txt"});  // "Overwrite never"
  EXPECT_EQ(ReadFile(Out("f.txt")), "disk");
  EXPECT_EQ(p().Hauptmenu.restorePage.LEDDisplay7.Value, 0);
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("Not restored: " + Out("f.txt") +
                                          " (it exists and \"Overwrite never\" is set)"));

  p().Hauptmenu.restorePage.RadioGroup1.ItemIndex = kAskBeforeOverwrite;
  fixture_.ui.inputAnswers = {std::nullopt};
  RestoreLines({src_ + "f.txt"});
  EXPECT_EQ(ReadFile(Out("f.txt")), "disk");
  EXPECT_EQ(fixture_.ui.prompts.back(), "Restore to:");

  fixture_.ui.inputAnswers = {Out("f.txt")};  // confirmed: the existing file is replaced
  RestoreLines({src_ + "f.txt"});
  EXPECT_EQ(ReadFile(Out("f.txt")), "tape");

  WriteFile(Out("f.txt"), "disk again");
  p().Hauptmenu.restorePage.RadioGroup1.ItemIndex = kOverwriteEver;
  RestoreLines({src_ + "f.txt"});
  EXPECT_EQ(ReadFile(Out("f.txt")), "tape");
}

TEST_F(Restore, PlainLineTakesEveryCopyAndAVersionLineOnlyOne) {
  WriteFile(src_ + "v.txt", "first");
  SetTime(src_ + "v.txt", 1600000000);
  Backup();
  WriteFile(src_ + "v.txt", "second");
  SetTime(src_ + "v.txt", 1600000200);
  p().Hauptmenu.optionsPage.CheckBox2.Checked = true;
  Backup();

  p().Hauptmenu.restorePage.RadioGroup1.ItemIndex = kOverwriteEver;
  RestoreLines({src_ + "v.txt"});
  EXPECT_EQ(ReadFile(Out("v.txt")), "second");

  fs::remove(Out("v.txt"));
  RestoreLines({src_ + "v.txt  -  " + DateTimeToText(FileDateTime(1600000000))});
  EXPECT_EQ(ReadFile(Out("v.txt")), "first");
  EXPECT_EQ(p().Hauptmenu.restorePage.LEDDisplay7.Value, 1);
}

TEST_F(Restore, EmptyRestoreListReadsNothing) {
  WriteFile(src_ + "a", "a");
  Backup();
  RestoreLines({});
  EXPECT_TRUE(fixture_.ui.HasMessage("No Files or Directories selected!"));
  EXPECT_FALSE(fs::exists(Out("a")));
}

TEST(RestorePaths, Destinations) {
  struct Case {
    std::string restorePath, recorded;
    std::optional<std::string> destination;
  } cases[] = {
      {"/tmp/r/", "/data/a.txt", "/tmp/r/data/a.txt"},
      {"/tmp/r", "/data/a.txt", "/tmp/r/data/a.txt"},
      {"", "/data/a.txt", "/data/a.txt"},
      {"/tmp/r/", "d:\\data\\a.txt", "/tmp/r/data/a.txt"},
      {"", "d:\\data\\a.txt", std::nullopt},
      {"/tmp/r/", "/data/../../etc/passwd", std::nullopt},
      {"/tmp/r/", "c:\\x\\..\\..\\y", std::nullopt},
      {"/tmp/r/", "/data//a", std::nullopt},
      {"/tmp/r/", "/", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DestinationPath(c.restorePath, c.recorded), c.destination) << c.recorded;
  }
}

TEST(CatalogBrowser, BrowseListOfTheExample) {
  EXPECT_EQ(BrowseList({"c:\\a\\x.txt", "c:\\a\\b\\y.txt", "c:\\a\\b\\z.txt"}),
            (std::vector<std::string>{"c:\\a\\", "c:\\a\\b\\", "c:\\a\\b\\y.txt",
                                      "c:\\a\\b\\z.txt", "c:\\a\\x.txt"}));
  EXPECT_EQ(BrowseList({"/a/x.txt", "/a/x.txt"}),
            (std::vector<std::string>{"/a/", "/a/x.txt", "/a/x.txt"}));
}

TEST_F(Restore, LoadCatalogFillsTheBrowseListAndDoubleClickPicks) {
  WriteFile(src_ + "x.txt", "x");
  WriteFile(src_ + "b/y.txt", "y");
  Backup();
  Button2Click(p());
  const ListBox& list = p().Hauptmenu.restorePage.ListBox2;
  EXPECT_EQ(list.Items, (std::vector<std::string>{src_, src_ + "b/", src_ + "b/y.txt",
                                                  src_ + "x.txt"}));
  EXPECT_TRUE(p().Hauptmenu.CatalogLoaded);
  EXPECT_EQ(fixture_.ui.LastStatus().rfind("Catalog created in ", 0), 0u);
  p().Hauptmenu.restorePage.ListBox2.ItemIndex = 1;
  ListBox2DblClick(p());
  EXPECT_EQ(p().Hauptmenu.restorePage.Memo3.Lines, std::vector<std::string>{src_ + "b/"});
}

TEST_F(Restore, VerifyReportsOkAndEachDefect) {
  WriteFile(src_ + "same.txt", "same");
  WriteFile(src_ + "grows.txt", std::string(1000, 'g'));
  WriteFile(src_ + "edited.txt", "abcdef");
  WriteFile(src_ + "short.txt", "12345");
  WriteFile(src_ + "gone.txt", "gone");
  WriteFile(src_ + "zero", "");
  p().Hauptmenu.optionsPage.CheckBox4.Checked = true;
  Backup();
  VerifyCounts clean = RunVerify(p());
  EXPECT_EQ(clean.ok, 6);
  EXPECT_EQ(clean.defect, 0);

  WriteFile(src_ + "grows.txt", std::string(3000, 'g'));
  WriteFile(src_ + "edited.txt", "abcdeX");
  WriteFile(src_ + "short.txt", "1234");  // same KiB, one byte less
  fs::remove(src_ + "gone.txt");
  fixture_.ui.protocol.clear();
  VerifyCounts counts = RunVerify(p());
  EXPECT_EQ(counts.ok, 2);
  EXPECT_EQ(counts.defect, 4);
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("Error with filesize " + src_ + "grows.txt <2> / " +
                                          p().Hauptmenu.WorkDir + "grows.txt <0>"));
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("Error in File:  " + src_ + "edited.txt"));
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("Error in File:  " + src_ + "short.txt"));
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("Error in File " + src_ + "gone.txt or File not exists !"));
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("6 Files checked"));
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("4 Files Defect"));
  // Work copies do not pile up.
  EXPECT_FALSE(fs::exists(p().Hauptmenu.WorkDir + "same.txt"));
}

TEST_F(Restore, VerifyAfterBackupRunsUnlessCancelled) {
  WriteFile(src_ + "a", "a");
  p().Hauptmenu.optionsPage.CheckBox5.Checked = true;
  BitBtn1Click(p());
  EXPECT_TRUE(fixture_.ui.HasProtocolLine("1 Files OK"));
}

// A tape whose record paths try to climb out of the restore path.
TEST(RestoreHostileTape, NothingLandsOutsideTheRestorePath) {
  ProgramFixture fixture;
  std::string out = fixture.Scratch("out/inner");
  std::string src = fixture.Scratch("src");
  WriteFile(src + "evil", "evil");
  Program& p = fixture.p();
  p.Hauptmenu.optionsPage.CheckBox4.Checked = false;
  p.Hauptmenu.backupPage.Memo5.Lines = {src + "evil"};
  BitBtn1Click(p);
  // Rewrite the recorded path in place to one of the same length that climbs out.
  std::string dataFile = fixture.DrivePath() + "/tape1.tape/data";
  std::string data = ReadFile(dataFile);
  std::string hostile = "/../" + std::string(src.size() + 4 - 4 - 7, 'x') + "/escaped";
  hostile = hostile.substr(0, src.size() + 4);
  hostile.replace(hostile.size() - 7, 7, "escaped");
  ASSERT_EQ(hostile.size(), (src + "evil").size());
  size_t at = data.find(src + "evil");
  ASSERT_NE(at, std::string::npos);
  data.replace(at, hostile.size(), hostile);
  WriteFile(dataFile, data);

  GetTapeDescription1Click(p);
  p.Hauptmenu.restorePage.Edit1.Text = out;
  p.Hauptmenu.restorePage.RadioGroup1.ItemIndex = kOverwriteEver;
  p.Hauptmenu.restorePage.Memo3.Lines = {"/"};
  RunRestore(p);
  EXPECT_EQ(p.Hauptmenu.restorePage.LEDDisplay7.Value, 0);
  EXPECT_TRUE(fixture.ui.HasProtocolLine("Not restored: " + hostile +
                                         " (its recorded path leads outside the restore path)"));
  for (auto& entry : fs::recursive_directory_iterator(fixture.Scratch("out"))) {
    EXPECT_FALSE(entry.is_regular_file()) << entry.path();
  }
}

class ReferenceRestore : public ::testing::TestWithParam<std::string> {};

TEST_P(ReferenceRestore, RestoresAndVerifiesToTheManifestBytes) {
  ProgramFixture fixture(testing::ReferenceTape(GetParam()));
  testing::Manifest manifest =
      testing::ReadManifest(testing::ReferenceTape(GetParam()) + "/MANIFEST.txt");
  Program& p = fixture.p();
  fixture.Drive().SetAutoload(true);
  p.Hauptmenu.optionsPage.CheckBox12.Checked = true;
  std::string out = fixture.Scratch("out");
  p.Hauptmenu.restorePage.Edit1.Text = out;
  p.Hauptmenu.restorePage.RadioGroup1.ItemIndex = kOverwriteEver;
  p.Hauptmenu.restorePage.Memo3.Lines = {"/", "\\"};
  GetTapeDescription1Click(p);
  RunRestore(p);
  ASSERT_FALSE(p.AbortFlag);
  // The last copy of each path is the one on disk.
  std::map<std::string, std::string> expected;
  for (const auto& r : manifest.records) {
    if (r.path.find("vantrel catalog.dat") != std::string::npos) continue;
    expected[*DestinationPath(out, r.path)] = r.sha256;
  }
  for (const auto& [path, sha] : expected) {
    EXPECT_EQ(testing::Sha256Hex(ReadFile(path)), sha) << path;
  }

  fixture.Drive().LoadCartridge("tape1");
  p.VerifyRoot = out;
  VerifyCounts counts = RunVerify(p);
  // Every copy compares with the restored file; an older copy of a path differs from it.
  EXPECT_EQ(counts.ok + counts.defect, static_cast<int>(manifest.records.size()) - 1 -
                                           (GetParam() == "legacy" ? 1 : 0));
  EXPECT_EQ(counts.defect, GetParam() == "appended" ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(All, ReferenceRestore,
                         ::testing::Values("plain", "compressed", "spanning", "appended",
                                           "windows-paths", "legacy"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace
}  // namespace vantrel
