// The extraction tool that the launcher writes as "unrar.exe" and runs to unpack an archive:
//   unrar.exe x -inul "ARCHIVE" "TARGET\"
// Exit status 0 when everything was extracted (see ArchiveExtraction.h for the others).
#include <windows.h>

#include <cstdio>

#include "ArchiveExtraction.h"
#include "ToolCommandLine.h"

using namespace ornivel::extract;

int main() {
    // No critical-error or fault box ever waits for a user in the middle of an update.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    auto arguments = parseToolCommandLine(GetCommandLineW());
    if (!arguments) {
        std::fputs("usage: x [-inul] ARCHIVE TARGET\\\n", stderr);
        return EXTRACT_USAGE;
    }
    bool quiet = arguments->quiet;
    return extractArchive(arguments->archive, arguments->target, [quiet](const std::wstring& line) {
        if (quiet) return;
        int n = WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string text(n > 0 ? n : 1, '\0');
        WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, text.data(), n, nullptr, nullptr);
        std::fprintf(stderr, "%s\n", text.c_str());
    });
}
