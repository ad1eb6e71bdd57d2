#include "Progress.h"

#include <cstdio>

#include "filelist/ListWriter.h"

namespace ornivel::publish {

namespace {

std::string amount(uint64_t bytes, uint64_t scale) {
    if (scale < 1024) return std::to_string(bytes) + " bytes";
    char text[32];
    const char* unit = scale >= (1ULL << 30) ? "GiB" : scale >= (1ULL << 20) ? "MiB" : "KiB";
    const double divisor = scale >= (1ULL << 30) ? 1073741824.0 : scale >= (1ULL << 20) ? 1048576.0 : 1024.0;
    std::snprintf(text, sizeof text, "%.2f %s", static_cast<double>(bytes) / divisor, unit);
    return text;
}

} // namespace

std::string progressLine(size_t filesDone, size_t files, uint64_t bytesDone, uint64_t bytes) {
    std::string from = amount(bytesDone, bytes);
    from = from.substr(0, from.find(' '));
    return "hashing " + std::to_string(filesDone) + " of " + std::to_string(files) + " files, " + from + " of " +
           amount(bytes, bytes);
}

std::string summaryText(const PublishSummary& s, const std::string& urlPath) {
    return "Published " + std::to_string(s.files) + " files (" + amount(s.bytes, s.bytes) + ") in " +
           s.deploymentFolder + "\n"
           "  new or changed: " + std::to_string(s.linked + s.copied + s.rehashed) + " (" + std::to_string(s.linked) +
           " linked, " + std::to_string(s.copied) + " copied, " + std::to_string(s.rehashed) +
           " hashed in place), unchanged: " + std::to_string(s.unchanged) + ", removed: " + std::to_string(s.removed) +
           "\n" +
           (s.patches ? "  patches made: " + std::to_string(s.patches) + " (" + amount(s.patchBytes, s.patchBytes) + ")\n"
                      : std::string()) +
           "  client checksum: " + s.checksum + "\n" +
           (s.serial ? "  signed: TarnFileList.xml.sig, serial " + std::to_string(s.serial) + "\n" : std::string()) +
           (s.expires ? "  expires: " + isoUtcText(static_cast<int64_t>(s.expires)) +
                            " (installations refuse the list afterwards: publish again before then)\n"
                      : std::string()) +
           "  nginx: include " + s.deploymentFolder + "/nginx.conf in a server block; clients' ornivel-Server.dat: "
           "http(s)://HOST" + urlPath + "/check\n" +
           (s.report ? "  reports: logged by nginx to " + s.deploymentFolder +
                           "/reports.log (reload nginx if this is the first publication with --report); read "
                           "them with: ornivel-publish fleet " + s.deploymentFolder + "/reports.log\n"
                     : std::string());
}

} // namespace ornivel::publish
