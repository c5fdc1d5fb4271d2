// The logger's calendar: its clock counts seconds since 1 January 2000 (its
// own local time) and shows them as a date and a time of day.
#pragma once

#include <cstdint>

namespace halv::sim {

struct LoggerDate {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

LoggerDate DateOfSeconds(int64_t seconds_since_2000);
int64_t SecondsOfDate(const LoggerDate& date);
// A calendar day the logger takes (years 2000 to 2099).
bool ValidDay(int year, int month, int day);

}  // namespace halv::sim
