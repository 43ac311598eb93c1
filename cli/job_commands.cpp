#include "cli/job_commands.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "app/backup/backup_job.h"
#include "app/core/control_locks.h"
#include "app/format/catalog.h"
#include "app/format/tape_description.h"
#include "app/restore/catalog_browser.h"
#include "app/restore/restore.h"
#include "app/settings/job_file.h"
#include "app/restore/verify.h"
#include "app/tape/tape_access.h"
#include "cli/exit_status.h"

namespace vantrel::cli {
namespace {

namespace fs = std::filesystem;

// A directory as the lists and the restore path hold it: absolute, ending with "/".
std::string DirectoryEntry(const std::string& path) {
  std::string entry = fs::absolute(path).lexically_normal().string();
  if (entry.back() != '/') entry += '/';
  return entry;
}

std::optional<int> OverwriteRule(const std::string& word) {
  if (word == "ask") return kAskBeforeOverwrite;
  if (word == "never") return kOverwriteNever;
  if (word == "ever" || word == "always") return kOverwriteEver;
  return std::nullopt;
}

// Runs a loader; a file error ends the load with an empty listing, as the catalog browser does.
void LoadListing(CommandContext& context, Program& p, bool fast) {
  THauptmenu& w = p.Hauptmenu;
  try {
    fast ? LoadCatalogFast(p) : LoadCatalogSequential(p);
  } catch (const std::system_error& e) {
    w.FileList_path.Lines.clear();
    w.FileList_date.Lines.clear();
    context.err << "vantrel-cli: " << e.what() << '\n';
  }
}

}  // namespace

int CatalogCommand(CommandContext& context, const CommandArguments& arguments) {
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  THauptmenu& w = p->Hauptmenu;
  bool fast = !arguments.Has("--sequential");
  GetTapeDescription1Click(*p);
  p->AbortFlag = false;
  LockJobControls(*p);
  SetTapeParameters1Click(*p);
  LoadListing(context, *p, fast);
  UnlockJobControls(*p);
  unlink(w.CatalogPath.c_str());
  unlink(w.ScratchZipPath.c_str());
  const std::vector<std::string>& paths = w.FileList_path.Lines;
  const std::vector<std::string>& dates = w.FileList_date.Lines;
  if (arguments.Has("--tree")) {
    for (const std::string& item : BrowseList(paths)) context.out << item << '\n';
  } else {
    for (size_t i = 0; i < paths.size(); ++i) {
      context.out << paths[i] << '\t' << (i < dates.size() ? dates[i] : "") << '\n';
    }
  }
  if (paths.empty()) {
    return Fail(context, fast ? "no catalog could be read from the tape in the drive; "
                                "'catalog --sequential' reads every file record instead"
                              : "no file record could be read from the tape set in the drive");
  }
  return kExitOk;
}

int BackupCommand(CommandContext& context, const CommandArguments& arguments) {
  std::vector<std::string> list;
  for (const std::string& path : arguments.operands) {
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return Fail(context, "backup: " + path + " does not exist");
    list.push_back(fs::is_directory(status) ? DirectoryEntry(path)
                                            : fs::absolute(path).lexically_normal().string());
  }
  std::string jobFile;
  if (arguments.Has("--job")) {
    jobFile = fs::absolute(arguments.options.at("--job")).string();
    if (!fs::is_regular_file(jobFile)) return Fail(context, "backup: no job file " + jobFile);
  }
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  if (!jobFile.empty() && !LoadListFrom(*p, jobFile)) return kExitFailed;
  // Given paths stand in for the job file's list in this run only; the job file is kept.
  if (!list.empty()) p->Hauptmenu.backupPage.Memo5.Lines = list;
  // An appending backup needs to know the set in the drive, as after the window's start.
  GetTapeDescription1Click(*p);
  BitBtn1Click(*p);
  return kExitOk;
}

int RestoreCommand(CommandContext& context, const CommandArguments& arguments) {
  std::optional<int> rule;
  if (arguments.Has("--overwrite")) {
    rule = OverwriteRule(arguments.options.at("--overwrite"));
    if (!rule) return UsageError(context.err, "restore: --overwrite takes ask, never or ever");
  }
  if (arguments.Has("--to") && arguments.Has("--to-recorded")) {
    return UsageError(context.err, "restore: --to and --to-recorded exclude each other");
  }
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  RestorePageControls& page = p->Hauptmenu.restorePage;
  if (rule) page.RadioGroup1.ItemIndex = *rule;
  if (arguments.Has("--to")) page.Edit1.Text = DirectoryEntry(arguments.options.at("--to"));
  if (arguments.Has("--to-recorded")) page.Edit1.Text.clear();
  page.Memo3.Lines = arguments.operands;
  NormalizeList(page.Memo3);
  GetTapeDescription1Click(*p);
  Button1Click(*p);
  return kExitOk;
}

int VerifyCommand(CommandContext& context, const CommandArguments& arguments) {
  Program* p = context.StartProgram();
  if (!p) return kExitFailed;
  if (arguments.Has("--root")) p->VerifyRoot = DirectoryEntry(arguments.options.at("--root"));
  VerifyCounts counts = BitBtn23Click(*p);
  if (context.ui.Shown("Disk Data could not verifyed!")) return kExitFailed;
  return counts.defect > 0 ? kExitFailed : kExitOk;
}

}  // namespace vantrel::cli
