#pragma once
// Dates as the configuration database stores them: days since 30 December 1899 as the integer part and the
// local time of day as the fraction (an OLE Automation date). Before that day the fraction counts forward from
// the start of the day, with the sign of the whole value.

#include <optional>

struct DateParts {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The parts of a date, the time rounded to the millisecond first; nothing for NaN, infinities and dates outside the
// years 1 to 9999 (a damaged file).
std::optional<DateParts> DecodeOleDate(double date);
double EncodeOleDate(const DateParts &parts);
// The local date and time now.
double OleDateNow();
