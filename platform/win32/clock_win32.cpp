#include <windows.h>

#include "platform/clock.h"

namespace corv {

LocalTime LocalTimeNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LocalTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.millisecond = st.wMilliseconds;
    return t;
}

}  // namespace corv

namespace corv {

int64_t SystemSecondsSince1970() {
    // The C library's 64-bit time is missing from older system runtimes; the file time is not.
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    int64_t hundredNs = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (hundredNs - 116444736000000000LL) / 10000000LL;
}

}  // namespace corv
