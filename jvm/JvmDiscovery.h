#pragma once
// Where the Java runtime library jvm.dll is: the installation's own runtime first, then the
// runtime registered under HKEY_LOCAL_MACHINE. The registry part is Windows only
// (JvmDiscoveryWin32.cpp); the native build finds a JDK's libjvm.so in the runtime folder.
#include <string>

namespace ornivel {

// The installation's runtime folder, relative to the working folder.
extern const wchar_t* const javaRuntimeFolder;

// The runtime library's places inside the runtime folder, the preferred first: the client
// library, then the server library ("\bin\client\jvm.dll" and "\bin\server\jvm.dll";
// "/lib/client/libjvm.so" and "/lib/server/libjvm.so" in the native build).
extern const wchar_t* const jvmLibraryPlaces[2];

// `folder` is the current folder with its trailing backslash. The client library is
// preferred to the server library; the registry is asked when neither exists. Empty when
// no runtime is found.
std::wstring findJvmLibrary(const std::wstring& folder);

// RuntimeLib of the CurrentVersion under "Software\JavaSoft\Java Runtime Environment";
// empty on any failure (and always in the native build).
std::wstring findRegisteredJvm();

// Lets the installation's runtime find the libraries it depends on, before it is loaded:
// its bin folder becomes the DLL search folder and its C++ runtime is loaded first
// (nothing to do in the native build).
void prepareRuntimeLibraries();

} // namespace ornivel
