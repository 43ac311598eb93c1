#include "platform/date_time.h"

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstring>

namespace vantrel {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t kDaysFrom1899To1970 = 25569;

double TmToDateTime(const std::tm& tm) {
  int64_t days = DaysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) + kDaysFrom1899To1970;
  double seconds = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec;
  return static_cast<double>(days) + seconds / kSecondsPerDay;
}

// Broken-down local time of a TDateTime, to the nearest millisecond, seconds cut.
std::tm DateTimeToTm(double dateTime) {
  int64_t ms = static_cast<int64_t>(std::llround(dateTime * kSecondsPerDay * 1000.0));
  int64_t msPerDay = 86400000;
  int64_t days = ms >= 0 ? ms / msPerDay : -((-ms + msPerDay - 1) / msPerDay);
  int64_t msOfDay = ms - days * msPerDay;
  std::tm tm{};
  int y, m, d;
  CivilFromDays(days - kDaysFrom1899To1970, y, m, d);
  tm.tm_year = y - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  int64_t secOfDay = msOfDay / 1000;
  tm.tm_hour = static_cast<int>(secOfDay / 3600);
  tm.tm_min = static_cast<int>(secOfDay / 60 % 60);
  tm.tm_sec = static_cast<int>(secOfDay % 60);
  tm.tm_isdst = -1;
  tm.tm_wday = static_cast<int>(((days - kDaysFrom1899To1970) % 7 + 11) % 7);
  return tm;
}

// The C locale in any encoding ("C", "C.UTF-8", "POSIX") has only the 2-digit-year %x.
bool LocaleHasOwnTimeFormat() {
  const char* name = std::setlocale(LC_TIME, nullptr);
  if (name == nullptr) return false;
  return std::strcmp(name, "C") != 0 && std::strncmp(name, "C.", 2) != 0 &&
         std::strcmp(name, "POSIX") != 0;
}

std::string Format(const char* format, const std::tm& tm) {
  char text[128];
  size_t n = std::strftime(text, sizeof text, format, &tm);
  return std::string(text, n);
}

}  // namespace

double TimeToDateTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return TmToDateTime(tm);
}

double NowDateTime() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return TimeToDateTime(t) + static_cast<double>(ms) / 1000.0 / kSecondsPerDay;
}

std::time_t DateTimeToTime(double dateTime) {
  std::tm tm = DateTimeToTm(dateTime);
  return std::mktime(&tm);
}

double FileDateTime(std::time_t mtime) {
  std::tm tm{};
  localtime_r(&mtime, &tm);
  tm.tm_sec -= tm.tm_sec % 2;
  return TmToDateTime(tm);
}

std::string DateTimeToText(double dateTime) {
  std::tm tm = DateTimeToTm(dateTime);
  return Format(LocaleHasOwnTimeFormat() ? "%x %X" : "%Y-%m-%d %H:%M:%S", tm);
}

std::string TimeToText(double dateTime) {
  std::tm tm = DateTimeToTm(dateTime);
  return Format(LocaleHasOwnTimeFormat() ? "%X" : "%H:%M:%S", tm);
}

std::optional<double> TextToDateTime(const std::string& text) {
  for (const char* format : {"%x %X", "%Y-%m-%d %H:%M:%S", "%Y-%m-%d %H:%M", "%Y-%m-%d"}) {
    std::tm tm{};
    const char* end = strptime(text.c_str(), format, &tm);
    if (end == nullptr) continue;
    while (*end == ' ' || *end == '\r' || *end == '\n') ++end;
    if (*end != '\0') continue;
    return TmToDateTime(tm);
  }
  return std::nullopt;
}

}  // namespace vantrel
