#pragma once
// The changed files of a publication: linked or copied into the deployment and hashed on the
// way, several at a time.
#include <string>
#include <vector>

#include "FileSystem.h"
#include "Publisher.h"

namespace ornivel::publish {

struct ClientFile {
    std::string path;  // "/" between components
    FileStamp stamp;
    std::vector<std::wstring> parts;
    std::string checksum;  // MD5
    std::string sha256;
};

// A changed file, hashed on its way into the deployment.
struct Job {
    enum Kind {
        Hash,     // its place holds the same file already (a hard link that saw the change)
        Place,    // nothing at its place yet: linked straight there
        Replace,  // linked or copied aside first, moved over what is in its place afterwards
    };
    size_t file = 0;
    Kind kind = Replace;
    Path staged;
    bool linked = false;
    std::string error;
};

// Runs the jobs (each one's file is files[job.file], whose checksums it sets); false when one
// failed, with its error in the job.
bool runJobs(const Path& client, const Path& deploy, std::vector<ClientFile>& files, std::vector<Job>& jobs, bool copy,
             const ProgressCallback& progress);

} // namespace ornivel::publish
