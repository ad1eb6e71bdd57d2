#include "NginxFragment.h"

namespace ornivel::publish {

namespace {

bool urlCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '~';
}

std::string regexEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '.') out += '\\';
        out += c;
    }
    return out;
}

} // namespace

bool normaliseUrlPath(const std::string& text, std::string& urlPath, std::string& problem) {
    problem = "the URL path starts with \"/\" and has components of letters, digits, \"-\", \"_\", \".\" and \"~\"";
    if (text.empty() || text[0] != '/') return false;
    std::string path;
    size_t start = 1;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        const std::string part = text.substr(start, end - start);
        start = end + 1;
        if (part.empty()) {
            if (end == text.size()) break;  // a closing "/"
            return false;
        }
        if (part == "." || part == "..") return false;
        for (char c : part)
            if (!urlCharacter(c)) return false;
        path += "/" + part;
    }
    urlPath = path;
    problem.clear();
    return true;
}

bool fitsNginx(const std::string& folder, std::string& problem) {
    for (char c : folder) {
        if (c == '$' || c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) {
            problem = "the deployment folder's path holds a character nginx.conf cannot carry (\"$\", '\"', \"\\\" or a "
                      "control character): " + folder;
            return false;
        }
    }
    return true;
}

std::string nginxFragment(const std::string& deploymentFolder, const std::string& urlPath, bool report) {
    const std::string& d = deploymentFolder;
    const std::string& u = urlPath;
    // nginx's master process opens the log when it starts or reloads, so the workers' user
    // need not write the deployment folder. An exact location is matched before the version
    // check's prefix location, wherever it stands.
    const std::string reports =
        !report ? std::string()
                : "\n"
                  "# Reports of the installations' runs (published with --report): answered 204 and logged to\n"
                  "# reports.log; \"ornivel-publish fleet " + d + "/reports.log\" shows them. Reload nginx\n"
                  "# after a publication that adds or drops --report.\n"
                  "location = " + u + "/check/report {\n"
                  "    access_log \"" + d + "/reports.log\" combined;\n"
                  "    add_header Cache-Control \"no-store\" always;\n"
                  "    return 204;\n"
                  "}\n";
    return "# The ornivel deployment in " + d + ", written by ornivel-publish.\n"
           "# Include this file in a server block that listens for HTTP, HTTPS or both:\n"
           "#\n"
           "#     server {\n"
           "#         listen 80;\n"
           "#         listen 443 ssl;\n"
           "#         ssl_certificate     /etc/ssl/certs/deploy.example.com.pem;\n"
           "#         ssl_certificate_key /etc/ssl/private/deploy.example.com.key;\n"
           "#         include " + d + "/nginx.conf;\n"
           "#     }\n"
           "#\n"
           "# \"ornivel-Server.dat\" of the clients names the version check: http(s)://HOST" + u + "/check\n"
           "# The deployment servers of the version-check answer have the path " + u + "/deploy\n"
           "# Publishing again changes only files below the deployment folder: no reload is needed.\n"
           "\n"
           "# The version check: \"OK\" for the published client checksum, the server list for any other.\n"
           "location " + u + "/check/ {\n"
           "    root \"" + d + "/check\";\n"
           "    default_type text/plain;\n"
           "    add_header Cache-Control \"no-cache\" always;\n"
           "    location ~ \"^" + regexEscaped(u) + "/check/clientChecksum=([0-9a-f]{32})$\" {\n"
           "        try_files /clientChecksum=$1 /servers =404;\n"
           "    }\n"
           "    try_files /servers =404;\n"
           "}\n"
           "\n"
           "# The client's files and their list \"TarnFileList.xml\".\n"
           "location " + u + "/deploy/ {\n"
           "    alias \"" + d + "/deploy/\";\n"
           "    default_type application/octet-stream;\n"
           "    add_header Cache-Control \"no-cache\" always;\n"
           "}\n" +
           reports;
}

} // namespace ornivel::publish
