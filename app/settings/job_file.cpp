#include "app/settings/job_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "app/core/control_locks.h"
#include "platform/ini_file.h"
#include "platform/system_error.h"

namespace vantrel {
namespace {

// Where Windows has "c:\database", the second drive, and "c:\temp" with and without the separator.
const std::array<const char*, 2> kInitialBackupList = {"/database/", "/mnt/d/"};
const char* const kInitialRestorePath = "/tmp/";
const char* const kRestorePathReadDefault = "/tmp";

const char* const kBackupFilesSection = "Backup_files";
const char* const kExcludedFilesSection = "Excluded_files";
const char* const kNoValue = "no Value";
const char* const kJobFileFilter = "Job Files (*.job)|*.job";
const char* const kAddFilesFilter = "Textdateien (*.txt)|*.txt|Alle Dateien (*.*)|*.*";
const char* const kDiskEntryPrefix = "harddisk";
const int kRestoreOptionCount = 3;  // items of RadioGroup1
const int kMaxProxyPort = 65535;
const std::array<const char*, 7> kDayKeys = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                             "Friday", "Saturday", "Sunday"};

using Handler = void (*)(Program&);
using Target = std::variant<SpinEdit*, CheckBox*, Edit*, RadioGroup*>;

// One option key of the job file and the control that shows it.
struct OptionKey {
  const char* section;
  const char* key;
  Target control;
  std::string readDefault;             // used when the key is missing or does not convert
  std::optional<std::string> initial;  // value in a new job file; nothing: not written
  Handler onChange = nullptr;          // what a user change of the control runs
  bool numericText = false;            // a text that must hold a whole number
};

// All option keys in the order in which they are read and written.
std::vector<OptionKey> OptionKeys(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  BackupPageControls& b = w.backupPage;
  OptionsPageControls& o = w.optionsPage;
  EmailPageControls& e = w.emailPage;
  std::vector<OptionKey> keys = {
      {"Backup_Time", "Hour", &b.SpinEdit1, "21", std::to_string(b.SpinEdit1.Value),
       SpinEdit1Change},
      {"Backup_Time", "Minute", &b.SpinEdit2, "30", std::to_string(b.SpinEdit2.Value),
       SpinEdit1Change},
  };
  for (size_t day = 0; day < kDayKeys.size(); ++day) {
    keys.push_back({"Backup_Day", kDayKeys[day], &p.Backup_days.CheckBoxes[day], "1", "1"});
  }
  std::vector<OptionKey> rest = {
      {"Options", "Short Protocoll", &o.CheckBox1, "1", "1", SpinEdit1Change},
      {"Options", "Append", &o.CheckBox2, "0", "0", SpinEdit1Change},
      {"Options", "Autostart Backup", &b.CheckBox3, "0", "0", SpinEdit1Change},
      {"Options", "Begin Backup at start", &o.CheckBox9, "0", "0", SpinEdit1Change},
      {"Options", "Verify after Backup", &o.CheckBox5, "0", "0", SpinEdit1Change},
      {"Options", "Eject Tape after Backup", &o.CheckBox6, "0", "0", SpinEdit1Change},
      {"Options", "Send Protocoll Email after Backup", &o.CheckBox8, "0", "0", CheckBox8Click},
      {"Options", "Exit Vantrel Backup", &o.CheckBox7, "0", "0", SpinEdit1Change},
      {"Options", "Backup over more Tapes", &o.CheckBox12, "0", "0", SpinEdit1Change},
      {"Options", "Do before Backup", &o.Edit4, "", ""},
      {"Options", "Do before Backup Wait Time", &o.Edit5, "0", "0"},
      {"Options", "Do after Backup", &o.Edit6, "", ""},
      {"Options", "Do after Backup Wait Time", &o.Edit7, "0", "0"},
      {"Compressions", "Softcompression", &o.CheckBox4, "1", "1", CheckBox4Click},
      {"Compressions", "Faktor", &o.SpinEdit3, "9", "9", SpinEdit3Change},
      {"Proxy Settings", "Proxy Server IP", &o.Edit3, "", ""},
      {"Proxy Settings", "Proxy Port", &o.Edit2, "0", "0", nullptr, true},
      {"Update", "Automaticly", &o.CheckBox10, "1", "1", CheckBox10Click},
      {"Restore Settings", "Restore Path", &w.restorePage.Edit1, kRestorePathReadDefault,
       kInitialRestorePath, SpinEdit1Change},
      {"Restore Settings", "Restore Options", &w.restorePage.RadioGroup1, "0", std::nullopt,
       SpinEdit1Change},
      {"Email Settings", "From", &e.efrom, "", ""},
      {"Email Settings", "To", &e.eTo, "", ""},
      {"Email Settings", "Subject", &e.eSubject, "Vantrel Backup Report", "Vantrel Backup Report"},
      {"Email Settings", "Host", &e.eHost, "", ""},
      {"Email Settings", "UserId", &e.eUserid, "", ""},
      {"Email Settings", "Password", &e.ePassword, "", ""},
      {"Email Settings", "Port", &e.ePort, "", std::nullopt},
  };
  keys.insert(keys.end(), rest.begin(), rest.end());
  return keys;
}

// --- Reading -------------------------------------------------------------------------------

// The value of a key that holds a whole number; missing or not converting: the read default.
int64_t ReadInt(const IniFile& ini, const OptionKey& k) {
  return ini.GetInt(k.section, k.key, std::stoll(k.readDefault));
}

// Decimal digits with an optional sign, as the job file's integers are read.
std::optional<int64_t> ParseWholeNumber(const std::string& text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  int64_t value = 0;
  auto [end, error] = std::from_chars(first, last, value);
  if (first == last || error != std::errc() || end != last) return std::nullopt;
  return value;
}

// The port of Edit2's text: 0 when empty, nothing when it is no port number.
std::optional<int> ProxyPort(const std::string& text) {
  if (text.empty()) return 0;
  std::optional<int64_t> port = ParseWholeNumber(text);
  if (!port || *port < 0 || *port > kMaxProxyPort) return std::nullopt;
  return static_cast<int>(*port);
}

// Puts the key's value into its control; true when the control changed.
bool ReadOption(const IniFile& ini, const OptionKey& k) {
  return std::visit(
      [&](auto* control) {
        using T = std::remove_pointer_t<decltype(control)>;
        if constexpr (std::is_same_v<T, SpinEdit>) {
          int value = static_cast<int>(
              std::clamp<int64_t>(ReadInt(ini, k), control->MinValue, control->MaxValue));
          return std::exchange(control->Value, value) != value;
        } else if constexpr (std::is_same_v<T, CheckBox>) {
          bool value = ReadInt(ini, k) != 0;
          return std::exchange(control->Checked, value) != value;
        } else if constexpr (std::is_same_v<T, RadioGroup>) {
          int64_t read = ReadInt(ini, k);
          int value = read >= 0 && read < kRestoreOptionCount ? static_cast<int>(read)
                                                              : std::stoi(k.readDefault);
          return std::exchange(control->ItemIndex, value) != value;
        } else {
          std::string value = ini.GetString(k.section, k.key, k.readDefault);
          if (k.numericText && !value.empty() && !ParseWholeNumber(value)) value = k.readDefault;
          return std::exchange(control->Text, value) != value;
        }
      },
      k.control);
}

void ReadOptions(Program& p, const IniFile& ini) {
  for (const OptionKey& k : OptionKeys(p)) {
    if (ReadOption(ini, k) && k.onChange != nullptr) k.onChange(p);
  }
}

void ReadList(const IniFile& ini, const char* section, Memo& list) {
  for (int i = 0;; ++i) {
    std::string line = ini.GetString(section, "Path" + std::to_string(i), kNoValue);
    if (line == kNoValue) break;
    list.Lines.push_back(line);
  }
}

// A whole-disk entry first in the list. "harddisk" is a keyword, not a file name, so its letter
// case does not count even where file names keep theirs.
bool StartsWithDiskEntry(const std::vector<std::string>& lines) {
  if (lines.empty() || lines.front().size() < 8) return false;
  std::string prefix = lines.front().substr(0, 8);
  for (char& c : prefix) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return prefix == kDiskEntryPrefix;
}

// --- Writing -------------------------------------------------------------------------------

std::string OptionText(const OptionKey& k) {
  return std::visit(
      [](auto* control) -> std::string {
        using T = std::remove_pointer_t<decltype(control)>;
        if constexpr (std::is_same_v<T, SpinEdit>) return std::to_string(control->Value);
        if constexpr (std::is_same_v<T, CheckBox>) return control->Checked ? "1" : "0";
        if constexpr (std::is_same_v<T, RadioGroup>) return std::to_string(control->ItemIndex);
        if constexpr (std::is_same_v<T, Edit>) return control->Text;
      },
      k.control);
}

// Collects keys for one write; remembers a value that a line of the file cannot hold.
class JobFileWriter {
 public:
  explicit JobFileWriter(IniFile ini) : ini_(std::move(ini)) {}

