#pragma once
// Which names of a client folder a deployment can carry to Windows installations: the
// launcher's own path check (device names, "..", trailing dots and blanks, characters Windows
// forbids), well-formed UTF-8, no "\" inside a name, and no two names that differ only in
// letter case as Windows compares them. Plain text logic.
#include <string>
#include <vector>

namespace ornivel::publish {

// Reads one scanned path ("/" between components, UTF-8) into its components in UTF-16.
// False with the reason when the launcher could not write it on Windows.
bool readPublishedName(const std::string& path, std::vector<std::wstring>& parts, std::string& reason);

// One message for every two paths (of files, or of the folders they lie in) that differ only
// in letter case; `parts[i]` are the components of `paths[i]`.
std::vector<std::string> caseCollisions(const std::vector<std::string>& paths,
                                        const std::vector<std::vector<std::wstring>>& parts);

} // namespace ornivel::publish
