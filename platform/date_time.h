// TDateTime values (days since 1899-12-30, the fraction is the time of day, local time) and the
// one text form of dates that the program shows, writes into the protocol and compares.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace vantrel {

constexpr double kSecondsPerDay = 86400.0;

double NowDateTime();
// Local time of `t` as a TDateTime.
double TimeToDateTime(std::time_t t);
// The instant of a local TDateTime.
std::time_t DateTimeToTime(double dateTime);
// A file's last-write time as the format keeps it: local time, whole seconds, rounded down to
// an even second.
double FileDateTime(std::time_t mtime);

// The system's short date and long time format of the user's locale. Where the locale gives no
// format of its own (C or POSIX), "YYYY-MM-DD hh:mm:ss".
std::string DateTimeToText(double dateTime);
// The long time format alone, e.g. for elapsed times.
std::string TimeToText(double dateTime);
// Reads what DateTimeToText writes, and the ISO form "YYYY-MM-DD hh:mm:ss" in any locale.
std::optional<double> TextToDateTime(const std::string& text);

}  // namespace vantrel
