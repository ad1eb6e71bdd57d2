#pragma once
// The answers of the version check for one publication: "OK" for the published client
// checksum, the server list for any other, kept as static files named after the request so
// that any web server can answer with them. Plain text logic.
#include <string>
#include <vector>

namespace ornivel::publish {

// One deployment server of the answer, from "TYPE|HOST|PATH|PORT[|LABEL]".
struct ServerEntry {
    std::string type;  // http, https, inet or net, lower case
    std::string host;
    std::string path;  // URL path ("/..." without a closing "/") or, for net, the UNC path
    std::string port;  // decimal
    std::string label;
};

// False with the reason when the text is not a server the launcher can use.
bool parseServerEntry(const std::string& text, ServerEntry& server, std::string& problem);

// The server list: six fields per server, then the labels when any server has one (servers
// without a label before a labelled one get the name the launcher shows for them anyway).
// False when a label cannot be written.
bool serverListAnswer(const std::vector<ServerEntry>& servers, std::string& answer, std::string& problem);

// The answer for the published checksum.
extern const char* const kCurrentAnswer;
// The names of the answer files: one per published checksum, and the one for every other.
std::string currentAnswerName(const std::string& checksum);
extern const char* const kServerListAnswerName;
// Whether a file name is the answer of some published checksum.
bool isCurrentAnswerName(const std::string& name);

} // namespace ornivel::publish
