#pragma once
// Paths inside the installation folder. Plain text logic, no system calls.
#include <string>

namespace ornivel {

// `folder` followed by `name`, with a backslash between them unless the folder ends in "\"
// or "/".
std::wstring joinLocalPath(const std::wstring& folder, const std::wstring& name);

// The path with the extension of its last component replaced (or appended when it has
// none); `extension` starts with the dot.
std::wstring withExtension(const std::wstring& path, const std::wstring& extension);


} // namespace ornivel
