#include "cli/terminal_user_interface.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <istream>
#include <ostream>

namespace vantrel::cli {
namespace {

constexpr char kClearLine[] = "\r\x1b[K";

// The lines of a text: CR LF and LF break it, no CR is kept.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    lines.push_back(line);
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

// A message without the line break that system texts end with.
std::string TrimLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

void TerminalUserInterface::ClearStatus() {
  if (!statusShown_) return;
  *s_.err << kClearLine << std::flush;
  statusShown_ = false;
}

void TerminalUserInterface::Finish() {
  if (!statusShown_) return;
  *s_.err << '\n' << std::flush;
  statusShown_ = false;
}

void TerminalUserInterface::ShowMessage(const std::string& text) {
  ClearStatus();
  for (const std::string& line : Lines(TrimLineEnd(text))) *s_.err << line << '\n';
  s_.err->flush();
}

void TerminalUserInterface::MessageBox(const std::string& caption, const std::string& text,
                                       MessageIcon) {
  ShowMessage(caption.empty() ? text : caption + ": " + text);
}

void TerminalUserInterface::SetStatusLine(const std::string& text) {
  if (s_.errIsTerminal) {
    // The first line only: the status line is one line of the terminal.
    *s_.err << kClearLine << Lines(text).front() << std::flush;
    statusShown_ = !text.empty();
  } else if (!text.empty() && text != lastStatus_) {
    for (const std::string& line : Lines(text)) *s_.err << line << '\n';
    s_.err->flush();
  }
  lastStatus_ = text;
}

void TerminalUserInterface::ProgressChanged(const JobProgress& progress) {
  if (!s_.errIsTerminal) return;
  char speed[32];
  std::snprintf(speed, sizeof speed, "%.2f", progress.megabytesPerSecond);
  *s_.err << kClearLine << progress.files << " files, " << progress.megabytes << " MB, " << speed
          << " MB/s  " << progress.currentFile << std::flush;
  statusShown_ = true;
}

void TerminalUserInterface::ProtocolLineAppended(const std::string& line) {
  ClearStatus();
  for (const std::string& part : Lines(line)) *s_.out << part << '\n';
  s_.out->flush();
}

bool TerminalUserInterface::PumpMessages(int) { return s_.cancelRequested && s_.cancelRequested(); }

std::optional<std::string> TerminalUserInterface::Ask(const std::string& question) {
  ClearStatus();
  if (!s_.answers) return std::nullopt;
  Questions() << question << std::flush;
  std::string answer;
  if (!std::getline(*s_.answers, answer)) {
    Questions() << '\n' << std::flush;
    return std::nullopt;
  }
  answer.erase(std::remove(answer.begin(), answer.end(), '\r'), answer.end());
  return answer;
}

bool TerminalUserInterface::Confirm(const std::string& text, const std::string& choices,
                                    std::optional<bool> onEmpty) {
  if (s_.assumeYes) {
    repeatedAnswers_ = text == lastQuestion_ ? repeatedAnswers_ + 1 : 1;
    lastQuestion_ = text;
    bool yes = repeatedAnswers_ <= kMaxRepeatedAnswers;
    ShowMessage(text + (yes ? " -> yes (--yes)" : " -> cancelled: asked too often"));
    return yes;
  }
  while (true) {
    std::optional<std::string> answer = Ask(TrimLineEnd(text) + " [" + choices + "] ");
    if (!answer) return false;
    std::string word = Lower(*answer);
    if (word.empty() && onEmpty) return *onEmpty;
    if (word == "y" || word == "yes" || word == "ok" || word == "o") return true;
    if (word == "n" || word == "no" || word == "c" || word == "cancel") return false;
  }
}

bool TerminalUserInterface::AskOkCancel(const std::string& text) {
  return Confirm(text, "OK/cancel", true);
}

bool TerminalUserInterface::AskYesNo(const std::string& text) {
  return Confirm(text, "y/n", std::nullopt);
}

std::optional<std::string> TerminalUserInterface::InputQuery(const std::string& caption,
                                                             const std::string& prompt,
                                                             const std::string& value) {
  if (s_.assumeYes) return value;
  std::string offered = value.empty() ? "" : " [" + value + "]";
  std::optional<std::string> answer = Ask(caption + " - " + prompt + offered + " ");
  if (answer && answer->empty()) return value;
  return answer;
}

std::optional<std::string> TerminalUserInterface::AskFileName(const std::string& question,
                                                              const std::string& fileName) {
  if (s_.assumeYes) {
    if (fileName.empty()) return std::nullopt;
    return fileName;
  }
  std::optional<std::string> answer =
      Ask(question + (fileName.empty() ? "" : " [" + fileName + "]") + ": ");
  if (!answer) return std::nullopt;
  if (answer->empty()) {
    if (fileName.empty()) return std::nullopt;
    return fileName;
  }
  return answer;
}

std::optional<std::string> TerminalUserInterface::OpenFileDialog(const std::string& fileName,
                                                                 const std::string&) {
  return AskFileName("File to open", fileName);
}

std::optional<std::string> TerminalUserInterface::SaveFileDialog(const std::string& fileName,
                                                                 const std::string&) {
  return AskFileName("File to save", fileName);
}

std::vector<std::string> TerminalUserInterface::OpenFilesDialog(const std::string&) {
  std::vector<std::string> files;
  if (s_.assumeYes) return files;
  while (std::optional<std::string> answer = Ask("File to add (empty line: done): ")) {
    if (answer->empty()) break;
    files.push_back(*answer);
  }
  return files;
}

}  // namespace vantrel::cli