  void Set(const std::string& section, const std::string& key, const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos && !badValue_) badValue_ = value;
    ini_.Set(section, key, value);
  }
  void SetOptions(Program& p) {
    for (const OptionKey& k : OptionKeys(p)) Set(k.section, k.key, OptionText(k));
  }
  void SetList(const char* section, const Memo& list) {
    for (size_t i = 0; i < list.Lines.size(); ++i) {
      Set(section, "Path" + std::to_string(i), list.Lines[i]);
    }
  }
  // Writes the file in one piece; reports a failure and returns false.
  bool Save(Program& p, const std::string& path) const;

 private:
  IniFile ini_;
  std::optional<std::string> badValue_;
};

void ReportFileError(Program& p, const std::string& path, int error) {
  p.ui.MessageBox("Error", SystemMessageText(SystemError::Posix(error)) + path,
                  MessageIcon::kError);
}

bool JobFileWriter::Save(Program& p, const std::string& path) const {
  if (badValue_) {
    p.ui.MessageBox("Error",
                    "A job file cannot hold a line break. Nothing was written to " + path +
                        ":\r\n" + *badValue_,
                    MessageIcon::kError);
    return false;
  }
  int error = path.empty() ? ENOENT : ini_.Save(path);
  if (error != 0) {
    ReportFileError(p, path, error);
    return false;
  }
  return true;
}

