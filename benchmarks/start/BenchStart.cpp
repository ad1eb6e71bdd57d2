// An empty program for the start-up figure: prints the wall-clock time at which its entry
// runs (microseconds since 1970, the clock the stand-in runtime stamps its creation with).
#include <windows.h>

#include <cstdio>

int wmain() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::printf("%llu\n", (ticks - 116444736000000000ull) / 10);
    return 0;
}
