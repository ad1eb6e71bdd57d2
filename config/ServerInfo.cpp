#include "config/ServerInfo.h"

#include "common/TextScan.h"

namespace ornivel {

ServerInfo ServerInfo::fromLine(const std::wstring& line) {
    constexpr size_t npos = std::wstring::npos;
    ServerInfo info;
    size_t p1 = line.find(L'|');
    info.host_ = line.substr(0, p1);
    size_t afterP1 = p1 == npos ? 0 : p1 + 1;
    size_t p2 = line.find(L'|', afterP1);
    info.port_ = clampedLeadingInt(line, afterP1, Spaces::Wide);
    size_t afterP2 = p2 == npos ? 0 : p2 + 1;
    size_t p3 = line.find(L'|', afterP2);
    if (p3 == npos) {
        info.extra_ = -1;
        info.caption_ = line.substr(afterP2);
    } else {
        info.extra_ = clampedLeadingInt(line, p3 + 1, Spaces::Wide);
        info.caption_ = line.substr(afterP2, p3 - afterP2);
    }
    return info;
}

} // namespace ornivel
