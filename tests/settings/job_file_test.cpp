#include "app/settings/job_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/core/control_locks.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using testing::ReadFile;
using testing::ScriptedUserInterface;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

const char* const kInitialFile =
    "[Backup_files]\n"
    "Path0=/database/\n"
    "Path1=/mnt/d/\n"
    "[Backup_Time]\n"
    "Hour=21\n"
    "Minute=30\n"
    "[Backup_Day]\n"
    "Monday=1\n"
    "Tuesday=1\n"
    "Wednesday=1\n"
    "Thursday=1\n"
    "Friday=1\n"
    "Saturday=1\n"
    "Sunday=1\n"
    "[Options]\n"
    "Short Protocoll=1\n"
    "Append=0\n"
    "Autostart Backup=0\n"
    "Begin Backup at start=0\n"
    "Verify after Backup=0\n"
    "Eject Tape after Backup=0\n"
    "Send Protocoll Email after Backup=0\n"
    "Exit Vantrel Backup=0\n"
    "Backup over more Tapes=0\n"
    "Do before Backup=\n"
    "Do before Backup Wait Time=0\n"
    "Do after Backup=\n"
    "Do after Backup Wait Time=0\n"
    "[Compressions]\n"
    "Softcompression=1\n"
    "Faktor=9\n"
    "[Proxy Settings]\n"
    "Proxy Server IP=\n"
    "Proxy Port=0\n"
    "[Update]\n"
    "Automaticly=1\n"
    "[Restore Settings]\n"
    "Restore Path=/tmp/\n"
    "[Email Settings]\n"
    "From=\n"
    "To=\n"
    "Subject=Vantrel Backup Report\n"
    "Host=\n"
    "UserId=\n"
    "Password=\n";

// The option sections as a complete save writes them for controls at their initial values,
// apart from the given Hour, Restore Path and e-mail Port.
std::string OptionSections(int hour, const std::string& restorePath, const std::string& port) {
  std::string text = kInitialFile;
  text = text.substr(text.find("[Backup_Time]"));
  text.replace(text.find("Hour=21"), 7, "Hour=" + std::to_string(hour));
  text.replace(text.find("Restore Path=/tmp/"), 18,
               "Restore Path=" + restorePath + "\nRestore Options=0");
  return text + "Port=" + port + "\n";
}

class JobFileTest : public ::testing::Test {
 protected:
  JobFileTest() {
    p.Hauptmenu.JobPath = jobPath;
    p.Hauptmenu.LogPath = dir / "vl_backup.log";
  }

  // The load at program start: SuppressSave around LoadJobFile.
  static bool StartUp(Program& program) {
    program.Hauptmenu.SuppressSave = true;
    bool loaded = LoadJobFile(program);
    program.Hauptmenu.SuppressSave = false;
    return loaded;
  }

  Memo& BackupList() { return p.Hauptmenu.backupPage.Memo5; }
  Memo& ExcludeList() { return p.Hauptmenu.backupPage.Memo1; }
  bool ListControlsLocked() { return !BackupList().Enabled; }

  TempDir dir;
  ScriptedUserInterface ui;
  Program p{ui, ProgramOptions{dir.Path(), nullptr}};
  std::string jobPath = dir / "jobs.job";
};

using JobFileFirstStart = JobFileTest;
using JobFileLoad = JobFileTest;
using JobFileSave = JobFileTest;
using JobFileLists = JobFileTest;
using JobFileErrors = JobFileTest;

