// The main window as a toolkit-free model: its controls, grouped by the page that shows them,
// and the window's shared fields.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/core/controls.h"
#include "app/format/records.h"

namespace vantrel {

enum PageIndex { kBackupPage = 0, kRestorePage = 1, kVerifyPage = 2, kProtocolPage = 3,
                 kEmailPage = 4, kOptionsPage = 5 };

// "Backup" page with its inner pages "Backup List" and "Exclude".
struct BackupPageControls {
  Memo Memo5;   // "List of what to Backup"
  Memo Memo1;   // "List of what not to Backup"
  Button BitBtn1;   // "Start Backup"
  Button BitBtn2;   // "Clear List"
  Button BitBtn3;   // "Drive / Dir"
  Button BitBtn7;   // "Files"
  Button BitBtn22;  // "Disk"
  Button BitBtn10;  // "Load List"
  Button BitBtn11;  // "Save List"
  Button BitBtn4, BitBtn5, BitBtn6, BitBtn15, BitBtn16;  // Exclude tab buttons
  Button BitBtn8;   // "Cancel Job"
  LedDisplay LEDDisplay1;  // "Megabyte Backuped"
  LedDisplay LEDDisplay2;  // "Megabyte Stored to Tape"
  LedDisplay LEDDisplay5;  // "Backuped Files"
  LedDisplay LEDDisplay8;  // "Files not Backuped"
  LedDisplay LEDDisplay9;  // "Current Speed in Megabyte per Second"
  Panel Panel10, Panel1;
  CheckBox CheckBox3{{}, true};  // "Autostart Backup at:"
  SpinEdit SpinEdit1{{}, 21, 0, 23};  // "Autostart: Hour"
  SpinEdit SpinEdit2{{}, 30, 0, 59};  // "Autostart: Minute"
  Button SpeedButton1;  // "Backup Days"
  Label Label1;         // autostart time beside the controls
};

struct RestorePageControls {
  Button BitBtn14;  // "&Load Catalog"
  Button BitBtn13;  // "&Start Restore"
  Button BitBtn12;  // "Change Restore Path"
  Button BitBtn9;   // "Cancel Job"
  RadioGroup RadioGroup1;  // "Restore Options"
  Edit Edit1{{}, "/tmp/"};  // "Restore Path"
  Edit Edit8;                      // target disk of a disk image restore (hidden)
  LedDisplay LEDDisplay10;  // "Megabyte readed from the Tape"
  LedDisplay LEDDisplay6;   // "Restored Megabyte"
  LedDisplay LEDDisplay7;   // "Restored Files"
  ListBox ListBox2;         // browse list
  Memo Memo3;               // "List of what to restore"
  Label Label11{{}, "Restore List"};
};

struct VerifyPageControls {
  Button BitBtn23;  // "Start Verify Tape Data"
  Button BitBtn17;  // "Cancel Job"
  LedDisplay LEDDisplay3;  // "Megabyte readed from the Tape"
  LedDisplay LEDDisplay4;  // files compared
  Memo Memo4;              // "Verifyed Files List"
};

struct ProtocolPageControls {
  Memo Memo2;       // the protocol box
  Button BitBtn18;  // "Load Protocoll"
  Button BitBtn19;  // "Clear Protocoll"
};

struct EmailPageControls {
  Control TabSheet8;
  Edit efrom{{}, "sender@example.com"};
  Edit eTo{{}, "recipient@example.com"};
  Edit eSubject{{}, "Vantrel Backup Report"}, eHost, eUserid, ePassword;
  Edit ePort{{}, "25"};
};

struct OptionsPageControls {
  CheckBox CheckBox1{{}, true};   // "Short Protocoll"
  CheckBox CheckBox2;             // "Incremental/Append"
  CheckBox CheckBox4{{}, true};   // "Softcompression"
  CheckBox CheckBox5;             // "Verify after Backup"
  CheckBox CheckBox6;             // "Eject Tape after Backup"
  CheckBox CheckBox7;             // "Exit Vantrel after Backup"
  CheckBox CheckBox8;             // "Send Protocoll Email  after Backup"
  CheckBox CheckBox9;             // "Begin with  the Backupprocedure direct at Vantrel Start"
  CheckBox CheckBox10;            // "Automaticly check for " newer Versions
  CheckBox CheckBox12;            // "Backup over more Tapes"
  SpinEdit SpinEdit3{{}, 9, 1, 9};  // compression level
  Control GroupBox1;                // "Softcompression Options"
  Edit Edit2{{}, "0"};  // "Proxy Port"
  Edit Edit3;           // "Proxy Server IP"
  Edit Edit4;           // "Do before Backup :"
  Edit Edit5{{}, "0"};  // its wait time
  Edit Edit6;           // "Do after Backup :"
  Edit Edit7{{}, "0"};  // its wait time
  Label Label19;        // "Options from : " + job file
};

// The zip component's settings that the program sets.
struct ZipSettings {
  int AddCompLevel = 9;
  bool ExtrOverWrite = false;
};

// The "Backup every" window: the weekdays of the automatic backup, Monday first.
struct TBackup_days {
  std::array<CheckBox, 7> CheckBoxes{CheckBox{{}, true}, CheckBox{{}, true}, CheckBox{{}, true},
                                     CheckBox{{}, true}, CheckBox{{}, true}, CheckBox{{}, true},
                                     CheckBox{{}, true}};
};

class THauptmenu {
 public:
  std::string Caption = "Vantrel 2010";
  int ActivePageIndex = kBackupPage;

  BackupPageControls backupPage;
  RestorePageControls restorePage;
  VerifyPageControls verifyPage;
  ProtocolPageControls protocolPage;
  EmailPageControls emailPage;
  OptionsPageControls optionsPage;

  // Hidden controls.
  Memo FileList_path;
  Memo FileList_date;
  LookupListBox ListBox1;  // already-on-tape list of an appending backup
  std::vector<std::string> EmailMessageText;
  ZipSettings ZipMaster1;

  // Shared fields.
  bool JobRunning = false;
  bool CatalogLoaded = false;
  bool FileSelectForBackup = true;
  std::string ExeDir;
  std::string WorkDir;
  bool SuppressSave = false;
  int64_t BytesBackedUp = 0;
  int64_t StreamBytes = 0;
  int64_t BytesRestored = 0;
  std::string CatalogPath;
  std::string HeaderPath;
  std::string CatalogFileName = "vantrel catalog.dat";
  std::string HeaderFileName = "header.tap";
  std::string ScratchZipPath;
  double JobStartTime = 0;  // time of day
  std::string JobPath;
  std::string LogPath;
  TapeDescription tapeDescription;
  bool DescriptionValid = false;
};

}  // namespace vantrel
