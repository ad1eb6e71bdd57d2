#include "VersionAnswers.h"

#include "common/TextScan.h"

namespace ornivel::publish {

const char* const kCurrentAnswer = "OK\r\n";
const char* const kServerListAnswerName = "servers";

namespace {

const char* const kAnswerPrefix = "clientChecksum=";

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        fields.push_back(text.substr(start, at - start));
    fields.push_back(text.substr(start));
    return fields;
}

bool isDecimal(const std::string& text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The launcher reads the answer through the Windows ANSI code page: only ASCII reads alike
// everywhere.
bool printableAscii(const std::string& text) {
    for (char c : text)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

std::string displayedName(const ServerEntry& server) { return server.type == "net" ? server.path : server.host; }

} // namespace

bool parseServerEntry(const std::string& text, ServerEntry& server, std::string& problem) {
    const std::vector<std::string> fields = split(text, '|');
    if (fields.size() < 4 || fields.size() > 5) {
        problem = "a server is written TYPE|HOST|PATH|PORT or TYPE|HOST|PATH|PORT|LABEL";
        return false;
    }
    if (!printableAscii(text)) {
        problem = "a server takes printable ASCII characters only (the launcher reads the answer in the ANSI code page)";
        return false;
    }
    ServerEntry entry;
    entry.type = lowerAscii(fields[0]);
    entry.host = fields[1];
    entry.path = fields[2];
    entry.port = fields[3];
    entry.label = fields.size() == 5 ? fields[4] : "";
    if (entry.label.find('~') != std::string::npos) {
        problem = "a label cannot hold \"~\"";
        return false;
    }
    if (entry.type == "net") {
        if (entry.path.rfind("\\\\", 0) != 0) {
            problem = "a net server's PATH is the UNC path of its share (\\\\host\\share\\...)";
            return false;
        }
        if (entry.port.empty()) entry.port = "0";
        if (!isDecimal(entry.port)) {
            problem = "PORT is a decimal number";
            return false;
        }
    } else if (entry.type == "http" || entry.type == "https" || entry.type == "inet") {
        if (entry.host.empty() || entry.host.find_first_of(" /") != std::string::npos) {
            problem = "HOST is the server's host name";
            return false;
        }
        if (!entry.path.empty() && entry.path[0] != '/') {
            problem = "PATH is the URL path of the deployment's files, starting with \"/\"";
            return false;
        }
        while (!entry.path.empty() && entry.path.back() == '/') entry.path.pop_back();
        if (!isDecimal(entry.port) || std::stoi(entry.port) < 1 || std::stoi(entry.port) > 65535) {
            problem = "PORT is a port number from 1 to 65535";
            return false;
        }
    } else {
        problem = "TYPE is http, https, inet or net";
        return false;
    }
    server = entry;
    return true;
}

bool serverListAnswer(const std::vector<ServerEntry>& servers, std::string& answer, std::string& problem) {
    std::string text;
    size_t labelled = 0;  // servers up to the last one with a label
    for (size_t i = 0; i < servers.size(); ++i) {
        const ServerEntry& s = servers[i];
        text += s.type + "|" + s.host + "|" + s.path + "|" + s.port + "|||";
        if (!s.label.empty()) labelled = i + 1;
    }
    if (labelled > 0) {
        // The launcher skips empty labels, so every server before a labelled one needs its own.
        std::string labels;
        for (size_t i = 0; i < labelled; ++i) {
            const std::string label = servers[i].label.empty() ? displayedName(servers[i]) : servers[i].label;
            if (label.empty() || label.find('~') != std::string::npos) {
                problem = "server " + std::to_string(i + 1) + " needs a label, as a later server has one";
                return false;
            }
            labels += (i ? "~" : "") + label;
        }
        text += labels + "|";
    }
    answer = text + "\r\n";
    return true;
}

std::string currentAnswerName(const std::string& checksum) { return kAnswerPrefix + checksum; }

bool isCurrentAnswerName(const std::string& name) { return name.rfind(kAnswerPrefix, 0) == 0; }

} // namespace ornivel::publish
