#include "sync/UpdateResult.h"

#include <cinttypes>
#include <cstdio>

#include "remote/UrlEncode.h"
#include "filelist/ListWriter.h"

namespace ornivel {

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
    seconds = static_cast<uint64_t>(daysOfCivilDate(year, month, day)) * 86400u + hour * 3600u + minute * 60u + second;
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
