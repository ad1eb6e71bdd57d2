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
    bool keygen = false;    // "keygen KEY_FOLDER": make a key pair instead of publishing
    std::string keyFolder;  // as given (UTF-8)
};

extern const char* const kUsage;

// False with the reason when the arguments (without the program name) are not a command.
bool parsePublishOptions(const std::vector<std::string>& arguments, PublishOptions& options, std::string& problem);

} // namespace ornivel::publish