// The errno that reading `path` fails with.
int ReadError(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  close(fd);
  return EIO;
}

bool JobFileExists(const std::string& path) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// The options of a new job file, after its two default backup list entries.
IniFile InitialJobFile(Program& p) {
  IniFile ini;
  for (size_t i = 0; i < kInitialBackupList.size(); ++i) {
    ini.Set(kBackupFilesSection, "Path" + std::to_string(i), kInitialBackupList[i]);
  }
  for (const OptionKey& k : OptionKeys(p)) {
    if (k.initial) ini.Set(k.section, k.key, *k.initial);
  }
  return ini;
}

// The opened job file, or the initial one just written; nothing when neither worked.
std::optional<IniFile> OpenOrCreate(Program& p) {
  const std::string& path = p.Hauptmenu.JobPath;
  if (!JobFileExists(path)) {
    IniFile initial = InitialJobFile(p);
    int error = path.empty() ? ENOENT : initial.Save(path);
    if (error != 0) {
      ReportFileError(p, path, error);
      return std::nullopt;
    }
    return initial;
  }
  std::optional<IniFile> ini = IniFile::Load(path);
  if (!ini) {
    ReportFileError(p, path, ReadError(path));
    return std::nullopt;
  }
  ReadOptions(p, *ini);
  return ini;
}

void SetLabel1(Program& p) {
  BackupPageControls& b = p.Hauptmenu.backupPage;
  b.Label1.Caption = std::to_string(b.SpinEdit1.Value) + ":" + std::to_string(b.SpinEdit2.Value);
}

void SetOptionsFrom(Program& p, const std::string& path) {
  p.Hauptmenu.optionsPage.Label19.Caption = "Options from : " + path;
}

void AddFiles(Program& p, Memo& list) {
  std::vector<std::string> files = p.ui.OpenFilesDialog(kAddFilesFilter);
  if (files.empty()) return;
  NormalizeList(list);
  list.Lines.insert(list.Lines.end(), files.begin(), files.end());
}

}  // namespace

bool LoadJobFile(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  std::optional<IniFile> ini = OpenOrCreate(p);
  if (!ini) return false;
  Memo& backupList = w.backupPage.Memo5;
  Memo& excludeList = w.backupPage.Memo1;
  backupList.Lines.clear();
  excludeList.Lines.clear();
  ReadList(*ini, kBackupFilesSection, backupList);
  ReadList(*ini, kExcludedFilesSection, excludeList);
  NormalizeList(excludeList);
  NormalizeList(backupList);
  SetOptionsFrom(p, w.JobPath);
  SetLabel1(p);
  w.emailPage.TabSheet8.Visible = w.optionsPage.CheckBox8.Checked;
  if (StartsWithDiskEntry(backupList.Lines)) LockListControls(p);
  return true;
}

