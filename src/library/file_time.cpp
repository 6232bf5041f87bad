#include "library/file_time.h"

#include <cstdio>

namespace velmora {

bool modifiedWithin(FileTime modified, std::chrono::seconds period, std::chrono::sys_seconds now) {
    return modified.seconds > now - period;
}

std::string utcText(FileTime time) {
    constexpr std::int64_t kSecondsPerDay = 86400;
    const std::int64_t seconds = time.seconds.time_since_epoch().count();
    // Rounded down: a time before 1970 lies in a day that began before it.
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t ofDay = seconds % kSecondsPerDay;
    if (ofDay < 0) {
        ofDay += kSecondsPerDay;
        --days;
    }
    // Days since 1970-01-01 to a date of the proleptic Gregorian calendar, by 400-year eras
    // counted from 0000-03-01, in 64 bits so that no year overflows (the C library's
    // calendar holds the year in an int, std::chrono's in a short).
    const std::int64_t shifted = days + 719468;
    const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const std::int64_t dayOfEra = shifted - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const std::int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    const bool plain = year >= 0 && year <= 9999;
    char text[64];
    std::snprintf(text, sizeof text,
                  plain ? "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ"
                        : "%+07lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(year), static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(ofDay / 3600), static_cast<long long>(ofDay / 60 % 60),
                  static_cast<long long>(ofDay % 60));
    return text;
}

} // namespace velmora
