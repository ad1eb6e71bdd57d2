#pragma once
// The nginx configuration fragment of a deployment: included in a server block (HTTP, HTTPS
// or both), it serves the deployment's files and answers the version check from the answer
// files. It names only folders and a URL path, so publishing again needs no reload. Plain text
// logic.
#include <string>

namespace ornivel::publish {

// The URL path under which the fragment serves the deployment: "/" followed by components
// of letters, digits, "-", "_", "." and "~", without a closing "/" ("/" itself gives "").
// False with the reason when the text is none.
bool normaliseUrlPath(const std::string& text, std::string& urlPath, std::string& problem);

// Whether a folder path can stand in the fragment (nginx would read "$" as a variable).
bool fitsNginx(const std::string& folder, std::string& problem);

// The fragment for the deployment folder (absolute, "/" between components). With `report`
// it also answers the installations' run reports at <urlPath>/check/report with 204 and logs
// them to "reports.log" in the deployment folder, in nginx's combined format.
std::string nginxFragment(const std::string& deploymentFolder, const std::string& urlPath, bool report = false);

} // namespace ornivel::publish
