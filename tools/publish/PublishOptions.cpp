#include "PublishOptions.h"

#include "NginxFragment.h"

namespace ornivel::publish {

const char* const kUsage =
    "Usage: ornivel-publish CLIENT_FOLDER DEPLOYMENT_FOLDER [--server TYPE|HOST|PATH|PORT[|LABEL]]...\n"
    "                       [--url-path PATH] [--copy] [--key SIGNING_KEY [--valid-days N]]\n"
    "                       [--report] [--keep N]\n"
    "       ornivel-publish keygen KEY_FOLDER\n"
    "       ornivel-publish fleet LOG... [--csv] [--since DAYS]\n"
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
    "        publication and the deployment servers. Installations that hold the matching\n"
    "        \"ornivel-Key.txt\" take only lists signed so, never an older one than they took\n"
    "        before, and, once they took one, only servers it names.\n"
    "  --valid-days N\n"
    "        the signed list expires N days (1 to 3650) after this publication: installations\n"
    "        refuse it afterwards, so publish again (unchanged files stay) before then\n"
    "  --report\n"
    "        installations send a report of each run (an id made once per installation, the\n"
    "        computer name, the result, client checksum, serial, files and bytes fetched,\n"
    "        seconds): the list is marked for it, and nginx.conf answers PATH/check/report and\n"
    "        logs the reports to DEPLOYMENT_FOLDER/reports.log (reload nginx when --report is\n"
    "        added or dropped). Publishing without --report ends the reports.\n"
    "  --keep N\n"
    "        keeps the last N older versions of each file (0 to 20, default 3) and serves a\n"
    "        binary patch from each to the newest: installations holding one of them fetch\n"
    "        the patch instead of the file. Files below 64 KiB, files that with their older\n"
    "        version exceed 256 MiB and patches larger than 3/4 of their file are left out;\n"
    "        the older versions and patches of a file go with it. --keep 0 serves no patches.\n"
    "  --help\n"
    "        shows this text\n"
    "\n"
    "keygen KEY_FOLDER makes a new key pair in KEY_FOLDER: the secret key \"ornivel-signing.key\"\n"
    "(readable by its owner only; keep it off the servers) and the public key\n"
    "\"ornivel-Key.txt\" (put it into every installation folder, next to \"ornivel-Server.dat\").\n"
    "Existing key files are never replaced. (A client folder named keygen or fleet: ./keygen,\n"
    "./fleet.)\n"
    "\n"
    "fleet LOG... reads the reports in web server logs (nginx's combined format, such as\n"
    "reports.log; \"-\" reads the standard input) and shows one row per installation: its id,\n"
    "computer, the last report's time (UTC), result, client checksum and serial, the runs\n"
    "reported, and the failed runs since its last run that ended well. --csv writes CSV,\n"
    "--since DAYS only the reports of the last DAYS days. Lines that are no report are\n"
    "counted on the error stream.\n"
    "\n"
    "Exit status: 0 when the deployment is published (the logs read), 1 when it is not (a log\n"
    "cannot be read), 2 for a wrong command.\n";

namespace {

bool parseFleetOptions(const std::vector<std::string>& arguments, PublishOptions& result, std::string& problem) {
    bool optionsEnded = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded) {
            result.logFiles.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            result.help = true;
        } else if (argument == "--csv") {
            result.csv = true;
        } else if (argument == "--since" || argument.rfind("--since=", 0) == 0) {
            std::string value;
            if (argument != "--since") {
                value = argument.substr(8);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
            int days = value.empty() ? -1 : 0;
            for (char c : value) {
                if (c < '0' || c > '9' || days > 100000) {
                    days = -1;
                    break;
                }
                days = days * 10 + (c - '0');
            }
            if (days < 1 || days > 100000) {
                problem = "--since needs a number of days (1 to 100000)";
                return false;
            }
            result.sinceDays = days;
        } else if (argument.size() > 1 && argument[0] == '-') {
            problem = "unknown option " + argument;
            return false;
        } else {
            result.logFiles.push_back(argument);
        }
    }
    if (!result.help && result.logFiles.empty()) {
        problem = "fleet needs at least one log file";
        return false;
    }
    return true;
}

} // namespace

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
    if (!arguments.empty() && arguments[0] == "fleet") {
        result.fleet = true;
        if (!parseFleetOptions(arguments, result, problem)) return false;
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
        } else if (name == "--report") {
            result.report = true;
        } else if (name == "--server" || name == "--url-path" || name == "--key" || name == "--valid-days" ||
                   name == "--keep") {
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
            } else if (name == "--valid-days") {
                int days = value.empty() || value.size() > 5 ? -1 : 0;
                for (char c : value) days = days >= 0 && c >= '0' && c <= '9' ? days * 10 + (c - '0') : -1;
                if (days < 1 || days > 3650) {
                    problem = "--valid-days needs a number of days (1 to 3650)";
                    return false;
                }
                result.validDays = days;
            } else if (name == "--keep") {
                int keep = value.empty() || value.size() > 2 ? -1 : 0;
                for (char c : value) keep = keep >= 0 && c >= '0' && c <= '9' ? keep * 10 + (c - '0') : -1;
                if (keep < 0 || keep > 20) {
                    problem = "--keep needs a number of older versions (0 to 20)";
                    return false;
                }
                result.keep = keep;
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
    if (result.validDays != 0 && result.keyFile.empty()) {
        problem = "--valid-days needs --key: only a signed list can expire";
        return false;
    }
    result.clientFolder = folders[0];
    result.deploymentFolder = folders[1];
    options = result;
    return true;
}

} // namespace ornivel::publish