TEST_F(JobFileFirstStart, CreatesInitialFileAndKeepsControlsForThisRun) {
  THauptmenu& w = p.Hauptmenu;
  w.backupPage.CheckBox3.Checked = true;  // "Autostart Backup at:" before any load
  w.emailPage.efrom.Text = "sender@example.com";
  BackupList().Lines = {"/old/"};

  ASSERT_TRUE(StartUp(p));

  EXPECT_EQ(ReadFile(jobPath), kInitialFile);
  EXPECT_EQ(BackupList().Lines, (Lines{"/database/", "/mnt/d/"}));
  EXPECT_TRUE(ExcludeList().Lines.empty());
  EXPECT_TRUE(w.backupPage.CheckBox3.Checked);
  EXPECT_FALSE(w.optionsPage.CheckBox10.Checked);
  EXPECT_EQ(w.emailPage.efrom.Text, "sender@example.com");
  EXPECT_EQ(w.emailPage.ePort.Text, "25");
  EXPECT_EQ(w.restorePage.Edit1.Text, "/tmp/");
  EXPECT_EQ(w.optionsPage.Label19.Caption, "Options from : " + jobPath);
  EXPECT_EQ(w.backupPage.Label1.Caption, "21:30");
  EXPECT_FALSE(w.emailPage.TabSheet8.Visible);
  EXPECT_FALSE(w.SuppressSave);
  EXPECT_TRUE(ui.messages.empty());

  // The next start reads what the file says.
  ScriptedUserInterface nextUi;
  Program next(nextUi, ProgramOptions{dir.Path(), nullptr});
  next.Hauptmenu.JobPath = jobPath;
  next.Hauptmenu.backupPage.CheckBox3.Checked = true;
  ASSERT_TRUE(StartUp(next));
  EXPECT_FALSE(next.Hauptmenu.backupPage.CheckBox3.Checked);
  EXPECT_TRUE(next.Hauptmenu.optionsPage.CheckBox10.Checked);
  EXPECT_EQ(next.Hauptmenu.emailPage.ePort.Text, "");
  EXPECT_EQ(next.Hauptmenu.restorePage.Edit1.Text, "/tmp/");
  EXPECT_EQ(ReadFile(jobPath), kInitialFile);
}

TEST_F(JobFileFirstStart, InitialTimeComesFromTheSpinEdits) {
  p.Hauptmenu.backupPage.SpinEdit1.Value = 7;
  p.Hauptmenu.backupPage.SpinEdit2.Value = 5;
  ASSERT_TRUE(StartUp(p));
  std::string text = ReadFile(jobPath);
  EXPECT_NE(text.find("[Backup_Time]\nHour=7\nMinute=5\n"), std::string::npos) << text;
  EXPECT_EQ(p.Hauptmenu.backupPage.Label1.Caption, "7:5");
}

TEST_F(JobFileFirstStart, LoadListOnNewNameCreatesInitialFileThere) {
  std::string other = dir / "other.job";
  ui.fileAnswers.push_back(other);
  p.Hauptmenu.ActivePageIndex = kOptionsPage;
  BitBtn10Click(p);
  EXPECT_EQ(p.Hauptmenu.JobPath, other);
  EXPECT_EQ(ReadFile(other), kInitialFile);
  EXPECT_EQ(BackupList().Lines, (Lines{"/database/", "/mnt/d/"}));
  EXPECT_EQ(p.Hauptmenu.ActivePageIndex, kBackupPage);
  EXPECT_FALSE(p.Hauptmenu.SuppressSave);
  EXPECT_FALSE(std::filesystem::exists(jobPath));
}

TEST_F(JobFileLoad, MissingKeysTakeReadDefaults) {
  THauptmenu& w = p.Hauptmenu;
  WriteFile(jobPath, "[Options]\nAppend=1\n");
  // Controls away from their read defaults, to see that the load sets every one of them.
  w.backupPage.SpinEdit1.Value = 3;
  w.backupPage.SpinEdit2.Value = 4;
  p.Backup_days.CheckBoxes[6].Checked = false;
  w.backupPage.CheckBox3.Checked = true;
  w.optionsPage.CheckBox1.Checked = false;
  w.optionsPage.CheckBox10.Checked = false;
  w.optionsPage.SpinEdit3.Value = 2;
  w.optionsPage.Edit5.Text = "12";
  w.restorePage.Edit1.Text = "/restore/";
  w.restorePage.RadioGroup1.ItemIndex = 2;
  w.emailPage.efrom.Text = "a@b";
  w.emailPage.eSubject.Text = "x";
  w.emailPage.ePort.Text = "587";

  ASSERT_TRUE(StartUp(p));

  EXPECT_EQ(w.backupPage.SpinEdit1.Value, 21);
  EXPECT_EQ(w.backupPage.SpinEdit2.Value, 30);
  EXPECT_TRUE(p.Backup_days.CheckBoxes[6].Checked);
  EXPECT_FALSE(w.backupPage.CheckBox3.Checked);
  EXPECT_TRUE(w.optionsPage.CheckBox1.Checked);
  EXPECT_TRUE(w.optionsPage.CheckBox2.Checked);
  EXPECT_TRUE(w.optionsPage.CheckBox10.Checked);
  EXPECT_EQ(w.optionsPage.SpinEdit3.Value, 9);
  EXPECT_EQ(w.optionsPage.Edit5.Text, "0");
  EXPECT_EQ(w.restorePage.Edit1.Text, "/tmp");
  EXPECT_EQ(w.restorePage.RadioGroup1.ItemIndex, 0);
  EXPECT_EQ(w.emailPage.efrom.Text, "");
  EXPECT_EQ(w.emailPage.eSubject.Text, "Vantrel Backup Report");
  EXPECT_EQ(w.emailPage.ePort.Text, "");
  EXPECT_TRUE(BackupList().Lines.empty());
  EXPECT_EQ(ReadFile(jobPath), "[Options]\nAppend=1\n");
}

