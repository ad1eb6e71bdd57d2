#pragma once
// Where the Java runtime library jvm.dll is: the installation's own runtime first, then the
// runtime registered under HKEY_LOCAL_MACHINE.
#include <string>

namespace ornivel {

// The installation's runtime folder, relative to the working folder.
extern const wchar_t* const javaRuntimeFolder;

// `folder` is the current folder with its trailing backslash. The client library is
// preferred to the server library; the registry is asked when neither exists. Empty when
// no runtime is found.
std::wstring findJvmLibrary(const std::wstring& folder);

// RuntimeLib of the CurrentVersion under "Software\JavaSoft\Java Runtime Environment";
// empty on any failure.
std::wstring findRegisteredJvm();

} // namespace ornivel
