// Everything the engine asks of a person or of the window. The Qt window, the command line and
// the tests each implement it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

enum class MessageIcon { kInformation, kWarning, kError };

// Where a running job stands, for a front end's progress display.
struct JobProgress {
  int64_t files = 0;
  int64_t megabytes = 0;
  double megabytesPerSecond = 0;
  std::string currentFile;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // A modal message box with a caption and an icon.
  virtual void MessageBox(const std::string& caption, const std::string& text,
                          MessageIcon icon) = 0;
  // A modal prompt that waits for the person (insert a tape, ...): true for OK, false when the
  // person gives up.
  virtual bool AskOkCancel(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
  // An input dialog; nothing on Cancel.
  virtual std::optional<std::string> InputQuery(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& value) = 0;
  // File dialogs; `filter` is "Description|*.ext|...". Nothing on Cancel.
  virtual std::optional<std::string> OpenFileDialog(const std::string& fileName,
                                                    const std::string& filter) = 0;
  virtual std::vector<std::string> OpenFilesDialog(const std::string& filter) = 0;
  virtual std::optional<std::string> SaveFileDialog(const std::string& fileName,
                                                    const std::string& filter) = 0;

  virtual void SetStatusLine(const std::string& text) = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  // A line was appended to the protocol (file, protocol box and mail text).
  virtual void ProtocolLineAppended(const std::string& line) = 0;
  // Counters and displays changed; a front end may redraw progress.
  virtual void ProgressChanged(const JobProgress&) {}

  // Dispatches waiting events; `count` as PumpMessages counts. Returns true when the person asked
  // to cancel the running job meanwhile (the command line's Ctrl-C); a window's own Cancel Job
  // buttons call the engine instead.
  virtual bool PumpMessages(int count) = 0;
};

}  // namespace vantrel