TEST_F(JobFileLoad, ConvertsAndClampsValuesWithoutRewritingTheFile) {
  const std::string text =
      "[Backup_Time]\nHour=25\nMinute=-4\n"
      "[Backup_Day]\nMonday=yes\nTuesday=0\nWednesday=-1\nThursday=7\nFriday=\n"
      "[Options]\nShort Protocoll=abc\nAppend=2\n"
      "[Compressions]\nFaktor=12\n"
      "[Restore Settings]\nRestore Options=5\n";
  WriteFile(jobPath, text);
  p.Backup_days.CheckBoxes[0].Checked = false;
  p.Backup_days.CheckBoxes[4].Checked = false;

  ASSERT_TRUE(StartUp(p));

  THauptmenu& w = p.Hauptmenu;
  EXPECT_EQ(w.backupPage.SpinEdit1.Value, 23);
  EXPECT_EQ(w.backupPage.SpinEdit2.Value, 0);
  EXPECT_EQ(w.optionsPage.SpinEdit3.Value, 9);
  const std::vector<bool> days = {true, false, true, true, true, true, true};
  for (size_t i = 0; i < days.size(); ++i) {
    EXPECT_EQ(p.Backup_days.CheckBoxes[i].Checked, days[i]) << "day " << i;
  }
  EXPECT_TRUE(w.optionsPage.CheckBox1.Checked);  // not a number: the read default 1
  EXPECT_TRUE(w.optionsPage.CheckBox2.Checked);
  EXPECT_EQ(w.restorePage.RadioGroup1.ItemIndex, 0);
  EXPECT_EQ(w.backupPage.Label1.Caption, "23:0");
  // Setting the controls ran their handlers, yet no key was written.
  EXPECT_EQ(ReadFile(jobPath), text);

  // The next change of an option writes the clamped values.
  SpinEdit1Change(p);
  std::string saved = ReadFile(jobPath);
  EXPECT_NE(saved.find("Hour=23\nMinute=0\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Faktor=9\n"), std::string::npos) << saved;
}

TEST_F(JobFileLoad, ChangedControlsRunTheirHandlers) {
  THauptmenu& w = p.Hauptmenu;
  WriteFile(jobPath, "[Compressions]\nSoftcompression=0\nFaktor=3\n");
  ASSERT_TRUE(StartUp(p));
  EXPECT_EQ(w.ZipMaster1.AddCompLevel, 3);
  EXPECT_FALSE(w.optionsPage.GroupBox1.Visible);

  WriteFile(jobPath, "[Compressions]\nSoftcompression=1\nFaktor=6\n");
  ASSERT_TRUE(StartUp(p));
  EXPECT_EQ(w.ZipMaster1.AddCompLevel, 6);
  EXPECT_TRUE(w.optionsPage.GroupBox1.Visible);
}

TEST_F(JobFileLoad, EmailTabFollowsSendOption) {
  for (bool send : {true, false}) {
    WriteFile(jobPath, std::string("[Options]\nSend Protocoll Email after Backup=") +
                           (send ? "1" : "0") + "\n");
    ASSERT_TRUE(StartUp(p));
    EXPECT_EQ(p.Hauptmenu.emailPage.TabSheet8.Visible, send);
    EXPECT_EQ(p.Hauptmenu.optionsPage.CheckBox8.Checked, send);
  }
}

