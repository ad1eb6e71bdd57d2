// "system/config/server.ini": every line that is not blank gives one login server; host and
// caption never hold the separator, and a server written back as host|port|caption|extra
// reads as the same server.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "config/ConfigFiles.h"
#include "config/ServerInfo.h"

using namespace ornivel;
using namespace ornivel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<ServerInfo> servers;
    size_t blankLines = 0;
    const std::vector<std::string> lines = textLines(bytesOf(data, size));
    for (const std::string& line : lines) {
        if (isBlankLine(line)) {
            ++blankLines;
            continue;
        }
        const std::wstring wide = widenBytes(line);
        const ServerInfo server = ServerInfo::fromLine(wide);
        FUZZ_CHECK(server.host() == wide.substr(0, wide.find(L'|')));
        FUZZ_CHECK(server.caption().find(L'|') == std::wstring::npos);
        const ServerInfo again = ServerInfo::fromLine(server.host() + L"|" + std::to_wstring(server.port()) + L"|" +
                                                      server.caption() + L"|" + std::to_wstring(server.extra()));
        FUZZ_CHECK(again.host() == server.host() && again.port() == server.port());
        FUZZ_CHECK(again.caption() == server.caption() && again.extra() == server.extra());
        servers.push_back(server);
    }
    FUZZ_CHECK(servers.size() + blankLines == lines.size());
    return 0;
}
