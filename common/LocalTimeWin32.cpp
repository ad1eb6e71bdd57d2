#include "common/LocalTime.h"

#include <windows.h>

namespace ornivel {

LocalTime localTimeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace ornivel
