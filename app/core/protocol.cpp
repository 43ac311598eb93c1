#include "app/core/protocol.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/date_time.h"

namespace vantrel {
namespace {

// Memo lines of one entry: a text with line breaks shows as several lines.
std::vector<std::string> MemoLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

void AppendToFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) throw std::system_error(errno, std::generic_category(), path);
  std::string line = text + "\r\n";
  bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  int err = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) throw std::system_error(err, std::generic_category(), path);
}

}  // namespace

const std::string& ProtocolSeparator() {
  static const std::string separator(89, '-');
  return separator;
}

void AppendProtocolLine(Program& p, const std::string& text) {
  THauptmenu& w = p.Hauptmenu;
  AppendToFile(w.LogPath, text);
  for (const std::string& line : MemoLines(text)) {
    w.protocolPage.Memo2.Lines.push_back(line);
    w.EmailMessageText.push_back(line);
  }
  p.ui.ProtocolLineAppended(text);
  PumpMessages(p, 1);
}

void AppendProtocolLines(Program& p, std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) AppendProtocolLine(p, line);
}

void ReportLastError(Program& p) {
  p.AbortFlag = true;
  std::string text = SystemMessageText(p.LastError);
  AppendProtocolLines(p, {"", ProtocolSeparator(), "",
                          "Error: " + DateTimeToText(NowDateTime()) + " : " + text,
                          ProtocolSeparator()});
  if (!p.Hauptmenu.optionsPage.CheckBox8.Checked) {
    p.ui.MessageBox("Error", text, MessageIcon::kError);
  }
}

void ReportError(Program& p, const SystemError& error) {
  p.LastError = error;
  ReportLastError(p);
}

bool BeginBusyCursor(Program& p) {
  bool saved = p.BusyCursor;
  p.BusyCursor = true;
  p.ui.SetBusyCursor(true);
  PumpMessages(p, 1);
  return saved;
}

void EndBusyCursor(Program& p, bool saved) {
  p.BusyCursor = saved;
  p.ui.SetBusyCursor(saved);
  PumpMessages(p, 1);
}

void PumpMessages(Program& p, int count) {
  if (count <= 0) return;
  if (p.ui.PumpMessages(count)) p.AbortFlag = true;
}

void DrainMessages(Program& p) { PumpMessages(p, 1); }

void ShowStatus(Program& p, const std::string& text) { p.ui.SetStatusLine(text); }

void BitBtn18Click(Program& p) {
  bool saved = BeginBusyCursor(p);
  std::ifstream in(p.Hauptmenu.LogPath, std::ios::binary);
  if (!in) {
    EndBusyCursor(p, saved);
    throw std::system_error(errno, std::generic_category(), p.Hauptmenu.LogPath);
  }
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> lines = MemoLines(text.str());
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  p.Hauptmenu.protocolPage.Memo2.Lines = std::move(lines);
  EndBusyCursor(p, saved);
}

void BitBtn19Click(Program& p) {
  bool saved = BeginBusyCursor(p);
  p.Hauptmenu.protocolPage.Memo2.Lines.clear();
  FILE* f = std::fopen(p.Hauptmenu.LogPath.c_str(), "wb");
  int err = errno;
  if (f == nullptr || std::fclose(f) != 0) {
    EndBusyCursor(p, saved);
    throw std::system_error(err, std::generic_category(), p.Hauptmenu.LogPath);
  }
  EndBusyCursor(p, saved);
}

}  // namespace vantrel
