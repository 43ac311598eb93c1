// The user interface of the command line: protocol lines on standard output, messages and the
// status line on standard error, questions on the terminal (or answered from standard input).
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/core/user_interface.h"

namespace vantrel::cli {

struct TerminalStreams {
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  // On a terminal the status line is rewritten in place; elsewhere each new status is a line.
  bool errIsTerminal = false;
  std::istream* answers = nullptr;  // null: every question is cancelled
  std::ostream* questions = nullptr;
  bool assumeYes = false;  // --yes: Yes/OK and the offered values, without asking
  std::function<bool()> cancelRequested;
};

class TerminalUserInterface : public UserInterface {
 public:
  explicit TerminalUserInterface(TerminalStreams streams) : s_(std::move(streams)) {}
  ~TerminalUserInterface() override { Finish(); }

  void ShowMessage(const std::string& text) override;
  void MessageBox(const std::string& caption, const std::string& text, MessageIcon icon) override;
  bool AskOkCancel(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override;
  std::optional<std::string> OpenFileDialog(const std::string& fileName,
                                            const std::string& filter) override;
  std::vector<std::string> OpenFilesDialog(const std::string& filter) override;
  std::optional<std::string> SaveFileDialog(const std::string& fileName,
                                            const std::string& filter) override;
  void SetStatusLine(const std::string& text) override;
  void SetCaption(const std::string&) override {}
  void SetBusyCursor(bool) override {}
  void ProtocolLineAppended(const std::string& line) override;
  // On a terminal: one line "files, MB, MB/s, current file", rewritten in place.
  void ProgressChanged(const JobProgress& progress) override;
  bool PumpMessages(int count) override;

  // Leaves the last status on its own line of the terminal.
  void Finish();

  // With --yes, a question asked this often in a row is answered Cancel: nobody is there to
  // change the tape it asks for.
  static constexpr int kMaxRepeatedAnswers = 100;

 private:
  // Clears a status line that stands on the terminal before other output.
  void ClearStatus();
  // Asks on the question stream; nothing at the end of the answers.
  std::optional<std::string> Ask(const std::string& question);
  // The answer to a question that --yes answers with `yes`.
  bool Confirm(const std::string& text, const std::string& choices, std::optional<bool> onEmpty);
  std::optional<std::string> AskFileName(const std::string& question, const std::string& fileName);
  std::ostream& Questions() { return s_.questions ? *s_.questions : *s_.err; }

  TerminalStreams s_;
  bool statusShown_ = false;
  std::string lastStatus_;
  std::string lastQuestion_;
  int repeatedAnswers_ = 0;
};

}  // namespace vantrel::cli
