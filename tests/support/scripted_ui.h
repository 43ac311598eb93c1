// A UserInterface for tests: answers prompts from queues and records everything shown.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/user_interface.h"

namespace vantrel::testing {

class ScriptedUserInterface : public UserInterface {
 public:
  // Answers in order; when a queue is empty: OK/Yes, and the input dialog keeps its value.
  std::deque<bool> okCancelAnswers;
  std::deque<bool> yesNoAnswers;
  std::deque<std::optional<std::string>> inputAnswers;
  std::deque<std::optional<std::string>> fileAnswers;
  std::deque<std::vector<std::string>> filesAnswers;
  // Runs before a prompt is answered (e.g. to change the cartridge in the drive).
  std::function<void(const std::string& prompt)> onPrompt;
  // Called from PumpMessages; return true to ask for a cancel.
  std::function<bool()> onPump;

  std::vector<std::string> messages;     // ShowMessage and MessageBox texts
  std::vector<std::string> prompts;      // AskOkCancel, AskYesNo and InputQuery texts
  std::vector<std::string> statusLines;
  std::vector<std::string> protocol;
  std::string caption;

  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void MessageBox(const std::string& caption, const std::string& text, MessageIcon) override {
    messages.push_back(text);
  }
  bool AskOkCancel(const std::string& text) override { return Answer(okCancelAnswers, text); }
  bool AskYesNo(const std::string& text) override { return Answer(yesNoAnswers, text); }
  std::optional<std::string> InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& value) override {
    Prompted(prompt);
    if (inputAnswers.empty()) return value;
    auto answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> OpenFileDialog(const std::string&, const std::string&) override {
    return NextFile();
  }
  std::vector<std::string> OpenFilesDialog(const std::string&) override {
    if (filesAnswers.empty()) return {};
    auto answer = filesAnswers.front();
    filesAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> SaveFileDialog(const std::string&, const std::string&) override {
    return NextFile();
  }
  void SetStatusLine(const std::string& text) override { statusLines.push_back(text); }
  void SetCaption(const std::string& text) override { caption = text; }
  void SetBusyCursor(bool) override {}
  void ProtocolLineAppended(const std::string& line) override { protocol.push_back(line); }
  bool PumpMessages(int) override { return onPump ? onPump() : false; }

  bool HasMessage(const std::string& text) const {
    for (const auto& m : messages)
      if (m == text) return true;
    return false;
  }
  bool HasProtocolLine(const std::string& text) const {
    for (const auto& l : protocol)
      if (l == text) return true;
    return false;
  }
  std::string LastStatus() const { return statusLines.empty() ? "" : statusLines.back(); }

 private:
  void Prompted(const std::string& text) {
    prompts.push_back(text);
    if (onPrompt) onPrompt(text);
  }
  bool Answer(std::deque<bool>& queue, const std::string& text) {
    Prompted(text);
    if (queue.empty()) return true;
    bool answer = queue.front();
    queue.pop_front();
    return answer;
  }
  std::optional<std::string> NextFile() {
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
  }
};

}  // namespace vantrel::testing
