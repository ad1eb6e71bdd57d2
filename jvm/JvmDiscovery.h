#pragma once
// Where the Java runtime library jvm.dll is: the installation's own runtime first, then the
// runtime registered under HKEY_LOCAL_MACHINE; and paths in the form the runtime can read. The registry part is Windows only
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
// its bin folder (by its full path, `folder` being the current folder with its trailing
// backslash) becomes the DLL search folder and its C++ runtime is loaded first from there
// (nothing to do in the native build).
void prepareRuntimeLibraries(const std::wstring& folder);

// The runtime reads its options, and the paths it derives from its own library's location,
// in the system's ANSI code page (UTF-8 in the native build).
//
// The option text of `text` in that code page, without best-fit look-alikes (a "ł" never
// becomes "l"): false when a character has no exact form there; it then reads "?".
bool javaOptionText(const std::wstring& text, std::string& option);
// A path the runtime reads back as the same file or folder: the path itself when its ANSI
// form is exact and it holds no ";" (which would split a path list), else its short (8.3)
// form when that one is; empty when neither is (the volume keeps no short names). The path
// must exist for its short form to be found.
std::wstring javaReadablePath(const std::wstring& path);

} // namespace ornivel
