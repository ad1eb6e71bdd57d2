#pragma once
// The command line of ornivel-publish. Plain text logic.
#include <string>
#include <vector>

#include "VersionAnswers.h"

namespace ornivel::publish {

struct PublishOptions {
    std::string clientFolder;      // as given (UTF-8)
    std::string deploymentFolder;  // as given (UTF-8)
    std::vector<ServerEntry> servers;
    std::string urlPath = "/ornivel";
    bool copy = false;  // copies instead of hard links
    bool help = false;
    std::string keyFile;    // the secret key that signs the list (--key), or empty
    int validDays = 0;      // --valid-days N: the signed list expires N days after publication; 0: never
    bool keygen = false;    // "keygen KEY_FOLDER": make a key pair instead of publishing
    std::string keyFolder;  // as given (UTF-8)
    bool report = false;    // --report: installations report each run (list mark, nginx location)
    int keep = 3;           // --keep N: older versions kept per file, each with a patch to the newest; 0: none
    bool fleet = false;     // "fleet LOG...": the installations' reports instead of publishing
    std::vector<std::string> logFiles;  // as given (UTF-8); "-" is the standard input
    bool csv = false;                   // --csv: CSV instead of a table
    int sinceDays = 0;                  // --since DAYS: only reports of the last DAYS days; 0: all
};

extern const char* const kUsage;

// False with the reason when the arguments (without the program name) are not a command.
bool parsePublishOptions(const std::vector<std::string>& arguments, PublishOptions& options, std::string& problem);

} // namespace ornivel::publish
