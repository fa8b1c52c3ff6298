#include <sys/time.h>

#include <ctime>

#include "platform/clock.h"

namespace corv {

LocalTime LocalTimeNow() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    time_t secs = tv.tv_sec;
    struct tm tm;
    localtime_r(&secs, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(tv.tv_usec / 1000);
    return t;
}

}  // namespace corv

namespace corv {

int64_t SystemSecondsSince1970() {
    return static_cast<int64_t>(time(nullptr));
}

}  // namespace corv
