#include "sync/UpdateResult.h"

#include <cinttypes>
#include <cstdio>

#include "remote/UrlEncode.h"

namespace ornivel {

namespace {

// Days since 1970 of a civil date and back (proleptic Gregorian calendar).
int64_t daysOfDate(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void dateOfDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

} // namespace

std::string isoUtcText(uint64_t seconds) {
    int64_t year = 0;
    unsigned month = 0, day = 0;
    dateOfDays(static_cast<int64_t>(seconds / 86400), year, month, day);
    const unsigned inDay = static_cast<unsigned>(seconds % 86400);
    char text[40];
    std::snprintf(text, sizeof text, "%04" PRId64 "-%02u-%02uT%02u:%02u:%02uZ", year, month, day, inDay / 3600,
                  inDay / 60 % 60, inDay % 60);
    return text;
}

bool parseIsoUtcText(const std::string& text, uint64_t& seconds) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u%c%n", &year, &month, &day, &hour, &minute, &second,
                    &zone, &consumed) != 7 ||
        zone != 'Z' || static_cast<size_t>(consumed) != text.size())
        return false;
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return false;
    seconds = static_cast<uint64_t>(daysOfDate(year, month, day)) * 86400u + hour * 3600u + minute * 60u + second;
    return true;
}

std::string fleetReportTarget(const FleetReportFields& fields) {
    const auto number = [](uint64_t value) { return std::to_string(value); };
    return "report?id=" + urlEncode(fields.id) + "&host=" + urlEncode(fields.host) +
           "&result=" + number(fields.result) + "&checksum=" + urlEncode(fields.checksum) +
           "&serial=" + urlEncode(fields.serial) + "&files=" + number(fields.files) + "&bytes=" + number(fields.bytes) +
           "&seconds=" + number(fields.seconds) + "&mode=" + (fields.updateOnly ? "updateonly" : "start");
}

} // namespace ornivel
