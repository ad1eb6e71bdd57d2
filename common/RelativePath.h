#pragma once
// Relative paths that must name a file inside a folder on Windows (file-list entries, archive
// entries): the one check that keeps them inside and writable, and their one normal form.
// Plain text logic, no system calls.
#include <string>

namespace ornivel {

enum class PathFault {
    None,
    Empty,              // nothing left after dropping "." components
    Absolute,           // starts with a separator (root or UNC)
    Colon,              // drive letter or alternate data stream
    ParentStep,         // ".." or another component made only of dots and blanks
    TrailingDotOrBlank, // Windows would strip it and write another name
    DeviceName,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$
    BadCharacter,       // a control character or one of < > " | ? *
};

struct CheckedPath {
    std::wstring path;  // "\" separators, without "." and empty components; empty on a fault
    PathFault fault = PathFault::None;
    bool ok() const { return fault == PathFault::None; }
};

// Checks a relative path ("\" or "/" separators) and gives its normal form.
CheckedPath checkRelativePath(const std::wstring& relativePath);

// Whether one path component names a reserved device, with or without an extension, in any
// letter case ("nul", "Con.txt", "COM1 .log", "lpt¹").
bool isReservedDeviceName(const std::wstring& component);

// A short English reason that completes "its path ...", for messages.
const wchar_t* pathFaultText(PathFault fault);

} // namespace ornivel