bool SaveSettings(Program& p) {
  if (p.Hauptmenu.SuppressSave) return true;
  const std::string& path = p.Hauptmenu.JobPath;
  std::optional<IniFile> ini = IniFile::Load(path);
  if (!ini) {
    // Writing now would replace the lists and everything else in the file with the options.
    ReportFileError(p, path, ReadError(path));
    return false;
  }
  JobFileWriter writer(std::move(*ini));
  writer.SetOptions(p);
  return writer.Save(p, path);
}

bool LoadListFrom(Program& p, const std::string& path) {
  THauptmenu& w = p.Hauptmenu;
  UnlockListControls(p);
  w.JobPath = path;
  w.SuppressSave = true;
  bool loaded = LoadJobFile(p);
  w.SuppressSave = false;
  return loaded;
}

bool SaveListTo(Program& p, const std::string& path) {
  THauptmenu& w = p.Hauptmenu;
  NormalizeList(w.backupPage.Memo1);
  NormalizeList(w.backupPage.Memo5);
  // A fresh document replaces the old file in one step, so a failed write leaves it intact.
  JobFileWriter writer{IniFile()};
  writer.SetList(kBackupFilesSection, w.backupPage.Memo5);
  writer.SetList(kExcludedFilesSection, w.backupPage.Memo1);
  if (!w.SuppressSave) writer.SetOptions(p);
  if (!writer.Save(p, path)) return false;
  w.JobPath = path;
  SetOptionsFrom(p, path);
  return true;
}

ProxySettings CurrentProxy(const Program& p) {
  const OptionsPageControls& o = p.Hauptmenu.optionsPage;
  ProxySettings proxy;
  proxy.server = o.Edit3.Text;
  proxy.port = ProxyPort(o.Edit2.Text).value_or(0);
  return proxy;
}

void SpinEdit1Change(Program& p) {
  SaveSettings(p);
  SetLabel1(p);
}

void SpinEdit3Change(Program& p) {
  SpinEdit1Change(p);
  p.Hauptmenu.ZipMaster1.AddCompLevel = p.Hauptmenu.optionsPage.SpinEdit3.Value;
}

void CheckBox4Click(Program& p) {
  SpinEdit1Change(p);
  OptionsPageControls& o = p.Hauptmenu.optionsPage;
  o.GroupBox1.Visible = o.CheckBox4.Checked;
}

void CheckBox10Click(Program& p) { SaveSettings(p); }

void efromKeyUp(Program& p) { SaveSettings(p); }

void Edit2KeyUp(Program& p) {
  SaveSettings(p);
  if (!ProxyPort(p.Hauptmenu.optionsPage.Edit2.Text)) {
    p.ui.SetStatusLine("Proxy Port must be a whole number from 0 to 65535; 0 is used.");
  }
}

// Saves at once, like every other option; the "Email" tab itself follows the job file only when
// one is loaded, as the check box lies on that tab.
void CheckBox8Click(Program& p) { SaveSettings(p); }

void BitBtn10Click(Program& p) {
  p.Hauptmenu.ActivePageIndex = kBackupPage;
  std::optional<std::string> path = p.ui.OpenFileDialog(p.Hauptmenu.JobPath, kJobFileFilter);
  if (!path) return;
  LoadListFrom(p, *path);
}

void BitBtn11Click(Program& p) {
  p.Hauptmenu.ActivePageIndex = kBackupPage;
  std::optional<std::string> path = p.ui.SaveFileDialog(p.Hauptmenu.JobPath, kJobFileFilter);
  if (!path) return;
  SaveListTo(p, *path);
}

void BitBtn7Click(Program& p) {
  p.Hauptmenu.ActivePageIndex = kBackupPage;
  AddFiles(p, p.Hauptmenu.backupPage.Memo5);
}

void BitBtn15Click(Program& p) { AddFiles(p, p.Hauptmenu.backupPage.Memo1); }

void BitBtn2Click(Program& p) {
  p.Hauptmenu.ActivePageIndex = kBackupPage;
  UnlockListControls(p);
  p.Hauptmenu.backupPage.Memo5.Lines.clear();
}

void BitBtn16Click(Program& p) { p.Hauptmenu.backupPage.Memo1.Lines.clear(); }

}  // namespace vantrel
