// The protocol: one file in the program directory that only grows, its mirror in the protocol
// box, the current job's copy in the mail text, and the error report every tape and file
// operation uses. Also the busy cursor and message pumping that keep the window alive.
#pragma once

#include <string>

#include "app/core/program.h"

namespace vantrel {

// A line of 89 "-".
const std::string& ProtocolSeparator();

// Appends one entry to the protocol file (opened and closed for the line), the protocol box and
// the mail text. Throws std::system_error when the file cannot be written.
void AppendProtocolLine(Program& p, const std::string& text);
// Appends several entries in order.
void AppendProtocolLines(Program& p, std::initializer_list<std::string> lines);

// Sets AbortFlag and writes the system's text of `p.LastError` to the protocol; shows it in an
// "Error" box unless the e-mail report runs the program unattended.
void ReportLastError(Program& p);
// Records `error` as the last error, then ReportLastError.
void ReportError(Program& p, const SystemError& error);

bool BeginBusyCursor(Program& p);
void EndBusyCursor(Program& p, bool saved);

void PumpMessages(Program& p, int count);
void DrainMessages(Program& p);

// "Load Protocoll" and "Clear Protocoll".
void BitBtn18Click(Program& p);
void BitBtn19Click(Program& p);

// Sets the status line.
void ShowStatus(Program& p, const std::string& text);

}  // namespace vantrel
