// The job file: an INI file that holds the backup list, the exclude list and every option of the
// main window. Options are written back on every change of an option control; the lists only by
// "Save List". Also the handlers of the list-editing buttons and of the option controls.
#pragma once

#include <string>

#include "app/core/program.h"

namespace vantrel {

// The proxy of the HTTP client used by the update check, taken from the "Proxy Settings".
struct ProxySettings {
  std::string server;  // blank: direct connection
  int port = 0;        // 0 when Edit2 is empty or holds no port number
};

// Reads the job file at JobPath into the controls and both lists; creates the initial job file
// there when there is none. Callers set SuppressSave around the call. Returns false when the file
// could not be read or created (already reported to the person); the lists are then left as they
// were.
bool LoadJobFile(Program& p);

// Writes every option key from the controls to the job file at JobPath, overwriting them in place
// and keeping all other lines of the file. Does nothing while SuppressSave is set. Returns false
// when the file could not be written (already reported); the file then keeps its old contents.
bool SaveSettings(Program& p);

// "Load List" for a known file name: unlocks the list controls, makes `path` the job file and
// loads it (a name that does not exist receives the initial job file).
bool LoadListFrom(Program& p, const std::string& path);

// "Save List" for a known file name: cleans both lists and writes `path` from scratch with the
// lists and all options; keys and sections of an older file there are dropped. On success `path`
// becomes the job file; on failure the old file and JobPath stay as they were.
bool SaveListTo(Program& p, const std::string& path);

// The proxy as the controls hold it now.
ProxySettings CurrentProxy(const Program& p);

// Handlers of the main window's controls.
void SpinEdit1Change(Program& p);  // option check boxes, RadioGroup1, SpinEdit1/2, Edit1
void SpinEdit3Change(Program& p);  // compression level
void CheckBox4Click(Program& p);   // "Softcompression"
void CheckBox10Click(Program& p);  // "Automaticly check for " newer Versions
void efromKeyUp(Program& p);       // e-mail fields, programs to run and their wait times
void Edit2KeyUp(Program& p);       // "Proxy Port", "Proxy Server IP"
void CheckBox8Click(Program& p);   // "Send Protocoll Email  after Backup"
void BitBtn10Click(Program& p);    // "Load List"
void BitBtn11Click(Program& p);    // "Save List"
void BitBtn7Click(Program& p);     // "Files" on the "Backup List" tab
void BitBtn15Click(Program& p);    // "Files" on the "Exclude" tab
void BitBtn2Click(Program& p);     // "Clear List" on the "Backup List" tab
void BitBtn16Click(Program& p);    // "Clear List" on the "Exclude" tab

}  // namespace vantrel
