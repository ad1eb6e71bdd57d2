#include "PublishOptions.h"

#include "NginxFragment.h"

namespace ornivel::publish {

const char* const kUsage =
    "Usage: ornivel-publish CLIENT_FOLDER DEPLOYMENT_FOLDER [--server TYPE|HOST|PATH|PORT[|LABEL]]...\n"
    "                       [--url-path PATH] [--copy] [--key SIGNING_KEY]\n"
    "       ornivel-publish keygen KEY_FOLDER\n"
    "\n"
    "Makes or updates the deployment in DEPLOYMENT_FOLDER from the complete client in\n"
    "CLIENT_FOLDER, for the ornivel launcher to bring installations up to date from:\n"
    "  deploy/              the client's files (hard links where possible, copies otherwise)\n"
    "                       and their list \"TarnFileList.xml\"\n"
    "  check/               the version-check answers: \"OK\" for the client checksum the\n"
    "                       updated installations report, the server list for any other\n"
    "  nginx.conf           an nginx fragment serving both (include it in a server block)\n"
    "Publishing again copies and hashes only changed files and puts the new list in place\n"
    "only after every file it names.\n"
    "\n"
    "Options:\n"
    "  --server TYPE|HOST|PATH|PORT[|LABEL]\n"
    "        a deployment server of the answer, in the order the launcher tries them; TYPE is\n"
    "        http, https, inet or net (PATH: the URL path of deploy/, or the UNC path of a\n"
    "        share). Without --server the servers of the last publication stay.\n"
    "  --url-path PATH\n"
    "        the URL path under which nginx.conf serves the deployment (default /ornivel):\n"
    "        the version check at PATH/check, the files at PATH/deploy\n"
    "  --copy\n"
    "        copies the files instead of hard-linking them to the client folder\n"
    "  --key SIGNING_KEY\n"
    "        signs the list with the secret key \"ornivel-signing.key\" made by keygen: writes\n"
    "        deploy/TarnFileList.xml.sig and gives the list a serial that grows with every\n"
    "        publication. Installations that hold the matching \"ornivel-Key.txt\" take only\n"
    "        lists signed so, and never an older one than they took before.\n"
    "  --help\n"
    "        shows this text\n"
    "\n"
    "keygen KEY_FOLDER makes a new key pair in KEY_FOLDER: the secret key \"ornivel-signing.key\"\n"
    "(readable by its owner only; keep it off the servers) and the public key\n"
    "\"ornivel-Key.txt\" (put it into every installation folder, next to \"ornivel-Server.dat\").\n"
    "Existing key files are never replaced. (A client folder named keygen: ./keygen.)\n"
    "\n"
    "Exit status: 0 when the deployment is published, 1 when it is not, 2 for a wrong command.\n";

bool parsePublishOptions(const std::vector<std::string>& arguments, PublishOptions& options, std::string& problem) {
    PublishOptions result;
    if (!arguments.empty() && arguments[0] == "keygen") {
        result.keygen = true;
        if (arguments.size() == 2 && (arguments[1] == "--help" || arguments[1] == "-h")) {
            result.help = true;
        } else if (arguments.size() == 2 && !arguments[1].empty()) {
            result.keyFolder = arguments[1];
        } else {
            problem = "keygen takes one argument: the folder for the key files";
            return false;
        }
        options = result;
        return true;
    }
    std::vector<std::string> folders;
    bool optionsEnded = false;  // after "--" every argument is a folder
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "--") {
            if (optionsEnded) folders.push_back(argument);
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::string value;
        bool hasValue = false;
        if (argument.rfind("--", 0) == 0 && argument.find('=') != std::string::npos) {
            name = argument.substr(0, argument.find('='));
            value = argument.substr(argument.find('=') + 1);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            result.help = true;
        } else if (name == "--copy") {
            result.copy = true;
        } else if (name == "--server" || name == "--url-path" || name == "--key") {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    problem = name + " needs a value";
                    return false;
                }
                value = arguments[++i];
            }
            if (name == "--server") {
                ServerEntry server;
                if (!parseServerEntry(value, server, problem)) {
                    problem = "--server " + value + ": " + problem;
                    return false;
                }
                result.servers.push_back(server);
            } else if (name == "--key") {
                if (value.empty()) {
                    problem = "--key needs the path of the signing key";
                    return false;
                }
                result.keyFile = value;
            } else if (!normaliseUrlPath(value, result.urlPath, problem)) {
                problem = "--url-path " + value + ": " + problem;
                return false;
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            problem = "unknown option " + argument;
            return false;
        } else {
            folders.push_back(argument);
        }
    }
    if (result.help) {
        options = result;
        return true;
    }
    if (folders.size() != 2) {
        problem = "give the client folder and the deployment folder";
        return false;
    }
    result.clientFolder = folders[0];
    result.deploymentFolder = folders[1];
    options = result;
    return true;
}

} // namespace ornivel::publish
