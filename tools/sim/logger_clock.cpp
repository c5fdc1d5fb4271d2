#include "sim/logger_clock.h"

namespace halv::sim {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kDaysTo2000 = 10957;  // 1970-01-01 to 2000-01-01

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

}  // namespace

LoggerDate DateOfSeconds(int64_t seconds) {
  int64_t days = seconds / kSecondsPerDay;
  int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  LoggerDate d;
  CivilFromDays(days + kDaysTo2000, &d.year, &d.month, &d.day);
  d.hour = static_cast<int>(rest / 3600);
  d.minute = static_cast<int>(rest / 60 % 60);
  d.second = static_cast<int>(rest % 60);
  return d;
}

int64_t SecondsOfDate(const LoggerDate& d) {
  const int64_t days = DaysFromCivil(d.year, d.month, d.day) - kDaysTo2000;
  return days * kSecondsPerDay + d.hour * 3600 + d.minute * 60 + d.second;
}

bool ValidDay(int year, int month, int day) {
  if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1) return false;
  const int next_year = month == 12 ? year + 1 : year;
  const int next_month = month == 12 ? 1 : month + 1;
  const int64_t length = DaysFromCivil(next_year, next_month, 1) - DaysFromCivil(year, month, 1);
  return day <= length;
}

}  // namespace halv::sim