TEST_F(JobFileLoad, WindowsLineEndsAndBackslashPathsLoad) {
  WriteFile(jobPath,
            "[Backup_files]\r\nPath0=C:\\Data\\\r\nPath1=d:\\\r\n"
            "[Excluded_files]\r\nPath0=c:\\data\\tmp\\\r\n"
            "[Backup_Time]\r\nHour=6\r\n"
            "[Restore Settings]\r\nRestore Path=c:\\temp\\\r\n");
  ASSERT_TRUE(StartUp(p));
  EXPECT_EQ(BackupList().Lines, (Lines{"C:\\Data\\", "d:\\"}));
  EXPECT_EQ(ExcludeList().Lines, (Lines{"c:\\data\\tmp\\"}));
  EXPECT_EQ(p.Hauptmenu.backupPage.SpinEdit1.Value, 6);
  EXPECT_EQ(p.Hauptmenu.restorePage.Edit1.Text, "c:\\temp\\");

  // A save keeps the file's line ends.
  p.Hauptmenu.backupPage.SpinEdit1.Value = 8;
  SpinEdit1Change(p);
  std::string saved = ReadFile(jobPath);
  EXPECT_NE(saved.find("[Backup_Time]\r\nHour=8\r\nMinute=30\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\r\n\n"), std::string::npos);
}

TEST_F(JobFileLoad, ProxyPortThatIsNoNumberReadsAsDefaultAndLoadGoesOn) {
  THauptmenu& w = p.Hauptmenu;
  WriteFile(jobPath,
            "[Backup_files]\nPath0=/home/\n"
            "[Proxy Settings]\nProxy Server IP=10.0.0.1\nProxy Port=80a\n"
            "[Restore Settings]\nRestore Path=/restore/\n"
            "[Email Settings]\nFrom=backup@example.com\nPort=25\n");
  ASSERT_TRUE(StartUp(p));
  EXPECT_EQ(w.optionsPage.Edit2.Text, "0");
  EXPECT_EQ(w.restorePage.Edit1.Text, "/restore/");
  EXPECT_EQ(w.emailPage.efrom.Text, "backup@example.com");
  EXPECT_EQ(w.emailPage.ePort.Text, "25");
  EXPECT_EQ(BackupList().Lines, (Lines{"/home/"}));
  ProxySettings proxy = CurrentProxy(p);
  EXPECT_EQ(proxy.server, "10.0.0.1");
  EXPECT_EQ(proxy.port, 0);
}

TEST_F(JobFileLoad, CurrentProxyReadsEdit2AsPort) {
  struct Case {
    std::string port;
    int expected;
  };
  for (const Case& c : std::vector<Case>{
           {"8080", 8080}, {"", 0}, {"0", 0}, {"+81", 81}, {"65536", 0}, {"-1", 0}, {"8o", 0}}) {
    p.Hauptmenu.optionsPage.Edit2.Text = c.port;
    EXPECT_EQ(CurrentProxy(p).port, c.expected) << c.port;
  }
}

TEST_F(JobFileLoad, DiskEntryFirstLocksListControlsAndClearListUnlocks) {
  struct Case {
    std::string list;
    bool locked;
  };
  for (const Case& c : std::vector<Case>{{"Path0=harddisk 0\n", true},
                                         {"Path0=HardDisk 1\n", true},
                                         {"Path0=/harddisk/\n", false},
                                         {"Path0=/data/\nPath1=harddisk 0\n", false}}) {
    UnlockListControls(p);
    WriteFile(jobPath, "[Backup_files]\n" + c.list);
    ASSERT_TRUE(StartUp(p));
    EXPECT_EQ(ListControlsLocked(), c.locked) << c.list;
  }

  WriteFile(jobPath, "[Backup_files]\nPath0=harddisk 0\n");
  ASSERT_TRUE(StartUp(p));
  ASSERT_TRUE(ListControlsLocked());
  p.Hauptmenu.ActivePageIndex = kRestorePage;
  BitBtn2Click(p);
  EXPECT_FALSE(ListControlsLocked());
  EXPECT_TRUE(BackupList().Lines.empty());
  EXPECT_EQ(p.Hauptmenu.ActivePageIndex, kBackupPage);
}

