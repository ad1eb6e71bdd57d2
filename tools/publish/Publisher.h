#pragma once
// One publication: from a complete client folder to a deployment folder that web servers
// serve as it stands.
//
//   DEPLOYMENT/deploy/     the client's files and "TarnFileList.xml" (with --key also its
//                          signature "TarnFileList.xml.sig")
//   DEPLOYMENT/check/      the version-check answers ("clientChecksum=<checksum>", "servers")
//   DEPLOYMENT/nginx.conf  the nginx fragment
//   DEPLOYMENT/reports.log the installations' run reports, written by nginx (with --report)
//   DEPLOYMENT/deploy/.ornivel-patches/NEW/OLD
//                          a binary patch from an older version of a file (SHA-256 OLD) to
//                          its newest (SHA-256 NEW), named in the list entry's "patches"
//   DEPLOYMENT/.publish/   the publisher's own: lock, state, staging folder, the older versions
//                          kept for patches (kept/, kept-versions)
//
// Everything is checked before anything is written. Files that changed (by size and time)
// are linked or copied into the staging folder and hashed there, several at a time; then
// each is moved into its place, and only when every listed file is in place does the new
// list replace the old one (a signed list's signature just before it, so a client never finds
// a signed list without its signature). The version-check answers follow, and files no
// longer listed are removed last.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PublishOptions.h"

namespace ornivel::publish {

struct PublishSummary {
    std::string deploymentFolder;  // absolute
    std::string checksum;          // the client checksum of the published installation
    size_t files = 0;
    uint64_t bytes = 0;
    size_t linked = 0;     // put in place as hard links
    size_t copied = 0;     // put in place as copies
    size_t rehashed = 0;   // in place already (a link to the changed file), hashed again
    size_t unchanged = 0;  // neither hashed nor touched
    size_t removed = 0;    // no longer listed
    uint64_t serial = 0;   // the signed list's serial; 0 when the list is not signed
    uint64_t expires = 0;  // when the signed list expires (seconds since 1970); 0: never
    bool report = false;   // installations report their runs (--report)
    size_t patches = 0;       // patches made (from a kept older version to a changed file)
    uint64_t patchBytes = 0;  // their bytes
};

// Called now and then while files are hashed: files and bytes done of those to do.
using ProgressCallback = std::function<void(size_t filesDone, size_t files, uint64_t bytesDone, uint64_t bytes)>;

// False with the problems (each naming its file or folder) when the deployment was not
// published; nothing visible to clients has changed then.
bool publish(const PublishOptions& options, PublishSummary& summary, std::vector<std::string>& problems,
             const ProgressCallback& progress = nullptr);

} // namespace ornivel::publish
