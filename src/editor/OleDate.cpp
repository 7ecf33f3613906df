#include "OleDate.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {

using namespace std::chrono;

constexpr int64_t kMsPerDay = 86'400'000;
constexpr sys_days kEpoch = sys_days(year(1899) / December / 30);
// Whole days from the epoch to 1 January of year 1 and to 31 December 9999.
constexpr double kFirstDay = -693'593.0;
constexpr double kLastDay = 2'958'466.0;

} // namespace

std::optional<DateParts> DecodeOleDate(double date)
{
    if (!std::isfinite(date) || date <= kFirstDay - 1 || date >= kLastDay) return std::nullopt;
    const auto ms = int64_t(std::nearbyint(date * double(kMsPerDay)));
    const int64_t days = ms / kMsPerDay;            // towards zero: the fraction is the time of that day
    const int64_t time = std::llabs(ms) % kMsPerDay;
    const year_month_day ymd(kEpoch + std::chrono::days(days));
    if (!ymd.ok() || int(ymd.year()) < 1 || int(ymd.year()) > 9999) return std::nullopt;

    DateParts p;
    p.Year = int(ymd.year());
    p.Month = int(unsigned(ymd.month()));
    p.Day = int(unsigned(ymd.day()));
    p.Hour = int(time / 3'600'000);
    p.Minute = int(time / 60'000 % 60);
    p.Second = int(time / 1000 % 60);
    p.Millisecond = int(time % 1000);
    return p;
}

double EncodeOleDate(const DateParts &p)
{
    const sys_days day = sys_days(year(p.Year) / month(unsigned(p.Month)) / std::chrono::day(unsigned(p.Day)));
    const double days = double((day - kEpoch).count());
    const double time =
        double(((int64_t(p.Hour) * 60 + p.Minute) * 60 + p.Second) * 1000 + p.Millisecond) / double(kMsPerDay);
    return days < 0 ? days - time : days + time;
}

double OleDateNow()
{
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local {};
    localtime_r(&seconds, &local);
    DateParts p;
    p.Year = local.tm_year + 1900;
    p.Month = local.tm_mon + 1;
    p.Day = local.tm_mday;
    p.Hour = local.tm_hour;
    p.Minute = local.tm_min;
    p.Second = local.tm_sec;
    p.Millisecond = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeOleDate(p);
}