TEST_F(JobFileLists, ListsEndAtFirstGapAndAreCleaned) {
  WriteFile(jobPath,
            "[Backup_files]\nPath0=/a/\nPath1=\nPath2=/b/\nPath4=/c/\n"
            "[Excluded_files]\nPath1=/x/\n");
  ExcludeList().Lines = {"/stale/"};
  ASSERT_TRUE(StartUp(p));
  EXPECT_EQ(BackupList().Lines, (Lines{"/a/", "/b/"}));
  EXPECT_TRUE(ExcludeList().Lines.empty());
}

TEST_F(JobFileLists, SaveListWritesDenseListsAndDropsForeignLines) {
  WriteFile(jobPath, "; my notes\n[Custom]\nKeep=me\n[Backup_files]\nPath0=/old/\nPath7=/older/\n");
  p.Hauptmenu.restorePage.Edit1.Text = "/restore/";
  p.Hauptmenu.backupPage.SpinEdit1.Value = 4;
  p.Hauptmenu.optionsPage.CheckBox10.Checked = true;
  p.Hauptmenu.backupPage.CheckBox3.Checked = false;
  p.Hauptmenu.emailPage.efrom.Text.clear();
  p.Hauptmenu.emailPage.eTo.Text.clear();
  BackupList().Lines = {"/Data/", "", " ", "/Docs/File.TXT", "  "};
  ExcludeList().Lines = {"", "/Data/tmp/"};
  std::string target = dir / "weekly.job";
  ui.fileAnswers.push_back(target);

  BitBtn11Click(p);

  EXPECT_EQ(ReadFile(target),
            "[Backup_files]\nPath0=/Data/\nPath1=/Docs/File.TXT\nPath2=  \n"
            "[Excluded_files]\nPath0=/Data/tmp/\n" +
                OptionSections(4, "/restore/", "25"));
  EXPECT_EQ(BackupList().Lines, (Lines{"/Data/", "/Docs/File.TXT", "  "}));
  EXPECT_EQ(p.Hauptmenu.JobPath, target);
  EXPECT_EQ(p.Hauptmenu.optionsPage.Label19.Caption, "Options from : " + target);

  // Saving over an existing file writes it from scratch.
  ASSERT_TRUE(SaveListTo(p, jobPath));
  std::string text = ReadFile(jobPath);
  EXPECT_EQ(text.find("Custom"), std::string::npos);
  EXPECT_EQ(text.find("notes"), std::string::npos);
  EXPECT_EQ(text.find("Path7"), std::string::npos);
  EXPECT_EQ(text, ReadFile(target));
}

TEST_F(JobFileLists, SavedListLoadsBack) {
  BackupList().Lines = {"/srv/", "/home/user/"};
  ExcludeList().Lines = {"/home/user/.cache/"};
  p.Hauptmenu.optionsPage.CheckBox8.Checked = true;
  ASSERT_TRUE(SaveListTo(p, jobPath));

  ScriptedUserInterface nextUi;
  Program next(nextUi, ProgramOptions{dir.Path(), nullptr});
  ASSERT_TRUE(LoadListFrom(next, jobPath));
  EXPECT_EQ(next.Hauptmenu.backupPage.Memo5.Lines, BackupList().Lines);
  EXPECT_EQ(next.Hauptmenu.backupPage.Memo1.Lines, ExcludeList().Lines);
  EXPECT_TRUE(next.Hauptmenu.emailPage.TabSheet8.Visible);
}

TEST_F(JobFileLists, FilesAreAddedAfterCleaningTheList) {
  BackupList().Lines = {"/a/", "", " "};
  ui.filesAnswers.push_back({"/Data/File.TXT", "/b.txt"});
  p.Hauptmenu.ActivePageIndex = kOptionsPage;
  BitBtn7Click(p);
  EXPECT_EQ(BackupList().Lines, (Lines{"/a/", "/Data/File.TXT", "/b.txt"}));
  EXPECT_EQ(p.Hauptmenu.ActivePageIndex, kBackupPage);

  ExcludeList().Lines = {"", "/x/"};
  ui.filesAnswers.push_back({"/y.txt"});
  p.Hauptmenu.ActivePageIndex = kOptionsPage;
  BitBtn15Click(p);
  EXPECT_EQ(ExcludeList().Lines, (Lines{"/x/", "/y.txt"}));
  EXPECT_EQ(p.Hauptmenu.ActivePageIndex, kOptionsPage);

  // A cancelled dialog changes nothing.
  BitBtn15Click(p);
  EXPECT_EQ(ExcludeList().Lines, (Lines{"/x/", "/y.txt"}));
}

