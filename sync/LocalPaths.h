#pragma once
// Paths inside the installation folder, and the check that keeps file-list paths inside it.
// Plain text logic, no system calls.
#include <string>

namespace ornivel {

// `folder` followed by `name`, with a backslash between them unless the folder ends in "\"
// or "/".
std::wstring joinLocalPath(const std::wstring& folder, const std::wstring& name);

// The path with the extension of its last component replaced (or appended when it has
// none); `extension` starts with the dot.
std::wstring withExtension(const std::wstring& path, const std::wstring& extension);

// Whether a relative path from a file list would reach outside the installation folder:
// empty, absolute ("\x", "/x"), with a drive or stream colon, UNC ("\\server"), or with a
// ".." component or any other component made only of dots and blanks (which Windows may
// shorten to "..").
bool escapesInstallation(const std::wstring& relativePath);

} // namespace ornivel
