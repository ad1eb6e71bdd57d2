#pragma once
// The local date and time of the machine.

namespace ornivel {

struct LocalTime {
    int year;
    int month;  // 1 to 12
    int day;    // 1 to 31
    int hour;
    int minute;
    int second;
};

LocalTime localTimeNow();

} // namespace ornivel