TEST_F(JobFileLists, ClearExcludeListEmptiesOnlyIt) {
  BackupList().Lines = {"/a/"};
  ExcludeList().Lines = {"/b/"};
  BitBtn16Click(p);
  EXPECT_EQ(BackupList().Lines, (Lines{"/a/"}));
  EXPECT_TRUE(ExcludeList().Lines.empty());
}

TEST_F(JobFileLists, CancelledDialogsChangeNothing) {
  BackupList().Lines = {"/a/", ""};
  LockListControls(p);
  BitBtn10Click(p);
  BitBtn11Click(p);
  EXPECT_EQ(p.Hauptmenu.JobPath, jobPath);
  EXPECT_EQ(BackupList().Lines, (Lines{"/a/", ""}));
  EXPECT_TRUE(ListControlsLocked());
  EXPECT_FALSE(std::filesystem::exists(jobPath));
}

TEST_F(JobFileSave, OverwritesOptionKeysInPlaceAndKeepsEverythingElse) {
  const std::string before =
      "; written by hand\n"
      "[Email Settings]\nTo=admin@example.com\nSignature=keep\n"
      "[Backup_files]\nPath0=/srv/\n"
      "[Backup_Time]\nMinute=15\nHour=2\n"
      "[Custom]\nColour=blue\n";
  WriteFile(jobPath, before);
  ASSERT_TRUE(StartUp(p));
  p.Hauptmenu.backupPage.SpinEdit1.Value = 7;
  p.Hauptmenu.backupPage.SpinEdit2.Value = 5;
  BackupList().Lines.push_back("/unsaved/");

  SpinEdit1Change(p);

  EXPECT_EQ(p.Hauptmenu.backupPage.Label1.Caption, "7:5");
  // Keys of the file keep their places; missing ones go to the end of their section, missing
  // sections to the end of the file.
  std::string options = OptionSections(7, "/tmp", "");
  std::string newSections =
      options.substr(options.find("[Backup_Day]"),
                     options.find("[Email Settings]") - options.find("[Backup_Day]"));
  EXPECT_EQ(ReadFile(jobPath),
            "; written by hand\n"
            "[Email Settings]\nTo=admin@example.com\nSignature=keep\n"
            "From=\nSubject=Vantrel Backup Report\nHost=\nUserId=\nPassword=\nPort=\n"
            "[Backup_files]\nPath0=/srv/\n"
            "[Backup_Time]\nMinute=5\nHour=7\n"
            "[Custom]\nColour=blue\n" +
                newSections);
}

TEST_F(JobFileSave, Label1ShowsTimeWithoutLeadingZeros) {
  struct Case {
    int hour, minute;
    std::string label;
  };
  for (const Case& c : std::vector<Case>{{21, 30, "21:30"}, {7, 5, "7:5"}, {0, 0, "0:0"}}) {
    p.Hauptmenu.backupPage.SpinEdit1.Value = c.hour;
    p.Hauptmenu.backupPage.SpinEdit2.Value = c.minute;
    SpinEdit1Change(p);
    EXPECT_EQ(p.Hauptmenu.backupPage.Label1.Caption, c.label);
    std::string text = ReadFile(jobPath);
    EXPECT_NE(
        text.find("Hour=" + std::to_string(c.hour) + "\nMinute=" + std::to_string(c.minute) + "\n"),
        std::string::npos)
        << text;
  }
}

