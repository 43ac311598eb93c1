// Forwards everything to the user interface in use and remembers what the engine showed, so that
// a command can tell its outcome from the engine's own texts ("No Tape Drive!", the last status).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "app/core/user_interface.h"

namespace vantrel::cli {

class RecordingUserInterface : public UserInterface {
 public:
  explicit RecordingUserInterface(UserInterface& target) : target_(target) {}

  bool Shown(const std::string& message) const {
    return std::find(messages_.begin(), messages_.end(), message) != messages_.end();
  }
  const std::string& LastStatus() const { return lastStatus_; }
  bool CancelRequested() const { return cancelRequested_; }
  // Forgets what was shown so far (start-up messages are not the command's outcome).
  void Forget() { messages_.clear(); }

  void ShowMessage(const std::string& text) override {
    messages_.push_back(text);
    target_.ShowMessage(text);
  }
  void MessageBox(const std::string& caption, const std::string& text, MessageIcon icon) override {
    messages_.push_back(text);
    target_.MessageBox(caption, text, icon);
  }
  bool AskOkCancel(const std::string& text) override { return target_.AskOkCancel(text); }
  bool AskYesNo(const std::string& text) override { return target_.AskYesNo(text); }
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override {
    return target_.InputQuery(caption, prompt, value);
  }
  std::optional<std::string> OpenFileDialog(const std::string& fileName,
                                            const std::string& filter) override {
    return target_.OpenFileDialog(fileName, filter);
  }
  std::vector<std::string> OpenFilesDialog(const std::string& filter) override {
    return target_.OpenFilesDialog(filter);
  }
  std::optional<std::string> SaveFileDialog(const std::string& fileName,
                                            const std::string& filter) override {
    return target_.SaveFileDialog(fileName, filter);
  }
  void SetStatusLine(const std::string& text) override {
    lastStatus_ = text;
    target_.SetStatusLine(text);
  }
  void SetCaption(const std::string& text) override { target_.SetCaption(text); }
  void SetBusyCursor(bool busy) override { target_.SetBusyCursor(busy); }
  void ProtocolLineAppended(const std::string& line) override {
    target_.ProtocolLineAppended(line);
  }
  void ProgressChanged(const JobProgress& progress) override { target_.ProgressChanged(progress); }
  bool PumpMessages(int count) override {
    bool cancel = target_.PumpMessages(count);
    cancelRequested_ = cancelRequested_ || cancel;
    return cancel;
  }

 private:
  UserInterface& target_;
  std::vector<std::string> messages_;
  std::string lastStatus_;
  bool cancelRequested_ = false;
};

}  // namespace vantrel::cli