TEST_F(JobFileSave, EveryOptionHandlerSavesAtOnce) {
  struct Case {
    const char* name;
    void (*handler)(Program&);
    std::string expected;
  };
  THauptmenu& w = p.Hauptmenu;
  w.optionsPage.CheckBox10.Checked = true;
  w.optionsPage.CheckBox8.Checked = true;
  w.optionsPage.SpinEdit3.Value = 4;
  w.optionsPage.CheckBox4.Checked = false;
  w.emailPage.eHost.Text = "smtp.example.com";
  w.optionsPage.Edit3.Text = "proxy.lan";
  for (const Case& c : std::vector<Case>{
           {"CheckBox10Click", CheckBox10Click, "Automaticly=1\n"},
           {"CheckBox8Click", CheckBox8Click, "Send Protocoll Email after Backup=1\n"},
           {"SpinEdit3Change", SpinEdit3Change, "Faktor=4\n"},
           {"CheckBox4Click", CheckBox4Click, "Softcompression=0\n"},
           {"efromKeyUp", efromKeyUp, "Host=smtp.example.com\n"},
           {"Edit2KeyUp", Edit2KeyUp, "Proxy Server IP=proxy.lan\n"}}) {
    std::filesystem::remove(jobPath);
    c.handler(p);
    EXPECT_NE(ReadFile(jobPath).find(c.expected), std::string::npos) << c.name;
  }
  EXPECT_EQ(w.ZipMaster1.AddCompLevel, 4);
  EXPECT_FALSE(w.optionsPage.GroupBox1.Visible);
  EXPECT_TRUE(ui.statusLines.empty());
}

TEST_F(JobFileSave, NothingIsWrittenWhileSuppressed) {
  p.Hauptmenu.SuppressSave = true;
  EXPECT_TRUE(SaveSettings(p));
  SpinEdit1Change(p);
  EXPECT_FALSE(std::filesystem::exists(jobPath));
}

TEST_F(JobFileSave, ProxyPortTypedAsTextIsKeptAndFlagged) {
  p.Hauptmenu.optionsPage.Edit2.Text = "8o";
  Edit2KeyUp(p);
  EXPECT_NE(ReadFile(jobPath).find("Proxy Port=8o\n"), std::string::npos);
  EXPECT_EQ(ui.LastStatus(), "Proxy Port must be a whole number from 0 to 65535; 0 is used.");
}

TEST_F(JobFileErrors, UnwritableFileIsReportedAndProgramGoesOn) {
  std::string missingDir = dir / "gone/jobs.job";
  p.Hauptmenu.JobPath = missingDir;
  EXPECT_FALSE(SaveSettings(p));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "No such file or directory.\r\n" + missingDir);

  // Creating the initial file fails: the lists are not read and SuppressSave is cleared.
  BackupList().Lines = {"/keep/"};
  EXPECT_FALSE(LoadListFrom(p, missingDir));
  EXPECT_EQ(BackupList().Lines, (Lines{"/keep/"}));
  EXPECT_FALSE(p.Hauptmenu.SuppressSave);
  EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(JobFileErrors, FailedSaveListKeepsOldFileAndJobPath) {
  WriteFile(jobPath, "[Backup_files]\nPath0=/old/\n");
  BackupList().Lines = {"/new/"};
  EXPECT_FALSE(SaveListTo(p, dir / "gone/weekly.job"));
  EXPECT_EQ(p.Hauptmenu.JobPath, jobPath);
  EXPECT_EQ(ReadFile(jobPath), "[Backup_files]\nPath0=/old/\n");
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(JobFileErrors, LineBreakInEntryIsRefusedInsteadOfSplittingTheFile) {
  WriteFile(jobPath, "[Backup_files]\nPath0=/old/\n");
  BackupList().Lines = {"/odd\nname/"};
  EXPECT_FALSE(SaveListTo(p, jobPath));
  EXPECT_EQ(ReadFile(jobPath), "[Backup_files]\nPath0=/old/\n");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("/odd\nname/"), std::string::npos);
}

TEST_F(JobFileErrors, UnreadableFileIsReportedAndNotOverwritten) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  WriteFile(jobPath, "[Backup_files]\nPath0=/old/\n");
  std::filesystem::permissions(jobPath, std::filesystem::perms::none);
  BackupList().Lines = {"/keep/"};
  EXPECT_FALSE(LoadListFrom(p, jobPath));
  EXPECT_FALSE(SaveSettings(p));
  EXPECT_EQ(BackupList().Lines, (Lines{"/keep/"}));
  EXPECT_EQ(ui.messages.size(), 2u);
  std::filesystem::permissions(jobPath, std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadFile(jobPath), "[Backup_files]\nPath0=/old/\n");
}

}  // namespace
}  // namespace vantrel
